#pragma once
// Two rules over the output size that users set once and apply to every image:
// - long edge: the longer side of each image gets N pixels (N = the larger of the record's width
//   and height), the other side follows the image's aspect, whatever its orientation;
// - never enlarge: an output that would be larger than its source keeps the source's size.
// Pure functions; the panel, the batch entries and the batch runner apply them.

#include "settings/resize_settings.h"
#include "settings/size_math.h"

#include <cstdint>

namespace orm {

struct PixelSize {
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const PixelSize&) const = default;
};

// The size of a sourceWidth x sourceHeight image whose longer side becomes longEdge: the shorter
// side is scaled in integers (truncated, at least kMinPixels, as keeping the aspect does); a
// square image gets longEdge on both sides. A source without a size gets longEdge x longEdge.
PixelSize LongEdgeSize(int32_t longEdge, int32_t sourceWidth, int32_t sourceHeight);

// The long edge the record stands for in long-edge mode.
inline int32_t LongEdgeOf(const ResizeSettings& s) {
    return s.width > s.height ? s.width : s.height;
}

// Whether a target enlarges its source: no side smaller than the source's and at least one
// larger. (A target that shrinks one side and stretches the other is a distortion the user asked
// for, not an enlargement.)
bool IsEnlargement(int64_t targetWidth, int64_t targetHeight, int64_t sourceWidth,
                   int64_t sourceHeight);

// Under never-enlarge: the source's size when the target enlarges it, otherwise the target.
PixelSize NeverEnlarged(PixelSize target, PixelSize source);

// ---- Long-edge mode of the record (the "Long edge" item of the panel's units list) --------

// Items of the units list: 0 "Pixels", 1 "Percent", 2 "Long edge".
inline constexpr int kUnitsModeCount = 3;
inline constexpr int kLongEdgeUnitsMode = 2;
const char* UnitsModeText(int index);  // "" out of range
int UnitsModeIndex(const ResizeSettings& s);
// Chooses an item. Long edge keeps the larger side of the current size as N and, with an image,
// fits it; leaving it keeps the pixel size. Returns whether the record changed.
bool SetUnitsMode(ResizeSettings& s, const SourceImageInfo& src, int index);

// In long-edge mode with an image: width and height become N fitted to the image.
void FitLongEdge(ResizeSettings& s, const SourceImageInfo& src);
// In long-edge mode, after a side was typed: with an image the other side follows the image's
// aspect (whatever the correction mode) and the typed side stays as typed; without one it takes
// the typed value, so both fields show N.
void KeepLongEdgeAfterEdit(ResizeSettings& s, const SourceImageInfo& src, Dimension edited);

// The size kept for a newly opened image (lock settings, apply to new): fitted to its
// orientation in long-edge mode, and not larger than the image under never-enlarge.
void ApplySizeRulesToKeptSize(ResizeSettings& s, const SourceImageInfo& src);

}  // namespace orm
