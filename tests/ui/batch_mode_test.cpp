// The main window's batch mode: the modes and their commands, the batch row, and a whole run
// through the real dialogs.

#include "document/cormensura_doc.h"
#include "frame/toolbar_sets.h"
#include "settings/settings_store.h"
#include "test_environment.h"
#include "ui/basket_browser.h"
#include "ui/batch_dlg.h"
#include "ui/batch_progress.h"
#include "ui/cormensura_view.h"
#include "ui/main_frame.h"
#include "ui/panel_spin_edit.h"
#include "ui/resize_dlg_bar.h"
#include "ui/thumbs_view.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <gtest/gtest.h>

namespace orm::gui {
namespace {

class BatchMode : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        settings_.SetPrompt(&prompt_);
    }
    QStringList Images(int n) {
        QStringList paths;
        for (int i = 0; i < n; ++i) {
            paths << dir_.filePath(QStringLiteral("photo%1.png").arg(i));
            EXPECT_TRUE(test::PatternImage(64 + 16 * i, 48).save(paths.last()));
        }
        return paths;
    }
    QStringList ToolbarTexts(const CMainFrame& frame) const {
        QStringList texts;
        for (QAction* a : frame.ToolBar()->actions())
            if (!a->isSeparator())
                texts << a->iconText();
        return texts;
    }

    QTemporaryDir dir_;
    ScriptedPrompt prompt_;
    SettingsModel settings_;
};

TEST_F(BatchMode, SeveralFilesAtStartBecomeTheBatchInBatchMode) {
    CMainFrame frame(settings_, nullptr);
    frame.show();  // as the program shows it before opening its files
    QStringList files = Images(3);
    files << dir_.filePath(QStringLiteral("gone.png"));  // missing files are dropped
    frame.OpenCommandLineFiles(files);
    EXPECT_TRUE(settings_.BatchMode());
    // The batch row has the keys, so Enter runs the batch.
    EXPECT_EQ(frame.focusWidget(), static_cast<QWidget*>(frame.BasketView()));
    EXPECT_EQ(frame.BatchEntries().count(), 3);
    EXPECT_TRUE(frame.Action(kCmdBatchMode)->isChecked());
    EXPECT_EQ(ToolbarTexts(frame), QStringList({"Open", "Browse", "Batch Mode", "Remove", "Run",
                                                "Previous", "Next", "View"}));
    EXPECT_TRUE(frame.SettingsPanel()->batchMode());
    // One file alone changes nothing.
    CMainFrame other(settings_, nullptr);
    settings_.SetBatchMode(false);
    other.OpenCommandLineFiles({files.first()});
    EXPECT_TRUE(other.BatchEntries().empty());
    EXPECT_FALSE(settings_.BatchMode());
}

TEST_F(BatchMode, CommandsAreEnabledByModeListAndBrowsing) {
    CMainFrame frame(settings_, nullptr);
    frame.SetBrowseWindowFactory([](CMainFrame*) { return new QWidget; });
    frame.UpdateCommandStates();
    EXPECT_FALSE(frame.Action(kCmdBrowse)->isEnabled()) << "Browse only in batch mode";
    EXPECT_FALSE(frame.Action(kCmdRun)->isEnabled());
    frame.SetBatchMode(true);
    EXPECT_TRUE(frame.Action(kCmdBrowse)->isEnabled());
    EXPECT_FALSE(frame.Action(kCmdRun)->isEnabled()) << "an empty list has nothing to run";
    EXPECT_FALSE(frame.Action(kCmdSaveBatch)->isEnabled());
    frame.AddFilesToBatch(Images(2));
    EXPECT_TRUE(frame.Action(kCmdRun)->isEnabled());
    EXPECT_TRUE(frame.Action(kCmdSaveBatch)->isEnabled());

    frame.Action(kCmdBrowse)->trigger();
    ASSERT_TRUE(frame.BrowseModeOn());
    EXPECT_FALSE(frame.Action(kCmdRun)->isEnabled()) << "no run while browsing";
    EXPECT_FALSE(frame.Action(kCmdResizeSettingsBar)->isEnabled());
    EXPECT_EQ(ToolbarTexts(frame), QStringList({"Done", "Remove", "View"}));
    // Leaving batch mode while browsing closes the browse window and restores the preview.
    frame.SetBatchMode(false);
    EXPECT_FALSE(frame.BrowseModeOn());
    EXPECT_FALSE(frame.View()->isHidden());
    EXPECT_EQ(ToolbarTexts(frame), QStringList({"Open", "Save", "Batch Mode", "Previous", "Next"}));
}

TEST_F(BatchMode, IconSizesAndTheBatchRowHeight) {
    QSettings backend(dir_.filePath(QStringLiteral("store.ini")), QSettings::IniFormat);
    SettingsStore store(backend);
    {
        CMainFrame frame(settings_, &store);
        frame.resize(900, 700);
        frame.show();
        QCoreApplication::processEvents();
        frame.SetBatchMode(true);
        const QList<int> sizes = frame.Splitter()->sizes();
        EXPECT_NEAR(sizes.value(1), 250, 8) << "no stored height: a 250-pixel batch row";

        {
            BrowserSettings edited = settings_.Browser();
            edited.iconsZoom = 66;
            settings_.SetBrowser(edited);
        }
        QSignalSpy zoom(&frame, &CMainFrame::iconsZoomChanged);
        frame.Action(kCmdSmallIcons)->trigger();  // already 66: nothing
        EXPECT_EQ(zoom.count(), 0);
        const int smallCell = frame.Basket()->CellSize().height();
        const int smallRow = frame.Splitter()->sizes().value(1);
        frame.Action(kCmdLargeIcons)->trigger();
        EXPECT_EQ(settings_.Browser().iconsZoom, 100);
        EXPECT_EQ(zoom.count(), 1);
        // The batch row grows with its cells.
        EXPECT_EQ(frame.Splitter()->sizes().value(1) - smallRow,
                  frame.Basket()->CellSize().height() - smallCell);
        frame.UpdateCommandStates();
        EXPECT_TRUE(frame.Action(kCmdLargeIcons)->isChecked());
        EXPECT_FALSE(frame.Action(kCmdSmallIcons)->isChecked());

        frame.Splitter()->setSizes({300, frame.Splitter()->height() - 300});
        frame.SetBatchMode(false);  // stores the upper row's height
    }
    EXPECT_EQ(store.ReadInt("SPLITTER", "RIGHTHEIGHT", -1), 300);
    CMainFrame again(settings_, &store);
    again.resize(900, 700);
    again.show();
    QCoreApplication::processEvents();
    again.SetBatchMode(true);
    EXPECT_EQ(again.Splitter()->sizes().value(0), 300);
}

TEST_F(BatchMode, TheBasketShowsTheListAndAClickOpensAnEntryWithItsSettings) {
    CMainFrame frame(settings_, nullptr);
    frame.resize(900, 700);
    frame.show();
    const QStringList files = Images(3);
    frame.OpenCommandLineFiles(files);
    ASSERT_NE(frame.Basket(), nullptr);
    ASSERT_EQ(frame.Basket()->Count(), 3);
    EXPECT_EQ(frame.Basket()->Item(1).path, files[1]);
    BatchEntry& second = frame.BatchEntries().at(1);
    second.width = 40;
    second.height = 30;
    second.algorithm = ResizeAlgorithm::SmartNatural;
    frame.ActivateBatchEntry(1);
    EXPECT_EQ(frame.Document()->CurrentPath(), files[1]);
    EXPECT_EQ(settings_.Resize().width, 40);
    EXPECT_EQ(settings_.Resize().height, 30);
    EXPECT_EQ(settings_.Resize().algorithm, ResizeAlgorithm::SmartNatural);
    EXPECT_EQ(CBasketBrowser::DetailText(second), QStringLiteral("40 x 30"));

    // Removing takes entries out of the list, never files off the disk.
    frame.Basket()->SetSelected(0, true);
    frame.Basket()->OnSelectionChanged();
    frame.UpdateCommandStates();
    EXPECT_TRUE(frame.Action(kCmdRemove)->isEnabled());
    frame.Action(kCmdRemove)->trigger();
    EXPECT_EQ(frame.BatchEntries().count(), 2);
    EXPECT_EQ(frame.Basket()->Count(), 2);
    EXPECT_TRUE(QFileInfo::exists(files[0]));
}

TEST_F(BatchMode, ARunThroughTheRealDialogsWritesEveryImage) {
    CMainFrame frame(settings_, nullptr);
    frame.show();
    const QStringList files = Images(3);
    frame.OpenCommandLineFiles(files);
    for (int i = 0; i < frame.BatchEntries().count(); ++i) {
        frame.BatchEntries().at(i).width = 32;
        frame.BatchEntries().at(i).height = 24;
    }
    // With "Never enlarge" on in the panel, an entry larger than its 96 x 48 source keeps it.
    settings_.EditResize([&](ResizeSettings& r) { r.noEnlarge = 1; });
    frame.BatchEntries().at(2).width = 400;
    frame.BatchEntries().at(2).height = 200;
    const QString out = dir_.filePath(QStringLiteral("out"));
    prompt_.QueueAnswer(true);  // "Folder ... does not exist. Create this folder?"
    bool progressSeen = false;
    // The settings dialog: set the folder and press OK; then the progress dialog: wait for
    // "Done" and press it.
    QTimer::singleShot(0, [&] {
        auto* settingsDialog = qobject_cast<CBatchDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(settingsDialog, nullptr);
        settingsDialog->folderEdit()->setText(out);
        settingsDialog->fastDecodeCheck()->setChecked(true);
        settingsDialog->accept();
        QTimer::singleShot(0, [&] {
            auto* progress = frame.findChild<CBatchProgress*>();
            ASSERT_NE(progress, nullptr);
            progressSeen = true;
            ASSERT_TRUE(QTest::qWaitFor([&] { return !progress->Running(); }, 60000));
            EXPECT_EQ(progress->cancelButton()->text(), QStringLiteral("Done"));
            progress->cancelButton()->click();
        });
    });
    frame.Action(kCmdRun)->trigger();
    EXPECT_TRUE(progressSeen);
    EXPECT_EQ(settings_.Batch().outputFolder, out + QLatin1Char('/'));
    EXPECT_EQ(settings_.Batch().fastDecode, 1);  // stored as BATCH/FASTDECODE
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(QImage(out + QLatin1Char('/') + QFileInfo(files[i]).fileName()).size(),
                  i < 2 ? QSize(32, 24) : QSize(96, 48))
            << qPrintable(files[i]);
}

}  // namespace
}  // namespace orm::gui

namespace orm::gui {
namespace {

QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Outputs into the photos' own folder under their own names: one question for the run; Cancel
// leaves every original as it was, "Save with new names" writes beside them.
TEST_F(BatchMode, OutputsThatWouldReplaceTheirOriginalsAskOnceAndCancelKeepsThem) {
    CMainFrame frame(settings_, nullptr);
    const QStringList files = Images(3);
    frame.OpenCommandLineFiles(files);
    std::vector<QByteArray> originals;
    for (const QString& f : files) originals.push_back(FileBytes(f));
    const auto runInto = [&](const QString& folder) {
        QTimer::singleShot(0, [&, folder] {
            auto* dialog = qobject_cast<CBatchDlg*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            dialog->folderEdit()->setText(folder);
            dialog->accept();
            QTimer::singleShot(0, [&] {
                if (auto* progress = frame.findChild<CBatchProgress*>()) {
                    ASSERT_TRUE(QTest::qWaitFor([&] { return !progress->Running(); }, 60000));
                    progress->cancelButton()->click();
                }
            });
        });
        frame.Action(kCmdRun)->trigger();
    };
    prompt_.QueueChoice(2);  // Cancel
    runInto(dir_.path());
    ASSERT_EQ(prompt_.questions.size(), 1);
    EXPECT_EQ(prompt_.questions[0], QStringLiteral("3 outputs would replace their originals."));
    for (size_t i = 0; i < files.size(); ++i)
        EXPECT_EQ(FileBytes(files[int(i)]), originals[i]) << "nothing ran";

    prompt_.QueueChoice(1);  // Save with new names
    runInto(dir_.path());
    EXPECT_EQ(prompt_.questions.size(), 2);
    for (size_t i = 0; i < files.size(); ++i) EXPECT_EQ(FileBytes(files[int(i)]), originals[i]);
    EXPECT_EQ(QDir(dir_.path()).entryList({QStringLiteral("*_RESIZED_TO_*")}).size(), 3);
}

// Enter in a field of the panel confirms the field; it never opens Batch Settings, in batch
// mode or out of it. Enter in the batch row runs.
TEST_F(BatchMode, EnterInTheWidthFieldConfirmsItAndEnterInTheBatchRowRuns) {
    CMainFrame frame(settings_, nullptr);
    frame.resize(900, 700);
    frame.show();
    QApplication::setActiveWindow(&frame);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    frame.OpenCommandLineFiles(Images(2));
    ASSERT_TRUE(settings_.BatchMode());
    bool dialogSeen = false;
    const auto watchForDialog = [&] {
        QTimer::singleShot(0, [&] {
            if (auto* dialog = qobject_cast<CBatchDlg*>(QApplication::activeModalWidget())) {
                dialogSeen = true;
                dialog->reject();
            }
        });
    };
    QLineEdit* width = frame.SettingsPanel()->field(PanelField::Width)->edit();
    width->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return width->hasFocus(); }));
    width->selectAll();
    watchForDialog();
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("320"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_FALSE(dialogSeen) << "Enter in a field opened Batch Settings";
    EXPECT_EQ(settings_.Resize().width, 320) << "Enter confirms the field";

    frame.BasketView()->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return frame.BasketView()->hasFocus(); }));
    watchForDialog();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_TRUE(dialogSeen) << "Enter in the batch row runs";
}

}  // namespace
}  // namespace orm::gui

namespace orm::gui {
namespace {

// The window's close button during a run: "Wait" keeps the window and the run going; "Stop and
// quit" stops the run (the file in hand is finished or dropped whole) and lets the window close.
TEST_F(BatchMode, ClosingTheWindowDuringARunAsksFirst) {
    CMainFrame frame(settings_, nullptr);
    frame.show();
    frame.OpenCommandLineFiles(Images(4));
    for (int i = 0; i < frame.BatchEntries().count(); ++i) {
        BatchEntry& entry = frame.BatchEntries().at(i);
        entry.width = 6000;  // slow enough to be running when the window is closed
        entry.height = 4500;
        entry.algorithm = ResizeAlgorithm::SmartNatural;
    }
    const QString out = dir_.filePath(QStringLiteral("out"));
    prompt_.QueueAnswer(true);  // create the folder
    prompt_.QueueChoice(0);     // Wait
    prompt_.QueueChoice(1);     // Stop and quit
    bool closedWhileRunning = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<CBatchDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->folderEdit()->setText(out);
        dialog->accept();
        QTimer::singleShot(0, [&] {
            auto* progress = frame.findChild<CBatchProgress*>();
            ASSERT_NE(progress, nullptr);
            ASSERT_TRUE(progress->Running());
            EXPECT_FALSE(frame.menuBar()->isEnabled()) << "the window takes no input meanwhile";
            EXPECT_FALSE(frame.close());
            EXPECT_TRUE(frame.isVisible());
            EXPECT_TRUE(progress->Running());
            closedWhileRunning = frame.close();
            EXPECT_FALSE(progress->Running());
            EXPECT_TRUE(progress->QuitRequested());
        });
    });
    frame.Action(kCmdRun)->trigger();
    EXPECT_TRUE(closedWhileRunning);
    EXPECT_EQ(prompt_.questions.count(QStringLiteral("A batch is running.")), 2);
    EXPECT_TRUE(frame.menuBar()->isEnabled());
    // Whatever was written is whole: no temporary files, and every output reads.
    const QStringList written = QDir(out).entryList(QDir::Files);
    EXPECT_LT(written.size(), 4);
    for (const QString& name : written)
        EXPECT_EQ(QImage(QDir(out).filePath(name)).size(), QSize(6000, 4500)) << qPrintable(name);
}

}  // namespace
}  // namespace orm::gui
