// The browser on real folders: which files are listed, the two listings, the orders, the cell
// layout, selection by mouse, band and keys, the context menus, serving visible cells first and
// the hand-over of finished thumbnails to the view.

#include "browser_fixture.h"

#include "browser/folder_scan.h"
#include "browser/sort_keys.h"
#include "browser/thumbs_layout.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>

#include <sys/stat.h>
#include <utime.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <thread>

namespace orm {
namespace {

using namespace std::chrono_literals;
using test::Names;
using test::Selected;

void SetTimes(const QString& path, int64_t modified) {
    utimbuf times{modified, modified};
    ASSERT_EQ(::utime(path.toLocal8Bit().constData(), &times), 0);
}

class ThumbsBrowserTest : public test::BrowserFixture {};

// ---- Listing --------------------------------------------------------------------------------

TEST_F(ThumbsBrowserTest, ListsImageExtensionsInAnyCaseAndNothingElse) {
    for (const char* name :
         {"a.JPG", "b.jpeg", "c.Tif", "d.tiff", "e.jpe", "f.WebP", "g.png", "h.gif", "i.bmp",
          "notes.txt", "archive.jpg.gz", "noextension", ".jpg"})
        WriteBytes(QString::fromLatin1(name), 100);
    ASSERT_TRUE(QDir().mkpath(PathOf(QStringLiteral("folder.jpg"))));
    ASSERT_EQ(::mkfifo(PathOf(QStringLiteral("pipe.png")).toLocal8Bit().constData(), 0600), 0);
    ASSERT_EQ(::symlink("a.JPG", PathOf(QStringLiteral("link.jpg")).toLocal8Bit().constData()), 0);

    auto browser = MakeBrowser();
    browser->ReadFolder();
    EXPECT_EQ(Names(*browser), QStringList({".jpg", "a.JPG", "b.jpeg", "c.Tif", "d.tiff", "e.jpe",
                                            "f.WebP", "g.png", "h.gif", "i.bmp", "link.jpg"}));
    EXPECT_DOUBLE_EQ(browser->TotalSize(), 1100);
}

TEST_F(ThumbsBrowserTest, FolderScanSkipsTinyFilesButQuickListingKeepsThem) {
    WriteBytes(QStringLiteral("fifteen.jpg"), 15);
    WriteBytes(QStringLiteral("sixteen.jpg"), 16);
    auto browser = MakeBrowser();
    browser->ReadFolder();
    EXPECT_EQ(Names(*browser), QStringList({"sixteen.jpg"}));
    browser->ReloadList();
    EXPECT_EQ(Names(*browser), QStringList({"fifteen.jpg", "sixteen.jpg"}));
}

TEST_F(ThumbsBrowserTest, FolderScanAndQuietRefreshKeepTheSelectionAndQuickListingDropsIt) {
    for (const char* name : {"a.png", "b.png", "c.png"}) WriteBytes(QString::fromLatin1(name), 100);
    auto browser = MakeBrowser();
    browser->ReadFolder();
    browser->SetSelected(1, true);
    WriteBytes(QStringLiteral("0.png"), 100);
    browser->ReadFolder();
    EXPECT_EQ(Names(*browser), QStringList({"0.png", "a.png", "b.png", "c.png"}));
    EXPECT_EQ(Selected(*browser), std::vector<int>({2}));
    // Another program writes into the folder: the refresh that follows keeps what was picked.
    WriteBytes(QStringLiteral("1.png"), 100);
    browser->QuietRefresh();
    EXPECT_EQ(Names(*browser), QStringList({"0.png", "1.png", "a.png", "b.png", "c.png"}));
    EXPECT_EQ(Selected(*browser), std::vector<int>({3}));
    browser->ReloadList();
    EXPECT_TRUE(Selected(*browser).empty());
}

TEST_F(ThumbsBrowserTest, AMissingOrEmptyLocationListsNothingAndSaysWhy) {
    WriteBytes(QStringLiteral("a.png"), 100);
    auto browser = MakeBrowser();
    browser->ReadFolder();
    ASSERT_EQ(browser->Count(), 1);
    EXPECT_TRUE(browser->LocationProblem().isEmpty());
    browser->SetLocation(dir.filePath(QStringLiteral("gone")));
    browser->ReadFolder();
    EXPECT_EQ(browser->Count(), 0);
    EXPECT_EQ(browser->LocationProblem(), QString::fromLocal8Bit(std::strerror(ENOENT)));
    browser->SetLocation(PathOf(QStringLiteral("a.png")));
    browser->ReloadList();
    EXPECT_EQ(browser->LocationProblem(), QString::fromLocal8Bit(std::strerror(ENOTDIR)));
    browser->SetLocation(QString());
    browser->ReadFolder();
    EXPECT_EQ(browser->Count(), 0);
    EXPECT_TRUE(browser->LocationProblem().isEmpty());
    EXPECT_EQ(browser->ScrollSize(), QSize(host.client.width() / 232 * 232, 197));
}

TEST_F(ThumbsBrowserTest, ScanHandsTheListToTheBuilderAndMarksLargeListings) {
    for (int i = 0; i < 41; ++i)
        WriteBytes(QStringLiteral("f%1.png").arg(i, 2, 10, QLatin1Char('0')), 100);
    auto browser = MakeBrowser();
    browser->ReadFolder();
    EXPECT_TRUE(browser->PrioritizeVisible());
    QFile::remove(PathOf(QStringLiteral("f40.png")));
    browser->ReadFolder();
    EXPECT_FALSE(browser->PrioritizeVisible());
    ASSERT_TRUE(builder->WaitIdle(10s));  // none of them is an image: each fails and leaves
}

// ---- Orders ---------------------------------------------------------------------------------

struct SortCase {
    QString name;
    double size;
    int64_t modified;
};

std::vector<std::unique_ptr<CItem>> MakeItems(const std::vector<SortCase>& cases) {
    std::vector<std::unique_ptr<CItem>> items;
    for (const SortCase& c : cases) {
        auto item = std::make_unique<CItem>(QStringLiteral("/f/") + c.name);
        FileFacts facts;
        facts.size = c.size;
        facts.modified = c.modified;
        facts.created = -c.modified;
        item->SetFacts(facts);
        items.push_back(std::move(item));
    }
    return items;
}

QStringList SortedNames(std::vector<std::unique_ptr<CItem>>& items, SortKey key,
                        const ImageSizeLookup& sizes = {}) {
    std::vector<CItem*> order;
    for (auto& item : items) order.push_back(item.get());
    SortItems(order, key, sizes);
    QStringList names;
    for (CItem* item : order) names.append(item->FileName());
    return names;
}

TEST(SortKeysTest, EveryKeyWithItsTieBreak) {
    auto items = MakeItems({{"b.jpg", 30, 5},
                            {"X.JPG", 10, 7},
                            {"a.png", 20, 5},
                            {"x.jpg", 10, 9},
                            {"IMG_0012.tif", 20, 1},
                            {"DSC_0003.jpg", 40, 7}});
    // Names ignore case and have no tie-break: X.JPG and x.jpg keep their list order.
    EXPECT_EQ(SortedNames(items, SortKey::Name),
              QStringList({"a.png", "b.jpg", "DSC_0003.jpg", "IMG_0012.tif", "X.JPG", "x.jpg"}));
    EXPECT_EQ(SortedNames(items, SortKey::Date),
              QStringList({"IMG_0012.tif", "a.png", "b.jpg", "DSC_0003.jpg", "X.JPG", "x.jpg"}));
    EXPECT_EQ(SortedNames(items, SortKey::Created),
              QStringList({"x.jpg", "DSC_0003.jpg", "X.JPG", "a.png", "b.jpg", "IMG_0012.tif"}));
    EXPECT_EQ(SortedNames(items, SortKey::Format),
              QStringList({"b.jpg", "DSC_0003.jpg", "X.JPG", "x.jpg", "a.png", "IMG_0012.tif"}));
    EXPECT_EQ(SortedNames(items, SortKey::FileSize),
              QStringList({"X.JPG", "x.jpg", "a.png", "IMG_0012.tif", "b.jpg", "DSC_0003.jpg"}));
    // IMG_0012 compares as 0012, DSC_0003 as 0003; short names as "".
    EXPECT_EQ(SortedNames(items, SortKey::NameNumber),
              QStringList({"a.png", "b.jpg", "X.JPG", "x.jpg", "DSC_0003.jpg", "IMG_0012.tif"}));
    EXPECT_EQ(SortedNames(items, SortKey::Unsorted),
              QStringList({"b.jpg", "X.JPG", "a.png", "x.jpg", "IMG_0012.tif", "DSC_0003.jpg"}));

    const ImageSizeLookup sizes = [](const QString& path) {
        if (path.endsWith(QLatin1String("a.png")))
            return QSize(100, 900);
        if (path.endsWith(QLatin1String("b.jpg")))
            return QSize(200, 5);
        if (path.endsWith(QLatin1String("X.JPG")))
            return QSize(100, 800);
        return QSize();  // not cached: 0 x 0
    };
    EXPECT_EQ(SortedNames(items, SortKey::ImageWidth, sizes).mid(4),
              QStringList({"a.png", "b.jpg"}));
    EXPECT_EQ(SortedNames(items, SortKey::ImageHeight, sizes).mid(3),
              QStringList({"b.jpg", "X.JPG", "a.png"}));
    EXPECT_EQ(SortedNames(items, SortKey::ImageSize, sizes).mid(3),
              QStringList({"X.JPG", "a.png", "b.jpg"}));
}

TEST(SortKeysTest, TextPartsAndStoredNumbers) {
    EXPECT_EQ(NameNumberPart(QStringLiteral("IMG_0012.JPG")), QStringLiteral("0012"));
    EXPECT_EQ(NameNumberPart(QStringLiteral("abcd.jpg")), QString());
    EXPECT_EQ(NameNumberPart(QStringLiteral("photo")), QStringLiteral("o"));
    EXPECT_EQ(ExtensionPart(QStringLiteral("a.b.TIF")), QStringLiteral("TIF"));
    EXPECT_EQ(SortKeyFromInt(9), SortKey::NameNumber);
    EXPECT_EQ(SortKeyFromInt(10), SortKey::Name);
    EXPECT_EQ(SortKeyFromInt(-1), SortKey::Name);
}

TEST_F(ThumbsBrowserTest, StoredSortKeyOrdersTheScanAndImageKeysWaitForThumbnails) {
    const QString wide = WritePng(QStringLiteral("a_wide.png"), 300, 10);
    const QString narrow = WritePng(QStringLiteral("b_narrow.png"), 20, 10);
    const QString middle = WritePng(QStringLiteral("c_middle.png"), 100, 10);
    SetTimes(wide, 3000);
    SetTimes(narrow, 1000);
    SetTimes(middle, 2000);
    {
        BrowserSettings edited = settings.Browser();
        edited.sortKey = 2;
        settings.SetBrowser(edited);
    }
    {
        auto browser = MakeBrowser();
        browser->ReadFolder();
        EXPECT_EQ(Names(*browser), QStringList({"b_narrow.png", "c_middle.png", "a_wide.png"}));
        ASSERT_TRUE(builder->WaitIdle(10s));
    }
    // By width: the quick listing keeps the folder's order (widths are known from thumbnails
    // only); choosing the key again orders by the widths the thumbnails hold by then.
    {
        BrowserSettings edited = settings.Browser();
        edited.sortKey = 6;
        settings.SetBrowser(edited);
    }
    auto browser = MakeBrowser();
    browser->ReloadList();
    QStringList folderOrder;
    for (const ScannedFile& f : ScanFolder(Folder()))
        folderOrder.append(f.path.section(QLatin1Char('/'), -1));
    EXPECT_EQ(Names(*browser), folderOrder);
    ASSERT_TRUE(builder->WaitIdle(10s));
    EXPECT_TRUE(browser->CommandEnabled(cmd::kSortWidth));
    browser->OnCommand(cmd::kSortWidth);
    EXPECT_EQ(Names(*browser), QStringList({"b_narrow.png", "c_middle.png", "a_wide.png"}));
    browser->OnCommand(cmd::kSortName);
    EXPECT_EQ(Names(*browser), QStringList({"a_wide.png", "b_narrow.png", "c_middle.png"}));
    EXPECT_EQ(browser->IndexOf(narrow), 1);
}

// ---- Layout ---------------------------------------------------------------------------------

TEST(ThumbsLayoutTest, CellsAtBothZoomsAndTheirParts) {
    EXPECT_EQ(CellSizeForZoom(100), QSize(232, 197));
    EXPECT_EQ(CellSizeForZoom(66), QSize(157, 141));
    const QRect cell(100, 200, 232, 197);
    EXPECT_EQ(PictureArea(cell), QRect(106, 206, 220, 165));
    EXPECT_EQ(NameRect(cell, 14), QRect(110, 377, 212, 14));
}

TEST(ThumbsLayoutTest, GridCentresCellsInEqualColumnSlots) {
    const ThumbsLayout grid(LayoutMode::Grid, {232, 197}, {1000, 400}, 10);
    EXPECT_EQ(grid.Columns(), 4);
    // Slots of 250 pixels: each cell 9 pixels in.
    EXPECT_EQ(grid.ItemPosition(0), QPoint(9, 0));
    EXPECT_EQ(grid.ItemPosition(3), QPoint(759, 0));
    EXPECT_EQ(grid.ItemPosition(5), QPoint(259, 197));
    EXPECT_EQ(grid.ScrollSize(), QSize(928, 3 * 197));
    EXPECT_EQ(grid.RowsPerPage(), 2);
    EXPECT_EQ(grid.ItemAt({9, 0}), 0);
    EXPECT_EQ(grid.ItemAt({5, 10}), -1);  // the gap before the first cell
    EXPECT_EQ(grid.ItemAt({600, 300}), 6);
    EXPECT_EQ(grid.ItemAt({800, 400}), -1);  // past the last item
    auto [first, last] = grid.ItemsIn(QRect(0, 190, 1000, 20));
    EXPECT_EQ(first, 0);
    EXPECT_EQ(last, 7);
    std::tie(first, last) = grid.ItemsIn(QRect(0, 600, 1000, 100));
    EXPECT_GT(first, last);
}

TEST(ThumbsLayoutTest, NarrowOrEmptyClientAndSingleRow) {
    // Narrower than one cell: one column, the cell at the left edge so scrolling shows all of it.
    const ThumbsLayout narrow(LayoutMode::Grid, {232, 197}, {100, 300}, 3);
    EXPECT_EQ(narrow.Columns(), 1);
    EXPECT_EQ(narrow.ItemPosition(2), QPoint(0, 394));
    EXPECT_EQ(narrow.ScrollSize(), QSize(232, 591));
    EXPECT_EQ(narrow.ItemAt({200, 400}), 2);
    EXPECT_EQ(ThumbsLayout(LayoutMode::Grid, {232, 197}, {0, 0}, 3).ScrollSize(), QSize(1, 1));
    EXPECT_EQ(ThumbsLayout(LayoutMode::Grid, {232, 197}, {500, 300}, 0).ScrollSize(),
              QSize(464, 197));

    const ThumbsLayout row(LayoutMode::SingleRow, {157, 141}, {400, 160}, 5);
    EXPECT_EQ(row.ItemPosition(3), QPoint(471, 0));
    EXPECT_EQ(row.ScrollSize(), QSize(785, 142));
    EXPECT_EQ(row.ItemAt({480, 10}), 3);
    EXPECT_EQ(row.ItemAt({480, 150}), -1);
    const auto [first, last] = row.ItemsIn(QRect(300, 0, 400, 160));
    EXPECT_EQ(first, 1);
    EXPECT_EQ(last, 4);
}

// ---- Selection ------------------------------------------------------------------------------

class SelectionTest : public ThumbsBrowserTest {
  protected:
    void SetUp() override {
        ThumbsBrowserTest::SetUp();
        for (int i = 0; i < 20; ++i)
            WriteBytes(QStringLiteral("f%1.png").arg(i, 2, 10, QLatin1Char('0')), 100);
        host.client = {720, 400};  // 3 columns in slots of 240 (cells 4 pixels in), 2 whole rows
        browser = MakeBrowser();
        browser->ReadFolder();
        ASSERT_EQ(browser->Count(), 20);
    }
    void TearDown() override {
        browser.reset();  // it leaves the builder's listeners before the builder goes
        ThumbsBrowserTest::TearDown();
    }
    void Select(std::initializer_list<int> indices) {
        browser->ClearSelection();
        for (int i : indices) browser->SetSelected(i, true);
    }
    QPoint CentreOf(int index) const { return browser->ItemRect(index).center() - host.scroll; }
    void Click(int index, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        browser->OnLButtonDown(CentreOf(index), modifiers);
        browser->OnLButtonUp(CentreOf(index), modifiers);
    }
    std::vector<int> Range(int from, int to) {
        std::vector<int> r;
        for (int i = from; i <= to; ++i) r.push_back(i);
        return r;
    }
    std::unique_ptr<CImgThumbsBrowser> browser;
};

TEST_F(SelectionTest, ShiftArrowsExtendFromTheFarEndOfTheSelection) {
    Select({3, 5});
    browser->OnKeyDown(Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(Selected(*browser), Range(3, 6));
    Select({3, 5});
    browser->OnKeyDown(Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(Selected(*browser), Range(2, 5));
    Select({3, 5});
    browser->OnKeyDown(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(Selected(*browser), Range(3, 8));
    Select({7});
    browser->OnKeyDown(Qt::Key_Home, Qt::ShiftModifier);
    EXPECT_EQ(Selected(*browser), Range(0, 7));
    Select({});
    browser->OnKeyDown(Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(Selected(*browser), std::vector<int>({19}));
}

TEST_F(SelectionTest, ArrowsAndPagesMoveAndClampAndScroll) {
    Select({});
    browser->OnKeyDown(Qt::Key_Down, Qt::NoModifier);
    EXPECT_EQ(Selected(*browser), std::vector<int>({0}));
    browser->OnKeyDown(Qt::Key_Up, Qt::NoModifier);
    EXPECT_EQ(Selected(*browser), std::vector<int>({0}));
    browser->OnKeyDown(Qt::Key_PageDown, Qt::NoModifier);  // 3 columns x 2 rows
    EXPECT_EQ(Selected(*browser), std::vector<int>({6}));
    // Row 2 lies below the 400-pixel client: its bottom is brought to the bottom edge.
    EXPECT_EQ(host.scroll, QPoint(0, 3 * 197 - 400));
    browser->OnKeyDown(Qt::Key_End, Qt::NoModifier);
    EXPECT_EQ(Selected(*browser), std::vector<int>({19}));
    browser->OnKeyDown(Qt::Key_Right, Qt::NoModifier);
    EXPECT_EQ(Selected(*browser), std::vector<int>({19}));
    browser->OnKeyDown(Qt::Key_Home, Qt::NoModifier);
    EXPECT_EQ(Selected(*browser), std::vector<int>({0}));
    EXPECT_EQ(host.scroll, QPoint(0, 0));
}

TEST_F(SelectionTest, ReadingTheSameFolderKeepsThePlaceAndAnotherStartsAtTheTop) {
    browser->OnKeyDown(Qt::Key_End, Qt::NoModifier);
    const QPoint bottom = host.scroll;
    ASSERT_GT(bottom.y(), 0);
    browser->ReadFolder();
    EXPECT_EQ(host.scroll, bottom);
    const QString other = PathOf(QStringLiteral("other"));
    ASSERT_TRUE(QDir().mkpath(other));
    for (int i = 0; i < 20; ++i)
        WriteBytes(QStringLiteral("other/g%1.png").arg(i, 2, 10, QLatin1Char('0')), 100);
    browser->SetLocation(other);
    browser->ReadFolder();
    ASSERT_EQ(browser->Count(), 20);
    EXPECT_EQ(host.scroll, QPoint(0, 0));
}

TEST_F(SelectionTest, ClicksWithCtrlAndShift) {
    Click(4);
    EXPECT_EQ(Selected(*browser), std::vector<int>({4}));
    Click(7, Qt::ControlModifier);
    EXPECT_EQ(Selected(*browser), std::vector<int>({4, 7}));
    Click(4, Qt::ControlModifier);
    EXPECT_EQ(Selected(*browser), std::vector<int>({7}));
    // Shift: from the lowest selected item to the one clicked.
    Click(2, Qt::ShiftModifier);
    EXPECT_EQ(Selected(*browser), Range(2, 7));
    // A plain click on a selected item keeps the others until the button comes up (a drag of
    // the whole selection starts this way).
    browser->OnLButtonDown(CentreOf(5), Qt::NoModifier);
    EXPECT_EQ(Selected(*browser), Range(2, 7));
    browser->OnLButtonUp(CentreOf(5), Qt::NoModifier);
    EXPECT_EQ(Selected(*browser), std::vector<int>({5}));
    // A press on empty space clears.
    browser->OnLButtonDown(QPoint(2, 2), Qt::NoModifier);
    browser->OnLButtonUp(QPoint(2, 2), Qt::NoModifier);
    EXPECT_TRUE(Selected(*browser).empty());
}

TEST_F(SelectionTest, BandSelectsTheCellsItMeetsAndScrollsAtTheEdge) {
    Select({19});
    const QPoint start(2, 2);  // the gap left of the first cell
    browser->OnLButtonDown(start, Qt::NoModifier);
    EXPECT_TRUE(Selected(*browser).empty());
    browser->OnMouseMove(browser->ItemRect(4).topLeft() + QPoint(3, 3), Qt::LeftButton);
    EXPECT_EQ(Selected(*browser), std::vector<int>({0, 1, 3, 4}));
    EXPECT_FALSE(browser->BandRect().isEmpty());
    // Back to a smaller band: cells it left are deselected.
    browser->OnMouseMove(browser->ItemRect(1).topLeft() + QPoint(3, 3), Qt::LeftButton);
    EXPECT_EQ(Selected(*browser), std::vector<int>({0, 1}));
    // Below the client area the view scrolls a line at a time, on each move and each tick.
    browser->OnMouseMove(QPoint(300, 450), Qt::LeftButton);
    const int afterMove = host.scroll.y();
    EXPECT_GT(afterMove, 0);
    browser->OnTimer();
    EXPECT_GT(host.scroll.y(), afterMove);
    browser->OnLButtonUp(QPoint(300, 450), Qt::NoModifier);
    EXPECT_TRUE(browser->BandRect().isEmpty());
    EXPECT_EQ(Selected(*browser).front(), 0);
    EXPECT_GE(Selected(*browser).size(), 6u);
}

TEST_F(SelectionTest, PressOnTheNameOfTheOnlySelectedItemRenamesUnlessDoubleClicked) {
    browser->SetRenameDelay(0);
    Click(4);
    const QPoint name = browser->ItemRect(4).bottomLeft() + QPoint(40, -14) - host.scroll;
    browser->OnLButtonDown(name, Qt::NoModifier);
    browser->OnLButtonUp(name, Qt::NoModifier);
    browser->OnLButtonDblClk(name);
    QCoreApplication::processEvents();
    EXPECT_FALSE(host.rename.has_value());

    browser->OnLButtonDown(name, Qt::NoModifier);
    browser->OnLButtonUp(name, Qt::NoModifier);
    QCoreApplication::processEvents();
    ASSERT_TRUE(host.rename.has_value());
    EXPECT_EQ(host.rename->index, 4);
    EXPECT_EQ(host.rename->name, QStringLiteral("f04.png"));
    EXPECT_TRUE(host.rename->label.contains(name + host.scroll));
}

TEST_F(SelectionTest, DoubleClickAndEnterActivateTheSelection) {
    QStringList activated;
    QObject::connect(browser.get(), &CThumbsBrowser::itemsActivated,
                     [&](const QStringList& paths) { activated = paths; });
    browser->OnLButtonDown(CentreOf(2), Qt::NoModifier);
    browser->OnLButtonUp(CentreOf(2), Qt::NoModifier);
    browser->OnLButtonDblClk(CentreOf(2));
    EXPECT_EQ(activated, QStringList({PathOf(QStringLiteral("f02.png"))}));
    activated.clear();
    browser->OnKeyDown(Qt::Key_Right, Qt::ShiftModifier);
    browser->OnKeyDown(Qt::Key_Return, Qt::NoModifier);
    EXPECT_EQ(activated.size(), 2);
}

// ---- Context menus --------------------------------------------------------------------------

TEST_F(SelectionTest, RightClickPicksTheMenuAndRunsTheChosenCommand) {
    host.chooseFromMenu = [](const BrowserMenu&) { return cmd::kProperties; };
    Select({1, 2});
    browser->ContextMenu(CentreOf(6), QPoint());  // not selected: selected alone first
    ASSERT_EQ(host.menus.size(), 1u);
    EXPECT_EQ(host.menus.back().number, menu::kOneItem);
    EXPECT_EQ(Selected(*browser), std::vector<int>({6}));
    EXPECT_EQ(host.infoShown, QStringList({PathOf(QStringLiteral("f06.png"))}));

    host.chooseFromMenu = [](const BrowserMenu&) { return cmd::kSortSize; };
    Select({1, 2});
    browser->ContextMenu(CentreOf(2), QPoint());
    EXPECT_EQ(host.menus.back().number, menu::kItems);
    EXPECT_EQ(host.menus.back().Find(cmd::kProperties), nullptr);
    EXPECT_EQ(Selected(*browser), std::vector<int>({1, 2}));
    EXPECT_EQ(browser->SortKeyValue(), int(SortKey::FileSize));

    host.chooseFromMenu = [](const BrowserMenu&) { return cmd::kSelectAll; };
    browser->ContextMenu(QPoint(2, 2), QPoint());
    const BrowserMenu& empty = host.menus.back();
    EXPECT_EQ(empty.number, menu::kEmptySpace);
    ASSERT_NE(empty.Find(cmd::kRefresh), nullptr);
    // Without file operations there is nothing to paste; a chosen command runs after the
    // menu cleared the selection.
    EXPECT_FALSE(empty.Find(cmd::kPaste)->enabled);
    EXPECT_EQ(Selected(*browser).size(), 20u);
}

TEST_F(ThumbsBrowserTest, SortCommandsNeedTwoItems) {
    WriteBytes(QStringLiteral("only.png"), 100);
    auto browser = MakeBrowser();
    browser->ReadFolder();
    const BrowserMenu menu = browser->ContextMenuFor(menu::kEmptySpace);
    for (int id : {cmd::kSortName, cmd::kSortDate, cmd::kSortFormat, cmd::kSortWidth,
                   cmd::kSortHeight, cmd::kSortSize})
        EXPECT_FALSE(menu.Find(id)->enabled) << id;
    WriteBytes(QStringLiteral("second.png"), 100);
    browser->ReadFolder();
    EXPECT_TRUE(browser->ContextMenuFor(menu::kEmptySpace).Find(cmd::kSortDate)->enabled);
}

// ---- Thumbnails -----------------------------------------------------------------------------

TEST_F(ThumbsBrowserTest, DrawingServesVisibleCellsFirstAboveFortyItems) {
    for (int count : {40, 41}) {
        for (const QFileInfo& f : QDir(Folder()).entryInfoList(QDir::Files))
            QFile::remove(f.filePath());
        for (int i = 0; i < count; ++i)
            WritePng(QStringLiteral("f%1.png").arg(i, 2, 10, QLatin1Char('0')));
        builder.reset();
        cache =
            std::make_unique<ThumbnailCache>(dir.filePath(QStringLiteral("cache%1").arg(count)));
        MakeBuilder();
        test::HoldFirst hold;
        const QMetaObject::Connection holdHeard = test::Listen(*builder, hold);
        auto browser = MakeBrowser();
        browser->ReadFolder();
        ASSERT_TRUE(hold.WaitFirst());
        // The last rows are shown.
        host.scroll = QPoint(0, browser->ScrollSize().height() - host.client.height());
        QImage canvas(host.client, QImage::Format_RGB32);
        QPainter painter(&canvas);
        painter.translate(-host.scroll);
        const QRect visible(host.scroll, host.client);
        browser->Draw(painter, visible, visible);
        const QStringList pending = builder->Pending(1);
        const QStringList listed = browser->Paths();
        const auto [first, last] = browser->Layout().ItemsIn(visible);
        if (count == 40) {
            EXPECT_EQ(pending, listed);
        } else {
            // The visible ones, in display order, then the rest (the file in work included).
            EXPECT_EQ(pending.mid(0, last - first + 1), listed.mid(first, last - first + 1));
            EXPECT_EQ(pending.size(), listed.size());
        }
        hold.Release();
        ASSERT_TRUE(builder->WaitIdle(10s));
        QObject::disconnect(holdHeard);
    }
}

TEST_F(ThumbsBrowserTest, FinishedThumbnailsRepaintTheirCellOnTheBrowsersThread) {
    for (int i = 0; i < 3; ++i) WritePng(QStringLiteral("p%1.png").arg(i));
    auto browser = MakeBrowser();
    browser->ReadFolder();
    ASSERT_TRUE(builder->WaitIdle(10s));
    QCoreApplication::processEvents();
    host.invalidated.clear();
    // Builder threads only post; the repaints happen when the browser's thread runs its events.
    std::thread worker([&] { emit builder->thumbnailReady(PathOf(QStringLiteral("p2.png"))); });
    worker.join();
    EXPECT_TRUE(host.invalidated.empty());
    QCoreApplication::processEvents();
    ASSERT_EQ(host.invalidated.size(), 1u);
    EXPECT_TRUE(host.invalidated[0].contains(browser->ItemRect(2)));
}

TEST_F(ThumbsBrowserTest, SelectedLongNamesScrollEveryTick) {
    const QString name =
        QStringLiteral("a rather long file name that cannot fit into one cell.png");
    WritePng(name);
    WritePng(QStringLiteral("short.png"));
    auto browser = MakeBrowser();
    browser->ReadFolder();
    ASSERT_TRUE(builder->WaitIdle(10s));
    QImage canvas(host.client, QImage::Format_RGB32);
    QPainter painter(&canvas);
    const QRect all(QPoint(0, 0), host.client);
    browser->Draw(painter, all, all);
    const NameScroll& scroll = browser->Item(0).nameScroll;
    ASSERT_TRUE(scroll.scrolls);
    EXPECT_FALSE(browser->Item(1).nameScroll.scrolls);
    browser->OnTimer();  // not selected: stays
    EXPECT_EQ(scroll.offset, 0);
    browser->SetSelected(0, true);
    browser->SetSelected(1, true);
    for (int tick = 1; tick <= 3; ++tick) {
        host.invalidated.clear();
        browser->OnTimer();
        EXPECT_EQ(scroll.offset, 5 * tick);
        ASSERT_EQ(host.invalidated.size(), 1u);
        EXPECT_EQ(host.invalidated[0], scroll.rect);
    }
    // Past the end of the text it enters again from the right.
    while (scroll.offset > 0) browser->OnTimer();
    EXPECT_EQ(scroll.offset, -scroll.rect.width());
    browser->SetSelected(0, false);
    EXPECT_EQ(scroll.offset, 0);
}

}  // namespace
}  // namespace orm
