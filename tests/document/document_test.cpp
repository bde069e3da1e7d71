// The document's commands: opening (and its failures), next/previous over a folder with
// wrap-around, skipped GIF files and corrupt neighbours, the enabling rule of Resize and Save,
// and saving (same size, resized, unwritable targets).

#include "document/background_decode.h"
#include "document/cormensura_doc.h"
#include "document/preview_render.h"
#include "settings/prompt.h"
#include "settings/resize_settings.h"
#include "test_environment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace orm {
namespace {

class DocumentCommands : public ::testing::Test {
  protected:
    void SetUp() override {
        settings_.SetPrompt(&prompt_);
        ASSERT_TRUE(dir_.isValid());
    }

    // What the frame does: the document's failures go to the prompt.
    void Report(CORMensuraDoc& doc) {
        QObject::connect(&doc, &CORMensuraDoc::failed,
                         [this](const QString& message) { prompt_.Warning(message); });
    }
    QString Path(const QString& name) const { return dir_.filePath(name); }
    QString WriteImage(const QString& name, int w = 24, int h = 16) {
        const QString path = Path(name);
        EXPECT_TRUE(test::PatternImage(w, h).save(path)) << qPrintable(path);
        return path;
    }
    QString WriteBytes(const QString& name, const QByteArray& bytes) {
        QFile f(Path(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return Path(name);
    }
    QString WriteGif(const QString& name) {
        // A 1 x 1 GIF (Qt reads GIF but has no writer).
        static const unsigned char gif[] = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01,
                                            0x00, 0x80, 0x00, 0x00, 0xff, 0xff, 0xff, 0x00, 0x00,
                                            0x00, 0x2c, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01,
                                            0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3b};
        return WriteBytes(name, QByteArray(reinterpret_cast<const char*>(gif), sizeof gif));
    }
    static QString Name(const CORMensuraDoc& doc) {
        return QFileInfo(doc.CurrentPath()).fileName();
    }

    QTemporaryDir dir_;
    ScriptedPrompt prompt_;
    SettingsModel settings_;
};

TEST_F(DocumentCommands, OpenTakesTheImageAndAdaptsTheSettings) {
    CORMensuraDoc doc(settings_);
    Report(doc);
    EXPECT_FALSE(doc.HasSource());
    EXPECT_EQ(doc.State(), DocumentState::Empty);
    EXPECT_EQ(doc.SourceWidth(), kEmptyDocumentSize);
    QSignalSpy opened(&doc, &CORMensuraDoc::documentOpened);
    QSignalSpy states(&doc, &CORMensuraDoc::stateChanged);
    ASSERT_TRUE(doc.Open(WriteImage("a.png", 30, 20)));
    ASSERT_EQ(states.count(), 2);
    EXPECT_EQ(states.at(0).at(0).value<DocumentState>(), DocumentState::Loading);
    EXPECT_EQ(doc.State(), DocumentState::Open);
    EXPECT_EQ(opened.count(), 1);
    EXPECT_EQ(doc.SourceWidth(), 30);
    EXPECT_EQ(doc.SourceHeight(), 20);
    EXPECT_EQ(settings_.Resize().width, 30);
    EXPECT_EQ(settings_.Resize().height, 20);
    EXPECT_TRUE(prompt_.messages.isEmpty());
}

TEST_F(DocumentCommands, AnUndecodableFileKeepsTheOpenImageAndItsSettingsAndSaysWhy) {
    CORMensuraDoc doc(settings_);
    Report(doc);
    ASSERT_TRUE(doc.Open(WriteImage("a.png")));
    settings_.EditResize([](ResizeSettings& r) { r.width = 17; });
    const ResizeSettings before = settings_.Resize();
    const QString bad =
        WriteBytes("broken.jpg", QByteArray("\xff\xd8\xff\xe0 not really a jpeg", 25));
    EXPECT_FALSE(doc.Open(bad));
    EXPECT_TRUE(doc.HasSource());
    EXPECT_EQ(doc.CurrentPath(), Path("a.png"));
    EXPECT_EQ(settings_.Resize(), before);
    ASSERT_EQ(prompt_.messages.size(), 1);
    EXPECT_TRUE(prompt_.messages[0].startsWith(QStringLiteral("Can't open file\n%1!\n").arg(bad)))
        << "and the reason after it: " << prompt_.messages[0].toStdString();

    // A file that cannot even be read keeps what was open.
    ASSERT_TRUE(doc.Open(Path("a.png")));
    EXPECT_FALSE(doc.Open(Path("missing.png")));
    EXPECT_TRUE(doc.HasSource());
    EXPECT_EQ(prompt_.messages.size(), 2);
    EXPECT_TRUE(prompt_.messages[1].startsWith(QStringLiteral("Failed to open document.")));
    // Both are failures: shown with the warning sign, not as information.
    EXPECT_EQ(prompt_.warnings, prompt_.messages);
}

// A large image decodes while the window's events go on; Esc (CancelOpen) gives it up and keeps
// what was open, without a message.
TEST_F(DocumentCommands, ALargeImageDecodesInTheBackgroundAndCanBeGivenUp) {
    CORMensuraDoc doc(settings_);
    Report(doc);
    ASSERT_TRUE(doc.Open(WriteImage("a.png")));
    QImage large(8000, 6000, QImage::Format_Mono);  // 48 MP, a few bytes on disk
    large.fill(1);
    const QString big = Path("big.png");
    ASSERT_TRUE(large.save(big));
    QFile bytes(big);
    ASSERT_TRUE(bytes.open(QIODevice::ReadOnly));
    EXPECT_TRUE(DecodesInBackground(bytes.readAll()));
    QFile small(Path("a.png"));
    ASSERT_TRUE(small.open(QIODevice::ReadOnly));
    EXPECT_FALSE(DecodesInBackground(small.readAll()));

    QSignalSpy cancelled(&doc, &CORMensuraDoc::openCancelled);
    bool eventsWentOn = false;
    QTimer::singleShot(0, &doc, [&] {
        eventsWentOn = doc.State() == DocumentState::Loading;
        doc.CancelOpen();
    });
    EXPECT_FALSE(doc.Open(big));
    EXPECT_TRUE(eventsWentOn);
    EXPECT_EQ(cancelled.size(), 1);
    EXPECT_EQ(doc.CurrentPath(), Path("a.png"));
    EXPECT_EQ(doc.State(), DocumentState::Open);
    EXPECT_TRUE(prompt_.messages.isEmpty());

    ASSERT_TRUE(doc.Open(big));
    EXPECT_EQ(doc.SourceInfo().width, 8000);
}

TEST_F(DocumentCommands, NextAndPreviousWrapAroundAndSkipGifFiles) {
    WriteImage("a.jpg");
    WriteGif("b.gif");
    WriteImage("c.png");
    WriteBytes("notes.txt", "text");
    CORMensuraDoc doc(settings_);
    Report(doc);
    ASSERT_TRUE(doc.Open(Path("c.png")));
    ASSERT_TRUE(doc.LoadNeighbour(StepDirection::Next));
    EXPECT_EQ(Name(doc), QStringLiteral("a.jpg"));  // wrapped from the last to the first
    ASSERT_TRUE(doc.LoadNeighbour(StepDirection::Next));
    EXPECT_EQ(Name(doc), QStringLiteral("c.png"));  // b.gif is never visited
    ASSERT_TRUE(doc.LoadNeighbour(StepDirection::Previous));
    EXPECT_EQ(Name(doc), QStringLiteral("a.jpg"));
    ASSERT_TRUE(doc.LoadNeighbour(StepDirection::Previous));
    EXPECT_EQ(Name(doc), QStringLiteral("c.png"));  // wrapped from the first to the last
    EXPECT_TRUE(prompt_.messages.isEmpty());
}

TEST_F(DocumentCommands, NamesDifferingOnlyInCaseAreTwoFiles) {
    // Linux names are case-sensitive: stepping from the second of A.PNG and a.png goes on to the
    // next file instead of finding the first again, and each is visited once.
    WriteImage("A.png");
    WriteImage("a.png");
    WriteImage("b.png");
    CORMensuraDoc doc(settings_);
    Report(doc);
    ASSERT_TRUE(doc.Open(Path("A.png")));
    QStringList visited;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(doc.LoadNeighbour(StepDirection::Next));
        visited.append(Name(doc));
    }
    visited.sort();
    EXPECT_EQ(visited, QStringList({"A.png", "a.png", "b.png"}));
    // A skipped name skips only itself.
    EXPECT_EQ(
        FindNeighbourName({"A.png", "a.png", "b.png"}, "b.png", {"a.png"}, StepDirection::Previous),
        std::optional<QString>("A.png"));
}

TEST_F(DocumentCommands, SingleImageOnlyBeeps) {
    WriteImage("only.png");
    WriteGif("other.gif");
    CORMensuraDoc doc(settings_);
    Report(doc);
    ASSERT_TRUE(doc.Open(Path("only.png")));
    QSignalSpy beep(&doc, &CORMensuraDoc::warningBeep);
    EXPECT_FALSE(doc.LoadNeighbour(StepDirection::Next));
    EXPECT_FALSE(doc.LoadNeighbour(StepDirection::Previous));
    EXPECT_EQ(beep.count(), 2);
    EXPECT_EQ(Name(doc), QStringLiteral("only.png"));
    EXPECT_TRUE(doc.HasSource());
    EXPECT_TRUE(prompt_.messages.isEmpty());
}

TEST_F(DocumentCommands, CorruptNeighboursAreReportedOnceEachAndSkipped) {
    WriteImage("a.jpg");
    WriteBytes("b.jpg", "garbage");
    WriteBytes("c.png", "\x89PNG\r\n\x1a\n truncated");
    WriteImage("d.bmp");
    CORMensuraDoc doc(settings_);
    Report(doc);
    ASSERT_TRUE(doc.Open(Path("a.jpg")));
    QSignalSpy skipped(&doc, &CORMensuraDoc::neighboursSkipped);
    ASSERT_TRUE(doc.LoadNeighbour(StepDirection::Next));
    EXPECT_EQ(Name(doc), QStringLiteral("d.bmp"));
    EXPECT_TRUE(prompt_.messages.isEmpty()) << "no message box per file";
    ASSERT_EQ(skipped.count(), 1);
    EXPECT_EQ(skipped.at(0).at(0).toStringList(), (QStringList{"b.jpg", "c.png"}));
}

TEST_F(DocumentCommands, WhenEveryOtherImageIsCorruptTheStepStopsAfterTheLast) {
    WriteImage("a.jpg");
    WriteBytes("b.jpg", "garbage");
    WriteBytes("c.tif", "II*\0garbage");
    CORMensuraDoc doc(settings_);
    Report(doc);
    ASSERT_TRUE(doc.Open(Path("a.jpg")));
    QSignalSpy beep(&doc, &CORMensuraDoc::warningBeep);
    QSignalSpy skipped(&doc, &CORMensuraDoc::neighboursSkipped);
    EXPECT_FALSE(doc.LoadNeighbour(StepDirection::Next));
    ASSERT_EQ(skipped.count(), 1);
    EXPECT_EQ(skipped.at(0).at(0).toStringList().size(), 2);  // both corrupt files
    EXPECT_EQ(Name(doc), QStringLiteral("a.jpg")) << "the open image stays";
    EXPECT_EQ(beep.count(), 0);  // no further beep once candidates were tried
}

TEST_F(DocumentCommands, ResizeAndSaveIsEnabledOnlyWhenSomethingChanges) {
    CORMensuraDoc doc(settings_);
    Report(doc);
    EXPECT_FALSE(doc.CanResizeAndSave());
    ASSERT_TRUE(doc.Open(WriteImage("a.png", 30, 20)));
    settings_.EditResize([&](ResizeSettings& r) { r.dpi = doc.SourceDpi(); });
    EXPECT_FALSE(doc.CanResizeAndSave());
    settings_.EditResize([&](ResizeSettings& r) { r.width = 31; });
    EXPECT_TRUE(doc.CanResizeAndSave());
    settings_.EditResize([&](ResizeSettings& r) { r.width = 30; });
    settings_.EditResize([&](ResizeSettings& r) { r.height = 19; });
    EXPECT_TRUE(doc.CanResizeAndSave());
    settings_.EditResize([&](ResizeSettings& r) { r.height = 20; });
    settings_.EditResize([&](ResizeSettings& r) { r.dpi = doc.SourceDpi() + 1; });
    EXPECT_TRUE(doc.CanResizeAndSave());
}

TEST_F(DocumentCommands, SavingAtTheSourceSizeKeepsPixelsAndGreyFormat) {
    QImage grey(20, 10, QImage::Format_Grayscale8);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) grey.scanLine(y)[x] = uchar(x * 12 + y);
    ASSERT_TRUE(grey.save(Path("grey.png")));
    CORMensuraDoc doc(settings_);
    Report(doc);
    ASSERT_TRUE(doc.Open(Path("grey.png")));
    settings_.EditResize([&](ResizeSettings& r) { r.dpi = 150; });
    ASSERT_TRUE(doc.ResizeAndSave(Path("out.png")));
    const QImage back(Path("out.png"));
    EXPECT_EQ(back.format(), QImage::Format_Grayscale8);
    EXPECT_EQ(back, grey);
    EXPECT_NEAR(back.dotsPerMeterX() * 0.0254, 150, 0.05);
}

TEST_F(DocumentCommands, ResizedOutputHasTheTargetSizeWithEveryAlgorithm) {
    CORMensuraDoc doc(settings_);
    Report(doc);
    ASSERT_TRUE(doc.Open(WriteImage("src.png", 40, 30)));
    for (int algorithm = 0; algorithm < kAlgorithmCount; ++algorithm) {
        settings_.EditResize([&](ResizeSettings& r) { r.width = 60; });
        settings_.EditResize([&](ResizeSettings& r) { r.height = 17; });
        settings_.EditResize([&](ResizeSettings& r) { r.algorithm = ResizeAlgorithm(algorithm); });
        const QString out = Path(QStringLiteral("out%1.bmp").arg(algorithm));
        ASSERT_TRUE(doc.ResizeAndSave(out)) << algorithm;
        EXPECT_EQ(QImage(out).size(), QSize(60, 17)) << algorithm;
    }
    EXPECT_TRUE(prompt_.messages.isEmpty());
}

TEST_F(DocumentCommands, UnwritableTargetIsReportedWithTheReasonAndNothingIsWritten) {
    CORMensuraDoc doc(settings_);
    Report(doc);
    ASSERT_TRUE(doc.Open(WriteImage("src.png", 40, 30)));
    settings_.EditResize([&](ResizeSettings& r) { r.width = 20; });
    settings_.EditResize([&](ResizeSettings& r) { r.height = 15; });
    const QString target = Path("no/such/folder/out.jpg");
    EXPECT_FALSE(doc.ResizeAndSave(target));
    ASSERT_EQ(prompt_.messages.size(), 1);
    EXPECT_TRUE(
        prompt_.messages[0].startsWith(QStringLiteral("Can't save file %1.\n").arg(target)));
    EXPECT_GT(prompt_.messages[0].size(),
              QStringLiteral("Can't save file %1.\n").arg(target).size());
    EXPECT_FALSE(QFileInfo::exists(target));

    // A target that is a folder.
    ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("taken.png")));
    EXPECT_FALSE(doc.ResizeAndSave(Path("taken.png")));
    EXPECT_EQ(prompt_.messages.size(), 2);
    // Files left in the folder: only what the test made.
    const QStringList left = QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(left, QStringList{QStringLiteral("src.png")});
}

TEST_F(DocumentCommands, UnknownExtensionLeavesAnExistingFileAsItWas) {
    CORMensuraDoc doc(settings_);
    Report(doc);
    ASSERT_TRUE(doc.Open(WriteImage("src.png", 40, 30)));
    settings_.EditResize([&](ResizeSettings& r) { r.width = 20; });
    settings_.EditResize([&](ResizeSettings& r) { r.height = 15; });
    const QString existing = WriteBytes("photo.pcx", "keep me");
    EXPECT_FALSE(doc.ResizeAndSave(existing));
    QFile f(existing);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("keep me"));
}

TEST_F(DocumentCommands, TheDocumentFollowsEveryChangeOfTheSettingsModelOnce) {
    CORMensuraDoc doc(settings_);
    Report(doc);
    QSignalSpy update(&doc, &CORMensuraDoc::viewsUpdate);
    settings_.EditResize([](ResizeSettings& r) { r.width += 7; });
    EXPECT_EQ(update.count(), 1);
    settings_.SetResize(settings_.Resize());  // nothing changed: nobody is told
    EXPECT_EQ(update.count(), 1);
    doc.RefreshViews();
    EXPECT_EQ(update.count(), 2);
}

// The background chosen for transparent pixels is what the preview shows under them: a change
// redraws the views; linear light alone redraws them too, with the pixels shown as they were.
TEST_F(DocumentCommands, TheBackgroundAndLinearLightRedrawThePreview) {
    QImage clear(6, 4, QImage::Format_RGBA8888);
    clear.fill(QColor(90, 10, 10, 0));
    ASSERT_TRUE(clear.save(Path("clear.png")));
    CORMensuraDoc doc(settings_);
    ASSERT_TRUE(doc.Open(Path("clear.png")));
    EXPECT_EQ(doc.SourcePixels().pixel(2, 2), qRgb(255, 255, 255));
    QSignalSpy redraws(&doc, &CORMensuraDoc::displayChanged);
    BatchSettings batch = settings_.Batch();
    batch.background = QStringLiteral("#102030");
    settings_.SetBatch(batch);
    EXPECT_EQ(redraws.count(), 1);
    EXPECT_EQ(doc.SourcePixels().pixel(2, 2), qRgb(0x10, 0x20, 0x30));
    batch.linearLight = 1;
    settings_.SetBatch(batch);
    EXPECT_EQ(redraws.count(), 2);
    batch.keepTime = 1;  // changes nothing shown
    settings_.SetBatch(batch);
    EXPECT_EQ(redraws.count(), 2);
}

// In linear light the preview of a standard algorithm is the file Resize and Save writes.
TEST_F(DocumentCommands, TheLinearPreviewIsTheSavedOutput) {
    CORMensuraDoc doc(settings_);
    ASSERT_TRUE(doc.Open(WriteImage("pattern.png", 40, 30)));
    BatchSettings batch = settings_.Batch();
    batch.linearLight = 1;
    settings_.SetBatch(batch);
    settings_.EditResize([](ResizeSettings& s) {
        s.width = 17;
        s.height = 13;
        s.correction = int32_t(CorrectionMode::None);
        s.algorithm = ResizeAlgorithm::HighQualityBicubic;
    });
    ASSERT_TRUE(doc.ResizeAndSave(Path("out.png")));
    const PreviewArea whole{{0, 0, 40, 30}, {0, 0, 17, 13}};
    const QImage preview = RenderStandardArea(doc.SourcePixels(), whole,
                                              engine::StandardMode::HighQualityBicubic, true);
    EXPECT_EQ(QImage(Path("out.png")).convertToFormat(QImage::Format_BGR888), preview);
    EXPECT_NE(preview, RenderStandardArea(doc.SourcePixels(), whole,
                                          engine::StandardMode::HighQualityBicubic, false));
}

}  // namespace
}  // namespace orm
