// Reading and writing users' files: only regular files are read, within a size cap; the safe
// writer's commit never follows a link, never replaces under KeepExisting, keeps the replaced
// file's owner, and names the real reason of a failure; names that are not UTF-8 survive.

#include "imageio/file_reader.h"
#include "imageio/image_info_reader.h"
#include "imageio/image_loader.h"
#include "imageio/native_path.h"
#include "imageio/safe_file_writer.h"
#include "test_support.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orm {
namespace {

class FileSafety : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    QString Path(const QString& name) const { return dir_.filePath(name); }
    QStringList Entries() const {
        return QDir(dir_.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
    static bool IsLink(const QString& path) {
        struct stat st {};
        return ::lstat(NativePath(path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
    }
    QTemporaryDir dir_;
};

TEST_F(FileSafety, ReadersRefuseWhatIsNotARegularFileAtOnce) {
    ASSERT_EQ(::mkfifo(NativePath(Path("pipe.jpg")).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link("/dev/zero", Path("zero.jpg")));
    ASSERT_TRUE(QDir(dir_.path()).mkdir("folder.jpg"));
    const std::pair<const char*, const char*> cases[] = {
        {"pipe.jpg", "it is a named pipe (FIFO), not a file"},
        {"zero.jpg", "it is a device, not a file"},
        {"folder.jpg", "it is a folder, not a file"},
    };
    QElapsedTimer timer;
    timer.start();
    for (const auto& [name, reason] : cases) {
        QByteArray bytes;
        QString error;
        EXPECT_FALSE(ReadWholeFile(Path(name), bytes, &error)) << name;
        EXPECT_EQ(error, reason) << name;
        EXPECT_FALSE(LoadSourceImage(Path(name), &error)) << name;
        EXPECT_EQ(error, reason) << name;
        EXPECT_FALSE(ReadImageInfo(Path(name), &error)) << name;
        EXPECT_EQ(error, reason) << name;
    }
    EXPECT_LT(timer.elapsed(), 10000);  // nothing waited for a writer or read /dev/zero to the end
}

TEST_F(FileSafety, EveryKindOfFileIsOpenedAsARegularFileWithinItsCap) {
    ASSERT_EQ(::mkfifo(NativePath(Path("pipe")).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link("/dev/zero", Path("zero")));
    ASSERT_TRUE(QDir(dir_.path()).mkdir("folder"));
    test::WriteAll(Path("file"), "0123456789");
    ASSERT_TRUE(QFile::link(Path("file"), Path("link")));
    struct Case {
        const char* name;
        bool read;
        const char* reason;
    };
    const Case cases[] = {
        {"file", true, ""},
        {"link", true, ""},  // a link to a regular file is that file
        {"pipe", false, "it is a named pipe (FIFO), not a file"},
        {"zero", false, "it is a device, not a file"},
        {"folder", false, "it is a folder, not a file"},
        {"missing", false, "No such file or directory"},
        {"big", false, "the file is too large: "},
    };
    QElapsedTimer timer;
    timer.start();
    for (const ReadKind kind :
         {ReadKind::Image, ReadKind::BatchList, ReadKind::SettingsFile, ReadKind::SettingsStore,
          ReadKind::CacheFile, ReadKind::SmallText}) {
        {
            QFile big(Path("big"));  // sparse: one byte over this kind's cap
            ASSERT_TRUE(big.open(QIODevice::WriteOnly));
            ASSERT_TRUE(big.resize(ReadLimit(kind) + 1));
        }
        for (const Case& c : cases) {
            QByteArray bytes;
            QString error, checked;
            bool missing = false;
            EXPECT_EQ(ReadWholeFile(Path(c.name), bytes, &error, kind), c.read) << c.name;
            EXPECT_EQ(CheckRegularFile(Path(c.name), kind, &checked, &missing), c.read) << c.name;
            EXPECT_EQ(missing, QString(c.name) == "missing") << c.name;
            EXPECT_TRUE(*c.reason ? error.startsWith(QLatin1String(c.reason)) : error.isEmpty())
                << c.name << ": " << error.toStdString();
            EXPECT_EQ(checked, error) << c.name;
            EXPECT_EQ(bytes, c.read ? QByteArray("0123456789") : QByteArray()) << c.name;
        }
    }
    EXPECT_LT(timer.elapsed(), 10000);
}

TEST_F(FileSafety, AFileOverTheCapIsRefusedWithItsSize) {
    // A sparse file of 2 GiB and one byte: no disk space, and refused before anything is read.
    const QString big = Path("big.jpg");
    {
        QFile f(big);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(kMaxInputFileBytes + 1));
    }
    QByteArray bytes;
    QString error;
    EXPECT_FALSE(ReadWholeFile(big, bytes, &error));
    EXPECT_EQ(error, "the file is too large: 2147483649 bytes; at most 2 GiB are read");
    EXPECT_TRUE(bytes.isEmpty());

    test::WriteAll(Path("small.bin"), "0123456789");
    EXPECT_TRUE(ReadWholeFile(Path("small.bin"), bytes, &error, 10));
    EXPECT_EQ(bytes, "0123456789");
    EXPECT_FALSE(ReadWholeFile(Path("small.bin"), bytes, &error, 9));
    EXPECT_EQ(error, "the file is too large: 10 bytes; at most 9 bytes are read");
}

TEST_F(FileSafety, KeepExistingNeverReplacesWhatAppearedMeanwhile) {
    const QString target = Path("out.png");
    SafeFileWriter writer(target, ExistingTarget::KeepExisting);
    ASSERT_TRUE(writer.Open());
    ASSERT_TRUE(writer.Write("new picture"));
    // Another program writes the name while this file is being made.
    test::WriteAll(target, "the user's file");
    EXPECT_EQ(writer.Commit(), CommitResult::TargetExists);
    EXPECT_EQ(test::ReadAll(target), "the user's file");
    // The data is still there for the next free name.
    writer.SetTarget(Path("out_1.png"));
    ASSERT_EQ(writer.Commit(), CommitResult::Written);
    EXPECT_EQ(test::ReadAll(Path("out_1.png")), "new picture");
    EXPECT_EQ(Entries(), (QStringList{"out.png", "out_1.png"}));

    // A folder or a dangling link at the name counts as taken too.
    ASSERT_TRUE(QDir(dir_.path()).mkdir("dir.png"));
    ASSERT_TRUE(QFile::link(Path("nowhere/x.png"), Path("dangling.png")));
    for (const char* name : {"dir.png", "dangling.png"})
        EXPECT_EQ(WriteFileSafely(Path(name), "x", ExistingTarget::KeepExisting),
                  CommitResult::TargetExists)
            << name;
    EXPECT_FALSE(QFileInfo::exists(Path("nowhere")));
    EXPECT_EQ(Entries(), (QStringList{"dangling.png", "dir.png", "out.png", "out_1.png"}));
}

TEST_F(FileSafety, ALinkAtTheNameIsReplacedNeverItsTarget) {
    ASSERT_TRUE(QDir(dir_.path()).mkdir("elsewhere"));
    test::WriteAll(Path("elsewhere/original.png"), "outside the output folder");
    ASSERT_TRUE(QFile::link(Path("elsewhere/original.png"), Path("linked.png")));
    ASSERT_TRUE(QFile::link(Path("elsewhere/absent.png"), Path("dangling.png")));
    for (const char* name : {"linked.png", "dangling.png"}) {
        QString error;
        ASSERT_TRUE(WriteFileSafely(Path(name), "output", &error)) << name << error.toStdString();
        EXPECT_FALSE(IsLink(Path(name))) << name;
        EXPECT_EQ(test::ReadAll(Path(name)), "output") << name;
    }
    EXPECT_EQ(test::ReadAll(Path("elsewhere/original.png")), "outside the output folder");
    EXPECT_EQ(QDir(Path("elsewhere")).entryList(QDir::Files | QDir::Hidden),
              QStringList{"original.png"});
}

TEST_F(FileSafety, ReplacingKeepsOwnerGroupAndMode) {
    const QString target = Path("theirs.jpg");
    test::WriteAll(target, "old");
    ASSERT_EQ(::chmod(NativePath(target).constData(), 0640), 0);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(NativePath(target).constData(), 65534, 65534), 0);
    }
    struct stat before {};
    ASSERT_EQ(::stat(NativePath(target).constData(), &before), 0);
    ASSERT_TRUE(WriteFileSafely(target, "new"));
    struct stat after {};
    ASSERT_EQ(::stat(NativePath(target).constData(), &after), 0);
    EXPECT_EQ(test::ReadAll(target), "new");
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    if (::geteuid() != 0) {
        GTEST_SKIP() << "the owner of another user's file is kept only when running as root";
    }
}

TEST_F(FileSafety, FailuresNameTheReasonAndLeaveNothing) {
    QString error;
    EXPECT_FALSE(WriteFileSafely(Path("missing/x.png"), "x", &error));
    EXPECT_EQ(error, "No such file or directory");
    ASSERT_TRUE(QDir(dir_.path()).mkdir("taken.png"));
    EXPECT_FALSE(WriteFileSafely(Path("taken.png"), "x", &error));
    EXPECT_EQ(error, "Is a directory");
    {
        SafeFileWriter writer(Path("never.png"));
        ASSERT_TRUE(writer.Open());
        ASSERT_TRUE(writer.Write("abandoned"));
    }
    EXPECT_EQ(Entries(), QStringList{"taken.png"});
}

TEST_F(FileSafety, AFullDiskSaysSo) {
    // A 64 KiB file system, mounted for this test (needs root and a system that allows mounts).
    const QString mount = Path("small");
    ASSERT_TRUE(QDir(dir_.path()).mkdir("small"));
    if (::geteuid() != 0 ||
        QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", mount}) != 0) {
        GTEST_SKIP() << "a small tmpfs cannot be mounted here (needs root with CAP_SYS_ADMIN)";
    }
    QString error;
    const bool written = WriteFileSafely(mount + "/big.bin", QByteArray(1 << 20, 'x'), &error);
    const QStringList left =
        QDir(mount).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    QProcess::execute("umount", {mount});
    EXPECT_FALSE(written);
    EXPECT_EQ(error, "No space left on device");
    EXPECT_TRUE(left.isEmpty()) << left.join(' ').toStdString();
}

TEST(NativePath, NamesThatAreNotUtf8SurviveTheRoundTrip) {
    const QByteArray samples[] = {
        "plain.jpg",
        "caf\xc3\xa9.jpg",
        "\xf0\x9f\x93\xb7.png",  // valid UTF-8, one needing surrogates
        "n\xffm.jpg",
        "latin1-caf\xe9.jpg",
        "\xc3",  // a stray byte, Latin-1, a cut sequence
        "\xed\xa0\x80.jpg",
        "\xc0\xaf.jpg",
        "\xf4\x90\x80\x80",  // a surrogate, overlong, above U+10FFFF
    };
    for (const QByteArray& bytes : samples) {
        const QString path = PathFromNative(bytes);
        EXPECT_EQ(NativePath(path), bytes) << bytes.toHex().constData();
        EXPECT_EQ(IsUtf8Path(path), QString::fromUtf8(bytes).toUtf8() == bytes)
            << bytes.toHex().constData();
    }
    EXPECT_EQ(PathFromNative("caf\xc3\xa9"), QString::fromUtf8("caf\xc3\xa9"));
    EXPECT_EQ(AbsolutePath("/a/./b/../c.jpg"), "/a/c.jpg");
    EXPECT_EQ(FolderOf("/x.jpg"), "/");
    EXPECT_EQ(FolderOf("x.jpg"), ".");
}

TEST_F(FileSafety, FilesWithNamesThatAreNotUtf8AreReadAndWritten) {
    const QString name = Path(PathFromNative("n\xffm.png"));
    QImage image(6, 4, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QByteArray png;
    {
        QBuffer buffer(&png);
        ASSERT_TRUE(buffer.open(QIODevice::WriteOnly));
        ASSERT_TRUE(image.save(&buffer, "png"));
    }
    ASSERT_TRUE(WriteFileSafely(name, png));
    struct stat st {};
    ASSERT_EQ(::stat((NativePath(dir_.path()) + "/n\xffm.png").constData(), &st), 0);
    QString error;
    const auto loaded = LoadSourceImage(name, &error);
    ASSERT_TRUE(loaded) << error.toStdString();
    EXPECT_EQ(loaded->image.size(), QSize(6, 4));
    EXPECT_TRUE(PathEntryExists(name));
    ::unlink(NativePath(name).constData());  // QTemporaryDir cannot name it
}

}  // namespace
}  // namespace orm
