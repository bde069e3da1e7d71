#include "settings/size_rules.h"

#include <algorithm>

namespace orm {
namespace {

bool HasSize(const SourceImageInfo& src) {
    return src.present && src.width > 0 && src.height > 0;
}

int32_t Clamped(int64_t pixels) {
    return static_cast<int32_t>(std::clamp<int64_t>(pixels, kMinPixels, kMaxPixels));
}

}  // namespace

PixelSize LongEdgeSize(int32_t longEdge, int32_t sourceWidth, int32_t sourceHeight) {
    const int32_t n = Clamped(longEdge);
    if (sourceWidth <= 0 || sourceHeight <= 0)
        return {n, n};
    // 64-bit products: 100000 x 100000 does not fit in 32 bits.
    if (sourceWidth >= sourceHeight)
        return {n, Clamped(int64_t(n) * sourceHeight / sourceWidth)};
    return {Clamped(int64_t(n) * sourceWidth / sourceHeight), n};
}

bool IsEnlargement(int64_t targetWidth, int64_t targetHeight, int64_t sourceWidth,
                   int64_t sourceHeight) {
    if (sourceWidth <= 0 || sourceHeight <= 0)
        return false;
    return targetWidth >= sourceWidth && targetHeight >= sourceHeight &&
           (targetWidth > sourceWidth || targetHeight > sourceHeight);
}

PixelSize NeverEnlarged(PixelSize target, PixelSize source) {
    return IsEnlargement(target.width, target.height, source.width, source.height) ? source
                                                                                   : target;
}

const char* UnitsModeText(int index) {
    switch (index) {
        case 0:
            return "Pixels";
        case 1:
            return "Percent";
        case kLongEdgeUnitsMode:
            return "Long edge";
        default:
            return "";
    }
}

int UnitsModeIndex(const ResizeSettings& s) {
    if (s.longEdge)
        return kLongEdgeUnitsMode;
    return s.inPercent ? 1 : 0;
}

bool SetUnitsMode(ResizeSettings& s, const SourceImageInfo& src, int index) {
    if (index < 0 || index >= kUnitsModeCount)
        return false;
    const ResizeSettings before = s;
    s.longEdge = index == kLongEdgeUnitsMode ? 1 : 0;
    s.inPercent = index == 1 ? 1 : 0;
    if (s.longEdge) {
        if (HasSize(src)) {
            FitLongEdge(s, src);
        } else {
            s.width = s.height = LongEdgeOf(s);
        }
    }
    return !(s == before);
}

void FitLongEdge(ResizeSettings& s, const SourceImageInfo& src) {
    if (!s.longEdge || !HasSize(src))
        return;
    const PixelSize size = LongEdgeSize(LongEdgeOf(s), src.width, src.height);
    s.width = size.width;
    s.height = size.height;
}

void KeepLongEdgeAfterEdit(ResizeSettings& s, const SourceImageInfo& src, Dimension edited) {
    if (!s.longEdge)
        return;
    const bool width = edited == Dimension::Width;
    const int32_t typed = width ? s.width : s.height;
    if (!HasSize(src)) {
        s.width = s.height = typed;
        return;
    }
    if (width)
        s.height = Clamped(int64_t(typed) * src.height / src.width);
    else
        s.width = Clamped(int64_t(typed) * src.width / src.height);
    // Not refitted from the longer side: a typed shorter side would move by the truncation.
}

void ApplySizeRulesToKeptSize(ResizeSettings& s, const SourceImageInfo& src) {
    if (!HasSize(src))
        return;
    FitLongEdge(s, src);
    if (s.noEnlarge && IsEnlargement(s.width, s.height, src.width, src.height)) {
        s.width = src.width;
        s.height = src.height;
    }
}

}  // namespace orm
