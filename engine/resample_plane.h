#pragma once
// The kernel resampler and the area-averaging box reductions of one plane.

#include "engine/image_plane.h"
#include "engine/kernels.h"
#include "engine/sampling.h"

namespace orm::engine {

// Resamples src (its own size) into dst (its own size). Output pixel X samples the source at
// X * sw / dw: pixel 0 sits on source pixel 0, the kernel is never stretched and the weights are
// used as they are. Edge samples repeat outward. Reports 100 Y / dh after each output row.
// Returns false only on a stop request.
// Centred: X samples u = ((2X + 1) sw - dw) / (2 dw), base floor(u), phase the fraction times
// 1024 rounded to nearest (halves to even; 1024 moves to the next base at phase 0), and each
// phase's weights are normalised (WeightTable). The horizontal sums are then rounded to single
// precision, and the vertical sums (weights rounded to single precision) are taken in single
// precision in the same order; the rest is the same.
bool ResamplePlane(ImagePlane& dst, const ImagePlane& src, double p1, double p2, KernelType type,
                   CRSProgress* progress, Sampling sampling = Sampling::Documented);

// Area average along rows: width src.Width() to dst.Width() (<= src width), same height.
// Centred: output o averages exactly the source interval [o sw / dw, (o + 1) sw / dw) with
// integer weights (source pixels dw units wide, outputs sw units), rounded to nearest (halves up),
// where the documented 16.16 form truncates, drops low bits and leaves the last output short.
bool BoxReduceRows(ImagePlane& dst, const ImagePlane& src, CRSProgress* progress,
                   Sampling sampling = Sampling::Documented);

// Area average along columns: height src.Height() to dst.Height() (<= src height), same width.
bool BoxReduceColumns(ImagePlane& dst, const ImagePlane& src, CRSProgress* progress,
                      Sampling sampling = Sampling::Documented);

}  // namespace orm::engine
