#pragma once
// Resizing images that carry alpha: four bytes per pixel, three colour channels (in any order:
// every channel is resized alike) followed by alpha; colours straight, not multiplied by alpha.
//
// The colours are multiplied by alpha before the resize and divided by it afterwards, so a colour
// that lies under fully transparent pixels has no weight and never bleeds into the visible edges.
// Alpha is resized as a further channel with the algorithm's own arithmetic; the weighted colour
// channels come out of the resize exactly as the three channels of a 24-bit image would.
//
// The own algorithms' weights do not always add up to one (their box reduction truncates, their
// kernels are not renormalised at the borders): a plane of 255 comes out as 253 after a
// reduction and lower at the borders. Colours divided by the resized alpha lose that gain; alpha
// itself is divided by what a plane of full opacity became (resized as a fifth channel), so an
// opaque area stays exactly opaque.

#include "engine/algorithm.h"
#include "engine/pixel_view.h"
#include "engine/resize_image.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orm::engine {

class CRSProgress;

constexpr int kQuadChannels = 4;

struct ConstQuadView {
    const std::uint8_t* data = nullptr;  // first row
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0;  // bytes from one row to the next

    const std::uint8_t* Row(int y) const { return data + y * stride; }
};

// An owned image of four-byte pixels with packed rows.
struct QuadImage {
    std::vector<std::uint8_t, UninitAllocator<std::uint8_t>> pixels;
    int width = 0;
    int height = 0;

    std::ptrdiff_t Stride() const { return std::ptrdiff_t(width) * kQuadChannels; }
    std::uint8_t* Row(int y) { return pixels.data() + y * Stride(); }
    const std::uint8_t* Row(int y) const { return pixels.data() + y * Stride(); }
};

// `count` pixels: each colour becomes round(c a / 255); alpha is copied.
void PremultiplyPixels(const std::uint8_t* in, std::uint8_t* out, int count);

// `count` pixels back to straight colours: a colour is first held to its alpha (the sharpening
// and ringing of the resize may lift it above), then becomes round(c 255 / a); a pixel of alpha
// 0 becomes 0 in every channel. Alpha is copied.
void UnpremultiplyPixels(const std::uint8_t* in, std::uint8_t* out, int count);

// Whether some pixel has an alpha below 255.
bool HasTranslucentPixel(ConstQuadView image);

struct QuadResizeOutcome {
    ResizeStatus status = ResizeStatus::InvalidInput;
    QuadImage image;  // dw x dh, straight colours; only on success
};

// Resizes src to dw x dh with the algorithm (and the crop of ResizeImage), the colours weighted
// by alpha. Progress and cancellation as for ResizeImage; the own algorithms make five channels
// of sweeps instead of three.
QuadResizeOutcome ResizeWithAlpha(ConstQuadView src, int dw, int dh, ResizeAlgorithm algorithm,
                                  bool crop, CRSProgress* progress,
                                  Sampling sampling = Sampling::Documented);

// Bytes ResizeWithAlpha holds at its peak beside its source and result.
std::uint64_t EstimatedAlphaResizeBytes(int sw, int sh, int dw, int dh, ResizeAlgorithm algorithm,
                                        bool crop);

}  // namespace orm::engine
