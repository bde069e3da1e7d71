// The thumbnail view and the browse window offscreen: painting the browser's cells, forwarding
// keys and clicks, the rename editor, the folder column's width kept between windows, and the
// thumbnail work stopped when the window closes.

#include "browser_fixture.h"
#include "browser_test_support.h"

#include "browser/file_actions.h"
#include "browser/folder_monitor.h"
#include "settings/settings_store.h"
#include "ui/browse_wnd.h"
#include "ui/thumbs_view.h"

#include <QDir>
#include <QLineEdit>
#include <QScrollBar>
#include <QSettings>
#include <QSplitter>
#include <QTest>

#include <condition_variable>
#include <thread>

namespace orm {
namespace {

using namespace std::chrono_literals;
using test::Selected;

class ThumbsViewTest : public test::BrowserFixture {
  protected:
    void SetUp() override {
        BrowserFixture::SetUp();
        for (int i = 0; i < 7; ++i) WritePng(QStringLiteral("p%1.png").arg(i), 40, 30);
        browser = std::make_unique<CImgThumbsBrowser>(*builder, settings);
        browser->SetLocation(Folder());
        view = std::make_unique<CThumbsView>();
        view->resize(720, 420);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        view->SetBrowser(browser.get());  // the first update lists the folder
        ASSERT_TRUE(builder->WaitIdle(10s));
        QCoreApplication::processEvents();
    }
    void TearDown() override {
        view.reset();
        browser.reset();
        BrowserFixture::TearDown();
    }
    QPoint CentreOf(int index) const {
        return browser->ItemRect(index).center() - view->ScrollPosition();
    }

    std::unique_ptr<CImgThumbsBrowser> browser;
    std::unique_ptr<CThumbsView> view;
};

TEST_F(ThumbsViewTest, PaintsCellsWithThumbnailsAndSelection) {
    ASSERT_EQ(browser->Count(), 7);
    EXPECT_EQ(view->verticalScrollBar()->maximum(), 3 * 197 - view->viewport()->height());
    browser->SetSelected(1, true);
    const QImage shot = view->viewport()->grab().toImage();
    const ColourScheme& colours = settings.Colours();
    const QRect first = browser->ItemRect(0);
    const QRect second = browser->ItemRect(1);
    EXPECT_EQ(QColor(shot.pixel(second.left() - 2, 50)), colours.background);  // between the cells
    EXPECT_EQ(QColor(shot.pixel(first.left() + 4, 100)), colours.border);
    EXPECT_EQ(QColor(shot.pixel(second.left() + 4, 100)), colours.selectedBorder);
    // A 40 x 30 image fills the box's width: its thumbnail (220 x 165) covers the picture area.
    const QColor picture(shot.pixel(first.left() + 20, first.top() + 150));
    EXPECT_NE(picture, colours.backgroundInFrame);
    EXPECT_GT(picture.red() + picture.green(), 100);
}

TEST_F(ThumbsViewTest, KeysAndClicksReachTheBrowser) {
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, CentreOf(2));
    EXPECT_EQ(Selected(*browser), std::vector<int>({2}));
    QTest::keyClick(view.get(), Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(Selected(*browser), std::vector<int>({2, 3}));
    QTest::keyClick(view.get(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(Selected(*browser).size(), 7u);
    // Down to the last row scrolls it into view.
    QTest::keyClick(view.get(), Qt::Key_End);
    EXPECT_EQ(view->ScrollPosition().y(), view->verticalScrollBar()->maximum());
}

TEST_F(ThumbsViewTest, RenameEditorCommitsOnEnterAndCancelsOnEscape) {
    browser->SetSelected(4, true);
    browser->BeginRename(4);
    QLineEdit* edit = view->RenameEditor();
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(), QStringLiteral("p4.png"));
    EXPECT_EQ(edit->selectedText(), QStringLiteral("p4.png"));
    EXPECT_TRUE(
        edit->geometry().intersects(browser->ItemRect(4).translated(-view->ScrollPosition())));
    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_EQ(view->RenameEditor(), nullptr);
    EXPECT_TRUE(QFile::exists(PathOf(QStringLiteral("p4.png"))));

    // Enter gives the file the typed name.
    CFileActions actions;
    browser->SetFileActions(&actions);
    browser->BeginRename(4);
    ASSERT_NE(view->RenameEditor(), nullptr);
    QTest::keyClicks(view->RenameEditor(), QStringLiteral("holiday.png"));
    QTest::keyClick(view->RenameEditor(), Qt::Key_Return);
    EXPECT_EQ(view->RenameEditor(), nullptr);
    EXPECT_TRUE(QFile::exists(PathOf(QStringLiteral("holiday.png"))));
    EXPECT_EQ(browser->Item(4).FileName(), QStringLiteral("holiday.png"));
    browser->SetFileActions(nullptr);
}

// ---- The browse window ----------------------------------------------------------------------

class BrowseWndTest : public test::BrowserFixture {};

TEST_F(BrowseWndTest, LeftColumnIs200WideFirstAndKeepsTheUsersWidth) {
    QSettings backend(dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat);
    SettingsStore store(backend);
    {
        BrowserSettings loaded = settings.Browser();
        store.Load(loaded);
        settings.SetBrowser(loaded);
    }
    {
        CBrowseWnd window(*builder, settings, &store);
        window.resize(900, 600);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        EXPECT_EQ(window.LeftWidth(), 200);
        window.Splitter()->setSizes({260, 600});
        EXPECT_EQ(window.LeftWidth(), 260);
    }
    EXPECT_EQ(backend.value(QStringLiteral("SPLITTER/LEFTWIDTH")).toInt(), 260);
    SettingsModel again;
    {
        BrowserSettings loaded = again.Browser();
        store.Load(loaded);
        again.SetBrowser(loaded);
    }
    CBrowseWnd window(*builder, again, &store);
    window.resize(900, 600);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.LeftWidth(), 260);
}

TEST_F(BrowseWndTest, ShowsAFolderAndStopsItsThumbnailWorkWhenClosed) {
    for (int i = 0; i < 5; ++i) WritePng(QStringLiteral("p%1.png").arg(i));
    test::HoldFirst hold;
    builder->AddListener(&hold);
    // The builder is let go once its queue is empty, which only closing the window does (the
    // window waits for the notification in progress as it goes).
    std::thread releaser([&] {
        for (int i = 0; i < 1000 && !builder->Pending(1).isEmpty(); ++i)
            std::this_thread::sleep_for(10ms);
        hold.Release();
    });
    {
        CBrowseWnd window(*builder, settings, nullptr);
        window.resize(900, 600);
        window.show();
        window.ShowFolder(Folder());
        EXPECT_EQ(window.Browser().Count(), 5);
        EXPECT_EQ(window.Browser().Location(), Folder());
        ASSERT_TRUE(hold.WaitFirst());
    }
    releaser.join();
    ASSERT_TRUE(builder->WaitIdle(10s));
    EXPECT_TRUE(builder->Pending(1).isEmpty());
    builder->RemoveListener(&hold);
}

}  // namespace
}  // namespace orm

namespace orm {
namespace {

TEST_F(BrowseWndTest, AFileCopiedInFromOutsideShowsUp) {
    WritePng(QStringLiteral("first.png"));
    CBrowseWnd window(*builder, settings, nullptr);
    window.resize(900, 600);
    window.show();
    window.ShowFolder(Folder());
    ASSERT_EQ(window.Browser().Count(), 1);
    EXPECT_TRUE(window.Monitor().IsWatching());
    test::WriteImage(PathOf(QStringLiteral("second.png")), test::TestPattern(30, 20));
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.Browser().Count() == 2; }, 5000));
    EXPECT_EQ(window.Browser().Item(1).FileName(), QStringLiteral("second.png"));
}

TEST_F(BrowseWndTest, StartsInTheFolderOfTheLastRun) {
    const QString other = dir.filePath(QStringLiteral("other"));
    ASSERT_TRUE(QDir().mkpath(other));
    QSettings backend(dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat);
    SettingsStore store(backend);
    {
        BrowserSettings edited = settings.Browser();
        edited.defaultFolder = other;
        settings.SetBrowser(edited);
    }
    {
        CBrowseWnd window(*builder, settings, &store);
        EXPECT_EQ(window.StartFolder(), other);  // nothing stored: the settings' start folder
        window.ShowFolder(Folder());
        EXPECT_EQ(window.Browser().Location(), Folder());
    }
    CBrowseWnd window(*builder, settings, &store);
    EXPECT_EQ(window.StartFolder(), Folder());
}

}  // namespace
}  // namespace orm
