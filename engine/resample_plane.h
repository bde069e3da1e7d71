#pragma once
// The kernel resampler and the area-averaging box reductions of one plane.

#include "engine/image_plane.h"
#include "engine/kernels.h"

namespace orm::engine {

// Resamples src (its own size) into dst (its own size). Output pixel X samples the source at
// X * sw / dw: pixel 0 sits on source pixel 0, the kernel is never stretched and the weights are
// used as they are. Edge samples repeat outward. Reports 100 Y / dh after each output row.
// Returns false only on a stop request.
bool ResamplePlane(ImagePlane& dst, const ImagePlane& src, double p1, double p2, KernelType type,
                   CRSProgress* progress);

// Area average along rows: width src.Width() to dst.Width() (<= src width), same height.
bool BoxReduceRows(ImagePlane& dst, const ImagePlane& src, CRSProgress* progress);

// Area average along columns: height src.Height() to dst.Height() (<= src height), same width.
bool BoxReduceColumns(ImagePlane& dst, const ImagePlane& src, CRSProgress* progress);

}  // namespace orm::engine
