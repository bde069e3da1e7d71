// The panel's rules without widgets: typed values, the fields rewritten afterwards, focus-out
// texts, units, presets, the spin-pending rule and the facts of the original image.

#include "settings/panel_logic.h"
#include "settings/presets.h"
#include "settings/size_rules.h"

#include <gtest/gtest.h>

namespace orm {
namespace {

SourceImageInfo Image(int w, int h, double dpi = 300, int bits = 24) {
    SourceImageInfo src;
    src.present = true;
    src.width = w;
    src.height = h;
    src.bitsPerPixel = bits;
    src.horizontalDpi = dpi;
    return src;
}

QString Written(const PanelOutcome& out, PanelField f) {
    const auto& text = out.writes.Get(f);
    return text ? *text : QStringLiteral("<not written>");
}

int PresetIndex(auto presets, std::string_view label) {
    for (size_t i = 0; i < presets.size(); ++i)
        if (presets[i].label == label)
            return int(i);
    ADD_FAILURE() << "no preset " << label;
    return -1;
}

class PanelLogicTest : public ::testing::Test {
  protected:
    ResizePanelLogic logic{ResizeSettings{}};
    ResizeSettings& s = logic.settings();  // the logic's own record
};

TEST_F(PanelLogicTest, InvalidPixelTextsChangeNothingAndFocusOutRestoresTheStoredWidth) {
    logic.SetImage(Image(4000, 3000));
    const ResizeSettings before = s;
    for (const char* text : {"12a", "2", "100001", "", "-5", "1e3", " 7x"}) {
        const PanelOutcome out = logic.SizeTyped(Dimension::Width, QString::fromLatin1(text));
        EXPECT_FALSE(out.accepted) << text;
        EXPECT_TRUE(out.writes.Empty()) << text;
        EXPECT_EQ(s, before) << text;
    }
    EXPECT_EQ(logic.FocusOutText(PanelField::Width), QStringLiteral("640"));
    EXPECT_EQ(logic.FocusOutText(PanelField::Height), QStringLiteral("480"));
    // The resolution field keeps what was typed.
    EXPECT_FALSE(logic.FocusOutText(PanelField::Resolution).has_value());
}

TEST_F(PanelLogicTest, KeepAspectPixelEditRewritesTheOtherFieldAndBothPrintFields) {
    logic.SetImage(Image(4000, 3000));
    const PanelOutcome out = logic.SizeTyped(Dimension::Width, QStringLiteral("1000"));
    ASSERT_TRUE(out.accepted);
    EXPECT_EQ(s.width, 1000);
    EXPECT_EQ(s.height, 750);
    EXPECT_FALSE(out.writes.Has(PanelField::Width)) << "the field being typed in is left alone";
    EXPECT_EQ(Written(out, PanelField::Height), QStringLiteral("750"));
    EXPECT_EQ(Written(out, PanelField::PrintWidth), QStringLiteral("3.3333"));
    EXPECT_EQ(Written(out, PanelField::PrintHeight), QStringLiteral("2.5"));

    // Without Keep aspect the other dimension stays and its field is not touched.
    s.correction = int32_t(CorrectionMode::None);
    const PanelOutcome free = logic.SizeTyped(Dimension::Height, QStringLiteral("100"));
    EXPECT_EQ(s.width, 1000);
    EXPECT_EQ(s.height, 100);
    EXPECT_FALSE(free.writes.Has(PanelField::Width));
}

TEST_F(PanelLogicTest, KeepAspectPercentCopiesTheTypedTextIntoTheOtherField) {
    logic.SetImage(Image(4000, 3000));
    s.inPercent = 1;
    PanelOutcome out = logic.SizeTyped(Dimension::Width, QStringLiteral("50"));
    ASSERT_TRUE(out.accepted);
    EXPECT_EQ(Written(out, PanelField::Height), QStringLiteral("50"));
    EXPECT_EQ(s.width, 2000);
    EXPECT_EQ(s.height, 1500);
    EXPECT_DOUBLE_EQ(s.percentHeight, 50);

    out = logic.SizeTyped(Dimension::Height, QStringLiteral("12.50"));
    ASSERT_TRUE(out.accepted);
    EXPECT_EQ(Written(out, PanelField::Width), QStringLiteral("12.50"))
        << "the text exactly as typed";
    EXPECT_EQ(s.height, 375);
    EXPECT_EQ(s.width, 500);

    // Below the lowest percentage of a 4000-pixel width (0.075): ignored.
    EXPECT_FALSE(logic.SizeTyped(Dimension::Width, QStringLiteral("0.01")).accepted);
    EXPECT_EQ(s.width, 500);
}

TEST_F(PanelLogicTest, PercentsAreNotTakenOverWithoutAnImage) {
    s.inPercent = 1;
    EXPECT_FALSE(logic.SizeTyped(Dimension::Width, QStringLiteral("50")).accepted);
    EXPECT_EQ(s, ResizeSettings{.inPercent = 1});
    EXPECT_EQ(logic.FocusOutText(PanelField::Width), QStringLiteral("100"));
}

TEST_F(PanelLogicTest, SwitchingPixelsToPercentShowsThePercentOfTheSource) {
    logic.SetImage(Image(2000, 1000));
    s.width = 500;
    s.height = 333;
    PanelOutcome out = logic.UnitsModeSelected(1);
    EXPECT_TRUE(out.accepted);
    EXPECT_EQ(s.inPercent, 1);
    EXPECT_EQ(Written(out, PanelField::Width), QStringLiteral("25"));
    EXPECT_EQ(Written(out, PanelField::Height), QStringLiteral("33.3"));
    EXPECT_EQ(s.width, 500) << "the pixel size does not change";

    out = logic.UnitsModeSelected(0);
    EXPECT_EQ(Written(out, PanelField::Width), QStringLiteral("500"));
    EXPECT_FALSE(logic.UnitsModeSelected(kUnitsModeCount).accepted);
    EXPECT_EQ(s.inPercent, 0);
}

TEST_F(PanelLogicTest, PrintSizeEditsNeedAnImageAndRefreshTheOtherPrintField) {
    s.dpi = 300;
    EXPECT_FALSE(
        logic.PrintTyped(Dimension::Width, QStringLiteral("5"), QStringLiteral("1.6")).accepted);
    EXPECT_EQ(s.width, 640);

    logic.SetImage(Image(3000, 2000));
    const QString heightText = logic.PrintText(Dimension::Height);
    const PanelOutcome out = logic.PrintTyped(Dimension::Width, QStringLiteral("5"), heightText);
    ASSERT_TRUE(out.accepted);
    EXPECT_EQ(s.width, 1500);
    EXPECT_EQ(s.height, 1000);
    EXPECT_EQ(Written(out, PanelField::Width), QStringLiteral("1500"));
    EXPECT_EQ(Written(out, PanelField::Height), QStringLiteral("1000"));
    EXPECT_EQ(Written(out, PanelField::PrintHeight), QStringLiteral("3.3333"));
    EXPECT_FALSE(out.writes.Has(PanelField::PrintWidth));
}

TEST_F(PanelLogicTest, TypedResolutionMovesPixelsOrPrintSizeByEditMode) {
    logic.SetImage(Image(4000, 3000));
    s.width = 3000;
    s.height = 2000;
    PanelOutcome out = logic.ResolutionTyped(QStringLiteral("150"));
    ASSERT_TRUE(out.accepted);
    EXPECT_EQ(s.width, 1500);
    EXPECT_EQ(Written(out, PanelField::Width), QStringLiteral("1500"));
    EXPECT_FALSE(out.writes.Has(PanelField::PrintWidth));

    s.editPrintSize = 1;
    out = logic.ResolutionTyped(QStringLiteral("75"));
    ASSERT_TRUE(out.accepted);
    EXPECT_EQ(s.width, 1500);
    EXPECT_EQ(Written(out, PanelField::PrintWidth), QStringLiteral("20"));
    EXPECT_FALSE(out.writes.Has(PanelField::Width));

    EXPECT_FALSE(logic.ResolutionTyped(QStringLiteral("0.5")).accepted);
    EXPECT_FALSE(logic.ResolutionTyped(QStringLiteral("abc")).accepted);
    EXPECT_FLOAT_EQ(s.dpi, 75);
}

TEST_F(PanelLogicTest, ResolutionTypedDigitByDigitScalesFromWhereTypingBegan) {
    // 640 x 480 at 300 dpi; typing "150" passes through 1 and 15 dpi on the way.
    for (const char* text : {"1", "15", "150"})
        ASSERT_TRUE(logic.ResolutionTyped(QString::fromLatin1(text)).accepted) << text;
    EXPECT_EQ(s.width, 320);
    EXPECT_EQ(s.height, 240);
    EXPECT_FLOAT_EQ(s.dpi, 150);
    // Correcting the typed number back restores the size exactly.
    ASSERT_TRUE(logic.ResolutionTyped(QStringLiteral("300")).accepted);
    EXPECT_EQ(s.width, 640);

    // Once the field is left, the next typing starts from the new values.
    logic.ResolutionTyped(QStringLiteral("150"));
    logic.ResolutionEditEnded();
    ASSERT_TRUE(logic.ResolutionTyped(QStringLiteral("75")).accepted);
    EXPECT_EQ(s.width, 160);

    // Another edit in between starts a new base as well.
    logic.SizeTyped(Dimension::Width, QStringLiteral("1000"));
    ASSERT_TRUE(logic.ResolutionTyped(QStringLiteral("150")).accepted);
    EXPECT_EQ(s.width, 2000);
}

TEST_F(PanelLogicTest, UnitChangesAreTakenOverOnlyWithAnImage) {
    EXPECT_FALSE(logic.SizeUnitSelected(int(SizeUnit::Millimeters)));
    EXPECT_FALSE(logic.ResolutionUnitSelected(int(ResolutionUnit::DotsPerCm)));
    EXPECT_EQ(s.sizeUnit, 0);
    EXPECT_EQ(s.resolutionUnit, 0);

    logic.SetImage(Image(100, 100));
    EXPECT_TRUE(logic.SizeUnitSelected(int(SizeUnit::Millimeters)));
    EXPECT_TRUE(logic.ResolutionUnitSelected(int(ResolutionUnit::DotsPerCm)));
    EXPECT_FALSE(logic.SizeUnitSelected(kSizeUnitCount));
    EXPECT_EQ(s.sizeUnit, int(SizeUnit::Millimeters));
    EXPECT_EQ(s.resolutionUnit, int(ResolutionUnit::DotsPerCm));
}

TEST_F(PanelLogicTest, FullRefreshWithoutAnImageShowsPrintSizeOnlyInPixelMode) {
    FieldWrites all = logic.AllFieldTexts();
    EXPECT_EQ(all.Get(PanelField::Width), QStringLiteral("640"));
    EXPECT_EQ(all.Get(PanelField::PrintWidth), QStringLiteral("2.1333"));
    EXPECT_EQ(all.Get(PanelField::Resolution), QStringLiteral("300"));
    s.inPercent = 1;
    all = logic.AllFieldTexts();
    EXPECT_EQ(all.Get(PanelField::Width), QStringLiteral("100"));
    EXPECT_EQ(all.Get(PanelField::PrintWidth), QString());
    // Single refreshes without an image leave the print fields empty.
    s.inPercent = 0;
    EXPECT_EQ(logic.FocusOutText(PanelField::PrintHeight), QString());
}

TEST_F(PanelLogicTest, CorrectionToKeepAspectShrinksTheBoxAndRefreshesAllSizeFields) {
    logic.SetImage(Image(4000, 3000));
    s.correction = int32_t(CorrectionMode::None);
    s.width = 1000;
    s.height = 1000;
    const PanelOutcome out = logic.CorrectionSelected(int(CorrectionMode::KeepAspect));
    EXPECT_TRUE(out.accepted);
    EXPECT_EQ(s.height, 750);
    EXPECT_EQ(Written(out, PanelField::Height), QStringLiteral("750"));
    EXPECT_EQ(Written(out, PanelField::PrintHeight), QStringLiteral("2.5"));
    EXPECT_FALSE(logic.CorrectionSelected(3).accepted);
    EXPECT_FALSE(logic.AlgorithmSelected(8).accepted);
    EXPECT_TRUE(logic.AlgorithmSelected(7).accepted);
    EXPECT_EQ(s.algorithm, ResizeAlgorithm(7));
}

TEST_F(PanelLogicTest, PresetsSetTheSizeAndWriteTheFields) {
    logic.SetImage(Image(3000, 2000));
    s.sizeUnit = int(SizeUnit::Centimeters);
    PanelOutcome out = logic.PaperPresetChosen(PresetIndex(PaperPresets(), "A4 (210x297 mm)"));
    ASSERT_TRUE(out.accepted);
    EXPECT_EQ(s.width, 3507);
    EXPECT_EQ(s.height, 2338);
    EXPECT_EQ(Written(out, PanelField::PrintWidth), QStringLiteral("29.7"));
    EXPECT_EQ(Written(out, PanelField::PrintHeight), QStringLiteral("19.8"));
    EXPECT_EQ(Written(out, PanelField::Width), QStringLiteral("3507"));

    out = logic.ScreenPresetChosen(PresetIndex(ScreenPresets(), "Desktop (800x600)"));
    ASSERT_TRUE(out.accepted);
    EXPECT_EQ(s.width, 800);
    EXPECT_EQ(s.height, 533);
    EXPECT_EQ(Written(out, PanelField::Height), QStringLiteral("533"));

    out = logic.ResolutionPresetChosen(PresetIndex(ResolutionPresets(), "600 DPI"));
    ASSERT_TRUE(out.accepted);
    EXPECT_EQ(s.width, 1600);
    EXPECT_EQ(Written(out, PanelField::Resolution), QStringLiteral("600"));
    EXPECT_EQ(Written(out, PanelField::Width), QStringLiteral("1600"));

    EXPECT_FALSE(logic.ScreenPresetChosen(-1).accepted);
    EXPECT_FALSE(logic.PaperPresetChosen(1000).accepted);
    logic.SetImage({});
    EXPECT_FALSE(logic.ScreenPresetChosen(PresetIndex(ScreenPresets(), "Original size")).accepted);
    EXPECT_FALSE(
        logic.ResolutionPresetChosen(PresetIndex(ResolutionPresets(), "Original")).accepted);
    EXPECT_EQ(s.width, 1600);
}

TEST_F(PanelLogicTest, SpinStepsClampAndHoldRecomputationUntilTheyEnd) {
    logic.SetImage(Image(4000, 3000));
    EXPECT_FALSE(logic.spinPending());
    EXPECT_EQ(logic.SpinStep(PanelField::Width, QStringLiteral("640"), +1), QStringLiteral("641"));
    EXPECT_TRUE(logic.spinPending());
    EXPECT_EQ(logic.SpinStep(PanelField::Width, QStringLiteral("100000"), +1),
              QStringLiteral("100000"));
    EXPECT_EQ(logic.SpinStep(PanelField::Height, QStringLiteral("3"), -1), QStringLiteral("3"));
    EXPECT_EQ(logic.SpinStep(PanelField::PrintWidth, QStringLiteral("2.5"), +1),
              QStringLiteral("3.5"));
    s.inPercent = 1;  // percent limits of a 4000-pixel width: 0.075 .. 2500
    EXPECT_EQ(logic.SpinStep(PanelField::Width, QStringLiteral("0.5"), -1),
              QStringLiteral("0.075"));
    EXPECT_EQ(logic.SpinStep(PanelField::Width, QStringLiteral("2500"), +1),
              QStringLiteral("2500"));

    EXPECT_FALSE(logic.TimerTick(/*inputHeld=*/true));
    EXPECT_TRUE(logic.spinPending());
    EXPECT_TRUE(logic.TimerTick(false));
    EXPECT_FALSE(logic.spinPending());
    EXPECT_FALSE(logic.TimerTick(false)) << "nothing pending, nothing to do";
    logic.SpinStep(PanelField::Resolution, QStringLiteral("300"), -1);
    EXPECT_TRUE(logic.SpinFinished());
    EXPECT_FALSE(logic.SpinFinished());
}

TEST_F(PanelLogicTest, SourceFactsFollowTheUnitsAndVanishWithoutResolution) {
    SourceTexts t = MakeSourceTexts(Image(4000, 3000, 300, 24), s);
    EXPECT_EQ(t.pixels, QStringLiteral("4000x3000 pixels"));
    EXPECT_EQ(t.bits, QStringLiteral("24 bits per pixel"));
    EXPECT_EQ(t.rawSize, QStringLiteral("Raw size: 34.3MB"));
    EXPECT_EQ(t.printSize, QStringLiteral("13.33x10.00 inches"));
    EXPECT_EQ(t.resolution, QStringLiteral("300 dots per inch"));

    const struct {
        int unit;
        const char* print;
    } sizes[] = {
        {1, "338.67x254.00 mm"}, {2, "33.87x25.40 cm"}, {3, "80x60 picas"}, {4, "960x720 pointss"}};
    for (const auto& c : sizes) {
        s.sizeUnit = c.unit;
        EXPECT_EQ(MakeSourceTexts(Image(4000, 3000), s).printSize, QLatin1String(c.print));
    }
    s.resolutionUnit = 1;
    EXPECT_EQ(MakeSourceTexts(Image(4000, 3000), s).resolution,
              QStringLiteral("11.81 dots per mm"));
    s.resolutionUnit = 2;
    EXPECT_EQ(MakeSourceTexts(Image(4000, 3000), s).resolution,
              QStringLiteral("118.11 dots per cm"));

    t = MakeSourceTexts(Image(4000, 3000, 0), s);
    EXPECT_EQ(t.pixels, QStringLiteral("4000x3000 pixels"));
    EXPECT_TRUE(t.printSize.isEmpty());
    EXPECT_TRUE(t.resolution.isEmpty());
    t = MakeSourceTexts(SourceImageInfo{}, s);
    EXPECT_TRUE(t.pixels.isEmpty() && t.bits.isEmpty() && t.rawSize.isEmpty());

    s.width = 1024;
    s.height = 1000;
    EXPECT_EQ(OutputRawSizeText(s, Image(1, 1)), QStringLiteral("Raw size: 2.9MB"));
    EXPECT_EQ(OutputRawSizeText(s, SourceImageInfo{}), QString());
}

TEST_F(PanelLogicTest, EnablingFollowsImageBatchModeAndEditMode) {
    PanelEnabling e = ComputeEnabling(s, SourceImageInfo{}, false);
    EXPECT_FALSE(e.sizeControls || e.pixelFields || e.printFields || e.sizePresets ||
                 e.originalSize);
    e = ComputeEnabling(s, SourceImageInfo{}, true);
    EXPECT_TRUE(e.sizeControls && e.pixelFields && e.printFields && e.sizePresets);
    EXPECT_FALSE(e.originalSize);
    e = ComputeEnabling(s, Image(10, 10), false);
    EXPECT_TRUE(e.pixelFields);
    EXPECT_FALSE(e.printFields);
    EXPECT_TRUE(e.originalSize && e.originalResolution);
    s.editPrintSize = 1;
    e = ComputeEnabling(s, Image(10, 10, 0), false);
    EXPECT_FALSE(e.pixelFields);
    EXPECT_TRUE(e.printFields);
    EXPECT_FALSE(e.originalResolution) << "an image without a resolution has no original to take";
}

TEST_F(PanelLogicTest, LockSwitchTargetsApplyToAllInBatchMode) {
    EXPECT_TRUE(logic.LockToggled(true).accepted);
    EXPECT_EQ(s.lockSettings, 1);
    logic.SetBatchMode(true);
    EXPECT_TRUE(logic.LockChecked()) << "applyToAll defaults to 1";
    EXPECT_TRUE(logic.LockToggled(false).accepted);
    EXPECT_EQ(s.applyToAll, 0);
    EXPECT_EQ(s.lockSettings, 1);
}

// A locked size turns Keep aspect into Crop when an image opens (exact boxes); letting the lock
// go gives Keep aspect back, and a correction chosen meanwhile is the user's and stays.
TEST_F(PanelLogicTest, LettingTheLockGoGivesBackTheCorrectionItReplaced) {
    const SourceImageInfo photo = Image(4000, 3000);
    ASSERT_TRUE(logic.LockToggled(true).accepted);
    AdoptSettingsForImage(s, photo, false, false);
    EXPECT_EQ(s.correctionMode(), CorrectionMode::Crop);
    EXPECT_TRUE(logic.LockToggled(false).accepted);
    EXPECT_EQ(s.correctionMode(), CorrectionMode::KeepAspect);

    logic.LockToggled(true);
    AdoptSettingsForImage(s, photo, false, false);
    logic.SetImage(photo);
    logic.CorrectionSelected(int(CorrectionMode::None));
    logic.CorrectionSelected(int(CorrectionMode::Crop));
    logic.LockToggled(false);
    EXPECT_EQ(s.correctionMode(), CorrectionMode::Crop) << "chosen by the user";
}

TEST(PanelToolTip, BreaksBetweenWordsWithinTheWidthAndStopsAtTheFirstLineBreak) {
    const QFontMetrics metrics{QFont()};
    const int narrow = metrics.horizontalAdvance(QStringLiteral("Sets output")) + 1;
    EXPECT_EQ(WrapToolTip(QStringLiteral("Sets output width"), metrics, narrow),
              QStringLiteral("Sets output\nwidth"));
    EXPECT_EQ(WrapToolTip(QStringLiteral("Sets output width"), metrics, 300),
              QStringLiteral("Sets output width"));
    EXPECT_EQ(WrapToolTip(QStringLiteral("Tip\nSecond line"), metrics, 300), QStringLiteral("Tip"));
    EXPECT_EQ(WrapToolTip(QStringLiteral("Unbreakable"), metrics, 5),
              QStringLiteral("Unbreakable"));
}

TEST_F(PanelLogicTest, GuardNestsAndClears) {
    EXPECT_FALSE(logic.updating());
    {
        const auto outer = logic.Guard();
        {
            const auto inner = logic.Guard();
            EXPECT_TRUE(logic.updating());
        }
        EXPECT_TRUE(logic.updating());
    }
    EXPECT_FALSE(logic.updating());
}

}  // namespace
}  // namespace orm
