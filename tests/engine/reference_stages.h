#pragma once
// Literal, slow versions of the engine's stages, written straight from the documented arithmetic.
// The real stages are compared against them byte for byte.

#include "engine/image_plane.h"

#include <cstdint>
#include <random>

namespace orm::engine::reference {

// `centred`: the centred sampling of the own algorithms (engine/sampling.h), each written
// literally from its own description.
ImagePlane Resample(const ImagePlane& src, int dw, int dh, double p1, double p2, bool lanczos,
                    bool centred = false);
ImagePlane BoxRows(const ImagePlane& src, int dw,
                   bool centred = false);  // 32-bit arithmetic as documented
ImagePlane BoxColumns(const ImagePlane& src, int dh,
                      bool centred = false);  // 32-bit arithmetic as documented
ImagePlane Sharpen(const ImagePlane& src, int amount, bool centred = false);
ImagePlane GaussianColumns(const ImagePlane& src, int vertical_code, bool centred = false);
ImagePlane Gaussian(const ImagePlane& src, int horizontal_code, int vertical_code,
                    bool centred = false);
ImagePlane RangeStretch(const ImagePlane& v, const ImagePlane& g, int hw, int vw, double sx,
                        double sy, double s, bool centred = false);

// Whole plane plans of algorithms 5/7 (smart) and 6 (natural), from the stages above.
ImagePlane SmartPlane(const ImagePlane& src, int dw, int dh, double s, int ratio_flag,
                      bool centred = false);
ImagePlane NaturalPlane(const ImagePlane& src, int dw, int dh, double s, bool centred = false);
// One channel of algorithm 5, 6 or 7 with its parameters (strength, ratio flag, pre-sharpening).
ImagePlane AlgorithmPlane(int algorithm, const ImagePlane& src, int dw, int dh,
                          bool centred = false);

inline ImagePlane RandomPlane(int w, int h, std::uint32_t seed) {
    std::mt19937 rng(seed);
    ImagePlane p(w, h);
    // Smooth areas with hard edges and noise: every branch of the filters gets exercised.
    std::uniform_int_distribution<int> byte(0, 255), coin(0, 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.At(x, y) = coin(rng) == 0 ? std::uint8_t(byte(rng))
                                        : std::uint8_t(((x / 5 + y / 7) % 2) * 200 + 20);
    return p;
}

}  // namespace orm::engine::reference
