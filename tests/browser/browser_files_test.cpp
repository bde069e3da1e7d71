// The browser's file commands with the program's own file operations and the real clipboard:
// copy and paste (names taken get a number), cut and the grey cells, delete to the Trash, rename
// in place with a sound companion, drops from elsewhere and onto the browser's own view; the
// thumbnails follow the files.

#include "browser_fixture.h"
#include "thumbnail_test_support.h"

#include "files/file_actions.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QStandardPaths>

namespace orm {
namespace {

using namespace std::chrono_literals;
using test::Names;

class BrowserFilesTest : public test::BrowserFixture {
  protected:
    void SetUp() override {
        BrowserFixture::SetUp();
        QGuiApplication::clipboard()->clear();
        ASSERT_TRUE(QDir().mkpath(Other()));
    }
    void TearDown() override {
        QGuiApplication::clipboard()->clear();
        BrowserFixture::TearDown();
    }
    QString Other(const QString& name = {}) const {
        const QString folder = dir.filePath(QStringLiteral("other"));
        return name.isEmpty() ? folder : folder + QLatin1Char('/') + name;
    }
    // A browser with the real file actions, listed and with its thumbnails made.
    std::unique_ptr<CImgThumbsBrowser> Listed(const QString& folder) {
        auto browser = std::make_unique<CImgThumbsBrowser>(*builder, settings);
        host.browser = browser.get();
        browser->SetLocation(folder);
        browser->SetHost(&host);
        browser->SetFileActions(&actions);
        browser->ReadFolder();
        EXPECT_TRUE(builder->WaitIdle(10s));
        return browser;
    }
    void SelectNamed(CThumbsBrowser& browser, const QStringList& names) {
        browser.ClearSelection();
        for (int i = 0; i < browser.Count(); ++i)
            browser.SetSelected(i, names.contains(browser.Item(i).FileName()));
    }
    bool Cached(const QString& path) { return bool(cache->Lock()->Lookup(path)); }

    CFileActions actions;
};

TEST_F(BrowserFilesTest, CopyAndPasteNumberTakenNamesAndCarryThumbnails) {
    WritePng(QStringLiteral("IMG_1.jpg"));
    WriteBytes(QStringLiteral("IMG_1.wav"), 100);
    WritePng(QStringLiteral("b.png"));
    auto source = Listed(Folder());
    ASSERT_EQ(Names(*source), QStringList({"b.png", "IMG_1.jpg"}));
    SelectNamed(*source, {"IMG_1.jpg"});
    ASSERT_TRUE(source->OnKeyDown(Qt::Key_C, Qt::ControlModifier));
    EXPECT_TRUE(source->CanPaste());

    // Into the same folder: the names are taken, so the copies are numbered.
    source->OnCommand(cmd::kPaste);
    EXPECT_EQ(Names(*source), QStringList({"b.png", "IMG_1 (2).jpg", "IMG_1.jpg"}));
    EXPECT_TRUE(QFile::exists(PathOf(QStringLiteral("IMG_1 (2).wav"))));
    EXPECT_TRUE(Cached(PathOf(QStringLiteral("IMG_1 (2).jpg"))));

    auto target = Listed(Other());
    target->OnCommand(cmd::kPaste);
    EXPECT_EQ(Names(*target), QStringList({"IMG_1.jpg"}));
    EXPECT_TRUE(QFile::exists(Other(QStringLiteral("IMG_1.wav"))));
    EXPECT_TRUE(QFile::exists(PathOf(QStringLiteral("IMG_1.jpg"))));  // copied, not moved
}

TEST_F(BrowserFilesTest, CutFilesDrawAsCutUntilPastedElsewhere) {
    WritePng(QStringLiteral("a.png"));
    WritePng(QStringLiteral("b.png"));
    auto source = Listed(Folder());
    SelectNamed(*source, {"a.png"});
    source->OnCommand(cmd::kCut);
    EXPECT_EQ(source->CutPaths(), QSet<QString>({PathOf(QStringLiteral("a.png"))}));
    // Still cut after a listing while the clipboard holds them.
    source->ReadFolder();
    EXPECT_EQ(source->CutPaths().size(), 1);

    auto target = Listed(Other());
    target->OnCommand(cmd::kPaste);
    EXPECT_EQ(Names(*target), QStringList({"a.png"}));
    EXPECT_FALSE(QFile::exists(PathOf(QStringLiteral("a.png"))));
    EXPECT_TRUE(Cached(Other(QStringLiteral("a.png"))));
    EXPECT_FALSE(target->CanPaste());  // a move empties the clipboard
    source->ReadFolder();
    EXPECT_EQ(Names(*source), QStringList({"b.png"}));
    EXPECT_TRUE(source->CutPaths().isEmpty());

    // Copy after cut: nothing is drawn as cut any more.
    SelectNamed(*source, {"b.png"});
    source->OnCommand(cmd::kCut);
    source->OnCommand(cmd::kCopy);
    EXPECT_TRUE(source->CutPaths().isEmpty());
}

TEST_F(BrowserFilesTest, DeleteMovesTheSelectionToTheTrash) {
    WritePng(QStringLiteral("keep.png"));
    WritePng(QStringLiteral("drop.png"));
    auto browser = Listed(Folder());
    SelectNamed(*browser, {"drop.png"});
    ASSERT_TRUE(browser->OnKeyDown(Qt::Key_Delete, Qt::NoModifier));
    EXPECT_EQ(Names(*browser), QStringList({"keep.png"}));
    const QString trash = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                          QStringLiteral("/Trash/files/drop.png");
    EXPECT_TRUE(QFile::exists(trash)) << trash.toStdString();
}

TEST_F(BrowserFilesTest, RenameInPlaceAndWithASoundCompanion) {
    WritePng(QStringLiteral("a.png"));
    WritePng(QStringLiteral("IMG_7.jpg"));
    WriteBytes(QStringLiteral("IMG_7.WAV"), 100);
    WritePng(QStringLiteral("z.png"));
    auto browser = Listed(Folder());
    ASSERT_EQ(Names(*browser), QStringList({"a.png", "IMG_7.jpg", "z.png"}));

    // The entry takes the new name where it stands; the thumbnail goes with the file.
    browser->CommitRename(0, QStringLiteral("y.png"));
    EXPECT_EQ(Names(*browser), QStringList({"y.png", "IMG_7.jpg", "z.png"}));
    EXPECT_EQ(browser->IndexOf(PathOf(QStringLiteral("y.png"))), 0);
    EXPECT_TRUE(Cached(PathOf(QStringLiteral("y.png"))));
    EXPECT_FALSE(Cached(PathOf(QStringLiteral("a.png"))));

    // Letter case alone is a new name on Linux.
    browser->CommitRename(2, QStringLiteral("Z.png"));
    EXPECT_TRUE(QFile::exists(PathOf(QStringLiteral("Z.png"))));
    EXPECT_FALSE(QFile::exists(PathOf(QStringLiteral("z.png"))));

    // With its sound the folder is read again (in order) and the selection stays.
    browser->SetSelected(1, true);
    browser->CommitRename(1, QStringLiteral("b.jpg"));
    EXPECT_TRUE(QFile::exists(PathOf(QStringLiteral("b.WAV"))));
    EXPECT_EQ(Names(*browser), QStringList({"b.jpg", "y.png", "Z.png"}));
    EXPECT_EQ(test::Selected(*browser), std::vector<int>({0}));

    // A name that is taken is refused and said so; nothing changes.
    ScriptedPrompt prompt;
    settings.SetPrompt(&prompt);
    browser->CommitRename(0, QStringLiteral("y.png"));
    EXPECT_EQ(prompt.warnings.size(), 1);
    EXPECT_EQ(Names(*browser), QStringList({"b.jpg", "y.png", "Z.png"}));
    settings.SetPrompt(nullptr);
}

TEST_F(BrowserFilesTest, DropsFromElsewhereTransferAndOwnDropsDoNot) {
    WritePng(QStringLiteral("mine.png"));
    const QString outside = Other(QStringLiteral("dropped.png"));
    test::WriteImage(outside, test::TestPattern(20, 10));
    auto browser = Listed(Folder());

    const std::unique_ptr<QMimeData> copy(actions.DragData({outside}));
    EXPECT_EQ(browser->DragOver(*copy, Qt::ControlModifier), Qt::CopyAction);
    EXPECT_EQ(browser->DragOver(*copy, Qt::NoModifier), Qt::MoveAction);  // one file system
    ASSERT_TRUE(browser->OnDrop(*copy, Qt::ControlModifier));
    EXPECT_EQ(Names(*browser), QStringList({"dropped.png", "mine.png"}));
    EXPECT_TRUE(QFile::exists(outside));

    // Dragged from the grid and dropped on it: no file moves.
    Qt::DropAction ownDrop = Qt::CopyAction;
    host.dropOn = [&](const QMimeData& data) {
        ownDrop = browser->OnDrop(data, Qt::ShiftModifier) ? Qt::MoveAction : Qt::IgnoreAction;
        return ownDrop;
    };
    SelectNamed(*browser, {"mine.png"});
    const QPoint at = browser->ItemRect(1).center();
    browser->OnLButtonDown(at, Qt::NoModifier);
    browser->OnMouseMove(at + QPoint(10, 10), Qt::LeftButton);
    EXPECT_EQ(host.drags, 1);
    EXPECT_EQ(host.dragAllowed, Qt::CopyAction | Qt::MoveAction);
    EXPECT_FALSE(host.dragPicture.isNull());  // the pressed item's thumbnail goes with the drag
    EXPECT_EQ(ownDrop, Qt::IgnoreAction);
    EXPECT_EQ(Names(*browser), QStringList({"dropped.png", "mine.png"}));
    // Nothing to drop into when the browser shows no folder.
    browser->SetLocation(dir.filePath(QStringLiteral("gone")));
    EXPECT_EQ(browser->DragOver(*copy, Qt::NoModifier), Qt::IgnoreAction);
}

// A list of files it does not own (the batch basket) gives copies only when dragged from, and a
// press on a name never renames the file on disk.
class ListOfOthersFiles : public CImgThumbsBrowser {
  public:
    using CImgThumbsBrowser::CImgThumbsBrowser;
    bool OwnsFiles() const override { return false; }
};

TEST_F(BrowserFilesTest, AListOfOthersFilesDragsCopiesAndRenamesNothing) {
    test::WriteImage(PathOf(QStringLiteral("mine.png")), test::TestPattern(20, 10));
    ListOfOthersFiles browser(*builder, settings);
    host.browser = &browser;
    browser.SetLocation(Folder());
    browser.SetHost(&host);
    browser.SetFileActions(&actions);
    browser.SetRenameDelay(0);
    browser.ReadFolder();
    ASSERT_TRUE(builder->WaitIdle(10s));
    browser.SetSelected(0, true);
    const QPoint name = browser.ItemRect(0).bottomLeft() + QPoint(40, -14);
    browser.OnLButtonDown(name, Qt::NoModifier);
    browser.OnLButtonUp(name, Qt::NoModifier);
    QCoreApplication::processEvents();
    EXPECT_FALSE(host.rename.has_value());
    const QPoint at = browser.ItemRect(0).center();
    browser.OnLButtonDown(at, Qt::NoModifier);
    browser.OnMouseMove(at + QPoint(10, 10), Qt::LeftButton);
    EXPECT_EQ(host.drags, 1);
    EXPECT_EQ(host.dragAllowed, Qt::CopyAction);
}

}  // namespace
}  // namespace orm
