// The main frame offscreen: toolbar labels, shortcuts, title, the status-bar progress driven by
// the engine's frame commands, the splitter's stored panes, the recent files; and the pure
// rules of the command line, the help file and the About text.

#include "document/cormensura_doc.h"
#include "document/preview_worker.h"
#include "engine/progress.h"
#include "frame/command_line.h"
#include "frame/frame_layout.h"
#include "frame/toolbar_sets.h"
#include "settings/prompt.h"
#include "settings/resize_settings.h"
#include "settings/settings_store.h"
#include "test_environment.h"
#include "ui/cormensura_view.h"
#include "ui/main_frame.h"
#include "ui/panel_spin_edit.h"
#include "ui/resize_dlg_bar.h"
#include "ui/save_dialog.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDockWidget>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QSettings>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <QScrollArea>
#include <QScrollBar>

#include <gtest/gtest.h>

namespace orm::gui {
namespace {

class MainFrame : public ::testing::Test {
  protected:
    void SetUp() override {
        settings_.SetPrompt(&prompt_);
        ASSERT_TRUE(dir_.isValid());
    }

    QString WriteImage(const QString& name, int w, int h) {
        const QString path = dir_.filePath(name);
        EXPECT_TRUE(test::PatternImage(w, h).save(path));
        return path;
    }

    QTemporaryDir dir_;
    ScriptedPrompt prompt_;
    SettingsModel settings_;
};

TEST_F(MainFrame, ToolbarHoldsTheSingleImageSetWithItsLabels) {
    QSettings backend(dir_.filePath("s.ini"), QSettings::IniFormat);
    SettingsStore store(backend);
    CMainFrame frame(settings_, &store);
    QStringList texts;
    for (QAction* a : frame.ToolBar()->actions()) {
        if (a->isSeparator())
            continue;
        auto* button = qobject_cast<QToolButton*>(frame.ToolBar()->widgetForAction(a));
        ASSERT_NE(button, nullptr);
        texts << button->text();
        EXPECT_FALSE(a->icon().isNull()) << qPrintable(button->text());
    }
    EXPECT_EQ(texts, (QStringList{"Open", "Save", "Batch Mode", "Previous", "Next"}));
    EXPECT_EQ(frame.Action(kCmdOpen)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    EXPECT_EQ(frame.Action(kCmdSave)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
    EXPECT_EQ(frame.Action(kCmdNext)->shortcut(), QKeySequence(Qt::Key_Right));
    EXPECT_EQ(frame.Action(kCmdPrevious)->shortcut(), QKeySequence(Qt::Key_Left));
    EXPECT_EQ(frame.Action(kCmdHelpTopics)->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_EQ(frame.Action(kCmdExit)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_EQ(frame.SettingsDock()->windowTitle(), QStringLiteral("Resize settings"));
    EXPECT_EQ(frame.Action(kCmdResizeSettingsBar)->text(), QStringLiteral("&Resize Settings"));
}

TEST_F(MainFrame, OpeningSetsTitleRecentFilesAndEnabling) {
    QSettings backend(dir_.filePath("s.ini"), QSettings::IniFormat);
    SettingsStore store(backend);
    CMainFrame frame(settings_, &store);
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("ORVEN Mensura"));
    EXPECT_FALSE(frame.Action(kCmdSave)->isEnabled());
    EXPECT_FALSE(frame.Action(kCmdNext)->isEnabled());

    ASSERT_TRUE(frame.OpenDocumentFile(WriteImage("first.png", 40, 30)));
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("first.png"));
    EXPECT_TRUE(frame.Action(kCmdNext)->isEnabled());
    EXPECT_FALSE(frame.Action(kCmdSave)->isEnabled());  // settings equal the source
    settings_.EditResize([&](ResizeSettings& r) { r.width = 20; });
    frame.OnSettingsChanged();
    EXPECT_TRUE(frame.Action(kCmdSave)->isEnabled());

    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(frame.OpenDocumentFile(WriteImage(QStringLiteral("f%1.png").arg(i), 10, 10)));
    ASSERT_EQ(frame.RecentFiles().size(), kRecentFileCount);
    EXPECT_TRUE(frame.RecentFiles().first().endsWith(QStringLiteral("f4.png")));
    frame.SaveFrameState();
    EXPECT_EQ(store.RecentFiles(), frame.RecentFiles());
}

TEST_F(MainFrame, RightAndLeftKeysStepThroughTheFolder) {
    CMainFrame frame(settings_, nullptr);
    frame.show();
    QApplication::setActiveWindow(&frame);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    WriteImage("a.png", 12, 10);
    WriteImage("b.png", 14, 10);
    ASSERT_TRUE(frame.OpenDocumentFile(dir_.filePath("a.png")));
    frame.View()->setFocus();
    QTest::keyClick(frame.View(), Qt::Key_Right);
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("b.png"));
    QTest::keyClick(frame.View(), Qt::Key_Left);
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("a.png"));
    QTest::keyClick(frame.View(), Qt::Key_PageDown);
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("b.png"));
    EXPECT_TRUE(prompt_.messages.isEmpty());

    // With a panel field focused (as after typing a size) Right and Left stay the text field's;
    // Page Up/Down and Alt+Left/Right still step.
    CPanelSpinEdit* width = frame.SettingsPanel()->field(PanelField::Width);
    frame.SettingsDock()->show();
    width->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return width->edit()->hasFocus(); }));
    width->edit()->setCursorPosition(0);
    QTest::keyClick(width->edit(), Qt::Key_Right);
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("b.png"));
    EXPECT_EQ(width->edit()->cursorPosition(), 1);
    QTest::keyClick(width->edit(), Qt::Key_PageUp);
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("a.png"));
    QTest::keyClick(width->edit(), Qt::Key_Right, Qt::AltModifier);
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("b.png"));
    QTest::keyClick(width->edit(), Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("a.png"));
    EXPECT_TRUE(
        frame.Action(kCmdNext)->text().endsWith(QStringLiteral("\tRight, PgDown, Alt+Right")))
        << qPrintable(frame.Action(kCmdNext)->text());
}

TEST_F(MainFrame, AHeldSpinKeepsTheViewFromComputingInBetweenSizes) {
    CMainFrame frame(settings_, nullptr);
    frame.resize(900, 600);
    frame.show();
    QApplication::setActiveWindow(&frame);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    ASSERT_TRUE(frame.OpenDocumentFile(WriteImage("spin.png", 300, 200)));
    settings_.EditResize([&](ResizeSettings& r) { r.algorithm = ResizeAlgorithm::SmartNatural; });
    frame.SettingsPanel()->UpdateFromDocument(frame.Document()->SourceInfo(),
                                              dir_.filePath("spin.png"), 1);
    CPanelSpinEdit* width = frame.SettingsPanel()->field(PanelField::Width);
    width->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return width->edit()->hasFocus(); }));
    QSignalSpy started(frame.Document()->Worker(), &PreviewWorker::jobStarted);

    const int before = settings_.Resize().width;
    QTest::keyPress(width, Qt::Key_Up);  // held
    EXPECT_EQ(settings_.Resize().width, before) << "the model gets the size when the steps end";
    frame.Document()->RefreshViews();  // any other refresh meanwhile
    QCoreApplication::processEvents();
    EXPECT_EQ(started.count(), 0) << "no own-algorithm job for an in-between size";

    QTest::keyRelease(width, Qt::Key_Up);
    EXPECT_GT(settings_.Resize().width, before);
    EXPECT_TRUE(QTest::qWaitFor([&] { return started.count() > 0; }, 5000))
        << "the final size is computed";
}

TEST_F(MainFrame, ProgressCommandsShowStepAndHideTheBarInTheRightThird) {
    CMainFrame frame(settings_, nullptr);
    frame.resize(900, 600);
    frame.show();
    QProgressBar* bar = frame.ProgressBar();
    EXPECT_FALSE(bar->isVisible());
    frame.OnFrameCommand(kCmdShowProgress);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 90);
    EXPECT_EQ(bar->parentWidget(), frame.statusBar());
    EXPECT_EQ(bar->geometry(), ProgressBarGeometry(frame.statusBar()->rect()));
    frame.OnFrameCommand(kCmdProgressChanged, 42);
    EXPECT_EQ(bar->value(), 42);
    frame.OnFrameCommand(kCmdHideProgress);
    EXPECT_FALSE(bar->isVisible());

    // The document's running job reaches the bar through its signals.
    emit frame.Document()->progressStarted();
    EXPECT_TRUE(bar->isVisible());
    emit frame.Document()->progressChanged(30);
    EXPECT_EQ(bar->value(), 30);
    emit frame.Document()->progressFinished();
    EXPECT_FALSE(bar->isVisible());
}

TEST_F(MainFrame, SettingsPanelScrollsWhenTheScreenIsShort) {
    CMainFrame frame(settings_, nullptr);
    frame.resize(1000, 500);
    frame.show();
    QCoreApplication::processEvents();
    auto* scroll = frame.findChild<QScrollArea*>(QStringLiteral("resizeSettingsScroll"));
    ASSERT_NE(scroll, nullptr);
    EXPECT_EQ(scroll->widget(), static_cast<QWidget*>(frame.SettingsPanel()));
    // Shorter than the panel: the panel keeps its own height and the area scrolls.
    EXPECT_GE(frame.SettingsPanel()->height(), frame.SettingsPanel()->minimumSizeHint().height());
    EXPECT_GT(scroll->verticalScrollBar()->maximum(), 0);
}

TEST_F(MainFrame, HelpOpensInAWindowOfItsOwnWhenNoBrowserTakesIt) {
    CMainFrame frame(settings_, nullptr);
    QStringList handed;
    frame.SetUrlOpener([&](const QUrl& url) {
        handed.append(url.toLocalFile());
        return false;  // no URL launcher installed
    });
    const QString help = HelpFilePath(QCoreApplication::applicationFilePath());
    QFile::remove(help);
    frame.Action(kCmdHelpTopics)->trigger();
    EXPECT_EQ(prompt_.warnings,
              QStringList({QStringLiteral("Can't open the help file %1.").arg(help)}));
    EXPECT_TRUE(handed.isEmpty());

    {
        QFile page(help);
        ASSERT_TRUE(page.open(QIODevice::WriteOnly));
        page.write("<html><body><h1>Resizing</h1></body></html>");
    }
    frame.Action(kCmdHelpTopics)->trigger();
    QFile::remove(help);
    EXPECT_EQ(handed, QStringList({help}));
    EXPECT_EQ(prompt_.warnings.size(), 1) << "an existing page is never reported missing";
    ASSERT_NE(frame.HelpWindow(), nullptr);
    EXPECT_TRUE(frame.HelpWindow()->isVisible());
    EXPECT_TRUE(frame.HelpWindow()->toPlainText().contains(QStringLiteral("Resizing")));
    // Escape and Ctrl+W close it, where the focus is.
    for (const QKeyCombination keys :
         {QKeyCombination(Qt::Key_Escape), QKeyCombination(Qt::ControlModifier, Qt::Key_W)}) {
        frame.HelpWindow()->show();
        frame.HelpWindow()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame.HelpWindow()));
        QTest::keyClick(
            QApplication::focusWidget() ? QApplication::focusWidget() : frame.HelpWindow(),
            keys.key(), keys.keyboardModifiers());
        EXPECT_FALSE(frame.HelpWindow()->isVisible());
    }
}

TEST_F(MainFrame, SplitterPanesAreStoredAndRestored) {
    QSettings backend(dir_.filePath("s.ini"), QSettings::IniFormat);
    SettingsStore store(backend);
    store.WriteText("SPLITTER", "Panes_0", QStringLiteral("333 100 0 100"));
    {
        CMainFrame frame(settings_, &store);
        frame.resize(800, 700);
        frame.show();
        QCoreApplication::processEvents();
        EXPECT_EQ(frame.Splitter()->count(), 2);
    }
    const auto panes = ParsePanes(store.ReadText("SPLITTER", "Panes_0"));
    ASSERT_TRUE(panes.has_value());
    EXPECT_GT(panes->first, 0);
    EXPECT_EQ(panes->firstIdeal, 100);
    EXPECT_EQ(panes->secondIdeal, 100);
}

TEST(FrameRules, ProgressGeometryPanesTitleHelpAbout) {
    // Status bar 900 x 24: w = 900, h = 20; x = 900 - 300 - 20.
    EXPECT_EQ(ProgressBarGeometry(QRect(0, 0, 900, 24)), QRect(580, 2, 300, 20));
    EXPECT_EQ(FormatPanes({400, -1, 250, 7}), QStringLiteral("400 100 250 7"));
    EXPECT_EQ(ParsePanes(QStringLiteral("400 100 250 7")), (PaneSizes{400, 100, 250, 7}));
    EXPECT_FALSE(ParsePanes(QStringLiteral("400 x 250 7")).has_value());
    EXPECT_FALSE(ParsePanes(QStringLiteral("1 2 3")).has_value());
    EXPECT_EQ(PanesKey(3), QStringLiteral("Panes_3"));
    EXPECT_EQ(FrameTitle(QStringLiteral("/home/u/Pictures/cat.jpg")), QStringLiteral("cat.jpg"));
    EXPECT_EQ(FrameTitle(QString()), QStringLiteral("ORVEN Mensura"));
    EXPECT_EQ(FrameTitle(QStringLiteral("/x/cat.jpg"), true), QStringLiteral("ORVEN Mensura"));
    EXPECT_EQ(HelpFilePath(QStringLiteral("/opt/orm/bin/ormensura")),
              QStringLiteral("/opt/orm/bin/ormensura.html"));
    EXPECT_EQ(HelpFilePath(QStringLiteral("/opt/x.y/prog.exe")),
              QStringLiteral("/opt/x.y/prog.html"));
    EXPECT_EQ(AboutVersionText(QStringLiteral("2.0.1.7")),
              QStringLiteral("ORVEN Mensura v. 2.0.1.7"));
    EXPECT_EQ(AboutVersionText(QStringLiteral("2.1")), QStringLiteral("ORVEN Mensura v. 2.1.0.0"));
    EXPECT_EQ(LabelsOf(SingleImageToolbarSet()),
              (QStringList{"Open", "Save", "Batch Mode", "Previous", "Next"}));
}

// A name typed without an extension must be checked for replacing under the name that is
// written: "res" with res.jpg in the folder asks first, and declining keeps the dialog open.
TEST(SaveDialog, BareNameTakesTheChosenTypeBeforeTheReplaceQuestion) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile existing(dir.filePath("res.jpg"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();

    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    ConfigureSaveDialog(dialog, dir.path());
    dialog.selectFile(QStringLiteral("res"));
    EXPECT_EQ(dialog.selectedFiles(), QStringList{dir.filePath("res.jpg")});

    QString question;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            question = box->text();
            box->done(QMessageBox::No);
        }
    });
    answer.start(10);
    static_cast<QDialog&>(dialog).accept();  // the dialog's own check runs
    answer.stop();
    EXPECT_TRUE(question.contains(QStringLiteral("res.jpg"))) << question.toStdString();
    EXPECT_NE(dialog.result(), QDialog::Accepted);

    // Another type chosen in the list (WebP, the last): a bare name takes its extension.
    auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    ASSERT_NE(types, nullptr);
    QTest::keyClick(types, Qt::Key_End);
    ASSERT_EQ(dialog.selectedNameFilter(), QStringLiteral("WebP Files (*.webp)"));
    dialog.selectFile(QStringLiteral("other"));
    EXPECT_EQ(dialog.selectedFiles(), QStringList{dir.filePath("other.webp")});
    EXPECT_EQ(FilterSuffix(QStringLiteral("TIFF Files (*.tif *.tiff)")), QStringLiteral("tif"));
    EXPECT_EQ(FilterSuffix(QStringLiteral("PNG Files (*.png)")), QStringLiteral("png"));
    EXPECT_EQ(FilterSuffix(QStringLiteral("All")), QString());
}

TEST(CommandLineRules, SupportedFilesSwitchesAndTheRest) {
    const CommandLine cl = ParseCommandLine(
        {"a.JPG", "b.gif", "c.jpeg", "d.jp", "--version", "-x", "--", "--e.png", "f.TIFF"});
    EXPECT_EQ(cl.files, (QStringList{"a.JPG", "b.gif", "c.jpeg", "--e.png", "f.TIFF"}));
    EXPECT_EQ(cl.ignored, (QStringList{"d.jp"}));
    EXPECT_TRUE(cl.version);
    EXPECT_FALSE(cl.help);
    EXPECT_EQ(cl.unknownSwitches, QStringList{"-x"});
    const CommandLine reg = ParseCommandLine({"--register"});
    EXPECT_TRUE(reg.registerPlugin);
    EXPECT_TRUE(reg.files.isEmpty());
}

}  // namespace
}  // namespace orm::gui
