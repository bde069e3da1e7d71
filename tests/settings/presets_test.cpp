#include "settings/presets.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace orm {
namespace {

SourceImageInfo Image(int w, int h, double dpi = 72) {
    return SourceImageInfo{true, w, h, 24, dpi};
}

const ScreenPreset& Screen(std::string_view label) {
    for (const ScreenPreset& p : ScreenPresets()) {
        if (p.label == label)
            return p;
    }
    throw std::runtime_error("no screen preset " + std::string(label));
}

const ResolutionPreset& Res(std::string_view label) {
    for (const ResolutionPreset& p : ResolutionPresets()) {
        if (p.label == label)
            return p;
    }
    throw std::runtime_error("no resolution preset " + std::string(label));
}

TEST(ScreenPresets, MenuOrderSeparatorsAndSizes) {
    const auto presets = ScreenPresets();
    ASSERT_EQ(presets.size(), 17u);
    EXPECT_EQ(presets.front().label, "Original size");
    EXPECT_TRUE(presets.front().separatorAfter);
    EXPECT_TRUE(Screen("HD (1920x1080)").separatorAfter);
    EXPECT_EQ(presets.back().label, "Desktop (1600x1200)");
    // Every fixed item sets the size its label names, DVD NTSC Full-D1 included.
    for (const ScreenPreset& p : presets) {
        if (p.originalSize)
            continue;
        const std::string expected =
            "(" + std::to_string(p.width) + "x" + std::to_string(p.height) + ")";
        EXPECT_NE(std::string(p.label).find(expected), std::string::npos) << p.label;
    }
}

TEST(ScreenPresets, FittedToTheSourceWithKeepAspect) {
    ResizeSettings s;
    const auto src = Image(4000, 3000);
    EXPECT_TRUE(ApplyScreenPreset(s, src, Screen("HD (1920x1080)")));
    EXPECT_EQ(s.width, 1440);
    EXPECT_EQ(s.height, 1080);
    EXPECT_TRUE(ApplyScreenPreset(s, Image(3000, 4000), Screen("DVD NTSC Full-D1 (720x480)")));
    EXPECT_EQ(s.width, 360);
    EXPECT_EQ(s.height, 480);
    s.correction = int(CorrectionMode::Crop);
    EXPECT_TRUE(ApplyScreenPreset(s, src, Screen("DVD NTSC Full-D1 (720x480)")));
    EXPECT_EQ(s.width, 720);
    EXPECT_EQ(s.height, 480);
    // A tiny source aspect: the fitted side is raised to 3.
    s.correction = int(CorrectionMode::KeepAspect);
    EXPECT_TRUE(ApplyScreenPreset(s, Image(100000, 10), Screen("Multimedia (320x240)")));
    EXPECT_EQ(s.width, 320);
    EXPECT_EQ(s.height, 3);
}

TEST(ScreenPresets, OriginalSizeNeedsAnImage) {
    ResizeSettings s;
    EXPECT_FALSE(ApplyScreenPreset(s, {}, Screen("Original size")));
    EXPECT_EQ(s.width, 640);
    EXPECT_TRUE(ApplyScreenPreset(s, Image(1234, 567), Screen("Original size")));
    EXPECT_EQ(s.width, 1234);
    EXPECT_EQ(s.height, 567);
}

TEST(PaperPresets, EveryLabelReadsAsItsPaper) {
    // Width x height before orientation, and whether the paper is metric.
    const std::map<std::string, PaperSize> expected = {
        {"A0 (841x1189 mm)", {841, 1189, true}},
        {"A1 (594x841 mm)", {594, 841, true}},
        {"A2 (420x594 mm)", {420, 594, true}},
        {"A3 (297x420 mm)", {297, 420, true}},
        {"A4 (210x297 mm)", {210, 297, true}},
        {"A5 (148x210 mm)", {148, 210, true}},
        {"A6 Card (105x148.5 mm)", {105, 148.5, true}},
        {"B4 (250x354 mm)", {250, 354, true}},
        {"B5 (182x257 mm)", {182, 257, true}},
        {"B4 Envelope (250x353 mm)", {250, 353, true}},
        {"B5 Envelope (176x250 mm)", {176, 250, true}},
        {"B6 Envelope (176x125 mm)", {176, 125, true}},
        {"Italy Envelope (110x230 mm)", {110, 230, true}},
        {"C3 Envelope (324x458 mm)", {324, 458, true}},
        {"C4 Envelope (229x324 mm)", {229, 324, true}},
        {"C5 Envelope (162x229 mm)", {162, 229, true}},
        {"DL Envelope (110x220 mm)", {110, 220, true}},
        {"US Letter (8 1/2x11 inch)", {8.5, 11, false}},
        {"Legal (8 1/2x14 inch)", {8.5, 14, false}},
        {"C (17x22 inch)", {17, 22, false}},
        {"D (22x34 inch)", {22, 34, false}},
        {"E (34x44 inch)", {34, 44, false}},
        {"US Letter Small (8 1/2x11 inch)", {8.5, 11, false}},
        {"Tabloid (11x17 inch)", {11, 17, false}},
        {"Ledger (17x11 inch)", {17, 11, false}},
        {"Statement (5 1/2x8 1/2 inch)", {5.5, 8.5, false}},
        {"Executive (7 1/4x10 1/2 inch)", {7.25, 10.5, false}},
        {"Note (8 1/2x11 inch)", {8.5, 11, false}},
        {"#9 Envelope (3 7/8x8 7/8 inch)", {3.875, 8.875, false}},
        {"#10 Envelope (4 1/8x10 3/8 inch)", {4.125, 10.375, false}},
        {"#11 Envelope (4 1/2x10 3/8 inch)", {4.5, 10.375, false}},
        {"#12 Envelope (4 3/4x11 inch)", {4.75, 11, false}},
        {"#14 Envelope (5x11 1/2 inch)", {5, 11.5, false}},
        {"Monarch Envelope (3 7/8x7 1/2 inch)", {3.875, 7.5, false}},
        {"6 3/4 Envelope (3 5/8x6 1/2 inch)", {3.625, 6.5, false}},
        {"US Std Fanfold (14 7/8x11 inch)", {14.875, 11, false}},
        {"German Std Fanfold (8 1/2x12 inch)", {8.5, 12, false}},
        {"German Legal Fanfold (8 1/2x13 inch)", {8.5, 13, false}},
        {"Photo (5x3 1/2 inch)", {5, 3.5, false}},
        {"Photo (5x4 inch)", {5, 4, false}},
        {"Photo (5x5 inch)", {5, 5, false}},
        {"Photo (6x4 inch)", {6, 4, false}},
        {"Photo (6x6 inch)", {6, 6, false}},
        {"Photo (8x6 inch)", {8, 6, false}},
        {"Photo (10x8 inch)", {10, 8, false}},
        {"Photo (10x10 inch)", {10, 10, false}},
        {"Photo (11x11 inch)", {11, 11, false}},
        {"Photo (12x8 inch)", {12, 8, false}},
        {"Photo (12x12 inch)", {12, 12, false}},
        {"Photo (14x11 inch)", {14, 11, false}},
        {"Photo (16x12 inch)", {16, 12, false}},
    };
    const auto papers = PaperPresets();
    ASSERT_EQ(papers.size(), 51u);
    for (const PaperPreset& p : papers) {
        const auto it = expected.find(std::string(p.label));
        ASSERT_NE(it, expected.end()) << p.label;
        const auto parsed = ParsePaperLabel(p.label);
        ASSERT_TRUE(parsed) << p.label;
        EXPECT_DOUBLE_EQ(parsed->width, it->second.width) << p.label;
        EXPECT_DOUBLE_EQ(parsed->height, it->second.height) << p.label;
        EXPECT_EQ(parsed->metric, it->second.metric) << p.label;
        EXPECT_EQ(p.separatorBefore,
                  p.label == "US Letter (8 1/2x11 inch)" || p.label == "Photo (5x3 1/2 inch)");
    }
}

TEST(PaperPresets, MalformedLabelsAreRefused) {
    for (const char* bad : {"", "A4", "A4 (210x297 mm", "X (210 mm)", "Y (1/0x3 inch)",
                            "Z (x297 mm)", "W (0x5 inch)"})
        EXPECT_FALSE(ParsePaperLabel(bad)) << bad;
    EXPECT_DOUBLE_EQ(ParsePaperLabel("Q (1/2x3 inch)")->width, 0.5);
}

TEST(PaperPresets, A4LandscapeFittedToTheImage) {
    ResizeSettings s;
    s.sizeUnit = int(SizeUnit::Centimeters);
    const auto r = ApplyPaperPreset(s, Image(3000, 2000), "A4 (210x297 mm)");
    ASSERT_TRUE(r);
    EXPECT_EQ(s.width, 3507);
    EXPECT_EQ(s.height, 2338);
    EXPECT_EQ(r->widthText, "29.7");
    EXPECT_EQ(r->heightText, "19.8");
}

TEST(PaperPresets, StatementPortraitWithoutCorrection) {
    ResizeSettings s;
    s.correction = int(CorrectionMode::None);
    s.dpi = 100;
    const auto r = ApplyPaperPreset(s, Image(2000, 3000), "Statement (5 1/2x8 1/2 inch)");
    ASSERT_TRUE(r);
    EXPECT_EQ(s.width, 550);
    EXPECT_EQ(s.height, 850);
    EXPECT_EQ(r->widthText, "5.5");
    s.sizeUnit = int(SizeUnit::Points);
    ApplyPaperPreset(s, Image(2000, 3000), "Statement (5 1/2x8 1/2 inch)");
    s.sizeUnit = int(SizeUnit::Millimeters);
    const auto mm = ApplyPaperPreset(s, Image(2000, 3000), "Statement (5 1/2x8 1/2 inch)");
    EXPECT_EQ(mm->widthText, "139.7");
    EXPECT_EQ(mm->heightText, "215.9");
}

TEST(PaperPresets, UnitsOrientationWithoutImageAndMaximum) {
    ResizeSettings s;
    s.correction = int(CorrectionMode::None);
    // Without an image the current box decides: 640 x 480 is landscape.
    s.sizeUnit = int(SizeUnit::Points);
    auto r = ApplyPaperPreset(s, {}, "A4 (210x297 mm)");
    EXPECT_EQ(s.width, 3507);
    EXPECT_EQ(s.height, 2480);
    EXPECT_EQ(r->widthText, "841.89");
    s.sizeUnit = int(SizeUnit::Picas);
    r = ApplyPaperPreset(s, {}, "A4 (210x297 mm)");
    EXPECT_EQ(r->heightText, "49.6063");
    s.sizeUnit = int(SizeUnit::Inches);
    r = ApplyPaperPreset(s, {}, "A4 (210x297 mm)");
    EXPECT_EQ(r->heightText, "8.26772");
    // A large paper at a high resolution stays within the pixel maximum.
    s.dpi = 4800;
    ApplyPaperPreset(s, {}, "E (34x44 inch)");
    EXPECT_EQ(s.width, kMaxPixels);
    EXPECT_EQ(s.height, kMaxPixels);
}

TEST(ResolutionPresets, FixedOriginalAndPrinter) {
    const auto presets = ResolutionPresets();
    ASSERT_EQ(presets.size(), 10u);
    EXPECT_EQ(presets[0].label, "Default Printer");
    EXPECT_TRUE(presets[1].separatorAfter);

    ResizeSettings s;
    s.width = 3000;
    EXPECT_TRUE(ApplyResolutionPreset(s, {}, Res("600 DPI")));
    EXPECT_EQ(s.dpi, 600.0f);
    EXPECT_EQ(s.width, 6000);
    EXPECT_TRUE(ApplyResolutionPreset(s, {}, Res("4800 DPI")));
    EXPECT_EQ(s.dpi, 4800.0f);

    EXPECT_FALSE(ApplyResolutionPreset(s, {}, Res("Original")));
    EXPECT_FALSE(ApplyResolutionPreset(s, Image(10, 10, 0), Res("Original")));
    EXPECT_EQ(s.dpi, 4800.0f);
    EXPECT_TRUE(ApplyResolutionPreset(s, Image(10, 10, 72), Res("Original")));
    EXPECT_EQ(s.dpi, 72.0f);

    // The printer item is usable exactly when the caller's source knows a default printer.
    const float before = s.dpi;
    EXPECT_FALSE(ApplyResolutionPreset(s, {}, Res("Default Printer")));
    EXPECT_EQ(s.dpi, before);
    EXPECT_FALSE(ResolutionPresetEnabled(Res("Default Printer"), {}));
    EXPECT_TRUE(ResolutionPresetEnabled(Res("Default Printer"), {}, 1200.0));
    EXPECT_TRUE(ApplyResolutionPreset(s, {}, Res("Default Printer"), 1200.0));
    EXPECT_EQ(s.dpi, 1200.0f);
}

}  // namespace
}  // namespace orm
