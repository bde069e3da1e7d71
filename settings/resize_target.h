#pragma once
// What one resize makes: the output's size, resolution, algorithm and correction mode. The
// settings of the window, every batch entry and every resize-to-file job hold one; copies of it
// travel to the workers.

#include "engine/algorithm.h"

#include <cstdint>

namespace orm {

enum class CorrectionMode : int32_t { KeepAspect = 0, Crop = 1, None = 2 };
inline constexpr int kCorrectionModeCount = 3;

// Pixel sizes are always kept within these bounds.
inline constexpr int kMinPixels = 3;
inline constexpr int kMaxPixels = 100000;

struct ResizeTarget {
    int32_t width = 640;  // output width in pixels
    int32_t height = 480;
    float dpi = 300;  // output resolution, dots per inch
    engine::ResizeAlgorithm algorithm = engine::ResizeAlgorithm::HighQualityBicubic;
    int32_t correction = 0;  // CorrectionMode

    CorrectionMode correctionMode() const { return static_cast<CorrectionMode>(correction); }
    // The crop flag that ResizeImage takes.
    bool cropFlag() const { return correction == static_cast<int32_t>(CorrectionMode::Crop); }
    // The target alone, without what a record that holds it adds.
    const ResizeTarget& Target() const { return *this; }

    bool operator==(const ResizeTarget&) const = default;
};

}  // namespace orm
