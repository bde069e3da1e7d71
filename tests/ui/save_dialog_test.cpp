// The Save As dialog of Resize and Save: the suggested name (source name with the size suffix,
// in the folder last saved to), the JPEG quality control, and the whole command in the window:
// the file written with the quality chosen, and both the quality and the folder kept.

#include "ui/save_dialog.h"
#include "document/cormensura_doc.h"
#include "frame/save_name.h"
#include "settings/prompt.h"
#include "settings/settings_store.h"
#include "test_environment.h"
#include "ui/main_frame.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace orm::gui {
namespace {

TEST(SaveName, SourceNameWithTheSizeSuffixInTheLastFolder) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString src = dir.filePath(QStringLiteral("in/photo.v2.JPG"));
    const QString in = dir.filePath(QStringLiteral("in/"));
    EXPECT_EQ(SuggestedSavePath(src, 800, 600, {}), in + "photo.v2_RESIZED_TO_800x600.JPG");
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("out")));
    EXPECT_EQ(SuggestedSavePath(src, 800, 600, dir.filePath(QStringLiteral("out"))),
              dir.filePath(QStringLiteral("out/photo.v2_RESIZED_TO_800x600.JPG")));
    EXPECT_EQ(SuggestedSavePath(src, 800, 600, dir.filePath(QStringLiteral("out/"))),
              dir.filePath(QStringLiteral("out/photo.v2_RESIZED_TO_800x600.JPG")));
    // A folder that is gone: the source's own.
    EXPECT_EQ(SuggestedSavePath(src, 8, 6, dir.filePath(QStringLiteral("gone"))),
              in + "photo.v2_RESIZED_TO_8x6.JPG");
    // Types that are not written, and no extension at all: JPEG.
    EXPECT_EQ(SuggestedSavePath(dir.filePath(QStringLiteral("in/phone.heic")), 4032, 3024, {}),
              in + "phone_RESIZED_TO_4032x3024.jpg");
    EXPECT_EQ(SuggestedSavePath(dir.filePath(QStringLiteral("in/scan")), 100, 50, {}),
              in + "scan_RESIZED_TO_100x50.jpg");
    EXPECT_EQ(SuggestedSavePath(dir.filePath(QStringLiteral("in/a.tiff")), 3, 3, {}),
              in + "a_RESIZED_TO_3x3.tiff");
    EXPECT_TRUE(SuggestedSavePath({}, 800, 600, dir.path()).isEmpty());
}

TEST(SaveName, FilterOfASuffix) {
    const QStringList filters = {"JPEG Files (*.jpg *.jpeg *.jpe)", "TIFF Files (*.tif *.tiff)",
                                 "PNG Files (*.png)"};
    EXPECT_EQ(FilterForSuffix(filters, "JPG"), filters[0]);
    EXPECT_EQ(FilterForSuffix(filters, "jpe"), filters[0]);
    EXPECT_EQ(FilterForSuffix(filters, "tiff"), filters[1]);
    EXPECT_EQ(FilterForSuffix(filters, "png"), filters[2]);
    EXPECT_TRUE(FilterForSuffix(filters, "jp").isEmpty());
    EXPECT_TRUE(FilterForSuffix(filters, "").isEmpty());
}

TEST(SaveAsDialog, OpensOnTheSuggestionWithTheQualityForJpegOnly) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString suggested = dir.filePath(QStringLiteral("pic_RESIZED_TO_10x10.png"));
    CSaveAsDialog dialog(nullptr, QString(), suggested, 62);
    EXPECT_EQ(dialog.selectedFiles(), QStringList{suggested});
    EXPECT_EQ(dialog.selectedNameFilter(), QStringLiteral("PNG Files (*.png)"));
    EXPECT_EQ(dialog.Quality(), 62);
    EXPECT_FALSE(dialog.QualityBox()->isEnabled()) << "PNG has no quality";
    // The user picks JPEG (the first type): the control comes on, and a bare name takes .jpg.
    auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    ASSERT_NE(types, nullptr);
    QTest::keyClick(types, Qt::Key_Home);
    EXPECT_TRUE(dialog.QualityBox()->isEnabled());
    dialog.selectFile(QStringLiteral("bare"));
    EXPECT_EQ(dialog.selectedFiles(), QStringList{dir.filePath(QStringLiteral("bare.jpg"))});
}

class SaveCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        settings_.SetPrompt(&prompt_);
    }
    // Runs Resize and Save; answer gets the dialog and accepts or rejects it.
    bool Save(CMainFrame& frame, const std::function<void(CSaveAsDialog&)>& answer) {
        bool seen = false;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<CSaveAsDialog*>(QApplication::activeModalWidget());
            if (!dialog || seen)
                return;
            seen = true;
            answer(*dialog);
        });
        timer.start(10);
        QSignalSpy finished(frame.Document(), &CORMensuraDoc::saveFinished);
        frame.OnResizeAndSave();
        timer.stop();
        if (frame.Document()->SaveRunning() && !finished.wait(20000))
            return false;
        return seen;
    }

    QTemporaryDir dir_;
    ScriptedPrompt prompt_;
    SettingsModel settings_;
};

TEST_F(SaveCommand, WritesWithTheChosenQualityAndKeepsQualityAndFolder) {
    const QString source = dir_.filePath(QStringLiteral("shot.png"));
    ASSERT_TRUE(test::PatternImage(120, 90).save(source));
    ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("out")));
    const QString out = dir_.filePath(QStringLiteral("out"));
    QSettings backend(dir_.filePath(QStringLiteral("s.ini")), QSettings::IniFormat);
    SettingsStore store(backend);
    {
        CMainFrame frame(settings_, &store);
        ASSERT_TRUE(frame.OpenDocumentFile(source));
        settings_.EditResize([&](ResizeSettings& r) { r.width = 60; });
        settings_.EditResize([&](ResizeSettings& r) { r.height = 45; });
        frame.Document()->SettingsChanged();

        QString offered;
        const QString written = out + QStringLiteral("/small.jpg");
        ASSERT_TRUE(Save(frame, [&](CSaveAsDialog& d) {
            offered = d.selectedFiles().value(0);
            d.QualityBox()->setValue(30);
            // Typed as a user does: the folder, then the name in the name field.
            d.setDirectory(out);
            auto* name = d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(name, nullptr);
            name->setText(QStringLiteral("small.jpg"));
            static_cast<QDialog&>(d).accept();  // the dialog's own checks run
        }));
        EXPECT_EQ(offered, dir_.filePath(QStringLiteral("shot_RESIZED_TO_60x45.png")));
        ASSERT_TRUE(QFile::exists(written)) << QDir(out).entryList().join(",").toStdString();
        EXPECT_EQ(settings_.Resize().jpegQuality, 30);
        EXPECT_EQ(frame.LastSaveFolder(), out);
        // The same bytes as a save with quality 30, not with the default 75.
        const QString again = dir_.filePath(QStringLiteral("again.jpg"));
        ASSERT_TRUE(frame.Document()->ResizeAndSave(again));
        QFile a(written), b(again);
        ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        EXPECT_EQ(a.readAll(), b.readAll());

        // The next one suggests the folder just used; Cancel keeps the quality.
        ASSERT_TRUE(Save(frame, [&](CSaveAsDialog& d) {
            offered = d.selectedFiles().value(0);
            EXPECT_EQ(d.Quality(), 30);
            d.QualityBox()->setValue(90);
            d.reject();
        }));
        EXPECT_EQ(offered, out + QStringLiteral("/shot_RESIZED_TO_60x45.png"));
        EXPECT_EQ(settings_.Resize().jpegQuality, 30);
        frame.SaveFrameState();
        settings_.Save(store);
    }
    // Both survive a restart: the quality as MAIN/JPEGQUALITY.
    EXPECT_EQ(backend.value(QStringLiteral("MAIN/JPEGQUALITY")).toInt(), 30);
    SettingsModel fresh;
    fresh.Load(store);
    EXPECT_EQ(fresh.Resize().jpegQuality, 30);
    CMainFrame next(fresh, &store);
    EXPECT_EQ(next.LastSaveFolder(), out);
}

TEST_F(SaveCommand, NoFolderIsStoredBeforeTheFirstSave) {
    QSettings backend(dir_.filePath(QStringLiteral("s.ini")), QSettings::IniFormat);
    SettingsStore store(backend);
    {
        CMainFrame frame(settings_, &store);
        frame.SaveFrameState();
    }
    backend.sync();
    EXPECT_FALSE(backend.contains(QStringLiteral("MAIN/SAVEFOLDER")));
}

}  // namespace
}  // namespace orm::gui
