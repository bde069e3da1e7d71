#include "settings/presets.h"

#include "settings/number_text.h"
#include "settings/size_math.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>

namespace orm {
namespace {

// "DVD NTSC Full-D1 (720x480)" sets the size its label names.
constexpr std::array<ScreenPreset, 17> kScreenPresets = {{
    {"Original size", 0, 0, true, true},
    {"Multimedia (320x240)", 320, 240, false, false},
    {"VCD PAL (352x288)", 352, 288, false, false},
    {"VCD NTSC (352x240)", 352, 240, false, false},
    {"SVCD PAL (480x576)", 480, 576, false, false},
    {"SVCD NTSC (480x480)", 480, 480, false, false},
    {"DVD PAL Full-D1 (720x576)", 720, 576, false, false},
    {"DVD PAL (704x576)", 704, 576, false, false},
    {"DVD NTSC Full-D1 (720x480)", 720, 480, false, false},
    {"DVD NTSC (704x480)", 704, 480, false, false},
    {"HD (1920x1080)", 1920, 1080, false, true},
    {"Desktop (640x480)", 640, 480, false, false},
    {"Desktop (800x600)", 800, 600, false, false},
    {"Desktop (1024x768)", 1024, 768, false, false},
    {"Desktop (1152x864)", 1152, 864, false, false},
    {"Desktop (1280x1024)", 1280, 1024, false, false},
    {"Desktop (1600x1200)", 1600, 1200, false, false},
}};

constexpr std::array<PaperPreset, 51> kPaperPresets = {{
    {"A0 (841x1189 mm)", false},
    {"A1 (594x841 mm)", false},
    {"A2 (420x594 mm)", false},
    {"A3 (297x420 mm)", false},
    {"A4 (210x297 mm)", false},
    {"A5 (148x210 mm)", false},
    {"A6 Card (105x148.5 mm)", false},
    {"B4 (250x354 mm)", false},
    {"B5 (182x257 mm)", false},
    {"B4 Envelope (250x353 mm)", false},
    {"B5 Envelope (176x250 mm)", false},
    {"B6 Envelope (176x125 mm)", false},
    {"Italy Envelope (110x230 mm)", false},
    {"C3 Envelope (324x458 mm)", false},
    {"C4 Envelope (229x324 mm)", false},
    {"C5 Envelope (162x229 mm)", false},
    {"DL Envelope (110x220 mm)", false},
    {"US Letter (8 1/2x11 inch)", true},
    {"Legal (8 1/2x14 inch)", false},
    {"C (17x22 inch)", false},
    {"D (22x34 inch)", false},
    {"E (34x44 inch)", false},
    {"US Letter Small (8 1/2x11 inch)", false},
    {"Tabloid (11x17 inch)", false},
    {"Ledger (17x11 inch)", false},
    {"Statement (5 1/2x8 1/2 inch)", false},
    {"Executive (7 1/4x10 1/2 inch)", false},
    {"Note (8 1/2x11 inch)", false},
    {"#9 Envelope (3 7/8x8 7/8 inch)", false},
    {"#10 Envelope (4 1/8x10 3/8 inch)", false},
    {"#11 Envelope (4 1/2x10 3/8 inch)", false},
    {"#12 Envelope (4 3/4x11 inch)", false},
    {"#14 Envelope (5x11 1/2 inch)", false},
    {"Monarch Envelope (3 7/8x7 1/2 inch)", false},
    {"6 3/4 Envelope (3 5/8x6 1/2 inch)", false},
    {"US Std Fanfold (14 7/8x11 inch)", false},
    {"German Std Fanfold (8 1/2x12 inch)", false},
    {"German Legal Fanfold (8 1/2x13 inch)", false},
    {"Photo (5x3 1/2 inch)", true},
    {"Photo (5x4 inch)", false},
    {"Photo (5x5 inch)", false},
    {"Photo (6x4 inch)", false},
    {"Photo (6x6 inch)", false},
    {"Photo (8x6 inch)", false},
    {"Photo (10x8 inch)", false},
    {"Photo (10x10 inch)", false},
    {"Photo (11x11 inch)", false},
    {"Photo (12x8 inch)", false},
    {"Photo (12x12 inch)", false},
    {"Photo (14x11 inch)", false},
    {"Photo (16x12 inch)", false},
}};

constexpr std::array<ResolutionPreset, 10> kResolutionPresets = {{
    {"Default Printer", ResolutionPresetKind::DefaultPrinter, false},
    {"Original", ResolutionPresetKind::Original, true},
    {"72 DPI", ResolutionPresetKind::Fixed, false},
    {"96 DPI", ResolutionPresetKind::Fixed, false},
    {"120 DPI", ResolutionPresetKind::Fixed, false},
    {"300 DPI", ResolutionPresetKind::Fixed, false},
    {"600 DPI", ResolutionPresetKind::Fixed, false},
    {"1200 DPI", ResolutionPresetKind::Fixed, false},
    {"2400 DPI", ResolutionPresetKind::Fixed, false},
    {"4800 DPI", ResolutionPresetKind::Fixed, false},
}};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// One half of an inch size: "8 1/2" is 8 + 1/2, "1/2" is 1/2, "11" is 11.
double ReadInchHalf(std::string_view half) {
    const size_t slash = half.find('/');
    if (slash == std::string_view::npos)
        return ParseLeadingReal(half);
    if (slash == 0 || slash + 1 >= half.size() || !IsDigit(half[slash - 1]) ||
        !IsDigit(half[slash + 1]) || half[slash + 1] == '0')
        return 0;
    const double numerator = half[slash - 1] - '0';
    const double denominator = half[slash + 1] - '0';
    const size_t space = half.find(' ');
    const double whole =
        space == std::string_view::npos ? 0 : ParseLeadingReal(half.substr(0, space));
    return whole + numerator / denominator;
}

}  // namespace

std::span<const ScreenPreset> ScreenPresets() {
    return kScreenPresets;
}
std::span<const PaperPreset> PaperPresets() {
    return kPaperPresets;
}
std::span<const ResolutionPreset> ResolutionPresets() {
    return kResolutionPresets;
}

bool ApplyScreenPreset(ResizeSettings& s, const SourceImageInfo& src, const ScreenPreset& preset) {
    if (preset.originalSize) {
        if (!src.present)
            return false;
        s.width = src.width;
        s.height = src.height;
        return true;
    }
    int64_t a = preset.width;
    int64_t b = preset.height;
    if (s.correctionMode() == CorrectionMode::KeepAspect)
        FitBoxToSource(a, b, src);
    s.width = ComputedPixels(a);
    s.height = ComputedPixels(b);
    return true;
}

std::optional<PaperSize> ParsePaperLabel(std::string_view label) {
    const size_t open = label.find('(');
    if (open == std::string_view::npos)
        return std::nullopt;
    const size_t close = label.find(')', open + 1);
    if (close == std::string_view::npos)
        return std::nullopt;
    std::string_view text = label.substr(open + 1, close - open - 1);
    PaperSize paper;
    paper.metric = !text.empty() && text.back() == 'm';
    const size_t unit = text.find(paper.metric ? "mm" : "inch");
    if (unit != std::string_view::npos)
        text = text.substr(0, unit);
    const size_t x = text.find('x');
    if (x == std::string_view::npos)
        return std::nullopt;
    const std::string_view first = text.substr(0, x);
    const std::string_view second = text.substr(x + 1);
    if (paper.metric) {
        paper.width = ParseLeadingReal(first);
        paper.height = ParseLeadingReal(second);
    } else {
        paper.width = ReadInchHalf(first);
        paper.height = ReadInchHalf(second);
    }
    if (!(paper.width > 0) || !(paper.height > 0))
        return std::nullopt;
    return paper;
}

std::optional<PaperPrintSize> ApplyPaperPreset(ResizeSettings& s, const SourceImageInfo& src,
                                               std::string_view label) {
    const auto paper = ParsePaperLabel(label);
    if (!paper || !(std::isfinite(s.dpi) && s.dpi > 0))
        return std::nullopt;
    const double smaller = std::min(paper->width, paper->height);
    const double larger = std::max(paper->width, paper->height);
    // Without an image the current output box tells the orientation.
    const bool portrait = src.present ? src.height >= src.width : s.height >= s.width;
    double w = portrait ? smaller : larger;
    double h = portrait ? larger : smaller;
    if (s.correctionMode() == CorrectionMode::KeepAspect)
        FitBoxToSource(w, h, src);
    const double pixelsPerUnit = paper->metric ? s.dpi / 25.4 : s.dpi;
    s.width = ComputedPixels(w * pixelsPerUnit);
    s.height = ComputedPixels(h * pixelsPerUnit);

    auto shown = [&](double v) {
        if (!paper->metric)
            return v * SizeUnitFactor(s.sizeUnit);
        switch (s.sizeUnitValue()) {
            case SizeUnit::Millimeters:
                return v;
            case SizeUnit::Centimeters:
                return v / 10;
            case SizeUnit::Picas:
                return v * 6 / 25.4;
            case SizeUnit::Points:
                return v * 72 / 25.4;
            case SizeUnit::Inches:
                break;
        }
        return v / 25.4;
    };
    PaperPrintSize result;
    result.width = shown(w);
    result.height = shown(h);
    result.widthText = QFormatG(result.width);
    result.heightText = QFormatG(result.height);
    return result;
}

std::optional<double> ResolutionPresetDpi(const ResolutionPreset& preset,
                                          const SourceImageInfo& src,
                                          std::optional<double> printerDpi) {
    switch (preset.kind) {
        case ResolutionPresetKind::DefaultPrinter:
            return printerDpi;
        case ResolutionPresetKind::Original:
            if (!src.present || !std::isfinite(src.horizontalDpi) || src.horizontalDpi <= 0)
                return std::nullopt;
            return src.horizontalDpi;
        case ResolutionPresetKind::Fixed: {
            const double dpi = ParseLeadingReal(preset.label);  // the number before the first space
            return dpi > 0 ? std::optional<double>(dpi) : std::nullopt;
        }
    }
    return std::nullopt;
}

bool ResolutionPresetEnabled(const ResolutionPreset& preset, const SourceImageInfo& src,
                             std::optional<double> printerDpi) {
    switch (preset.kind) {
        case ResolutionPresetKind::DefaultPrinter:
            return printerDpi.has_value();
        case ResolutionPresetKind::Original:
            return src.present;
        case ResolutionPresetKind::Fixed:
            return true;
    }
    return false;
}

bool ApplyResolutionPreset(ResizeSettings& s, const SourceImageInfo& src,
                           const ResolutionPreset& preset, std::optional<double> printerDpi) {
    const auto dpi = ResolutionPresetDpi(preset, src, printerDpi);
    return dpi && SetDpi(s, *dpi);
}

}  // namespace orm
