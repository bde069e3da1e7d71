// ormensura-cli against odd files and odd moments, run as a process: names that are no files,
// four runs writing into one folder at once, Ctrl+C, damaged inputs, names that need escaping or
// are not UTF-8, read-only folders, and codec libraries that would talk on standard error.

#include "test_environment.h"

#include "imageio/native_path.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

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
    EXPECT_EQ(o.err, "warning: " + cut + " is damaged; the missing part is grey\n");
    EXPECT_EQ(test::ImageFileSize(Out("olympus_truncated.jpg")).width(), 40);
    const Outcome accepted =
        Run({"resize", cut, "--width", "30", "-o", Out("x.png"), "-q", "--accept-damaged"});
    EXPECT_EQ(accepted.status, 0);
    EXPECT_TRUE(accepted.err.contains("is damaged")) << accepted.err.toStdString();
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

}  // namespace
}  // namespace orm
