#pragma once
// The resize settings record: output size, resolution, units, correction mode, algorithm and
// behaviour switches. The program's instance is held by its SettingsModel; workers get copies of
// it, never references.

#include "engine/algorithm.h"
#include "settings/resize_target.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <string_view>

namespace orm {

using engine::AlgorithmFromIndex;
using engine::AlgorithmIndex;
using engine::IsOwnAlgorithm;
using engine::kAlgorithmCount;
using engine::ResizeAlgorithm;

// Units of the print size; the factor is units per inch.
enum class SizeUnit : int32_t {
    Inches = 0,
    Millimeters = 1,
    Centimeters = 2,
    Picas = 3,
    Points = 4
};
inline constexpr int kSizeUnitCount = 5;

// Units of the resolution; the shown value is dpi divided by the divisor.
enum class ResolutionUnit : int32_t { DotsPerInch = 0, DotsPerMm = 1, DotsPerCm = 2 };
inline constexpr int kResolutionUnitCount = 3;

inline constexpr double kMinDpi = 1.0;
inline constexpr double kMaxDpi = 100000.0;

// The target (size, dpi, algorithm, correction) and how the panel edits it. The member
// initialisers, the target's included, are the defaults of an empty settings store.
struct ResizeSettings : ResizeTarget {
    double percentWidth = 100;   // output width in percent of the source (percent mode)
    double percentHeight = 100;  // output height in percent of the source
    int32_t resolutionUnit = 0;  // ResolutionUnit shown and typed
    int32_t sizeUnit = 0;        // SizeUnit of the print size shown and typed
    int32_t inPercent = 0;       // 1: width and height are edited in percent
    int32_t editPrintSize = 0;   // 1: print size is edited and the pixel size follows
    int32_t lockSettings = 0;    // outside batch mode: keep the size for the next image
    int32_t jpegQuality = 75;    // JPEG quality for saving a single image
    int32_t applyToAll = 1;      // batch mode's counterpart of lockSettings
    // Stored only when set, so files of earlier versions read the same (size_rules.h).
    int32_t noEnlarge = 0;  // 1: an output larger than its source on both sides keeps its size
    int32_t longEdge = 0;   // 1: the longer side of each image gets max(width, height)
    // Not stored: the correction a locked size replaced with Crop when an image was opened
    // (locked sizes are exact boxes), given back when the lock is let go; -1: none.
    int32_t correctionBeforeLock = -1;

    SizeUnit sizeUnitValue() const { return static_cast<SizeUnit>(sizeUnit); }
    ResolutionUnit resolutionUnitValue() const {
        return static_cast<ResolutionUnit>(resolutionUnit);
    }
    bool operator==(const ResizeSettings&) const = default;
};

// What the size computations need to know of the image that is open.
struct SourceImageInfo {
    bool present = false;
    int32_t width = 0;
    int32_t height = 0;
    int32_t bitsPerPixel = 0;
    double horizontalDpi = 0;  // as the file reports it; can be 0
};

// Brings values from an untrusted source (a settings file, the settings store) into range:
// enumerations outside their lists and non-finite or non-positive resolutions take their
// defaults, pixel sizes are clamped to kMinPixels..kMaxPixels, switches become 0 or 1,
// non-finite or negative percents take their defaults. Returns whether anything changed.
bool SanitizeSettings(ResizeSettings& s);

// Names and labels as the user sees them.
std::string_view AlgorithmName(int index);       // "Nearest Neighbor" ... ; "" when out of range
std::string_view SizeUnitComboText(int index);   // "Inches" ...
std::string_view SizeUnitShortLabel(int index);  // "in", "mm", "cm", "picas", "pt"
std::string_view ResolutionUnitComboText(int index);  // "Dots per inch" ...
std::string_view ResolutionUnitLabel(int index);      // "dots per inch" ...
std::string_view CorrectionModeName(int index);       // "Keep aspect", "Crop", "None"

// Units per inch of a size unit; inches for an index out of range.
double SizeUnitFactor(int index);
// Divisor from dpi to the shown resolution; dots per inch for an index out of range.
double ResolutionUnitDivisor(int index);

}  // namespace orm
