#pragma once
// The three own algorithms: "Smart for Artificial Scenes" (5), "Smart for Natural Scenes" (6) and
// "Advanced for Natural Scenes" (7, the artificial-scene machinery with other parameters).
//
// Each colour plane is resized by itself with a plan chosen by the scale ratios:
//   reduction    max <= 0.5             box average rows, then columns, then sharpen 25
//   moderate     0.5 < max <= 1.5       the core
//   enlargement  max > 1.5, min > 1.5   the core
//   mixed        max > 1.5, min <= 1.5  the core into 1.5 x the source along the minor axis,
//                                       then a box reduction of that axis
// followed by a final sharpening (min < 1.5) or grain (min >= 1.5) step.
//
// Centred sampling (sampling.h) runs every stage on the centre-aligned grid with normalised
// weights, and adjusts the enlargement cores as measured on the standard enlargement sets: the
// stretch has half the documented gain and the windows of the natural-scene core; the
// artificial-scene core makes no blur before its stretch; the natural-scene core starts from
// Lanczos (radius 3) instead of Catmull-Rom.

#include "engine/image_plane.h"
#include "engine/pixel_view.h"
#include "engine/sampling.h"

namespace orm::engine {

class CRSProgress;

// Stretch strength from the user-level strength b: 103 / (b b / 100 + 3).
double StretchStrength(int b);

// Variant 4 sharpens every extracted source plane (amount 25) before the scale plan.
constexpr int kVariantPlain = 3;
constexpr int kVariantPresharpen = 4;

// Number of 0..100 progress sweeps of one channel, by the whole resize's ratios.
int SweepsSmart(double min_ratio, double max_ratio, Sampling sampling = Sampling::Documented);
int SweepsNatural(double min_ratio, double max_ratio);

// Entries of algorithms 5/7 and 6. `colour` selects three channels (else one byte per pixel).
// The destination view has the target size. Returns false on a stop request; channels already
// stored stay in the destination. `sampling` picks the grid of every stage (sampling.h).
bool ResizeSmart(BgrView dst, ConstBgrView src, bool colour, int strength, int ratio_flag,
                 int grain, int variant, CRSProgress* progress,
                 Sampling sampling = Sampling::Documented);
bool ResizeNatural(BgrView dst, ConstBgrView src, bool colour, int strength, int ratio_flag,
                   int grain, int variant, CRSProgress* progress,
                   Sampling sampling = Sampling::Documented);
// The same for pixels of `channels` bytes, each channel resized by itself in turn (4: the
// colours and alpha).
bool ResizeSmartChannels(BgrView dst, ConstBgrView src, int channels, int strength, int ratio_flag,
                         int grain, int variant, CRSProgress* progress,
                         Sampling sampling = Sampling::Documented);
bool ResizeNaturalChannels(BgrView dst, ConstBgrView src, int channels, int strength,
                           int ratio_flag, int grain, int variant, CRSProgress* progress,
                           Sampling sampling = Sampling::Documented);

// The scale plans and cores of one plane (each plane carries its own size). `arena`, when given,
// supplies the scratch planes (and may change dst's storage); the entries above pass one arena
// for the whole resize so the three channels reuse the same memory.
bool ResizePlaneSmart(ImagePlane& dst, const ImagePlane& src, double s, int ratio_flag, int grain,
                      CRSProgress* progress, PlaneArena* arena = nullptr,
                      Sampling sampling = Sampling::Documented);
bool ResizePlaneNatural(ImagePlane& dst, const ImagePlane& src, double s, int grain, int variant,
                        CRSProgress* progress, PlaneArena* arena = nullptr,
                        Sampling sampling = Sampling::Documented);
bool SmartCoreLanczos(ImagePlane& dst, const ImagePlane& src, double s, int ratio_flag,
                      CRSProgress* progress, PlaneArena* arena = nullptr,
                      Sampling sampling = Sampling::Documented);
bool NaturalCoreCubic(ImagePlane& dst, const ImagePlane& src, double s, int variant, int grain,
                      CRSProgress* progress, PlaneArena* arena = nullptr,
                      Sampling sampling = Sampling::Documented);

}  // namespace orm::engine
