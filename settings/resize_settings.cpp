#include "settings/resize_settings.h"

#include "engine/resize_image.h"

#include <algorithm>
#include <cmath>

namespace orm {
namespace {

struct SizeUnitRow {
    std::string_view comboText;
    std::string_view shortLabel;
    double unitsPerInch;
};
constexpr std::array<SizeUnitRow, kSizeUnitCount> kSizeUnits = {{
    {"Inches", "in", 1.0},
    {"Millimeters", "mm", 25.4},
    {"Centimeters", "cm", 2.54},
    {"Picas", "picas", 6.0},
    {"Points", "pt", 72.0},
}};

struct ResolutionUnitRow {
    std::string_view comboText;
    std::string_view label;
    double divisor;
};
constexpr std::array<ResolutionUnitRow, kResolutionUnitCount> kResolutionUnits = {{
    {"Dots per inch", "dots per inch", 1.0},
    {"Dots per mm", "dots per mm", 25.4},
    {"Dots per cm", "dots per cm", 2.54},
}};

constexpr std::array<std::string_view, kCorrectionModeCount> kCorrectionNames = {"Keep aspect",
                                                                                 "Crop", "None"};

bool InRange(int index, int count) {
    return index >= 0 && index < count;
}

template <class T>
bool Replace(T& field, T value) {
    if (field == value)
        return false;
    field = value;
    return true;
}

}  // namespace

bool SanitizeSettings(ResizeSettings& s) {
    const ResizeSettings d;
    bool changed = false;
    changed |= Replace(s.width, std::clamp(s.width, kMinPixels, kMaxPixels));
    changed |= Replace(s.height, std::clamp(s.height, kMinPixels, kMaxPixels));
    if (!std::isfinite(s.dpi) || s.dpi <= 0)
        changed |= Replace(s.dpi, d.dpi);
    else
        changed |= Replace(s.dpi, std::clamp(s.dpi, float(kMinDpi), float(kMaxDpi)));
    if (!std::isfinite(s.percentWidth) || s.percentWidth < 0)
        changed |= Replace(s.percentWidth, d.percentWidth);
    if (!std::isfinite(s.percentHeight) || s.percentHeight < 0)
        changed |= Replace(s.percentHeight, d.percentHeight);
    if (!InRange(s.resolutionUnit, kResolutionUnitCount))
        changed |= Replace(s.resolutionUnit, d.resolutionUnit);
    if (!InRange(s.sizeUnit, kSizeUnitCount))
        changed |= Replace(s.sizeUnit, d.sizeUnit);
    if (!InRange(s.correction, kCorrectionModeCount))
        changed |= Replace(s.correction, d.correction);
    if (!AlgorithmFromIndex(AlgorithmIndex(s.algorithm)))
        changed |= Replace(s.algorithm, d.algorithm);
    changed |= Replace(s.inPercent, s.inPercent ? 1 : 0);
    changed |= Replace(s.editPrintSize, s.editPrintSize ? 1 : 0);
    changed |= Replace(s.lockSettings, s.lockSettings ? 1 : 0);
    changed |= Replace(s.applyToAll, s.applyToAll ? 1 : 0);
    changed |= Replace(s.noEnlarge, s.noEnlarge ? 1 : 0);
    changed |= Replace(s.centred, s.centred ? 1 : 0);
    changed |= Replace(s.longEdge, s.longEdge ? 1 : 0);
    if (s.longEdge)
        changed |= Replace(s.inPercent, 0);  // the long edge is given in pixels
    if (s.jpegQuality < 1 || s.jpegQuality > 100)
        changed |= Replace(s.jpegQuality, d.jpegQuality);
    return changed;
}

std::string_view AlgorithmName(int index) {
    const auto a = AlgorithmFromIndex(index);
    return a ? engine::AlgorithmName(*a) : std::string_view();
}
std::string_view SizeUnitComboText(int index) {
    return InRange(index, kSizeUnitCount) ? kSizeUnits[index].comboText : std::string_view();
}
std::string_view SizeUnitShortLabel(int index) {
    return InRange(index, kSizeUnitCount) ? kSizeUnits[index].shortLabel : std::string_view();
}
std::string_view ResolutionUnitComboText(int index) {
    return InRange(index, kResolutionUnitCount) ? kResolutionUnits[index].comboText
                                                : std::string_view();
}
std::string_view ResolutionUnitLabel(int index) {
    return InRange(index, kResolutionUnitCount) ? kResolutionUnits[index].label
                                                : std::string_view();
}
std::string_view CorrectionModeName(int index) {
    return InRange(index, kCorrectionModeCount) ? kCorrectionNames[index] : std::string_view();
}
double SizeUnitFactor(int index) {
    return kSizeUnits[InRange(index, kSizeUnitCount) ? index : 0].unitsPerInch;
}
double ResolutionUnitDivisor(int index) {
    return kResolutionUnits[InRange(index, kResolutionUnitCount) ? index : 0].divisor;
}

}  // namespace orm
