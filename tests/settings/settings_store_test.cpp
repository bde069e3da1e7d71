#include "settings/settings_store.h"
#include "settings/colour_scheme.h"
#include "settings/settings_model.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace orm {
namespace {

class SettingsStoreTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath("store.ini"); }
};

TEST_F(SettingsStoreTest, EmptyStoreGivesTheDefaults) {
    QSettings backend(path(), QSettings::IniFormat);
    SettingsStore store(backend);
    ResizeSettings s;
    s.width = 1;
    s.dpi = 7;
    s.algorithm = ResizeAlgorithm(0);
    store.Load(s);
    EXPECT_EQ(s, ResizeSettings());
    BrowserSettings b;
    b.iconsZoom = 5;
    store.Load(b);
    EXPECT_EQ(b.iconsZoom, 100);
    EXPECT_TRUE(b.defaultFolder.isEmpty());
    EXPECT_TRUE(store.RecentFiles().isEmpty());
    BatchSettings batch;
    batch.overwriteMethod = 0;
    batch.outputFolder = "/x/";
    batch.jpegQuality = 3;
    store.Load(batch);
    EXPECT_EQ(batch, BatchSettings());
}

TEST_F(SettingsStoreTest, SaveThenLoadEveryValue) {
    ResizeSettings s;
    s.width = 1234;
    s.height = 567;
    s.percentWidth = 12.5;
    s.percentHeight = 33.25;
    s.dpi = 254;
    s.resolutionUnit = 2;
    s.sizeUnit = 4;
    s.correction = 2;
    s.algorithm = ResizeAlgorithm(7);
    s.inPercent = 1;
    s.editPrintSize = 1;
    s.lockSettings = 1;
    s.jpegQuality = 90;
    s.applyToAll = 0;
    BrowserSettings b{"/home/someone/Pictures", 150};
    {
        QSettings backend(path(), QSettings::IniFormat);
        SettingsStore store(backend);
        store.Save(s);
        store.Save(b);
        EXPECT_TRUE(store.Sync());
    }
    QSettings backend(path(), QSettings::IniFormat);
    // Integers as integers, reals as "%f" texts, in the documented groups.
    EXPECT_EQ(backend.value("MAIN/WIDTH").toString(), "1234");
    EXPECT_EQ(backend.value("MAIN/DPI").toString(), "254.000000");
    EXPECT_EQ(backend.value("MAIN/PERCENTH").toString(), "33.250000");
    EXPECT_EQ(backend.value("MAIN/INTERPOLMODE").toString(), "7");
    EXPECT_EQ(backend.value("INTERFACE/ICONSZOOM").toString(), "150");
    EXPECT_EQ(backend.value("BROWSER/DEFAULT").toString(), "/home/someone/Pictures");
    SettingsStore store(backend);
    ResizeSettings loaded;
    store.Load(loaded);
    EXPECT_EQ(loaded, s);
    BrowserSettings loadedBrowser;
    store.Load(loadedBrowser);
    EXPECT_EQ(loadedBrowser, b);
}

TEST_F(SettingsStoreTest, UnreadableValues) {
    {
        QSettings backend(path(), QSettings::IniFormat);
        backend.setValue("MAIN/PERCENTW", "abc");
        backend.setValue("MAIN/PERCENTH", "75.5xyz");
        backend.setValue("MAIN/DPI", "not a number");
        backend.setValue("MAIN/WIDTH", "wide");
        backend.setValue("MAIN/SIZEUNITS", 17);
        backend.setValue("MAIN/HEIGHT", "99999999999");
    }
    QSettings backend(path(), QSettings::IniFormat);
    SettingsStore store(backend);
    // A real that is not a number reads as 0; a number with trailing text reads as its number.
    EXPECT_EQ(store.ReadReal("MAIN", "PERCENTW", 100), 0);
    EXPECT_EQ(store.ReadReal("MAIN", "PERCENTH", 100), 75.5);
    EXPECT_EQ(store.ReadReal("MAIN", "DPI", 300), 0);
    EXPECT_EQ(store.ReadInt("MAIN", "WIDTH", 640), 0);
    // The record never takes a resolution of 0, a size outside its bounds or an unknown unit.
    ResizeSettings s;
    store.Load(s);
    EXPECT_EQ(s.percentWidth, 0);
    EXPECT_EQ(s.dpi, 300.0f);
    EXPECT_EQ(s.width, kMinPixels);
    EXPECT_EQ(s.height, kMinPixels);
    EXPECT_EQ(s.sizeUnit, 0);
}

TEST_F(SettingsStoreTest, RecentFilesKeepFour) {
    QSettings backend(path(), QSettings::IniFormat);
    SettingsStore store(backend);
    store.SetRecentFiles({"/a.jpg", "/b.png", "/c.tif", "/d.bmp", "/e.gif"});
    EXPECT_EQ(store.RecentFiles(), QStringList({"/a.jpg", "/b.png", "/c.tif", "/d.bmp"}));
    EXPECT_EQ(backend.value("Recent File List/File1").toString(), "/a.jpg");
    store.SetRecentFiles({"/z.jpg"});
    EXPECT_EQ(store.RecentFiles(), QStringList({"/z.jpg"}));
    EXPECT_FALSE(backend.contains("Recent File List/File2"));
}

TEST_F(SettingsStoreTest, DefaultStoreLivesUnderTheTestHome) {
    SettingsStore store;
    store.WriteInt("SPLITTER", "LEFTWIDTH", 321);
    EXPECT_TRUE(store.Sync());
    EXPECT_EQ(SettingsStore().ReadInt("SPLITTER", "LEFTWIDTH", -1), 321);
    QSettings probe(QStringLiteral("ORVEN Imaging"), QStringLiteral("ORVEN Mensura"));
    EXPECT_TRUE(probe.fileName().startsWith(qEnvironmentVariable("HOME")))
        << probe.fileName().toStdString();
}

}  // namespace
}  // namespace orm

namespace orm {
namespace {

TEST(ProgramSettings, StartAndExitRoundTripThroughTheStore) {
    QTemporaryDir dir;
    QSettings backend(dir.filePath("program.ini"), QSettings::IniFormat);
    SettingsStore store(backend);
    // A fresh home: every record starts with its defaults, the batch settings included.
    SettingsModel fresh;
    {
        BatchSettings edited = fresh.Batch();
        edited.jpegQuality = 12;
        fresh.SetBatch(edited);
    }
    {
        BatchSettings edited = fresh.Batch();
        edited.outputFolder = "/left/over/";
        fresh.SetBatch(edited);
    }
    fresh.Load(store);
    EXPECT_EQ(fresh.Resize(), ResizeSettings());
    EXPECT_EQ(fresh.Batch(), BatchSettings());
    EXPECT_EQ(fresh.Batch().overwriteMethod, 1);
    EXPECT_EQ(fresh.Batch().jpegQuality, 75);
    EXPECT_TRUE(fresh.Batch().outputFolder.isEmpty());

    SettingsModel before;
    before.EditResize([&](ResizeSettings& r) { r.width = 777; });
    {
        BrowserSettings edited = before.Browser();
        edited.iconsZoom = 80;
        before.SetBrowser(edited);
    }
    BatchSettings batch = before.Batch();
    batch.overwriteMethod = 2;
    batch.outputFormat = 4;
    batch.outputFolder = "/srv/resized/";
    batch.newName = 1;
    batch.jpegQuality = 91;
    batch.sameFolder = 1;
    before.SetBatch(batch);
    before.Save(store);
    EXPECT_EQ(backend.value("BATCH/OVERWRITEMETHOD").toString(), "2");
    EXPECT_EQ(backend.value("BATCH/OUTFORMAT").toString(), "4");
    EXPECT_EQ(backend.value("BATCH/OUTFOLDER").toString(), "/srv/resized/");
    EXPECT_EQ(backend.value("BATCH/NEWNAME").toString(), "1");
    EXPECT_EQ(backend.value("BATCH/JPEGQUALITY").toString(), "91");
    EXPECT_EQ(backend.value("BATCH/SAMEFOLDER").toString(), "1");
    // The batch quality is its own value, apart from the single-image one.
    EXPECT_EQ(backend.value("MAIN/JPEGQUALITY").toString(), "75");

    SettingsModel after;
    after.Load(store);
    EXPECT_EQ(after.Resize().width, 777);
    EXPECT_EQ(after.Browser().iconsZoom, 80);
    EXPECT_EQ(after.Batch(), before.Batch());
    // The test binary has no Res folder beside it: the colours are the defaults.
    EXPECT_EQ(after.Colours(), ColourScheme());
}

}  // namespace
}  // namespace orm

namespace orm {
namespace {

// The output options are written only when set: a default save adds no keys, set values come
// back (a background that names no colour is dropped), cleared ones are removed.
TEST_F(SettingsStoreTest, OutputOptionsAreWrittenOnlyWhenSet) {
    QSettings backend(dir.filePath("store.ini"), QSettings::IniFormat);
    SettingsStore store(backend);
    BatchSettings b;
    store.Save(b);
    store.Sync();
    for (const char* key : {"STRIPMETADATA", "TOSRGB", "LINEARLIGHT", "BACKGROUND", "KEEPTIME"})
        EXPECT_FALSE(backend.contains(QStringLiteral("BATCH/") + key)) << key;
    OutputOptions options;
    options.strip = MetadataPolicy::Location;
    options.toSrgb = options.linear = options.keepTime = true;
    options.background = qRgb(1, 2, 3);
    SetOutputOptions(b, options);
    store.Save(b);
    EXPECT_EQ(backend.value("BATCH/BACKGROUND").toString(), "#010203");
    BatchSettings loaded;
    store.Load(loaded);
    EXPECT_EQ(OutputOptionsOf(loaded), options);

    backend.setValue("BATCH/BACKGROUND", "not a colour");
    backend.setValue("BATCH/STRIPMETADATA", 9);
    store.Load(loaded);
    EXPECT_EQ(OutputOptionsOf(loaded).background, qRgb(255, 255, 255));
    EXPECT_EQ(OutputOptionsOf(loaded).strip, MetadataPolicy::Keep);
    store.Save(BatchSettings{});
    EXPECT_FALSE(backend.contains("BATCH/TOSRGB"));
}

}  // namespace
}  // namespace orm
