#include "files/file_operations.h"

#include "file_test_support.h"
#include "imageio/file_look.h"
#include "qt_test_home.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orm {
namespace {

using test::NamesIn;
using test::ReadBytes;
using test::WriteBytes;

struct stat StatOf(const QString& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &st), 0) << path.toStdString();
    return st;
}

class FileOperations : public ::testing::Test {
  protected:
    QString From(const QString& name) const { return from.filePath(name); }
    QString To(const QString& name = {}) const {
        return name.isEmpty() ? to.path() : to.filePath(name);
    }

    QTemporaryDir from;
    QTemporaryDir to;
};

TEST_F(FileOperations, CopiesTakeTheNextFreeNumberedNameAndNeverOverwrite) {
    WriteBytes(From("a.jpg"), "new picture");
    WriteBytes(To("a.jpg"), "old picture");
    WriteBytes(To("a (2).jpg"), "older picture");
    struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(From("a.jpg")).constData(), times, 0), 0);

    FileOpReport report = CopyFiles({From("a.jpg"), From("gone.jpg")}, To());
    EXPECT_TRUE(report.Succeeded()) << report.Failures().join("\n").toStdString();
    EXPECT_EQ(report.missing, QStringList{From("gone.jpg")});
    ASSERT_EQ(report.Results(), QStringList{To("a (3).jpg")});
    EXPECT_EQ(ReadBytes(To("a.jpg")), "old picture");
    EXPECT_EQ(ReadBytes(To("a (2).jpg")), "older picture");
    EXPECT_EQ(ReadBytes(To("a (3).jpg")), "new picture");
    EXPECT_EQ(ReadBytes(From("a.jpg")), "new picture");
    // The copy keeps the time of the source, as file managers' copies do.
    EXPECT_EQ(StatOf(To("a (3).jpg")).st_mtim.tv_sec, 1000000000);

    // A copy into its own folder is numbered too; folders are numbered without an extension.
    EXPECT_EQ(CopyFiles({From("a.jpg")}, from.path()).Results(), QStringList{From("a (2).jpg")});
    ASSERT_TRUE(QDir(to.path()).mkpath("trip.2024"));
    WriteBytes(From("trip.2024/x.png"), "x");
    EXPECT_EQ(CopyFiles({From("trip.2024")}, To()).Results(), QStringList{To("trip.2024 (2)")});
    EXPECT_EQ(ReadBytes(To("trip.2024 (2)/x.png")), "x");
    EXPECT_EQ(NumberedName(".profile", 2), ".profile (2)");
    EXPECT_EQ(NumberedName("photo.tar.gz", 4), "photo.tar (4).gz");
}

TEST_F(FileOperations, MovesOnOneFileSystemRenameAndRefuseToGoIntoThemselves) {
    WriteBytes(From("a.jpg"), "picture");
    WriteBytes(To("a.jpg"), "other");
    WriteBytes(From("album/inner/b.png"), "b");
    const ino_t inode = StatOf(From("a.jpg")).st_ino;

    FileOpReport report = MoveFiles({From("a.jpg"), From("album")}, To());
    ASSERT_TRUE(report.Succeeded()) << report.Failures().join("\n").toStdString();
    EXPECT_EQ(report.Results(), (QStringList{To("a (2).jpg"), To("album")}));
    EXPECT_EQ(StatOf(To("a (2).jpg")).st_ino, inode);  // renamed, not copied
    EXPECT_EQ(ReadBytes(To("a.jpg")), "other");
    EXPECT_EQ(NamesIn(from.path()), QStringList{});

    // Into the folder it is in: nothing to do.
    report = MoveFiles({To("a.jpg")}, To());
    EXPECT_TRUE(report.Succeeded());
    EXPECT_EQ(report.Results(), QStringList{To("a.jpg")});
    // A folder into itself or below itself, moved or copied: refused, nothing changes.
    for (const QString& inside : {To("album"), To("album/inner")}) {
        EXPECT_FALSE(MoveFiles({To("album")}, inside).Succeeded());
        EXPECT_FALSE(CopyFiles({To("album")}, inside).Succeeded());
    }
    EXPECT_EQ(NamesIn(To("album/inner")), QStringList{"b.png"});
}

TEST_F(FileOperations, MoveAcrossFileSystemsCopiesThenRemovesTheSource) {
    QString reason;
    const auto other = test::FolderOnOtherFileSystem(from.path(), &reason);
    if (!other)
        GTEST_SKIP() << reason.toStdString();
    WriteBytes(From("a.jpg"), QByteArray(3 << 20, 'a'));
    WriteBytes(From("album/deep/b.png"), "b");
    ASSERT_EQ(::symlink("deep/b.png", QFile::encodeName(From("album/link.png")).constData()), 0);

    const FileOpReport report = MoveFiles({From("a.jpg"), From("album")}, other->path());
    ASSERT_TRUE(report.Succeeded()) << report.Failures().join("\n").toStdString();
    EXPECT_EQ(ReadBytes(other->filePath("a.jpg")), QByteArray(3 << 20, 'a'));
    EXPECT_EQ(ReadBytes(other->filePath("album/deep/b.png")), "b");
    EXPECT_EQ(QFileInfo(other->filePath("album/link.png")).symLinkTarget(),
              other->filePath("album/deep/b.png"));
    EXPECT_EQ(NamesIn(from.path()), QStringList{});
}

TEST_F(FileOperations, PipesAndDevicesAreRefusedWithoutWaiting) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(From("pipe.jpg")).constData(), 0600), 0);
    WriteBytes(From("b.jpg"), "b");
    const FileOpReport report = CopyFiles({From("pipe.jpg"), From("b.jpg"), "/dev/null"}, To());
    ASSERT_EQ(report.entries.size(), 3u);
    EXPECT_FALSE(report.entries[0].error.isEmpty());
    EXPECT_TRUE(report.entries[1].Done());
    EXPECT_FALSE(report.entries[2].error.isEmpty());
    EXPECT_EQ(NamesIn(To()), QStringList{"b.jpg"});
}

TEST_F(FileOperations, ACancelledCopyLeavesNoPartialFile) {
    WriteBytes(From("big.tif"), QByteArray(5 << 20, 'x'));
    WriteBytes(From("later.tif"), "later");
    FileOpContext context;
    context.progress = [](const FileOpProgress& p) { return p.bytesDone < (2 << 20); };
    const FileOpReport report = CopyFiles({From("big.tif"), From("later.tif")}, To(), context);
    EXPECT_TRUE(report.cancelled);
    EXPECT_FALSE(report.Succeeded());
    EXPECT_EQ(NamesIn(To()), QStringList{});
}

// A tmpfs of a few blocks mounted over `folder`, in a mount namespace of this thread's own (the
// rest of the machine never sees it). Needs the right to mount.
class SmallDisk {
  public:
    SmallDisk(const QString& folder, const char* size) : folder_(QFile::encodeName(folder)) {
        if (::unshare(CLONE_NEWNS) != 0) {
            reason_ = QStringLiteral("no mount namespace: ") + std::strerror(errno);
            return;
        }
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", folder_.constData(), "tmpfs", 0,
                    (QByteArray("size=") + size).constData()) != 0) {
            reason_ = QStringLiteral("cannot mount a tmpfs: ") + std::strerror(errno);
            return;
        }
        mounted_ = true;
    }
    ~SmallDisk() {
        if (mounted_)
            ::umount2(folder_.constData(), MNT_DETACH);
    }
    bool Mounted() const { return mounted_; }
    const QString& Reason() const { return reason_; }

  private:
    QByteArray folder_;
    bool mounted_ = false;
    QString reason_;
};

TEST_F(FileOperations, ACopyIntoAFullDiskLeavesTheSourceAndNoPartialTarget) {
    SmallDisk disk(To(), "256k");
    if (!disk.Mounted())
        GTEST_SKIP() << disk.Reason().toStdString();
    const QByteArray photo(1 << 20, 'p');
    WriteBytes(From("photo.jpg"), photo);
    WriteBytes(From("album/one.jpg"), "1");
    WriteBytes(From("album/two.jpg"), photo);

    for (FileOp op : {FileOp::Copy, FileOp::Move}) {
        const FileOpReport report = RunFileOperation(op, {From("photo.jpg"), From("album")}, To());
        ASSERT_EQ(report.entries.size(), 2u);
        for (const FileOpEntry& entry : report.entries) {
            EXPECT_TRUE(entry.result.isEmpty());
            EXPECT_FALSE(entry.error.isEmpty());
        }
        // Nothing half-written, no temporary file, no half-copied folder; the sources as they were.
        EXPECT_EQ(NamesIn(To()), QStringList{});
        EXPECT_EQ(ReadBytes(From("photo.jpg")), photo);
        EXPECT_EQ(ReadBytes(From("album/two.jpg")), photo);
        EXPECT_EQ(ReadBytes(From("album/one.jpg")), "1");
    }
}

TEST_F(FileOperations, DeleteGoesToTheTrashEvenBeforeTheDataFolderExists) {
    // Qt alone would move the file into files/ of the working folder and report success.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    ASSERT_TRUE(data.startsWith(test::TestHome()));
    QDir(data).removeRecursively();
    const QString working = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(to.path()));

    WriteBytes(From("a.jpg"), "a");
    WriteBytes(From("album/b.jpg"), "b");
    const FileOpReport report = TrashFiles({From("a.jpg"), From("album")});
    QDir::setCurrent(working);

    ASSERT_TRUE(report.Succeeded()) << report.Failures().join("\n").toStdString();
    EXPECT_EQ(report.Results(),
              (QStringList{data + "/Trash/files/a.jpg", data + "/Trash/files/album"}));
    EXPECT_EQ(ReadBytes(data + "/Trash/files/album/b.jpg"), "b");
    EXPECT_TRUE(QFileInfo::exists(data + "/Trash/info/a.jpg.trashinfo"));
    EXPECT_EQ(NamesIn(To()), QStringList{});
    EXPECT_EQ(NamesIn(from.path()), QStringList{});
    EXPECT_EQ(report.Trashed(), (QStringList{From("a.jpg"), From("album")}));
    EXPECT_TRUE(report.FileChanges().empty());
}

TEST_F(FileOperations, RenameTakesTheSoundAlongOrNeither) {
    WriteBytes(From("IMG_1.JPG"), "picture");
    WriteBytes(From("IMG_1.WAV"), "sound");
    WriteBytes(From("taken.WAV"), "someone else's sound");
    // The sound cannot follow to "taken": the picture keeps its name as well.
    FileOpReport report = RenameFile(From("IMG_1.JPG"), "taken.JPG");
    EXPECT_FALSE(report.Succeeded());
    EXPECT_EQ(NamesIn(from.path()), (QStringList{"IMG_1.JPG", "IMG_1.WAV", "taken.WAV"}));

    EXPECT_TRUE(report.FileChanges().empty());

    report = RenameFile(From("IMG_1.JPG"), "beach.JPG");
    ASSERT_TRUE(report.Succeeded()) << report.Failures().join("\n").toStdString();
    EXPECT_EQ(report.Results(), (QStringList{From("beach.JPG"), From("beach.WAV")}));
    EXPECT_EQ(ReadBytes(From("beach.WAV")), "sound");
    EXPECT_EQ(report.FileChanges(),
              (std::vector<FilePathChange>{{From("IMG_1.JPG"), From("beach.JPG")},
                                           {From("IMG_1.WAV"), From("beach.WAV")}}));

    // Names that would leave the folder or replace a file are refused.
    for (const QString& name :
         {QString("../beach.JPG"), QString(".."), QString(), QString("taken.WAV")})
        EXPECT_FALSE(RenameFile(From("beach.JPG"), name).Succeeded()) << name.toStdString();
    EXPECT_EQ(ReadBytes(From("taken.WAV")), "someone else's sound");
}

TEST_F(FileOperations, ReportsTheNewPathOfEveryFileButNotOfFolders) {
    WriteBytes(From("a.jpg"), "a");
    WriteBytes(From("b.jpg"), "b");
    WriteBytes(From("album/c.jpg"), "c");
    const FileOpReport copied = CopyFiles({From("a.jpg"), From("album")}, To());
    ASSERT_TRUE(copied.Succeeded());
    EXPECT_EQ(copied.op, FileOp::Copy);
    EXPECT_EQ(copied.FileChanges(), (std::vector<FilePathChange>{{From("a.jpg"), To("a.jpg")}}));
    EXPECT_TRUE(copied.Trashed().isEmpty());
    const FileOpReport moved = MoveFiles({From("b.jpg")}, To());
    ASSERT_TRUE(moved.Succeeded());
    EXPECT_EQ(moved.FileChanges(), (std::vector<FilePathChange>{{From("b.jpg"), To("b.jpg")}}));
    // A move to where the file already lies changes nothing.
    EXPECT_TRUE(MoveFiles({To("b.jpg")}, To()).FileChanges().empty());
}

}  // namespace
}  // namespace orm
