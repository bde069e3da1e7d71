// "Batch Settings" and "Batch processing", offscreen, with real files.

#include "batch/output_naming.h"
#include "test_environment.h"
#include "ui/batch_dlg.h"
#include "ui/batch_progress.h"
#include "ui/output_options_box.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace orm {
namespace {

TEST(BatchSettingsDialog, FirstUseShowsTheDefaultFolderAndTheStoredChoices) {
    ScriptedPrompt prompt;
    BatchSettings b;
    b.overwriteMethod = 2;
    b.outputFormat = 4;
    b.jpegQuality = 90;
    CBatchDlg dialog(b, prompt);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Batch Settings"));
    EXPECT_EQ(dialog.folderEdit()->text(), DefaultOutputFolder());
    EXPECT_TRUE(dialog.folderEdit()->text().endsWith(QStringLiteral("/Resized_Images/")));
    EXPECT_EQ(dialog.overwriteGroup()->checkedId(), 2);
    EXPECT_EQ(dialog.formatList()->currentIndex(), 4);
    EXPECT_EQ(dialog.qualityEdit()->text(), QStringLiteral("90"));
    // The five formats in their stored order, then the others the encoders write.
    ASSERT_GE(dialog.formatList()->count(), 6);
    EXPECT_EQ(dialog.formatList()->itemText(0), QStringLiteral("Don't change"));
    EXPECT_EQ(dialog.formatList()->itemText(4), QStringLiteral("PNG files (*.png)"));
}

TEST(BatchSettingsDialog, SameFolderDisablesTheFolderButKeepsTheNewNameFlag) {
    ScriptedPrompt prompt;
    BatchSettings b;
    b.outputFolder = QStringLiteral("/tmp/");
    b.newName = 1;
    CBatchDlg dialog(b, prompt);
    dialog.sameFolderCheck()->setChecked(true);
    EXPECT_FALSE(dialog.folderEdit()->isEnabled());
    EXPECT_FALSE(dialog.browseButton()->isEnabled());
    EXPECT_FALSE(dialog.newNameCheck()->isEnabled());
    EXPECT_TRUE(dialog.newNameCheck()->isChecked());
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.settings().newName, 1);
    EXPECT_EQ(dialog.settings().sameFolder, 1);
    dialog.sameFolderCheck()->setChecked(false);
    EXPECT_TRUE(dialog.folderEdit()->isEnabled());
}

TEST(BatchSettingsDialog, InitialFolderWithTheDefaultsGivesNewNamesAndKeepsTheOriginals) {
    ScriptedPrompt prompt;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString input = dir.filePath(QStringLiteral("a.png"));
    QImage(8, 6, QImage::Format_RGB32).save(input);
    BatchSettings b;  // Overwrite, new name off
    CBatchDlg dialog(b, prompt);
    ASSERT_FALSE(dialog.newNameCheck()->isChecked());
    dialog.sameFolderCheck()->setChecked(true);
    EXPECT_TRUE(dialog.newNameCheck()->isChecked());
    dialog.accept();
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    const OutputPath out = MakeBatchOutputPath(input, 4, 3, dialog.settings());
    EXPECT_EQ(out.path, dir.filePath(QStringLiteral("a_RESIZED_TO_4x3.png")));
    // Stored settings that say initial folder without a new name still get one from OK.
    b.sameFolder = 1;
    CBatchDlg stored(b, prompt);
    stored.accept();
    EXPECT_EQ(stored.settings().newName, 1);
}

TEST(BatchSettingsDialog, QualityOutsideOneToHundredKeepsTheDialogOpen) {
    ScriptedPrompt prompt;
    CBatchDlg dialog(BatchSettings{}, prompt);
    for (const char* bad : {"0", "101", "abc", ""}) {
        dialog.qualityEdit()->setText(QString::fromLatin1(bad));
        dialog.accept();
        EXPECT_NE(dialog.result(), QDialog::Accepted) << bad;
    }
    EXPECT_EQ(prompt.warnings.size(), 4);
    EXPECT_EQ(prompt.warnings.first(), QStringLiteral("Enter an integer between 1 and 100."));
    dialog.qualityEdit()->setText(QStringLiteral("100"));
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.settings().jpegQuality, 100);
}

// The colour and metadata box: shown from the settings, back into them on OK; a background that
// names no colour keeps the dialog open.
TEST(BatchSettingsDialog, ColourAndMetadataRoundTrip) {
    ScriptedPrompt prompt;
    BatchSettings b;
    b.stripMetadata = int32_t(MetadataPolicy::Location);
    b.keepTime = 1;
    CBatchDlg dialog(b, prompt);
    COutputOptionsBox* box = dialog.outputOptionsBox();
    EXPECT_EQ(box->stripList()->currentIndex(), 1);
    EXPECT_TRUE(box->keepTimeCheck()->isChecked());
    EXPECT_FALSE(box->srgbCheck()->isChecked());
    box->srgbCheck()->setChecked(true);
    box->linearCheck()->setChecked(true);
    box->stripList()->setCurrentIndex(2);
    box->backgroundEdit()->setText(QStringLiteral("no such colour"));
    dialog.accept();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    ASSERT_EQ(prompt.warnings.size(), 1);
    box->backgroundEdit()->setText(QStringLiteral("black"));
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const BatchSettings& out = dialog.settings();
    EXPECT_EQ(out.stripMetadata, int32_t(MetadataPolicy::All));
    EXPECT_EQ(out.toSrgb, 1);
    EXPECT_EQ(out.linearLight, 1);
    EXPECT_EQ(out.keepTime, 1);
    EXPECT_EQ(out.background, QStringLiteral("#000000"));
    box->SetOwnAlgorithm(true);
    EXPECT_FALSE(box->linearCheck()->isEnabled());
}

TEST(BatchSettingsDialog, TheFolderIsOfferedForCreationAndStoredWithASeparator) {
    QTemporaryDir dir;
    ScriptedPrompt prompt({true});
    BatchSettings b;
    const QString typed = dir.filePath(QStringLiteral("a/Out"));
    // Answer the modal dialog: type the folder and press OK.
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<CBatchDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->folderEdit()->setText(typed);
        dialog->accept();
    });
    ASSERT_TRUE(RunBatchSettingsDialog(b, prompt));
    EXPECT_EQ(b.outputFolder, typed + QLatin1Char('/'));
    EXPECT_EQ(prompt.questions, QStringList({FolderMissingQuestion(typed)}));
    EXPECT_TRUE(QFileInfo(typed).isDir());

    // Typed with its separator: stored as it is, checked without it (it exists: no question).
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<CBatchDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->folderEdit()->setText(typed + QLatin1Char('/'));
        dialog->accept();
    });
    ASSERT_TRUE(RunBatchSettingsDialog(b, prompt));
    EXPECT_EQ(b.outputFolder, typed + QLatin1Char('/'));
    EXPECT_EQ(prompt.questions.size(), 1);

    // Cancel leaves the record as it was.
    const BatchSettings before = b;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<CBatchDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->overwriteGroup()->button(0)->setChecked(true);
        dialog->reject();
    });
    EXPECT_FALSE(RunBatchSettingsDialog(b, prompt));
    EXPECT_EQ(b, before);
}

class BatchProgressDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        ASSERT_TRUE(QDir(dir_.path()).mkpath(QStringLiteral("out")));
        options_.settings.outputFolder = dir_.filePath(QStringLiteral("out")) + QLatin1Char('/');
    }
    BatchEntry Entry(const QString& name, int w, int h,
                     ResizeAlgorithm a = ResizeAlgorithm::HighQualityBicubic, bool make = true) {
        const QString path = dir_.filePath(name);
        if (make) {
            EXPECT_TRUE(test::PatternImage(w * 2, h * 2).save(path));
        }
        BatchEntry e;
        e.path = path;
        e.width = w;
        e.height = h;
        e.dpi = 96;
        e.algorithm = a;
        return e;
    }
    // Shows the dialog (which starts the run) and waits for the end of the run.
    void RunToEnd(CBatchProgress& dialog) {
        QSignalSpy finished(&dialog, &CBatchProgress::runFinished);
        dialog.show();
        ASSERT_TRUE(finished.wait(60000));
    }

    QTemporaryDir dir_;
    BatchRunOptions options_;
    ScriptedPrompt prompt_;
};

TEST_F(BatchProgressDialog, AnEmptyListEndsAtOnceWithAnEmptyLog) {
    CBatchProgress dialog({}, options_, prompt_);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Batch processing"));
    EXPECT_EQ(dialog.cancelButton()->text(), QStringLiteral("Cancel"));
    RunToEnd(dialog);
    EXPECT_EQ(dialog.cancelButton()->text(), QStringLiteral("Done"));
    // The log holds the run's summary alone.
    EXPECT_EQ(dialog.LogText(), QStringLiteral("Batch: 0 written, 0 skipped, 0 failed\r\n"));
    dialog.cancelButton()->click();  // "Done" closes
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(BatchProgressDialog, AnUnreadableSecondFileIsLoggedBetweenTheOthersInOrder) {
    std::vector<BatchEntry> entries = {Entry("a.png", 20, 10),
                                       Entry("b.png", 20, 10, ResizeAlgorithm::Bicubic, false),
                                       Entry("c.png", 30, 20)};
    CBatchProgress dialog(entries, options_, prompt_);
    RunToEnd(dialog);
    const QString log = dialog.LogText();
    const qsizetype first = log.indexOf(QStringLiteral("File 1 from 3\r\nInput file"));
    const qsizetype second = log.indexOf(QStringLiteral("File 2 from 3\nInput file"));
    const qsizetype third = log.indexOf(QStringLiteral("File 3 from 3\r\nInput file"));
    EXPECT_TRUE(first >= 0 && second > first && third > second) << qPrintable(log);
    EXPECT_TRUE(log.contains(QStringLiteral("Can't open file\n%1!").arg(entries[1].path)));
    EXPECT_EQ(dialog.statusLine()->text(), QStringLiteral("Processing 3 from 3"));
    EXPECT_EQ(QImage(dir_.filePath(QStringLiteral("out/c.png"))).size(), QSize(30, 20));
    EXPECT_EQ(dialog.Summary().written, 2);
    EXPECT_EQ(dialog.Summary().failed, 1);
}

TEST_F(BatchProgressDialog, CancelDuringAnOwnAlgorithmEndsTheRunAndTheDialogStaysUntilDone) {
    std::vector<BatchEntry> entries = {
        Entry("big.png", 1600, 1200, ResizeAlgorithm::AdvancedNatural), Entry("next.png", 20, 10)};
    CBatchProgress dialog(entries, options_, prompt_);
    QSignalSpy finished(&dialog, &CBatchProgress::runFinished);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.progressBar()->isVisible(); }, 20000))
        << "the bar shows for an own algorithm";
    EXPECT_EQ(dialog.progressBar()->maximum(), 90);
    dialog.close();  // the window's close while running only cancels
    EXPECT_TRUE(dialog.isVisible());
    ASSERT_TRUE(finished.wait(60000));
    EXPECT_TRUE(dialog.LogText().endsWith(QStringLiteral(
        "Operation canceled by user!\r\nBatch cancelled: 0 written, 0 skipped, 0 failed\r\n")));
    EXPECT_TRUE(dialog.Summary().cancelled);
    EXPECT_FALSE(QFileInfo::exists(dir_.filePath(QStringLiteral("out/big.png"))));
    EXPECT_FALSE(QFileInfo::exists(dir_.filePath(QStringLiteral("out/next.png"))));
    EXPECT_EQ(dialog.cancelButton()->text(), QStringLiteral("Done"));
}

TEST_F(BatchProgressDialog, ADamagedInputIsResizedAndSaidSoInTheLog) {
    BatchEntry e = Entry("cut.jpg", 40, 30);
    {
        QFile f(e.path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.resize(f.size() / 2));  // the second half of the scan is missing
    }
    CBatchProgress dialog({e}, options_, prompt_);
    RunToEnd(dialog);
    EXPECT_EQ(dialog.Summary().written, 1);
    EXPECT_TRUE(dialog.LogText().contains(QStringLiteral("damaged")))
        << qPrintable(dialog.LogText());
}

TEST_F(BatchProgressDialog, AfterACancelTheRunsBarCountsTheFilesItFinished) {
    // The third file was written and the run cancelled before the fourth said anything.
    CBatchProgress dialog(
        {Entry("a.png", 8, 8), Entry("b.png", 8, 8), Entry("c.png", 8, 8), Entry("d.png", 8, 8)},
        options_, prompt_);
    BatchReport report;
    report.fileNumber = 3;
    report.total = 4;
    dialog.Report(report);
    BatchRunSummary summary;
    summary.written = 2;
    summary.failed = 1;
    summary.cancelled = true;
    dialog.Finished(summary);
    QCoreApplication::processEvents();
    const auto* overall = dialog.findChild<QProgressBar*>(QStringLiteral("overall"));
    ASSERT_NE(overall, nullptr);
    EXPECT_EQ(overall->value(), 3);
}

TEST_F(BatchProgressDialog, TheBarShowsOnlyForTheOwnAlgorithms) {
    CBatchProgress dialog({}, options_, prompt_);
    for (int a = 0; a < kAlgorithmCount; ++a) {
        BatchReport report;
        report.fileNumber = 1;
        report.total = 1;
        report.entry.algorithm = *AlgorithmFromIndex(a);
        dialog.Report(report);
        QCoreApplication::processEvents();
        EXPECT_EQ(dialog.progressBar()->isVisibleTo(&dialog), a >= 5) << a;
    }
}

}  // namespace
}  // namespace orm
