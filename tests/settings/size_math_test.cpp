#include "settings/size_math.h"
#include "settings/number_text.h"

#include <gtest/gtest.h>

#include <clocale>

namespace orm {
namespace {

SourceImageInfo Image(int w, int h, double dpi = 72, int bpp = 24) {
    return SourceImageInfo{true, w, h, bpp, dpi};
}

TEST(ResizeSettingsDefaults, MatchTheDocumentedRecord) {
    const ResizeSettings s;
    EXPECT_EQ(s.width, 640);
    EXPECT_EQ(s.height, 480);
    EXPECT_EQ(s.dpi, 300.0f);
    EXPECT_EQ(s.sizeUnitValue(), SizeUnit::Inches);
    EXPECT_EQ(s.resolutionUnitValue(), ResolutionUnit::DotsPerInch);
    EXPECT_EQ(s.correctionMode(), CorrectionMode::KeepAspect);
    EXPECT_EQ(s.algorithm, ResizeAlgorithm::HighQualityBicubic);
    EXPECT_EQ(AlgorithmName(s.algorithm), "High Quality Bicubic");
    EXPECT_EQ(s.jpegQuality, 75);
    EXPECT_EQ(s.applyToAll, 1);
    EXPECT_FALSE(s.cropFlag());
}

TEST(SanitizeSettings, BringsUntrustedValuesIntoRange) {
    ResizeSettings s;
    EXPECT_FALSE(SanitizeSettings(s));
    s.width = -7;
    s.height = 2000000000;
    s.dpi = std::numeric_limits<float>::quiet_NaN();
    s.sizeUnit = 5;
    s.resolutionUnit = -1;
    s.correction = 3;
    s.algorithm = ResizeAlgorithm(8);
    s.inPercent = 42;
    s.percentWidth = -1;
    EXPECT_TRUE(SanitizeSettings(s));
    EXPECT_EQ(s.width, kMinPixels);
    EXPECT_EQ(s.height, kMaxPixels);
    EXPECT_EQ(s.dpi, 300.0f);
    EXPECT_EQ(s.sizeUnit, 0);
    EXPECT_EQ(s.resolutionUnit, 0);
    EXPECT_EQ(s.correction, 0);
    EXPECT_EQ(s.algorithm, ResizeAlgorithm(4));
    EXPECT_EQ(s.inPercent, 1);
    EXPECT_EQ(s.percentWidth, 100);
    // Unit lookups never index outside their tables.
    EXPECT_EQ(SizeUnitFactor(99), 1.0);
    EXPECT_EQ(ResolutionUnitDivisor(-3), 1.0);
    EXPECT_EQ(AlgorithmName(8), "");
}

TEST(Limits, PixelsPercentPrintAndResolution) {
    ResizeSettings s;
    const auto src = Image(4000, 3000);
    EXPECT_EQ(LimitsFor(Quantity::Pixels, Dimension::Width, s, src).lower, 3);
    EXPECT_EQ(LimitsFor(Quantity::Pixels, Dimension::Height, s, src).upper, 100000);
    const Limits pw = LimitsFor(Quantity::Percent, Dimension::Width, s, src);
    EXPECT_DOUBLE_EQ(pw.lower, 0.075);
    EXPECT_DOUBLE_EQ(pw.upper, 2500);
    const Limits ph = LimitsFor(Quantity::Percent, Dimension::Height, s, src);
    EXPECT_DOUBLE_EQ(ph.lower, 0.1);
    const Limits none = LimitsFor(Quantity::Percent, Dimension::Width, s, {});
    EXPECT_DOUBLE_EQ(none.lower, 0.3);
    EXPECT_DOUBLE_EQ(none.upper, 3000);
    s.sizeUnit = int(SizeUnit::Millimeters);
    const Limits print = LimitsFor(Quantity::PrintSize, Dimension::Width, s, src);
    EXPECT_DOUBLE_EQ(print.lower, 25.4 / 300);
    EXPECT_DOUBLE_EQ(print.upper, 100000.0 / 300 * 25.4);
    s.resolutionUnit = int(ResolutionUnit::DotsPerCm);
    const Limits res = LimitsFor(Quantity::Resolution, Dimension::Width, s, src);
    EXPECT_DOUBLE_EQ(res.lower, 1 / 2.54);
    EXPECT_DOUBLE_EQ(res.upper, 100000 / 2.54);

    double v = 2;
    EXPECT_FALSE(ClampToLimits(v, {3, 100000}));
    EXPECT_EQ(v, 3);
    v = 200000;
    EXPECT_FALSE(ClampToLimits(v, {3, 100000}));
    EXPECT_EQ(v, 100000);
    v = 50;
    EXPECT_TRUE(ClampToLimits(v, {3, 100000}));
    EXPECT_EQ(v, 50);
}

TEST(EditPixels, KeepAspectDerivesTheOtherSideAndIgnoresBadInput) {
    ResizeSettings s;
    const auto src = Image(4000, 3000);
    EXPECT_TRUE(EditPixels(s, src, Dimension::Width, "1000"));
    EXPECT_EQ(s.width, 1000);
    EXPECT_EQ(s.height, 750);
    for (const char* bad : {"2", "100001", "12a", "-5", "", "1e3", "10.5"}) {
        EXPECT_FALSE(EditPixels(s, src, Dimension::Width, bad)) << bad;
        EXPECT_EQ(s.width, 1000) << bad;
    }
    EXPECT_TRUE(EditPixels(s, src, Dimension::Height, "300"));
    EXPECT_EQ(s.width, 400);
    // Crop and None keep the typed box as it is.
    s.correction = int(CorrectionMode::None);
    EXPECT_TRUE(EditPixels(s, src, Dimension::Width, "999"));
    EXPECT_EQ(s.height, 300);
    // Without an image there is no aspect to keep.
    s.correction = int(CorrectionMode::KeepAspect);
    EXPECT_TRUE(EditPixels(s, {}, Dimension::Width, "50"));
    EXPECT_EQ(s.height, 300);
}

TEST(EditPixels, LargeSizesDoNotOverflowAndStayWithinTheMaximum) {
    ResizeSettings s;
    // 100000 x 99999 would overflow a 32-bit product.
    const auto src = Image(100000, 99999);
    EXPECT_TRUE(EditPixels(s, src, Dimension::Width, "100000"));
    EXPECT_EQ(s.height, 99999);
    EXPECT_TRUE(EditPixels(s, src, Dimension::Height, "77777"));
    EXPECT_EQ(s.width, 77777);  // 100000 * 77777 / 99999 = 77777.77
    // A very tall source: the derived width is raised to 3, a very wide one capped.
    const auto tall = Image(10, 100000);
    EXPECT_TRUE(EditPixels(s, tall, Dimension::Height, "100"));
    EXPECT_EQ(s.width, 3);
    const auto wide = Image(100000, 10);
    EXPECT_TRUE(EditPixels(s, wide, Dimension::Height, "100000"));
    EXPECT_EQ(s.width, kMaxPixels);
}

TEST(EditPercent, LimitsFollowTheSourceAndBothFieldsShowTheTypedPercent) {
    ResizeSettings s;
    s.inPercent = 1;
    const auto src = Image(4000, 3000);
    EXPECT_TRUE(EditPercent(s, src, Dimension::Width, "50"));
    EXPECT_EQ(s.width, 2000);
    EXPECT_EQ(s.height, 1500);
    EXPECT_EQ(s.percentWidth, 50);
    EXPECT_EQ(s.percentHeight, 50);
    EXPECT_EQ(SizeFieldText(s, Dimension::Height), "50");
    EXPECT_FALSE(EditPercent(s, src, Dimension::Width, "0.01"));
    EXPECT_FALSE(EditPercent(s, src, Dimension::Width, "2500.5"));
    EXPECT_TRUE(EditPercent(s, src, Dimension::Width, "0.075"));
    EXPECT_EQ(s.width, 3);
    EXPECT_TRUE(EditPercent(s, src, Dimension::Width, "2500"));
    EXPECT_EQ(s.width, 100000);
    // Without an image typed percents are not taken over.
    EXPECT_FALSE(EditPercent(s, {}, Dimension::Width, "50"));
    EXPECT_EQ(s.percentWidth, 2500);
}

TEST(FieldTexts, PercentsFollowThePixelsWithAnImage) {
    ResizeSettings s;
    s.width = 500;
    s.height = 333;
    s.inPercent = 1;
    RefreshPercents(s, Image(2000, 1000));
    EXPECT_EQ(SizeFieldText(s, Dimension::Width), "25");
    EXPECT_EQ(SizeFieldText(s, Dimension::Height), "33.3");
    // Without an image the stored percents stay.
    s.percentWidth = 12.5;
    RefreshPercents(s, {});
    EXPECT_EQ(SizeFieldText(s, Dimension::Width), "12.5");
    s.inPercent = 0;
    EXPECT_EQ(SizeFieldText(s, Dimension::Width), "500");
}

TEST(PrintSize, PixelsToPrintInEveryUnit) {
    ResizeSettings s;
    s.width = 3000;
    s.height = 1000;
    const char* expected[] = {"10", "254", "25.4", "60", "720"};
    for (int unit = 0; unit < kSizeUnitCount; ++unit) {
        s.sizeUnit = unit;
        EXPECT_EQ(PrintFieldText(s, Dimension::Width), expected[unit]) << unit;
    }
    // Four decimals, then "%g".
    s.sizeUnit = int(SizeUnit::Inches);
    EXPECT_EQ(PrintFieldText(s, Dimension::Height), "3.3333");
    s.dpi = 0;  // an unusable resolution shows nothing instead of "inf"
    EXPECT_EQ(PrintFieldText(s, Dimension::Height), "");
}

TEST(PrintSize, TypedPrintSizeSetsPixels) {
    ResizeSettings s;
    s.correction = int(CorrectionMode::None);
    s.sizeUnit = int(SizeUnit::Millimeters);
    s.width = 100;
    s.height = 1000;
    const auto src = Image(4000, 3000);
    const QString heightShown = PrintFieldText(s, Dimension::Height);  // 84.6667 mm
    EXPECT_TRUE(EditPrintSize(s, src, Dimension::Width, "254", heightShown));
    EXPECT_EQ(s.width, 3000);
    EXPECT_EQ(s.height, 1000);  // the untouched field does not drift to 999
    // Out of its limits: the dimension stays.
    EXPECT_FALSE(
        EditPrintSize(s, src, Dimension::Width, "0.0001", PrintFieldText(s, Dimension::Height)));
    EXPECT_EQ(s.width, 3000);
    // Keep aspect derives the height from the edited width.
    s.correction = int(CorrectionMode::KeepAspect);
    EXPECT_TRUE(
        EditPrintSize(s, src, Dimension::Width, "127", PrintFieldText(s, Dimension::Height)));
    EXPECT_EQ(s.width, 1500);
    EXPECT_EQ(s.height, 1125);
    // Only with an image.
    EXPECT_FALSE(EditPrintSize(s, {}, Dimension::Width, "254", "254"));
    EXPECT_EQ(s.width, 1500);
}

TEST(Resolution, ShownInTheChosenUnitAndTyped) {
    ResizeSettings s;
    s.resolutionUnit = int(ResolutionUnit::DotsPerCm);
    EXPECT_EQ(ResolutionFieldText(s), "118.11");
    s.editPrintSize = 1;
    EXPECT_TRUE(EditResolution(s, "100"));
    EXPECT_EQ(s.dpi, 254.0f);
    s.resolutionUnit = int(ResolutionUnit::DotsPerMm);
    EXPECT_EQ(ResolutionFieldText(s), "10");
    EXPECT_FALSE(EditResolution(s, "abc"));
    EXPECT_FALSE(EditResolution(s, "0.01"));  // below 1 dpi
    EXPECT_FALSE(EditResolution(s, "4000"));  // above 100000 dpi
    EXPECT_EQ(s.dpi, 254.0f);
}

TEST(Resolution, ChangeKeepsPrintSizeOrPixelsByEditMode) {
    ResizeSettings s;
    s.width = 3000;
    s.height = 2000;
    // Edit pixels: the print size stays, the pixels halve.
    EXPECT_TRUE(EditResolution(s, "150"));
    EXPECT_EQ(s.width, 1500);
    EXPECT_EQ(s.height, 1000);
    EXPECT_EQ(PrintFieldText(s, Dimension::Width), "10");
    // Edit print size: the pixels stay, the print size doubles.
    s.width = 3000;
    s.dpi = 300;
    s.editPrintSize = 1;
    EXPECT_TRUE(EditResolution(s, "150"));
    EXPECT_EQ(s.width, 3000);
    EXPECT_EQ(PrintFieldText(s, Dimension::Width), "20");
    // Rounding: 1001 px from 300 to 100 dpi is 333.67 -> 334.
    s.editPrintSize = 0;
    s.dpi = 300;
    s.width = 1001;
    EXPECT_TRUE(SetDpi(s, 100));
    EXPECT_EQ(s.width, 334);
    // A change away from an unusable resolution keeps the pixels.
    s.dpi = 0;
    EXPECT_TRUE(SetDpi(s, 72));
    EXPECT_EQ(s.width, 334);
    EXPECT_FALSE(SetDpi(s, 0));
    EXPECT_EQ(s.dpi, 72.0f);
}

TEST(Correction, ChangeToKeepAspectShrinksTheBox) {
    const auto src = Image(4000, 3000);
    ResizeSettings s;
    s.correction = int(CorrectionMode::None);
    s.width = 1000;
    s.height = 1000;
    SetCorrection(s, src, CorrectionMode::KeepAspect);
    EXPECT_EQ(s.width, 1000);
    EXPECT_EQ(s.height, 750);
    s.width = 2000;
    s.height = 750;
    SetCorrection(s, src, CorrectionMode::KeepAspect);
    EXPECT_EQ(s.width, 1000);
    EXPECT_EQ(s.height, 750);
    s.width = 2000;
    SetCorrection(s, src, CorrectionMode::Crop);
    EXPECT_EQ(s.width, 2000);
    EXPECT_TRUE(s.cropFlag());
}

TEST(AdoptSettingsForImage, LockSettingsAndBatchRules) {
    const auto src = Image(3000, 2000, 240);
    ResizeSettings unlocked;
    AdoptSettingsForImage(unlocked, src, false, false);
    EXPECT_EQ(unlocked.width, 3000);
    EXPECT_EQ(unlocked.height, 2000);
    EXPECT_EQ(unlocked.dpi, 240.0f);

    ResizeSettings locked;
    locked.lockSettings = 1;
    AdoptSettingsForImage(locked, src, false, false);
    EXPECT_EQ(locked.width, 640);
    EXPECT_EQ(locked.height, 480);
    EXPECT_EQ(locked.dpi, 300.0f);
    EXPECT_EQ(locked.correctionMode(), CorrectionMode::Crop);

    // Kept percents are applied to the new source, rounded.
    ResizeSettings percent;
    percent.lockSettings = 1;
    percent.inPercent = 1;
    percent.percentWidth = 50;
    percent.percentHeight = 25;
    AdoptSettingsForImage(percent, Image(3001, 2000), false, false);
    EXPECT_EQ(percent.width, 1501);  // 1500.5 + 0.5
    EXPECT_EQ(percent.height, 500);
    EXPECT_EQ(percent.correctionMode(), CorrectionMode::Crop);

    // In batch mode "Apply to new" decides, and lockSettings does not.
    ResizeSettings batch;
    batch.lockSettings = 1;
    batch.applyToAll = 0;
    AdoptSettingsForImage(batch, src, true, false);
    EXPECT_EQ(batch.width, 3000);

    // An entry of the batch list has already set the record.
    ResizeSettings entry;
    entry.applyToAll = 0;
    const ResizeSettings before = entry;
    AdoptSettingsForImage(entry, src, true, true);
    EXPECT_EQ(entry, before);

    // A file without a resolution keeps the current one.
    ResizeSettings noDpi;
    AdoptSettingsForImage(noDpi, Image(800, 600, 0), false, false);
    EXPECT_EQ(noDpi.width, 800);
    EXPECT_EQ(noDpi.dpi, 300.0f);
}

TEST(RawSize, SourceOutputAndFormatting) {
    ResizeSettings s;
    s.width = 1024;
    s.height = 1000;
    EXPECT_EQ(OutputRawBytes(s), 3072000);
    EXPECT_EQ(FormatByteSize(OutputRawBytes(s)), "2.9MB");
    EXPECT_EQ(FormatByteSize(999 * 1024.0), "999.0KB");
    EXPECT_EQ(FormatByteSize(1000 * 1024.0), "1.0MB");
    EXPECT_EQ(FormatByteSize(1000.0 * 1024 * 1024), "1.0GB");
    EXPECT_EQ(FormatByteSize(0), "0.0KB");
    EXPECT_EQ(SourceRawBytes(Image(100, 10, 72, 32)), 4000);
    EXPECT_EQ(FormatByteSize(SourceRawBytes(Image(100, 10, 72, 32))), "3.9KB");
}

TEST(SpinStep, AddsClampsAndFormats) {
    EXPECT_EQ(StepFieldText("640", 1, {3, 100000}), "641");
    EXPECT_EQ(StepFieldText("3", -1, {3, 100000}), "3");
    EXPECT_EQ(StepFieldText("2.5", 1, {0.3, 3000}), "3.5");
    EXPECT_EQ(StepFieldText("junk", 1, {3, 100000}), "3");
}

TEST(NumberText, CLocaleWhateverTheProcessLocale) {
    // Qt applications take the locale of the environment; a decimal comma must not leak in.
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    const bool german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    EXPECT_EQ(FormatFixed(300, 6), "300.000000");
    EXPECT_EQ(FormatG(118.11), "118.11");
    EXPECT_EQ(FormatG(1234567), "1.23457e+06");
    EXPECT_EQ(ParseReal(std::string_view("2.54")), 2.54);
    std::setlocale(LC_NUMERIC, saved.c_str());
    if (!german)
        GTEST_LOG_(INFO) << "de_DE locale not installed; checked in the C locale only";

    EXPECT_FALSE(ParseReal(std::string_view("12a")));
    EXPECT_FALSE(ParseReal(std::string_view("nan")));
    EXPECT_EQ(ParseReal(std::string_view(" +7.5 ")), 7.5);
    EXPECT_EQ(ParseLeadingReal(std::string_view("12abc")), 12);
    EXPECT_EQ(ParseLeadingReal(std::string_view("abc")), 0);
    EXPECT_EQ(ParseUnsigned(std::string_view(" 640 ")), 640);
    EXPECT_FALSE(ParseUnsigned(std::string_view("9999999999")));
}

}  // namespace
}  // namespace orm
