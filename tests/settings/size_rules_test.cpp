// Long-edge sizing and never-enlarge: the arithmetic, the panel's Long edge item, the size kept
// for a newly opened image, and how the two switches are stored beside the older values.

#include "settings/size_rules.h"
#include "settings/panel_logic.h"
#include "settings/presets.h"
#include "settings/settings_file.h"
#include "settings/settings_store.h"

#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace orm {
namespace {

SourceImageInfo Image(int w, int h) {
    SourceImageInfo src;
    src.present = true;
    src.width = w;
    src.height = h;
    src.bitsPerPixel = 24;
    src.horizontalDpi = 300;
    return src;
}

TEST(SizeRules, LongEdgeFitsTheLongerSideWhateverTheOrientation) {
    EXPECT_EQ(LongEdgeSize(1000, 4000, 3000), (PixelSize{1000, 750}));
    EXPECT_EQ(LongEdgeSize(1000, 3000, 4000), (PixelSize{750, 1000}));
    EXPECT_EQ(LongEdgeSize(1000, 500, 500), (PixelSize{1000, 1000}));
    // Truncated as keeping the aspect is, and never below the smallest size.
    EXPECT_EQ(LongEdgeSize(1000, 3000, 2000), (PixelSize{1000, 666}));
    EXPECT_EQ(LongEdgeSize(100, 100000, 10), (PixelSize{100, kMinPixels}));
    // The largest sizes do not overflow.
    EXPECT_EQ(LongEdgeSize(kMaxPixels, kMaxPixels, kMaxPixels - 1),
              (PixelSize{kMaxPixels, kMaxPixels - 1}));
    // The same as fitting an N x N box at the image's aspect.
    for (const auto& [w, h] : {std::pair{1234, 567}, {567, 1234}, {17, 4000}, {999, 1000}}) {
        int64_t a = 800, b = 800;
        FitBoxToSource(a, b, Image(w, h));
        EXPECT_EQ(LongEdgeSize(800, w, h), (PixelSize{int32_t(a), int32_t(b)})) << w << "x" << h;
    }
}

TEST(SizeRules, AnEnlargementHasNoSideSmallerAndOneLarger) {
    EXPECT_TRUE(IsEnlargement(200, 150, 100, 75));
    EXPECT_TRUE(IsEnlargement(101, 75, 100, 75));
    EXPECT_FALSE(IsEnlargement(100, 75, 100, 75));  // the same size
    EXPECT_FALSE(IsEnlargement(200, 74, 100, 75));  // one side shrinks
    EXPECT_FALSE(IsEnlargement(50, 40, 100, 75));
    EXPECT_FALSE(IsEnlargement(200, 150, 0, 0));  // no source size known
    EXPECT_EQ(NeverEnlarged({200, 150}, {100, 75}), (PixelSize{100, 75}));
    EXPECT_EQ(NeverEnlarged({50, 40}, {100, 75}), (PixelSize{50, 40}));
}

TEST(SizeRules, AKeptSizeFollowsTheRulesWhenTheNextImageOpens) {
    ResizeSettings s;
    s.lockSettings = 1;
    s.longEdge = 1;
    s.width = 800;
    s.height = 600;
    AdoptSettingsForImage(s, Image(3000, 4000), false, false);
    EXPECT_EQ(s.width, 600);
    EXPECT_EQ(s.height, 800);

    // Never enlarge: a kept box larger than the image becomes the image's size ...
    ResizeSettings n;
    n.lockSettings = 1;
    n.noEnlarge = 1;
    n.correction = int32_t(CorrectionMode::None);
    n.width = 1920;
    n.height = 1080;
    AdoptSettingsForImage(n, Image(640, 480), false, false);
    EXPECT_EQ(n.width, 640);
    EXPECT_EQ(n.height, 480);
    // ... a smaller one stays, and without the switch the box stays as it is.
    n.width = 320;
    n.height = 200;
    AdoptSettingsForImage(n, Image(640, 480), false, false);
    EXPECT_EQ(n.width, 320);
    n.noEnlarge = 0;
    n.width = 1920;
    n.height = 1080;
    AdoptSettingsForImage(n, Image(640, 480), false, false);
    EXPECT_EQ(n.width, 1920);
}

class LongEdgePanelTest : public ::testing::Test {
  protected:
    ResizePanelLogic logic{ResizeSettings{}};
    ResizeSettings& s = logic.settings();  // the logic's own record
};

TEST_F(LongEdgePanelTest, TheUnitsListChoosesLongEdgeAndEditsKeepTheImagesAspect) {
    EXPECT_STREQ(UnitsModeText(kLongEdgeUnitsMode), "Long edge");
    logic.SetImage(Image(3000, 4000));
    s.correction = int32_t(CorrectionMode::None);  // long edge keeps the aspect in any mode
    s.width = 640;
    s.height = 480;
    PanelOutcome out = logic.UnitsModeSelected(kLongEdgeUnitsMode);
    EXPECT_TRUE(out.accepted);
    EXPECT_EQ(UnitsModeIndex(s), kLongEdgeUnitsMode);
    EXPECT_EQ(s.width, 480);
    EXPECT_EQ(s.height, 640);
    EXPECT_EQ(out.writes.Get(PanelField::Width), QStringLiteral("480"));

    // The typed side stays as typed, the other follows the portrait image.
    out = logic.SizeTyped(Dimension::Width, "750");
    EXPECT_TRUE(out.accepted);
    EXPECT_EQ(s.width, 750);
    EXPECT_EQ(s.height, 1000);
    EXPECT_EQ(out.writes.Get(PanelField::Height), QStringLiteral("1000"));

    // A preset box is refitted to the image.
    const auto screens = ScreenPresets();
    for (int i = 0; i < int(screens.size()); ++i)
        if (screens[size_t(i)].label == "HD (1920x1080)")
            logic.ScreenPresetChosen(i);
    EXPECT_EQ(s.width, 1440);
    EXPECT_EQ(s.height, 1920);

    // Back to pixels: the size stays, the mode ends.
    EXPECT_TRUE(logic.UnitsModeSelected(0).accepted);
    EXPECT_EQ(s.longEdge, 0);
    EXPECT_EQ(s.width, 1440);
}

TEST_F(LongEdgePanelTest, WithoutAnImageBothFieldsShowTheLongEdge) {
    s.width = 640;
    s.height = 480;
    logic.UnitsModeSelected(kLongEdgeUnitsMode);
    EXPECT_EQ(s.width, 640);
    EXPECT_EQ(s.height, 640);
    const PanelOutcome out = logic.SizeTyped(Dimension::Height, "1200");
    EXPECT_EQ(s.width, 1200);
    EXPECT_EQ(out.writes.Get(PanelField::Width), QStringLiteral("1200"));
}

class SizeRulesStoreTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath("store.ini"); }
};

TEST_F(SizeRulesStoreTest, AnOlderFileReadsTheSameAndADefaultSaveAddsNoKeys) {
    {
        // A store as earlier versions wrote it: none of the new keys.
        QSettings old(path(), QSettings::IniFormat);
        old.setValue("MAIN/WIDTH", 1024);
        old.setValue("MAIN/HEIGHT", 768);
        old.setValue("MAIN/INPERCENTS", 1);
        old.setValue("MAIN/DPI", "72.000000");
    }
    QSettings backend(path(), QSettings::IniFormat);
    SettingsStore store(backend);
    ResizeSettings loaded;
    store.Load(loaded);
    ResizeSettings expected;
    expected.width = 1024;
    expected.height = 768;
    expected.inPercent = 1;
    expected.dpi = 72;
    EXPECT_EQ(loaded, expected);

    store.Save(loaded);
    store.Sync();
    EXPECT_FALSE(backend.contains("MAIN/NOENLARGE"));
    EXPECT_FALSE(backend.contains("MAIN/LONGEDGE"));
    EXPECT_TRUE(backend.contains("MAIN/WIDTH"));
}

TEST_F(SizeRulesStoreTest, SetSwitchesAreStoredAndRemovedWhenCleared) {
    QSettings backend(path(), QSettings::IniFormat);
    SettingsStore store(backend);
    ResizeSettings s;
    s.noEnlarge = 1;
    s.longEdge = 1;
    store.Save(s);
    EXPECT_EQ(backend.value("MAIN/NOENLARGE").toString(), "1");
    EXPECT_EQ(backend.value("MAIN/LONGEDGE").toString(), "1");
    ResizeSettings loaded;
    store.Load(loaded);
    EXPECT_EQ(loaded, s);

    s.noEnlarge = 0;
    s.longEdge = 0;
    store.Save(s);
    EXPECT_FALSE(backend.contains("MAIN/NOENLARGE"));
    EXPECT_FALSE(backend.contains("MAIN/LONGEDGE"));

    // Long edge and percent exclude each other; a hand-edited store gets long edge.
    backend.setValue("MAIN/LONGEDGE", 7);
    backend.setValue("MAIN/INPERCENTS", 1);
    store.Load(loaded);
    EXPECT_EQ(loaded.longEdge, 1);
    EXPECT_EQ(loaded.inPercent, 0);
}

TEST_F(SizeRulesStoreTest, ASettingsFileKeepsItsFormatAndEndsLongEdgeMode) {
    ResizeSettings saved;
    saved.width = 1500;
    saved.height = 1000;
    saved.longEdge = 1;
    saved.noEnlarge = 1;
    const QString file = dir.filePath("a.mns");
    ASSERT_TRUE(SaveSettingsFile(file, saved).ok());
    EXPECT_EQ(QFileInfo(file).size(), 92);

    ResizeSettings current;
    current.longEdge = 1;
    current.noEnlarge = 1;
    ASSERT_TRUE(LoadSettingsFile(file, current).ok());
    EXPECT_EQ(current.longEdge, 0);   // the file's pixel size holds as it is
    EXPECT_EQ(current.noEnlarge, 1);  // not part of the file
    EXPECT_EQ(current.width, 1500);
}

}  // namespace
}  // namespace orm
