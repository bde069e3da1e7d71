// The batch basket in the main window: its menus and commands, sorting the entries themselves,
// tooltips, the empty-list text, folders dropped on it, and pictures picked in the browse window.

#include "document/cormensura_doc.h"
#include "frame/dropped_files.h"
#include "test_environment.h"
#include "ui/basket_browser.h"
#include "ui/browse_wnd.h"
#include "ui/main_frame.h"
#include "ui/thumbs_view.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QMimeData>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QUrl>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace orm::gui {
namespace {

class Basket : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        settings_.SetPrompt(&prompt_);
        QGuiApplication::clipboard()->clear();
    }
    void TearDown() override { QGuiApplication::clipboard()->clear(); }
    QString Image(const QString& name, int width, int height) {
        const QString path = dir_.filePath(name);
        EXPECT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
        EXPECT_TRUE(test::PatternImage(width, height).save(path));
        return path;
    }
    static std::unique_ptr<QMimeData> UriList(const QStringList& paths) {
        auto data = std::make_unique<QMimeData>();
        QList<QUrl> urls;
        for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
        data->setUrls(urls);
        return data;
    }
    static std::vector<int> Ids(const std::vector<MenuEntry>& entries) {
        std::vector<int> ids;
        for (const MenuEntry& e : entries) ids.push_back(e.IsSeparator() ? 0 : e.id);
        return ids;
    }
    void Select(CBasketBrowser& basket, std::initializer_list<int> indices) {
        basket.ClearSelection();
        for (int i : indices) basket.SetSelected(i, true);
        basket.OnSelectionChanged();
    }

    QTemporaryDir dir_;
    ScriptedPrompt prompt_;
    SettingsModel settings_;
};

TEST_F(Basket, MenusAndTheirEnablingFollowTheListTheSelectionAndTheClipboard) {
    CMainFrame frame(settings_, nullptr);
    CBasketBrowser& basket = *frame.Basket();

    // Empty: nothing to refresh, select or sort; paste only with files on the clipboard.
    BrowserMenu empty = basket.ContextMenuFor(basket_menu::kEmptySpace);
    EXPECT_EQ(empty.number, 287);
    EXPECT_EQ(Ids(empty.entries), (std::vector<int>{33131, 33123, 0, 33126, 0}));
    EXPECT_EQ(empty.entries.back().text, QStringLiteral("Sort"));
    for (int id : {basket_cmd::kRefresh, basket_cmd::kPaste, basket_cmd::kSelectAll,
                   basket_cmd::kSortName, basket_cmd::kRemove})
        EXPECT_FALSE(basket.CommandEnabled(id)) << id;
    const QString first = Image(QStringLiteral("b.png"), 64, 48);
    QGuiApplication::clipboard()->setMimeData(UriList({first}).release());
    EXPECT_TRUE(basket.CommandEnabled(basket_cmd::kPaste));
    ASSERT_TRUE(basket.OnCommand(basket_cmd::kPaste));
    ASSERT_EQ(frame.BatchEntries().count(), 1);

    // One entry: no sort yet; one selected gives menu 286 with Properties, several give 285.
    EXPECT_TRUE(basket.CommandEnabled(basket_cmd::kRefresh));
    EXPECT_TRUE(basket.CommandEnabled(basket_cmd::kSelectAll));
    EXPECT_FALSE(basket.CommandEnabled(basket_cmd::kSortName));
    frame.AddFilesToBatch({Image(QStringLiteral("a.png"), 32, 32)});
    EXPECT_TRUE(basket.CommandEnabled(basket_cmd::kSortDate));
    Select(basket, {0});
    const BrowserMenu one = basket.ContextMenuFor(menu::kOneItem);
    EXPECT_EQ(one.number, 286);
    EXPECT_EQ(Ids(one.entries), (std::vector<int>{33123, 33124, 32863, 0, 33126, 0, 0, 33130}));
    EXPECT_TRUE(one.Find(basket_cmd::kRemove)->enabled);
    EXPECT_NE(one.Find(basket_cmd::kSortFormat), nullptr);
    Select(basket, {0, 1});
    const BrowserMenu several = basket.ContextMenuFor(menu::kItems);
    EXPECT_EQ(several.number, 285);
    EXPECT_EQ(several.Find(basket_cmd::kProperties), nullptr);
    // Renaming, cutting and deleting files are not the basket's.
    EXPECT_FALSE(basket.CommandEnabled(cmd::kRename));
    EXPECT_FALSE(basket.CommandEnabled(cmd::kCut));

    // Copy puts the entries' files on the clipboard; Remove takes the entries out, not the files.
    QGuiApplication::clipboard()->clear();
    ASSERT_TRUE(basket.CommandEnabled(basket_cmd::kCopy));
    basket.OnCommand(basket_cmd::kCopy);
    EXPECT_EQ(gui::DroppedImageFiles(QGuiApplication::clipboard()->mimeData()).size(), 2);
    Select(basket, {1});
    basket.OnCommand(basket_cmd::kRemove);
    ASSERT_EQ(frame.BatchEntries().count(), 1);
    EXPECT_EQ(frame.BatchEntries().at(0).path, first);
    EXPECT_EQ(basket.Count(), 1);
    EXPECT_TRUE(QFileInfo::exists(dir_.filePath(QStringLiteral("a.png"))));
}

TEST_F(Basket, SortingPutsTheEntriesThemselvesInOrderWithTheirSettings) {
    CMainFrame frame(settings_, nullptr);
    CBasketBrowser& basket = *frame.Basket();
    // Own size: each entry keeps its image's size.
    settings_.EditResize([&](ResizeSettings& r) { r.applyToAll = 0; });
    frame.AddFilesToBatch({Image(QStringLiteral("c.png"), 30, 10), Image("a.png", 10, 10),
                           Image(QStringLiteral("b.png"), 20, 10)});
    ASSERT_EQ(frame.BatchEntries().count(), 3);
    frame.BatchEntries().at(1).algorithm = ResizeAlgorithm::SmartArtificial;
    basket.OnCommand(basket_cmd::kSortName);
    QStringList names;
    for (const BatchEntry& e : frame.BatchEntries().entries())
        names << QFileInfo(e.path).fileName() + QStringLiteral(":%1").arg(e.width);
    EXPECT_EQ(names, QStringList({"a.png:10", "b.png:20", "c.png:30"}));
    EXPECT_EQ(frame.BatchEntries().at(0).algorithm, ResizeAlgorithm::SmartArtificial);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(basket.Item(i).path, frame.BatchEntries().at(i).path);
    // Two entries of one file keep their own settings through a sort.
    prompt_.QueueAnswer(true);
    frame.AddFilesToBatch({dir_.filePath(QStringLiteral("b.png"))});
    frame.BatchEntries().at(3).width = 99;
    basket.OnCommand(basket_cmd::kSortName);
    EXPECT_EQ(frame.BatchEntries().at(1).width + frame.BatchEntries().at(2).width, 20 + 99);

    // An order that is not a permutation changes nothing.
    BatchList list = frame.BatchEntries();
    EXPECT_FALSE(list.Reorder({0, 0, 1, 2}));
    EXPECT_FALSE(list.Reorder({0, 1, 2}));
    EXPECT_FALSE(list.Reorder({0, 1, 2, 4}));
    EXPECT_EQ(list.at(3).path, frame.BatchEntries().at(3).path);
}

TEST_F(Basket, TooltipsTellTheTargetAndEmptyTextTakesHalfTheWidth) {
    CMainFrame frame(settings_, nullptr);
    frame.resize(900, 700);
    frame.show();
    frame.SetBatchMode(true);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    CBasketBrowser& basket = *frame.Basket();
    CThumbsView& view = *frame.BasketView();

    EXPECT_EQ(EmptyTextTenths(800, 200), 200);
    EXPECT_EQ(EmptyTextTenths(6, 200), 4);
    // The text over the empty basket spans about half the view's width.
    const QImage shot = view.viewport()->grab().toImage();
    int left = shot.width(), right = -1;
    const QRgb background = shot.pixel(0, 0);
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            if (shot.pixel(x, y) != background) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    ASSERT_GT(right, left);
    EXPECT_NEAR(double(right - left) / shot.width(), 0.5, 0.12);
    EXPECT_NEAR((left + right) / 2.0, shot.width() / 2.0, shot.width() * 0.05);

    frame.AddFilesToBatch({Image(QStringLiteral("p.png"), 64, 48)});
    BatchEntry& entry = frame.BatchEntries().at(0);
    entry.width = 40;
    entry.height = 30;
    entry.dpi = 72.5f;
    entry.algorithm = ResizeAlgorithm::SmartNatural;
    const QPoint centre = basket.ItemRect(0).center() - view.ScrollPosition();
    EXPECT_EQ(basket.ToolTipAt(centre),
              QStringLiteral(
                  "Resize to: 40x30 pixels\nResolution: 72.5 DPI\nAlgorithm: Smart for Natural "
                  "Scenes"));
    EXPECT_TRUE(basket.ToolTipAt(centre + QPoint(basket.ItemRect(0).width() * 3, 0)).isEmpty());
}

TEST_F(Basket, TheWheelScrollsTheOneRowStripSideways) {
    CMainFrame frame(settings_, nullptr);
    frame.resize(900, 700);
    frame.show();
    frame.SetBatchMode(true);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    QStringList paths;
    for (int i = 0; i < 12; ++i) paths << Image(QStringLiteral("w%1.png").arg(i), 16, 12);
    frame.AddFilesToBatch(paths);
    CThumbsView& view = *frame.BasketView();
    QScrollBar* bar = view.horizontalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    const QPointF at = view.viewport()->rect().center();
    auto turn = [&](int notches) {
        QWheelEvent wheel(at, view.viewport()->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(view.viewport(), &wheel);
    };
    turn(-1);  // towards the user: later entries
    EXPECT_EQ(bar->value(), std::min(bar->maximum(), frame.Basket()->CellSize().width()));
    turn(1);
    EXPECT_EQ(bar->value(), 0);
}

TEST_F(Basket, AFolderDroppedAddsItsOwnImagesByNameAndNotThoseOfSubFolders) {
    const QString folder = dir_.filePath(QStringLiteral("holiday"));
    Image(QStringLiteral("holiday/img10.png"), 16, 16);
    Image(QStringLiteral("holiday/IMG2.png"), 16, 16);
    Image(QStringLiteral("holiday/deeper/img1.png"), 16, 16);
    QFile notes(dir_.filePath(QStringLiteral("holiday/notes.txt")));
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.close();
    const QString loose = Image(QStringLiteral("loose.png"), 16, 16);

    const QStringList files =
        gui::DroppedImageFiles(UriList({folder, loose, folder + "/img10.png"}).get());
    EXPECT_EQ(files, QStringList({folder + "/img10.png", folder + "/IMG2.png", loose}));

    CMainFrame frame(settings_, nullptr);
    ASSERT_TRUE(frame.Basket()->AcceptDroppedFiles(*UriList({folder}), Qt::CopyAction));
    EXPECT_EQ(frame.BatchEntries().count(), 2);
    EXPECT_EQ(frame.Basket()->DragOver(*UriList({dir_.filePath("holiday/deeper/..")}), {}),
              Qt::CopyAction);
    EXPECT_EQ(frame.Basket()->DragOver(*UriList({notes.fileName()}), {}), Qt::IgnoreAction);
}

TEST_F(Basket, PicturesActivatedInTheBrowseWindowJoinTheBatch) {
    const QString photo = Image(QStringLiteral("pick.png"), 40, 30);
    CMainFrame frame(settings_, nullptr);
    frame.resize(900, 700);
    frame.show();
    frame.SetBatchMode(true);
    frame.SetBrowseMode(true);
    auto* window = qobject_cast<CBrowseWnd*>(frame.BrowseWindow());
    ASSERT_NE(window, nullptr);
    emit window->Browser().itemsActivated({photo});
    ASSERT_EQ(frame.BatchEntries().count(), 1);
    EXPECT_EQ(frame.BatchEntries().at(0).path, photo);
    // The preview's zoom bar rests while the browse window covers the preview.
    auto* zoom = frame.findChild<QToolBar*>(QStringLiteral("zoomToolbar"));
    ASSERT_NE(zoom, nullptr);
    EXPECT_FALSE(zoom->isEnabled());
    frame.SetBatchMode(false);
    EXPECT_TRUE(zoom->isEnabled());
}

TEST_F(Basket, ClickingAnEntryWithoutASizeOpensItAndKeepsTheSettings) {
    const QString photo = Image(QStringLiteral("plain.png"), 40, 30);
    CMainFrame frame(settings_, nullptr);
    frame.OpenCommandLineFiles({photo, Image(QStringLiteral("other.png"), 20, 20)});
    // The command line's files take the current settings ("Apply to new" is on by default).
    EXPECT_TRUE(frame.BatchEntries().at(1).HasTargetSize());
    // An entry of a batch file that never got a size.
    frame.BatchEntries().at(0).width = 0;
    frame.BatchEntries().at(0).height = 0;
    settings_.EditResize([&](ResizeSettings& r) { r.width = 1234; });
    settings_.EditResize([&](ResizeSettings& r) { r.height = 567; });
    settings_.EditResize([&](ResizeSettings& r) { r.algorithm = ResizeAlgorithm::Bilinear; });
    frame.ActivateBatchEntry(0);
    EXPECT_EQ(frame.Document()->CurrentPath(), photo);
    EXPECT_EQ(settings_.Resize().width, 1234);
    EXPECT_EQ(settings_.Resize().height, 567);
    EXPECT_EQ(settings_.Resize().algorithm, ResizeAlgorithm::Bilinear);
}

}  // namespace
}  // namespace orm::gui

namespace orm::gui {
namespace {

// Keys act where the focus is: in the browse window's list, Right moves the selection (the
// window's Next waits), and the document stays as it was.
TEST_F(Basket, RightInTheBrowseWindowMovesTheSelectionNotThePreview) {
    const QString first = Image(QStringLiteral("folder/a.png"), 40, 30);
    Image(QStringLiteral("folder/b.png"), 40, 30);
    Image(QStringLiteral("folder/c.png"), 40, 30);
    CMainFrame frame(settings_, nullptr);
    frame.resize(900, 700);
    frame.show();
    QApplication::setActiveWindow(&frame);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    ASSERT_TRUE(frame.OpenDocumentFile(first));
    frame.SetBatchMode(true);
    frame.SetBrowseMode(true);
    auto* window = qobject_cast<CBrowseWnd*>(frame.BrowseWindow());
    ASSERT_NE(window, nullptr);
    window->ShowFolder(QFileInfo(first).absolutePath());
    CThumbsBrowser& list = window->Browser();
    ASSERT_TRUE(QTest::qWaitFor([&] { return list.Count() == 3; }));
    window->View()->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->View()->hasFocus(); }));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    EXPECT_EQ(list.SelectedCount(), 1);
    EXPECT_TRUE(list.Item(1).selected) << "the second picture is selected";
    EXPECT_EQ(frame.Document()->CurrentPath(), first) << "Next did not run";
}

}  // namespace
}  // namespace orm::gui
