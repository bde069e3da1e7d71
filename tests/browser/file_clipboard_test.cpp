#include "browser/file_clipboard.h"

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
};

TEST_F(FileClipboard, CopyPutsTheFilesAndTheirSoundsInTheThreeFormats) {
    // A name with a space, a hash, a percent sign and a byte that is not UTF-8.
    const QString odd = From("a b#1%") + PathFromNative("\xE9") + ".jpg";
    WriteBytes(From("IMG_2.JPG"), "picture");
    WriteBytes(From("IMG_2.WAV"), "sound");
    {
        // QFile cannot make the odd name; the system can.
        const QByteArray native = NativePath(odd);
        FILE* file = std::fopen(native.constData(), "w");
        ASSERT_TRUE(file);
        std::fclose(file);
    }
    CutList cut;
    cut.Set({From("old.jpg")});
    EXPECT_TRUE(CopyToClipboard(clipboard(), {odd, From("IMG_2.JPG")}, cut));
    EXPECT_TRUE(cut.IsEmpty());

    const QMimeData* data = clipboard().mimeData();
    ASSERT_TRUE(data);
    const QByteArray oddUri = "file://" + from.path().toUtf8() + "/a%20b%231%25%E9.jpg";
    const QByteArray picture = "file://" + From("IMG_2.JPG").toUtf8(),
                     sound = "file://" + From("IMG_2.WAV").toUtf8();
    EXPECT_EQ(data->data("text/uri-list"), oddUri + "\r\n" + picture + "\r\n" + sound + "\r\n");
    EXPECT_EQ(data->data("x-special/gnome-copied-files"),
              "copy\n" + oddUri + "\n" + picture + "\n" + sound);
    EXPECT_EQ(data->data("application/x-kde-cutselection"), "0");

    const TransferredFiles files = FilesOfMimeData(data);
    EXPECT_FALSE(files.cut);
    EXPECT_EQ(files.paths, (QStringList{odd, From("IMG_2.JPG"), From("IMG_2.WAV")}));

    // Paste copies, byte-exact names included; twice gives numbered names.
    ASSERT_TRUE(PasteFiles(clipboard(), To()).Succeeded());
    const FileOpReport again = PasteFiles(clipboard(), To());
    ASSERT_TRUE(again.Succeeded()) << again.Failures().join("\n").toStdString();
    EXPECT_EQ(again.Results()[1], To("IMG_2 (2).JPG"));
    EXPECT_TRUE(PathEntryExists(To("a b#1%") + PathFromNative("\xE9") + ".jpg"));
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
    CutList cut;
    CutToClipboard(clipboard(), {From("a.png"), From("b.png")}, cut);
    EXPECT_TRUE(cut.Contains(From("a.png")));
    EXPECT_EQ(clipboard().mimeData()->data("application/x-kde-cutselection"), "1");
    EXPECT_TRUE(clipboard().mimeData()->data("x-special/gnome-copied-files").startsWith("cut\n"));
    EXPECT_FALSE(cut.Check(clipboard().mimeData()));  // still cut, files still there
    EXPECT_TRUE(CanPaste(clipboard(), To()));
    EXPECT_FALSE(CanPaste(clipboard(), QString()));

    const FileOpReport report = PasteFiles(clipboard(), To());
    ASSERT_TRUE(report.Succeeded());
    EXPECT_EQ(NamesIn(To()), (QStringList{"a.png", "b.png"}));
    EXPECT_EQ(NamesIn(from.path()), QStringList{});
    EXPECT_FALSE(HasFiles(clipboard().mimeData()));
    EXPECT_FALSE(CanPaste(clipboard(), To()));
    // The next listing finds the clipboard empty: nothing is drawn as cut any more.
    EXPECT_TRUE(cut.Check(clipboard().mimeData()));
    EXPECT_TRUE(cut.IsEmpty());
}

TEST_F(FileClipboard, PastesWhatFileManagersCopyAndCut) {
    WriteBytes(From("g.jpg"), "gnome");
    WriteBytes(From("k.jpg"), "kde");
    WriteBytes(From("p.jpg"), "plain");
    const QByteArray g = "file://" + From("g.jpg").toUtf8();

    // GNOME Files: the cut list alone, no final line end.
    auto gnome = std::make_unique<QMimeData>();
    gnome->setData("x-special/gnome-copied-files", "cut\n" + g);
    clipboard().setMimeData(gnome.release());
    ASSERT_TRUE(PasteFiles(clipboard(), To()).Succeeded());
    EXPECT_FALSE(PathEntryExists(From("g.jpg")));

    // Dolphin: a URI list (this machine named, a comment) and its cut mark.
    auto kde = std::make_unique<QMimeData>();
    kde->setData("text/uri-list",
                 "# cut in Dolphin\r\nfile://localhost" + From("k.jpg").toUtf8() +
                     "\r\nsmb://server/share/x.jpg\r\nfile://elsewhere/tmp/y.jpg\r\n");
    kde->setData("application/x-kde-cutselection", "1");
    clipboard().setMimeData(kde.release());
    EXPECT_EQ(FilesOfMimeData(clipboard().mimeData()).paths, QStringList{From("k.jpg")});
    ASSERT_TRUE(PasteFiles(clipboard(), To()).Succeeded());
    EXPECT_FALSE(PathEntryExists(From("k.jpg")));

    // A plain URI list (one slash after "file:") is a copy.
    auto plain = std::make_unique<QMimeData>();
    plain->setData("text/uri-list", "file:" + From("p.jpg").toUtf8() + "\n");
    clipboard().setMimeData(plain.release());
    ASSERT_TRUE(PasteFiles(clipboard(), To()).Succeeded());
    EXPECT_EQ(ReadBytes(From("p.jpg")), "plain");
    EXPECT_EQ(NamesIn(To()), (QStringList{"g.jpg", "k.jpg", "p.jpg"}));
}

TEST_F(FileClipboard, TheCutListForgetsFilesThatAreGone) {
    WriteBytes(From("a.jpg"), "a");
    WriteBytes(From("b.jpg"), "b");
    CutList cut;
    CutToClipboard(clipboard(), {From("a.jpg"), From("b.jpg")}, cut);
    ASSERT_TRUE(QFile::remove(From("a.jpg")));
    EXPECT_TRUE(cut.Check(clipboard().mimeData()));
    EXPECT_EQ(cut.Paths(), QStringList{From("b.jpg")});
}

TEST_F(FileClipboard, DropsMoveOnOneFileSystemAndCopyAcross) {
    WriteBytes(From("a.jpg"), "a");
    const QStringList files{From("a.jpg")};
    EXPECT_EQ(DropActionFor(files, To(), Qt::NoModifier), Qt::MoveAction);
    EXPECT_EQ(DropActionFor(files, To(), Qt::ControlModifier), Qt::CopyAction);
    EXPECT_EQ(DropActionFor({}, To(), Qt::NoModifier), Qt::IgnoreAction);
    QString reason;
    const auto other = test::FolderOnOtherFileSystem(from.path(), &reason);
    if (!other)
        GTEST_SKIP() << reason.toStdString();
    EXPECT_EQ(DropActionFor(files, other->path(), Qt::NoModifier), Qt::CopyAction);
    EXPECT_EQ(DropActionFor(files, other->path(), Qt::ShiftModifier), Qt::MoveAction);
}

}  // namespace
}  // namespace orm
