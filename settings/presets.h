#pragma once
// Predefined screen sizes, paper sizes and resolutions, as the preset menus offer them.

#include "settings/resize_settings.h"

#include <QString>

#include <optional>
#include <span>
#include <string_view>

namespace orm {

// ---- Screen sizes ("Predefined sizes") --------------------------------------------------
struct ScreenPreset {
    std::string_view label;
    int32_t width;  // 0 for "Original size"
    int32_t height;
    bool originalSize;  // takes the source size; needs an image
    bool separatorAfter;
};
std::span<const ScreenPreset> ScreenPresets();
// Sets the box of the preset (fitted to the source with an image and Keep aspect).
// Returns false when nothing changed ("Original size" without an image).
bool ApplyScreenPreset(ResizeSettings& s, const SourceImageInfo& src, const ScreenPreset& preset);

// ---- Paper sizes ("Print Predefined sizes") ---------------------------------------------
struct PaperPreset {
    std::string_view label;
    bool separatorBefore;
};
std::span<const PaperPreset> PaperPresets();

struct PaperSize {
    double width = 0;  // in millimetres for metric papers, otherwise inches
    double height = 0;
    bool metric = false;
};
// Reads the paper size from a label such as "A4 (210x297 mm)" or "Statement (5 1/2x8 1/2 inch)".
std::optional<PaperSize> ParsePaperLabel(std::string_view label);

// The result of a paper preset: the print size in the record's size unit, with the texts the
// print fields show ("%g", not rounded further).
struct PaperPrintSize {
    double width = 0;
    double height = 0;
    QString widthText;
    QString heightText;
};
// Orients the paper by the image (without an image: by the current output box), fits it to
// the source with an image and Keep aspect, and sets the pixel size at the record's dpi.
std::optional<PaperPrintSize> ApplyPaperPreset(ResizeSettings& s, const SourceImageInfo& src,
                                               std::string_view label);

// ---- Resolutions ("Predefined res") -----------------------------------------------------
enum class ResolutionPresetKind { DefaultPrinter, Original, Fixed };
struct ResolutionPreset {
    std::string_view label;
    ResolutionPresetKind kind;
    bool separatorAfter;
};
std::span<const ResolutionPreset> ResolutionPresets();

// printerDpi: the default printer's horizontal logical resolution, as the caller's printer
// source tells it (SettingsModel::PrinterDpi); none without a printer or a printer back end.
// The resolution a preset stands for; none when its source is unavailable (no printer, no
// image or an image without a usable resolution).
std::optional<double> ResolutionPresetDpi(const ResolutionPreset& preset,
                                          const SourceImageInfo& src,
                                          std::optional<double> printerDpi = std::nullopt);
// Enabling rule of a menu item: "Default Printer" while a default printer exists, "Original"
// with an image, the fixed ones always.
bool ResolutionPresetEnabled(const ResolutionPreset& preset, const SourceImageInfo& src,
                             std::optional<double> printerDpi = std::nullopt);
// Sets dpi from the preset and lets the pixel or print size follow; false when unavailable.
bool ApplyResolutionPreset(ResizeSettings& s, const SourceImageInfo& src,
                           const ResolutionPreset& preset,
                           std::optional<double> printerDpi = std::nullopt);

}  // namespace orm
