#pragma once
// The five standard interpolation modes: a separable resampler, pixel-centre aligned
// (source x = (x + 0.5) * sw / dw - 0.5), edge samples clamped, weights normalised, rounded to
// nearest.
//   0 nearest neighbour
//   1 bilinear              triangle, 2 taps, never widened (aliases on strong reductions)
//   2 high-quality bilinear triangle widened by 1 / scale when reducing
//   3 bicubic               Keys a = -0.5, never widened
//   4 high-quality bicubic  Keys widened by 1 / scale when reducing

#include "engine/pixel_view.h"

#include <vector>

namespace orm::engine {

enum class StandardMode : int {
    NearestNeighbor = 0,
    Bilinear = 1,
    HighQualityBilinear = 2,
    Bicubic = 3,
    HighQualityBicubic = 4,
};

// Source indices and normalised weights of every output sample along one axis; each output
// reads `taps` entries (entries past the edges have a clamped index). `first` is each output's
// first index before clamping (it may lie up to `taps` samples outside the source).
struct AxisFilter {
    int taps = 0;
    std::vector<int> first;
    std::vector<int> index;
    std::vector<float> weight;
};
AxisFilter MakeAxisFilter(StandardMode mode, int src, int dst);

// Resizes the whole source into the whole destination. Throws std::bad_alloc when the scratch
// does not fit. `channels` is the bytes of a pixel: 3 (blue, green, red) or 4 (a fourth channel,
// alpha, resized beside the colours with the same weights; the colours come out as with 3).
void DrawStandardMode(ConstBgrView src, BgrView dst, StandardMode mode,
                      int channels = kBgrChannels);

// Pixels of four floats each (colours weighted by alpha, and alpha, on the 0..255 scale), rows
// packed: the same resize as DrawStandardMode with four channels, the same sums in the same
// order, but neither rounded nor clamped. The alpha resize uses it so that faint pixels keep
// their colours (8-bit weighted colours keep 2 levels of 256 at alpha 1).
void DrawStandardModeFloat(const float* src, int sw, int sh, float* dst, int dw, int dh,
                           StandardMode mode);

}  // namespace orm::engine
