#include "files/file_clipboard.h"
#include "files/file_actions.h"

#include "file_test_support.h"
#include "imageio/native_path.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>

#include <unistd.h>

namespace orm {
namespace {

using test::NamesIn;
using test::ReadBytes;
using test::WriteBytes;

// The browser's file actions over the application's real clipboard.
class FileClipboard : public ::testing::Test {
  protected:
    void SetUp() override { clipboard().clear(); }
    void TearDown() override { clipboard().clear(); }
    static QClipboard& clipboard() { return *QGuiApplication::clipboard(); }
    QString From(const QString& name) const { return from.filePath(name); }
    QString To(const QString& name = {}) const {
        return name.isEmpty() ? to.path() : to.filePath(name);
    }

    QTemporaryDir from;
    QTemporaryDir to;
    CFileActions actions;
};

TEST_F(FileClipboard, CopyPutsTheFilesInTheThreeFormatsAndPasteCopiesThem) {
    // A name with a space, a hash, a percent sign and a byte that is not UTF-8.
    const QString odd = From("a b#1%") + PathFromNative("\xE9") + ".jpg";
    WriteBytes(From("IMG_2.JPG"), "picture");
    WriteBytes(From("IMG_2.WAV"), "sound");
    FILE* file = std::fopen(NativePath(odd).constData(), "w");  // QFile cannot make this name
    ASSERT_TRUE(file);
    std::fclose(file);

    actions.PutOnClipboard({odd, From("IMG_2.JPG"), From("IMG_2.WAV")}, false);
    const QMimeData* data = clipboard().mimeData();
    ASSERT_TRUE(data);
    const QByteArray oddUri = "file://" + from.path().toUtf8() + "/a%20b%231%25%E9.jpg";
    const QByteArray picture = "file://" + From("IMG_2.JPG").toUtf8();
    const QByteArray sound = "file://" + From("IMG_2.WAV").toUtf8();
    EXPECT_EQ(data->data("text/uri-list"), oddUri + "\r\n" + picture + "\r\n" + sound + "\r\n");
    EXPECT_EQ(data->data("x-special/gnome-copied-files"),
              "copy\n" + oddUri + "\n" + picture + "\n" + sound);
    EXPECT_EQ(data->data("application/x-kde-cutselection"), "0");
    EXPECT_TRUE(actions.ClipboardHasFiles());
    EXPECT_TRUE(actions.ClipboardCutFiles().isEmpty());
    EXPECT_EQ(FilesOfMimeData(data).paths,
              (QStringList{odd, From("IMG_2.JPG"), From("IMG_2.WAV")}));

    // Paste copies, byte-exact names included; twice gives numbered names; the outcome reports
    // every copy (the browser's thumbnails follow it).
    const FileActionOutcome first = actions.Paste(To());
    ASSERT_TRUE(first.ok);
    EXPECT_EQ(first.report.FileChanges().size(), 3u);
    const FileActionOutcome again = actions.Paste(To());
    ASSERT_TRUE(again.ok) << again.message.toStdString();
    EXPECT_EQ(again.newPaths.value(1), To("IMG_2 (2).JPG"));
    ASSERT_EQ(again.report.FileChanges().size(), 3u);
    EXPECT_EQ(again.report.FileChanges()[1],
              (FilePathChange{From("IMG_2.JPG"), To("IMG_2 (2).JPG")}));
    EXPECT_EQ(ReadBytes(To("IMG_2.WAV")), "sound");
    EXPECT_TRUE(PathEntryExists(odd));
    // QTemporaryDir cannot remove what Qt cannot name.
    for (const QString& path : {odd, To("a b#1%") + PathFromNative("\xE9") + ".jpg",
                                To("a b#1%") + PathFromNative("\xE9") + " (2).jpg"})
        EXPECT_EQ(::unlink(NativePath(path).constData()), 0);
}

TEST_F(FileClipboard, CutThenPasteMovesAndEmptiesTheClipboard) {
    WriteBytes(From("a.png"), "a");
    WriteBytes(From("b.png"), "b");
    actions.PutOnClipboard({From("a.png"), From("b.png")}, true);
    EXPECT_EQ(clipboard().mimeData()->data("application/x-kde-cutselection"), "1");
    EXPECT_TRUE(clipboard().mimeData()->data("x-special/gnome-copied-files").startsWith("cut\n"));
    EXPECT_EQ(actions.ClipboardCutFiles(), (QStringList{From("a.png"), From("b.png")}));

    const FileActionOutcome outcome = actions.Paste(To());
    ASSERT_TRUE(outcome.ok) << outcome.message.toStdString();
    EXPECT_EQ(NamesIn(To()), (QStringList{"a.png", "b.png"}));
    EXPECT_EQ(NamesIn(from.path()), QStringList{});
    // The clipboard is empty, so the browser draws nothing as cut any more.
    EXPECT_FALSE(actions.ClipboardHasFiles());
    EXPECT_TRUE(actions.ClipboardCutFiles().isEmpty());
}

TEST_F(FileClipboard, PastesWhatFileManagersCopyAndCut) {
    WriteBytes(From("g.jpg"), "gnome");
    WriteBytes(From("k.jpg"), "kde");
    WriteBytes(From("p.jpg"), "plain");

    // GNOME Files: the cut list alone, no final line end.
    auto gnome = std::make_unique<QMimeData>();
    gnome->setData("x-special/gnome-copied-files", "cut\nfile://" + From("g.jpg").toUtf8());
    clipboard().setMimeData(gnome.release());
    ASSERT_TRUE(actions.Paste(To()).ok);
    EXPECT_FALSE(PathEntryExists(From("g.jpg")));

    // Dolphin: a URI list (this machine named, a comment) and its cut mark; other machines'
    // files are left out.
    auto kde = std::make_unique<QMimeData>();
    kde->setData("text/uri-list",
                 "# cut in Dolphin\r\nfile://localhost" + From("k.jpg").toUtf8() +
                     "\r\nsmb://server/share/x.jpg\r\nfile://elsewhere/tmp/y.jpg\r\n");
    kde->setData("application/x-kde-cutselection", "1");
    clipboard().setMimeData(kde.release());
    EXPECT_EQ(actions.ClipboardCutFiles(), QStringList{From("k.jpg")});
    ASSERT_TRUE(actions.Paste(To()).ok);
    EXPECT_FALSE(PathEntryExists(From("k.jpg")));

    // A plain URI list (one slash after "file:") is a copy.
    auto plain = std::make_unique<QMimeData>();
    plain->setData("text/uri-list", "file:" + From("p.jpg").toUtf8() + "\n");
    clipboard().setMimeData(plain.release());
    ASSERT_TRUE(actions.Paste(To()).ok);
    EXPECT_EQ(ReadBytes(From("p.jpg")), "plain");
    EXPECT_EQ(NamesIn(To()), (QStringList{"g.jpg", "k.jpg", "p.jpg"}));
}

TEST_F(FileClipboard, AFailedPasteSaysWhichFileAndKeepsTheCutFiles) {
    WriteBytes(From("a.jpg"), "a");
    actions.PutOnClipboard({From("a.jpg")}, true);
    const FileActionOutcome outcome = actions.Paste(To("missing folder"));
    EXPECT_FALSE(outcome.ok);
    EXPECT_TRUE(outcome.message.contains(From("a.jpg")));
    EXPECT_EQ(actions.ClipboardCutFiles(), QStringList{From("a.jpg")});
    EXPECT_EQ(ReadBytes(From("a.jpg")), "a");
}

TEST_F(FileClipboard, DropsMoveOnOneFileSystemAndCopyAcross) {
    WriteBytes(From("a.jpg"), "a");
    const QStringList files{From("a.jpg")};
    EXPECT_EQ(actions.DropActionFor(files, To(), Qt::NoModifier), Qt::MoveAction);
    EXPECT_EQ(actions.DropActionFor(files, To(), Qt::ControlModifier), Qt::CopyAction);
    EXPECT_EQ(actions.DropActionFor({}, To(), Qt::NoModifier), Qt::IgnoreAction);
    QString reason;
    const auto other = test::FolderOnOtherFileSystem(from.path(), &reason);
    if (!other)
        GTEST_SKIP() << reason.toStdString();
    EXPECT_EQ(actions.DropActionFor(files, other->path(), Qt::NoModifier), Qt::CopyAction);
    EXPECT_EQ(actions.DropActionFor(files, other->path(), Qt::ShiftModifier), Qt::MoveAction);
}

}  // namespace
}  // namespace orm
