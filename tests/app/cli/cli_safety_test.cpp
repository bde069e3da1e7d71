// ormensura-cli against odd files and odd moments, run as a process: names that are no files,
// four runs writing into one folder at once, Ctrl+C, damaged inputs, names that need escaping or
// are not UTF-8, read-only folders, and codec libraries that would talk on standard error.

#include "test_environment.h"

#include "imageio/native_path.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <cstring>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orm {
namespace {

struct Outcome {
    bool finished = false;
    bool crashed = false;  // ended by a signal
    int status = -1;
    QString out;
    QString err;
};

class CliSafety : public ::testing::Test {
  protected:
    void SetUp() override {
        if (QString(ORM_CLI_PATH).isEmpty())
            GTEST_SKIP() << "ormensura-cli is not built";
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir(dir.path()).mkpath("out"));
        ASSERT_TRUE(QDir(dir.path()).mkpath("home"));
    }
    QString Path(const QString& name) const { return dir.path() + "/" + name; }
    QString Out(const QString& name = {}) const { return Path("out/" + name); }
    static QString Corpus(const QString& name) { return QString(ORM_CORPUS_DIR) + "/" + name; }
    // Every name in a folder, as the system spells it (QDir would lose bytes that are not UTF-8).
    static QStringList Names(const QString& folder) {
        QStringList names;
        if (DIR* d = ::opendir(NativePath(folder).constData())) {
            while (const dirent* e = ::readdir(d))
                if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                    names << PathFromNative(QByteArrayView(e->d_name));
            ::closedir(d);
        }
        names.sort();
        return names;
    }

    std::unique_ptr<QProcess> Start(const QString& program, const QStringList& args) {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", Path("home"));
        env.insert("XDG_DATA_HOME", Path("home/data"));
        env.insert("XDG_CONFIG_HOME", Path("home/config"));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        p->setProcessEnvironment(env);
        p->setWorkingDirectory(dir.path());
        p->start(program, args);
        EXPECT_TRUE(p->waitForStarted());
        return p;
    }
    static Outcome Finish(QProcess& p, int timeoutMs = 60000) {
        Outcome o;
        o.finished = p.waitForFinished(timeoutMs);
        if (!o.finished) {
            p.kill();
            p.waitForFinished();
        }
        o.crashed = p.exitStatus() == QProcess::CrashExit;
        o.status = o.crashed ? -1 : p.exitCode();
        o.out = QString::fromUtf8(p.readAllStandardOutput());
        o.err = QString::fromUtf8(p.readAllStandardError());
        return o;
    }
    Outcome Run(const QStringList& args, int timeoutMs = 60000) {
        auto p = Start(ORM_CLI_PATH, args);
        return Finish(*p, timeoutMs);
    }
    // A picture of noise (slow to encode, nothing to compress), saved in the path's format.
    static void WriteNoise(const QString& path, int w, int h) {
        QImage image(w, h, QImage::Format_RGB32);
        QRandomGenerator random(7);
        for (int y = 0; y < h; ++y) {
            auto* line = reinterpret_cast<quint32*>(image.scanLine(y));
            for (int x = 0; x < w; ++x) line[x] = 0xFF000000u | (random.generate() & 0xFFFFFFu);
        }
        ASSERT_TRUE(image.save(path));
    }

    QTemporaryDir dir;
};

TEST_F(CliSafety, APipeOrADeviceIsRefusedAtOnce) {
    ASSERT_EQ(::mkfifo(NativePath(Path("pipe.jpg")).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link("/dev/zero", Path("zero.jpg")));
    for (const char* name : {"pipe.jpg", "zero.jpg"}) {
        const QString what = QString(name) == "pipe.jpg" ? "it is a named pipe (FIFO), not a file"
                                                         : "it is a device, not a file";
        const Outcome info = Run({"info", Path(name)}, 20000);
        ASSERT_TRUE(info.finished) << name << ": info hangs";
        EXPECT_EQ(info.status, 1) << name;
        EXPECT_EQ(info.err, "info: can't open file " + Path(name) + ": " + what + "\n") << name;

        const Outcome resize = Run({"resize", Path(name), "--width", "20", "-o", Out()}, 20000);
        ASSERT_TRUE(resize.finished) << name << ": resize hangs";
        EXPECT_EQ(resize.status, 1) << name;
        EXPECT_TRUE(resize.err.contains("Reason: " + what)) << resize.err.toStdString();

        const Outcome dry =
            Run({"resize", Path(name), "--width", "20", "-o", Out(), "--dry-run"}, 20000);
        ASSERT_TRUE(dry.finished) << name << ": the dry run hangs";
        EXPECT_EQ(dry.status, 1) << name;
        EXPECT_TRUE(dry.err.contains(what)) << dry.err.toStdString();
    }
    EXPECT_TRUE(Names(Out()).isEmpty());
}

TEST_F(CliSafety, FourUniqueRunsIntoOneFolderKeepEveryOutput) {
    WriteNoise(Path("big.png"), 1600, 1200);
    std::vector<std::unique_ptr<QProcess>> runs;
    for (int i = 0; i < 4; ++i)
        runs.push_back(
            Start(ORM_CLI_PATH, {"resize", Path("big.png"), "--percent", "150", "--algorithm", "0",
                                 "-o", Out(), "--overwrite", "unique", "-q"}));
    for (auto& run : runs) {
        const Outcome o = Finish(*run);
        ASSERT_TRUE(o.finished);
        EXPECT_EQ(o.status, 0) << o.err.toStdString();
    }
    EXPECT_EQ(Names(Out()), (QStringList{"big.png", "big_1.png", "big_2.png", "big_3.png"}));
    for (const QString& name : Names(Out())) {
        QImageReader reader(Out(name));
        const QImage image = reader.read();
        EXPECT_EQ(image.size(), QSize(2400, 1800))
            << name.toStdString() << ": " << reader.errorString().toStdString();
    }
}

// Whether a signal sent to a process is still waiting to be delivered, from the pending sets of
// /proc/PID/status (hexadecimal masks, bit n - 1 for signal n). A process that is gone has none.
bool SignalPending(pid_t pid, int signal) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    const uint64_t bit = uint64_t(1) << (signal - 1);
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("SigPnd:") || line.startsWith("ShdPnd:"))
            if (line.mid(7).trimmed().toULongLong(nullptr, 16) & bit)
                return true;
    return false;
}

// Waits (10 s at most) until the signal has been delivered.
bool WaitUntilDelivered(pid_t pid, int signal) {
    QElapsedTimer waited;
    waited.start();
    while (SignalPending(pid, signal)) {
        if (waited.hasExpired(10000))
            return false;
        QThread::yieldCurrentThread();
    }
    return true;
}

TEST_F(CliSafety, CtrlCNeverLetsTheFileInProgressReplaceTheOriginal) {
    // Same folder, overwrite: the output is the input. Ctrl+C arrives while it is resized or
    // encoded (a large noise PNG takes seconds to encode).
    WriteNoise(Path("photo.png"), 1500, 1000);
    const QByteArray original = test::FileBytes(Path("photo.png"));
    auto run = Start(ORM_CLI_PATH, {"resize", Path("photo.png"), "--percent", "400", "--algorithm",
                                    "0", "--same-folder"});
    ASSERT_TRUE(run->waitForReadyRead(30000));  // the file's log entry: decoded, now working
    ::kill(pid_t(run->processId()), SIGINT);
    const Outcome o = Finish(*run);
    ASSERT_TRUE(o.finished);
    EXPECT_EQ(o.status, 3) << o.err.toStdString();
    EXPECT_TRUE(o.err.endsWith("The run was cancelled.\n")) << o.err.toStdString();
    EXPECT_EQ(test::FileBytes(Path("photo.png")), original);
    EXPECT_EQ(Names(dir.path()), (QStringList{"home", "out", "photo.png"}));

    // SIGTERM (a session's end, kill) ends the run the same way.
    run = Start(ORM_CLI_PATH, {"resize", Path("photo.png"), "--percent", "400", "--algorithm", "0",
                               "--same-folder"});
    ASSERT_TRUE(run->waitForReadyRead(30000));
    ::kill(pid_t(run->processId()), SIGTERM);
    const Outcome term = Finish(*run);
    ASSERT_TRUE(term.finished);
    EXPECT_EQ(term.status, 3) << term.err.toStdString();
    EXPECT_TRUE(term.err.endsWith("The run was cancelled.\n")) << term.err.toStdString();
    EXPECT_EQ(test::FileBytes(Path("photo.png")), original);

    // A second Ctrl+C ends the process at once, and still nothing is left behind.
    run = Start(ORM_CLI_PATH, {"resize", Path("photo.png"), "--percent", "400", "--algorithm", "0",
                               "--same-folder"});
    ASSERT_TRUE(run->waitForReadyRead(30000));
    ::kill(pid_t(run->processId()), SIGINT);
    // Two signals still pending at once would count as one: the second goes once the first
    // has reached the program's handler.
    ASSERT_TRUE(WaitUntilDelivered(pid_t(run->processId()), SIGINT));
    ::kill(pid_t(run->processId()), SIGINT);
    const Outcome twice = Finish(*run, 20000);
    ASSERT_TRUE(twice.finished);
    EXPECT_TRUE(twice.crashed || twice.status == 3);
    EXPECT_EQ(test::FileBytes(Path("photo.png")), original);
    EXPECT_EQ(Names(dir.path()), (QStringList{"home", "out", "photo.png"}));
}

TEST_F(CliSafety, DamagedInputsAreResizedWithAWarningAndExitStatusOne) {
    if (QString(ORM_CORPUS_DIR).isEmpty())
        GTEST_SKIP() << "no image corpus";
    const QString cut = Corpus("olympus_truncated.jpg");
    const Outcome o = Run({"resize", cut, "--width", "40", "-o", Out(), "-q"});
    EXPECT_EQ(o.status, 1);
    // (Its truncated maker note does not read back either and is left out.)
    EXPECT_EQ(o.err, "warning: " + cut + " is damaged; the missing part is grey\nwarning: " +
                         Out("olympus_truncated.jpg") +
                         ": the camera's maker note did not read back as written and was left "
                         "out\n");
    EXPECT_EQ(test::ImageFileSize(Out("olympus_truncated.jpg")).width(), 40);
    const Outcome accepted =
        Run({"resize", cut, "--width", "30", "-o", Out("x.png"), "-q", "--accept-damaged"});
    EXPECT_EQ(accepted.status, 0);
    EXPECT_TRUE(accepted.err.contains("is damaged")) << accepted.err.toStdString();
}

TEST_F(CliSafety, HeadersClaimingMoreThanTheFileHoldsAreRefusedAndWriteNothing) {
    // 26 bytes claiming 11390 x 13680 pixels: once a black "damaged" picture of 156 MP.
    QFile gif(Path("bomb.gif"));
    ASSERT_TRUE(gif.open(QIODevice::WriteOnly));
    gif.write(
        QByteArray("GIF89a\x7e\x2c\x70\x35\0\0\0\x2c\0\0\0\0\x7e\x2c\x70\x35\0\x02\x01\x44", 26));
    gif.close();
    const Outcome o = Run({"resize", Path("bomb.gif"), "--width", "20", "-o", Out(), "-q"});
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(
        o.err.contains("Reason: The file claims 11390 x 13680 pixels but holds only 26 bytes"))
        << o.err.toStdString();
    EXPECT_TRUE(Names(Out()).isEmpty());
}

TEST_F(CliSafety, CodecLibrariesSayNothingOnStandardError) {
    if (QString(ORM_CORPUS_DIR).isEmpty())
        GTEST_SKIP() << "no image corpus";
    // An old-style JPEG-in-TIFF file: libtiff warns about it on every read.
    const Outcome o = Run({"info", Corpus("ojpeg_zackthecat_subsamp22_single_strip.tiff")});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err, "");
    const Outcome resize = Run({"resize", Corpus("ojpeg_zackthecat_subsamp22_single_strip.tiff"),
                                "--width", "20", "-o", Out("z.png"), "-q"});
    EXPECT_EQ(resize.status, 0);
    EXPECT_EQ(resize.err, "");
}

TEST_F(CliSafety, LibpngsOwnErrorLinesDoNotReachStandardError) {
    // A PNG whose header chunk fails its checksum: libpng prints "libpng error: IHDR: CRC error"
    // itself; the program's own message names the file and the reason.
    QFile bad(Path("bad.png"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write(
        QByteArray("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\0\x10\0\0\0\x10"
                   "\x08\x02\0\0\0\0\0\0\0",
                   33));
    bad.close();
    const Outcome info = Run({"info", Path("bad.png")});
    EXPECT_EQ(info.status, 1);
    EXPECT_EQ(info.err,
              "info: can't open file " + Path("bad.png") + ": Unable to read image data\n");
    const Outcome resize = Run({"resize", Path("bad.png"), "--width", "20", "-o", Out()});
    EXPECT_EQ(resize.status, 1);
    EXPECT_FALSE(resize.err.contains("libpng")) << resize.err.toStdString();
    EXPECT_TRUE(resize.err.contains("Reason: Unable to read image data"))
        << resize.err.toStdString();
}

TEST_F(CliSafety, NamesStartingWithADashFollowDoubleDash) {
    if (QString(ORM_CORPUS_DIR).isEmpty())
        GTEST_SKIP() << "no image corpus";
    ASSERT_TRUE(QFile::copy(Corpus("hopper.gif"), Path("-leading.gif")));
    const Outcome o = Run({"resize", "--width", "20", "-o", Out(), "-q", "--", "-leading.gif"});
    EXPECT_EQ(o.status, 0) << o.err.toStdString();
    EXPECT_EQ(test::ImageFileSize(Out("-leading.gif")), QSize(20, 20));
    const Outcome info = Run({"info", "--", "-leading.gif"});
    EXPECT_EQ(info.status, 0) << info.err.toStdString();
    EXPECT_TRUE(info.out.contains("Dimensions : 128 X 128")) << info.out.toStdString();
}

TEST_F(CliSafety, DryRunEscapesNamesAndKnowsAFolderThatTakesNoFiles) {
    if (QString(ORM_CORPUS_DIR).isEmpty())
        GTEST_SKIP() << "no image corpus";
    ASSERT_TRUE(QFile::copy(Corpus("hopper.gif"), Path("tab\there.gif")));
    ASSERT_TRUE(QFile::copy(Corpus("hopper.gif"), Path("new\nline.gif")));
    const Outcome dry = Run({"resize", Path("tab\there.gif"), Path("new\nline.gif"), "--width",
                             "20", "-o", Out(), "--dry-run"});
    EXPECT_EQ(dry.status, 0) << dry.err.toStdString();
    const QStringList lines = dry.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << dry.out.toStdString();
    EXPECT_EQ(lines[0].split('\t').mid(0, 2),
              (QStringList{Path("tab\\there.gif"), Out("tab\\there.gif")}));
    EXPECT_EQ(lines[1].split('\t').mid(0, 2),
              (QStringList{Path("new\\nline.gif"), Out("new\\nline.gif")}));

    // A folder the user cannot write to: the plan fails as the run will. Root writes anywhere,
    // so as root the program runs as "nobody".
    ASSERT_TRUE(QDir(dir.path()).mkpath("locked"));
    ::chmod(NativePath(dir.path()).constData(), 0755);
    ::chmod(NativePath(Path("locked")).constData(), 0555);
    ASSERT_TRUE(QFile::copy(Corpus("hopper.gif"), Path("in.gif")));
    ::chmod(NativePath(Path("in.gif")).constData(), 0644);
    const QStringList args{"resize", Path("in.gif"), "--width", "20", "-o", Path("locked/")};
    QProcess p;
    if (::geteuid() == 0) {
        p.setChildProcessModifier([] {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(99);
        });
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("HOME", "/nonexistent");
    p.setProcessEnvironment(env);
    p.start(ORM_CLI_PATH, args + QStringList{"--dry-run"});
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_NE(p.exitCode(), 99) << "cannot run as nobody";
    EXPECT_EQ(p.exitCode(), 3);
    EXPECT_EQ(QString::fromUtf8(p.readAllStandardError()),
              "ormensura-cli: " + Path("in.gif") + ": can't write " + Path("locked/in.gif") +
                  ": the folder does not take new files: Permission denied\n");
    EXPECT_TRUE(p.readAllStandardOutput().isEmpty());
    p.start(ORM_CLI_PATH, args + QStringList{"-q"});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 3);
    EXPECT_TRUE(QString::fromUtf8(p.readAllStandardError()).contains("Reason: Permission denied"));
    EXPECT_TRUE(Names(Path("locked")).isEmpty());
}

TEST_F(CliSafety, AFullDiskIsNamedAsTheReason) {
    // A 64 KiB file system in a mount namespace of its own (needs root with CAP_SYS_ADMIN).
    WriteNoise(Path("noise.png"), 200, 200);
    ASSERT_TRUE(QDir(dir.path()).mkpath("small"));
    const QString script = R"sh(mount -t tmpfs -o size=64k tmpfs "$1" || exit 99
exec "$0" resize "$2" --percent 100 -o "$1/" -q)sh";
    if (::geteuid() != 0 || QProcess::execute("unshare", {"-m", "true"}) != 0)
        GTEST_SKIP() << "no mount namespace here (needs root with CAP_SYS_ADMIN)";
    auto p = Start("unshare",
                   {"-m", "/bin/sh", "-c", script, ORM_CLI_PATH, Path("small"), Path("noise.png")});
    const Outcome o = Finish(*p);
    if (o.status == 99)
        GTEST_SKIP() << "a tmpfs cannot be mounted here";
    EXPECT_EQ(o.status, 3);
    EXPECT_TRUE(o.err.contains("Can't write file\n" + Path("small/noise.png") +
                               "!\nReason: No space left on device\n"))
        << o.err.toStdString();
}

TEST_F(CliSafety, NamesThatAreNotUtf8AreProcessed) {
    if (QString(ORM_CORPUS_DIR).isEmpty())
        GTEST_SKIP() << "no image corpus";
    // The name's bytes reach the program through a shell: QProcess would encode them as UTF-8.
    const QByteArray name = "n\xffm.gif";
    const QString path = dir.path() + "/" + PathFromNative(name);
    ASSERT_TRUE(QFile::copy(Corpus("hopper.gif"), Path("plain.gif")));
    ASSERT_EQ(::rename(NativePath(Path("plain.gif")).constData(), NativePath(path).constData()), 0);
    const QString script =
        R"sh(exec "$0" resize "$(printf 'n\377m.gif')" --width 20 -o out/ "$@")sh";
    auto dry = Start("/bin/sh", {"-c", script, ORM_CLI_PATH, "--dry-run"});
    const Outcome plan = Finish(*dry);
    EXPECT_EQ(plan.status, 0) << plan.err.toStdString();
    EXPECT_TRUE(plan.out.startsWith(Path("n\\xffm.gif") + "\t" + Out("n\\xffm.gif") + "\t20x20\t"))
        << plan.out.toStdString();
    auto run = Start("/bin/sh", {"-c", script, ORM_CLI_PATH, "-q"});
    const Outcome o = Finish(*run);
    EXPECT_EQ(o.status, 0) << o.err.toStdString();
    EXPECT_EQ(Names(Out()), QStringList{PathFromNative(name)});
    QByteArray bytes;
    {
        QFile f;
        const int fd = ::open((NativePath(Out()) + name).constData(), O_RDONLY);
        ASSERT_GE(fd, 0);
        ASSERT_TRUE(f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
        bytes = f.readAll();
    }
    EXPECT_EQ(QImage::fromData(bytes).size(), QSize(20, 20));
    ::unlink((NativePath(Out()) + name).constData());  // QTemporaryDir cannot name them
    ::unlink(NativePath(path).constData());
}

TEST_F(CliSafety, SavedListsAndSettingsThatArePipesAreRefusedAtOnce) {
    // A pipe as the batch list, as the settings file given and as the settings store: each
    // would block a reader that opens it as a file until someone writes to it.
    ASSERT_EQ(::mkfifo(NativePath(Path("list.mnb")).constData(), 0600), 0);
    ASSERT_TRUE(QDir().mkpath(Path("home/data/ORVEN Mensura/Settings")));
    ASSERT_EQ(
        ::mkfifo(NativePath(Path("home/data/ORVEN Mensura/Settings/saved.mns")).constData(), 0600),
        0);
    QImage(30, 20, QImage::Format_RGB32).save(Path("a.png"));
    const Outcome batch = Run({"batch", Path("list.mnb"), "-o", Out()}, 10000);
    ASSERT_TRUE(batch.finished) << "a pipe as the batch list hangs";
    EXPECT_NE(batch.status, 0);
    EXPECT_TRUE(batch.err.contains("it is a named pipe (FIFO), not a file"))
        << batch.err.toStdString();
    const Outcome settings =
        Run({"resize", Path("a.png"), "--settings", "saved", "-o", Out()}, 10000);
    ASSERT_TRUE(settings.finished) << "a pipe as the settings file hangs";
    EXPECT_NE(settings.status, 0);
    EXPECT_TRUE(settings.err.contains("--settings saved: ")) << settings.err.toStdString();

    ASSERT_TRUE(QDir().mkpath(Path("home/config/ORVEN Imaging")));
    ASSERT_EQ(::mkfifo(NativePath(Path("home/config/ORVEN Imaging/ORVEN Mensura.conf")).constData(),
                       0600),
              0);
    const Outcome store = Run({"resize", Path("a.png"), "--width", "15", "-o", Out(), "-q"}, 10000);
    ASSERT_TRUE(store.finished) << "a pipe as the settings store hangs";
    EXPECT_EQ(store.status, 0) << store.err.toStdString();
    EXPECT_EQ(test::ImageFileSize(Out("a.png")), QSize(15, 10));
}

TEST_F(CliSafety, OutputsNeverLeaveTheOutputTreeThroughALink) {
    // in/sub/b.png with out/sub a link to a folder elsewhere: b fails, a and c/d are written.
    for (const char* name : {"in/a.png", "in/sub/b.png", "in/zc/d.png"}) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(Path(name)).path()));
        QImage(30, 20, QImage::Format_RGB32).save(Path(name));
    }
    ASSERT_TRUE(QDir().mkpath(Path("elsewhere")));
    QImage(30, 20, QImage::Format_RGB32).save(Path("elsewhere/b.png"));
    const QByteArray kept = test::FileBytes(Path("elsewhere/b.png"));
    ASSERT_TRUE(QFile::link(Path("elsewhere"), Out("sub")));
    const Outcome o = Run({"resize", Path("in"), "-r", "-o", Out(), "--width", "15", "-q"});
    ASSERT_TRUE(o.finished);
    EXPECT_EQ(o.status, 1) << o.err.toStdString();
    EXPECT_TRUE(o.err.contains(Out("sub/") + " is a link")) << o.err.toStdString();
    EXPECT_EQ(test::FileBytes(Path("elsewhere/b.png")), kept);
    EXPECT_EQ(Names(Path("elsewhere")), QStringList{"b.png"});
    EXPECT_EQ(test::ImageFileSize(Out("a.png")), QSize(15, 10));
    EXPECT_EQ(test::ImageFileSize(Out("zc/d.png")), QSize(15, 10));
}

TEST_F(CliSafety, LongNamesWorkInEveryOverwriteModeAndATooLongOneFailsAlone) {
    // 251 bytes + ".png": the temporary name must not add to it.
    const QString longName = QString(251, QLatin1Char('n')) + ".png";
    QImage(30, 20, QImage::Format_RGB32).save(Path(longName));
    QImage(30, 20, QImage::Format_RGB32).save(Path("z.png"));
    for (const char* mode : {"overwrite", "skip", "unique"}) {
        QImage(8, 8, QImage::Format_RGB32).save(Out(longName));  // an output there already
        const Outcome o = Run(
            {"resize", Path(longName), "--width", "15", "-o", Out(), "-q", "--overwrite", mode});
        ASSERT_TRUE(o.finished);
        const QString m(mode);
        if (m == "overwrite") {
            EXPECT_EQ(o.status, 0) << o.err.toStdString();
            EXPECT_EQ(test::ImageFileSize(Out(longName)), QSize(15, 10));
        } else if (m == "skip") {
            EXPECT_EQ(o.status, 0) << o.err.toStdString();
            EXPECT_EQ(test::ImageFileSize(Out(longName)), QSize(8, 8));
        } else {
            // "_1" would make 257 bytes: that file fails with the reason, nothing else changes.
            EXPECT_EQ(o.status, 1) << o.err.toStdString();
            EXPECT_TRUE(o.err.contains("the file name is 257 bytes long")) << o.err.toStdString();
        }
        EXPECT_EQ(Names(Out()), QStringList{longName}) << mode;  // no temporary left behind
        QFile::remove(Out(longName));
    }
    // A new name past 255 bytes fails that file; the run goes on with the next.
    const Outcome named = Run({"resize", Path(longName), Path("z.png"), "--width", "15", "-o",
                               Out(), "-q", "--new-name"});
    ASSERT_TRUE(named.finished);
    EXPECT_EQ(named.status, 1) << named.err.toStdString();
    EXPECT_TRUE(named.err.contains("Can't make the output file name")) << named.err.toStdString();
    EXPECT_EQ(Names(Out()), QStringList{"z_RESIZED_TO_15x10.png"});
}

TEST_F(CliSafety, AnOutputFolderThatIsTheInputFolderIsNamedSo) {
    QImage(30, 20, QImage::Format_RGB32).save(Out("a.png"));
    const Outcome o = Run({"resize", Out(), "-r", "-o", Out(), "--width", "15"});
    ASSERT_TRUE(o.finished);
    EXPECT_NE(o.status, 0);
    EXPECT_TRUE(o.err.contains("is the output folder as well")) << o.err.toStdString();
    EXPECT_FALSE(o.err.contains("holds no image files")) << o.err.toStdString();
}

TEST_F(CliSafety, AnAbsurdResolutionIsTakenAsAbsentInEveryOutputFormat) {
    // 2^31 - 1 dots per metre: some 54 million dpi.
    QImage image(30, 20, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    image.setDotsPerMeterX(INT_MAX);
    image.setDotsPerMeterY(INT_MAX);
    ASSERT_TRUE(image.save(Path("absurd.png")));
    const Outcome info = Run({"info", Path("absurd.png")});
    EXPECT_EQ(info.status, 0);
    EXPECT_TRUE(
        info.out.contains("Note : The resolution the file states is outside 1 to 100000 "
                          "dpi; 96 dpi is used\n"))
        << info.out.toStdString();
    for (const char* format : {"jpg", "tif", "bmp", "png", "gif", "webp"}) {
        const QString out = Out(QString("a.") + format);
        const Outcome o = Run({"resize", Path("absurd.png"), "--width", "15", "-o", out, "-q"});
        EXPECT_EQ(o.status, 0) << format << ": " << o.err.toStdString();
        const QImage written(out);
        ASSERT_EQ(written.size(), QSize(15, 10)) << format;
        if (QString(format) != "gif" && QString(format) != "webp")  // they store no resolution
            EXPECT_NEAR(written.dotsPerMeterX() * 0.0254, 96.0, 0.1) << format;
    }
}

TEST_F(CliSafety, InfoReportsTheTurnThePixelsGet) {
    // An orientation tag (90 degrees) in a directory cut short: the loader cannot reach it and
    // does not turn the pixels, so info must not report a turn either.
    QByteArray jpeg;
    {
        QBuffer buffer(&jpeg);
        ASSERT_TRUE(buffer.open(QIODevice::WriteOnly));
        ASSERT_TRUE(QImage(40, 20, QImage::Format_RGB32).save(&buffer, "JPEG"));
    }
    const QByteArray tiff = QByteArray("MM\0\x2a\0\0\0\x08\0\x05", 10) +  // five entries said
                            QByteArray("\x01\x12\0\x03\0\0\0\x01\0\x06\0\0", 12) +  // Orientation 6
                            QByteArray("\x01\x1a\0\x05\0\0\0\x01", 8);  // and the segment ends
    const QByteArray app1 = QByteArray("Exif\0\0", 6) + tiff;
    const int length = int(app1.size()) + 2;
    jpeg.insert(2, QByteArray("\xff\xe1", 2) + char(length >> 8) + char(length & 0xff) + app1);
    QFile file(Path("cut.jpg"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(jpeg);
    file.close();
    const Outcome info = Run({"info", Path("cut.jpg")});
    EXPECT_EQ(info.status, 0);
    EXPECT_TRUE(info.out.contains("Dimensions : 40 X 20\n")) << info.out.toStdString();
    EXPECT_FALSE(info.out.contains("90")) << info.out.toStdString();
    const Outcome resize = Run({"resize", Path("cut.jpg"), "--percent", "50", "-o", Out(), "-q"});
    EXPECT_EQ(resize.status, 0) << resize.err.toStdString();
    EXPECT_EQ(test::ImageFileSize(Out("cut.jpg")), QSize(20, 10));
}

}  // namespace
}  // namespace orm
