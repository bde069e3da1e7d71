// Image files made by other software (the shared real-world folder beside the checkout, or the
// folder named by ORM_REAL_FILES_DIR) through ormensura-cli's same-size decode, compared with two
// independent decoders: Debian's Pillow and ImageMagick (tests/batch/reference_compare.py).
//
// One table-driven run: each file's expectation comes from the references. A file both open must
// come out exact or within 40 dB of one of them; a file both refuse is broken and must be refused
// with a message within 2 s and 256 MB; where they disagree either outcome is taken. Each file
// the program opens is also resized to 50 % in its own format (PNG for formats it does not
// write), and exiftool reads source and output: a warning or error on the output that the source
// does not have counts as degraded. At most 1% may be degraded. No run may crash or hang.

#include "test_environment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

extern char** environ;

namespace orm {
namespace {

constexpr double kBrokenSeconds = 2.0;
constexpr long kBrokenKilobytes = 256 * 1024;
constexpr double kCloseDb = 40.0;
constexpr int kHangSeconds = 60;

// A run of the program with its wall time and peak resident memory (from wait4).
struct MeasuredRun {
    int status = -1;  // exit status; -1 when it crashed or was stopped for hanging
    bool hung = false;
    double seconds = 0;
    long peakKilobytes = 0;
    QString err;
};

// Runs the program in `home` (its own settings, no display) with stderr into a file, stopping it
// after kHangSeconds. Its address space is capped at 2 GiB (ulimit -v) so that a runaway decode
// cannot take the machine; below that the peak is measured, not limited.
MeasuredRun RunMeasured(const QString& program, const QStringList& args, const QString& home,
                        const QString& errFile) {
    std::vector<std::string> words{"/bin/sh", "-c", "ulimit -v 2097152 && exec \"$0\" \"$@\"",
                                   program.toStdString()};
    for (const QString& a : args) words.push_back(a.toStdString());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    std::vector<std::string> vars;
    for (char** e = environ; *e; ++e) {
        const std::string var = *e;
        if (var.rfind("HOME=", 0) != 0 && var.rfind("XDG_", 0) != 0 &&
            var.rfind("QT_QPA_PLATFORM=", 0) != 0)
            vars.push_back(var);
    }
    const std::string h = home.toStdString();
    for (const std::string& v :
         {"HOME=" + h, "XDG_CONFIG_HOME=" + h + "/config", "XDG_DATA_HOME=" + h + "/data",
          "XDG_CACHE_HOME=" + h + "/cache", std::string("QT_QPA_PLATFORM=offscreen")})
        vars.push_back(v);
    std::vector<char*> envp;
    for (std::string& v : vars) envp.push_back(v.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const std::string errPath = errFile.toStdString();
    posix_spawn_file_actions_addopen(&files, STDERR_FILENO, errPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    QElapsedTimer clock;
    clock.start();
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&files);
    MeasuredRun run;
    if (spawned != 0)
        return run;
    // Wait for the end with a deadline: a pidfd becomes readable when the process ends.
    const int pidfd = int(syscall(SYS_pidfd_open, pid, 0));
    if (pidfd >= 0) {
        pollfd p{pidfd, POLLIN, 0};
        if (poll(&p, 1, kHangSeconds * 1000) == 0) {
            run.hung = true;
            kill(pid, SIGKILL);
        }
        close(pidfd);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.seconds = clock.nsecsElapsed() / 1e9;
    run.peakKilobytes = usage.ru_maxrss;
    if (WIFEXITED(status) && !run.hung)
        run.status = WEXITSTATUS(status);
    run.err = QString::fromUtf8(test::FileBytes(errFile));
    return run;
}

// What the references say of a file, and what the program made of it.
enum class Outcome {
    Exact,
    Close,
    Refused,
    Disputed,
    Unverified,
    Degraded,
    WronglyRefused,
    BrokenAccepted,
    SlowOrHeavyRefusal,
    Crashed
};

const char* Name(Outcome o) {
    static const char* const names[] = {"exact",
                                        "within 40 dB",
                                        "refused (broken)",
                                        "references disagree",
                                        "no reference reads it",
                                        "DEGRADED",
                                        "READABLE BUT REFUSED",
                                        "BROKEN BUT WRITTEN",
                                        "REFUSED TOO SLOWLY OR HEAVILY",
                                        "CRASHED OR HUNG"};
    return names[int(o)];
}

// A reference's verdict: "refused", "absent", "size:...", "exact" or the PSNR.
struct Verdict {
    QString text;
    bool Refused() const { return text == QLatin1String("refused"); }
    bool Exact() const { return text == QLatin1String("exact"); }
    double Db() const {
        bool ok = false;
        const double db = text.toDouble(&ok);
        return Exact() ? 99.0 : ok ? db : 0.0;
    }
};

struct FileResult {
    QString name;
    MeasuredRun run;
    Verdict pillow, magick;
    bool written = false;     // the same-size output exists
    MeasuredRun half;         // the 50 % resize (status -2: not run)
    QStringList newWarnings;  // exiftool's on its output that the source lacks
};

// exiftool's warnings and errors of each file, read in one run (a list file, so names with any
// bytes pass). Keys are the paths as given.
std::map<QString, QStringList> ExiftoolWarnings(const QStringList& files, const QString& listFile) {
    std::map<QString, QStringList> found;
    QFile list(listFile);
    if (files.isEmpty() || !list.open(QIODevice::WriteOnly))
        return found;
    for (const QString& f : files) list.write((f + '\n').toUtf8());
    list.close();
    QProcess tool;
    tool.start("exiftool",
               {"-a", "-s", "-Warning", "-Error", "-charset", "filename=utf8", "-@", listFile});
    if (!tool.waitForFinished(30 * 60 * 1000))
        return found;
    // One file: its tags alone; several: each under "======== <path>".
    QString current = files.size() == 1 ? files.front() : QString();
    for (const QString& line : QString::fromUtf8(tool.readAllStandardOutput()).split('\n')) {
        if (line.startsWith(QLatin1String("======== "))) {
            current = line.mid(9);
            continue;
        }
        const qsizetype colon = line.indexOf(QLatin1String(": "));
        if (!current.isEmpty() && colon > 0 &&
            (line.startsWith(QLatin1String("Warning")) || line.startsWith(QLatin1String("Error"))))
            found[current].push_back(line.mid(colon + 2).trimmed());
    }
    return found;
}

// The output format of the 50 % resize: the source's own where the program writes it.
QString HalfSuffix(const QString& suffix) {
    static const QStringList written{"png", "jpg", "jpeg", "tif", "tiff", "webp", "bmp", "gif"};
    return written.contains(suffix.toLower()) ? suffix.toLower() : QStringLiteral("png");
}

Outcome Classify(const FileResult& r) {
    if (r.run.status < 0)
        return Outcome::Crashed;
    // A damaged file is written (exit status 1) with its missing part filled: it was read.
    const bool refused = !r.written;
    const bool bothRefuse = r.pillow.Refused() && r.magick.Refused();
    if (bothRefuse) {
        if (!refused)
            return Outcome::BrokenAccepted;
        if (r.run.err.trimmed().isEmpty() || r.run.seconds >= kBrokenSeconds ||
            r.run.peakKilobytes >= kBrokenKilobytes)
            return Outcome::SlowOrHeavyRefusal;
        return Outcome::Refused;
    }
    if (r.pillow.Refused() || r.magick.Refused())
        return Outcome::Disputed;
    if (refused)
        return Outcome::WronglyRefused;
    if (r.pillow.Exact() || r.magick.Exact())
        return Outcome::Exact;
    return std::max(r.pillow.Db(), r.magick.Db()) >= kCloseDb ? Outcome::Close : Outcome::Degraded;
}

// The image files of the folder the references can read (HEIF and AVIF are only run).
bool ReferencesRead(const QString& suffix) {
    static const QStringList read{"png", "jpg", "jpeg", "gif", "bmp", "tif", "tiff", "webp"};
    return read.contains(suffix.toLower());
}

QString RealFilesDir() {
    const QByteArray given = qgetenv("ORM_REAL_FILES_DIR");
    return given.isEmpty() ? QString(ORM_REAL_FILES_DIR) : QString::fromLocal8Bit(given);
}

TEST(RealFiles, ReadableFilesOpenExactlyAndBrokenOnesAreRefused) {
    if (QString(ORM_CLI_PATH).isEmpty())
        GTEST_SKIP() << "ormensura-cli is not built";
    const QDir folder(RealFilesDir());
    if (RealFilesDir().isEmpty() || !folder.exists())
        GTEST_SKIP() << "no folder of real files (" << RealFilesDir().toStdString() << ")";
    for (const char* tool : {"/usr/bin/python3", "/usr/bin/convert"})
        if (!QFileInfo(tool).isExecutable())
            GTEST_SKIP() << tool << " is not installed";
    const QStringList names = folder.entryList(
        {"*.png", "*.jpg", "*.jpeg", "*.gif", "*.bmp", "*.tif", "*.tiff", "*.webp", "*.heic",
         "*.heif", "*.avif", "*.PNG", "*.JPG", "*.JPEG", "*.TIF", "*.GIF", "*.BMP"},
        QDir::Files, QDir::Name);
    ASSERT_FALSE(names.isEmpty());

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A home of its own: the user's saved settings must not change the run.
    const QString home = dir.filePath("home");
    ASSERT_TRUE(QDir().mkpath(home));

    std::vector<FileResult> results;
    std::vector<std::pair<int, QString>> halves;  // result index, 50 % output
    QByteArray pairs;
    for (int i = 0; i < names.size(); ++i) {
        FileResult r;
        r.name = names[i];
        const QString source = folder.filePath(names[i]);
        const QString out = dir.filePath(QString("out%1.png").arg(i));
        r.run = RunMeasured(ORM_CLI_PATH,
                            {"resize", source, "-o", out, "--percent", "100", "--algorithm", "0",
                             "--format", "png", "-q"},
                            home, dir.filePath("err.txt"));
        r.written = (r.run.status == 0 || r.run.status == 1) && QFileInfo::exists(out);
        const bool written = r.written;
        if (ReferencesRead(QFileInfo(source).suffix()))
            pairs += (source + '\t' + (written ? out : QString()) + '\n').toUtf8();
        r.half.status = -2;
        if (written) {
            const QString half = dir.filePath(
                QString("half%1.%2").arg(i).arg(HalfSuffix(QFileInfo(source).suffix())));
            r.half =
                RunMeasured(ORM_CLI_PATH, {"resize", source, "-o", half, "--percent", "50", "-q"},
                            home, dir.filePath("err.txt"));
            if (r.half.status == 0)
                halves.push_back({int(results.size()), half});
        }
        results.push_back(r);
    }
    // exiftool over sources and 50 % outputs in one run.
    if (!QStandardPaths::findExecutable("exiftool").isEmpty()) {
        QStringList files;
        for (const auto& [index, half] : halves)
            files << folder.filePath(results[index].name) << half;
        const auto warnings = ExiftoolWarnings(files, dir.filePath("exiftool-files.txt"));
        std::printf("%d outputs at 50 %% read by exiftool\n", int(halves.size()));
        for (const auto& [index, half] : halves) {
            const auto of = [&](const QString& f) {
                const auto it = warnings.find(f);
                return it == warnings.end() ? QStringList() : it->second;
            };
            const QStringList before = of(folder.filePath(results[index].name));
            for (const QString& w : of(half))
                if (!before.contains(w))
                    results[index].newWarnings << w;
        }
    } else {
        std::printf("exiftool is not installed: the 50 %% outputs are not read\n");
    }

    QProcess compare;
    compare.start("/usr/bin/python3", {QString(ORM_TEST_SOURCE_DIR) + "/reference_compare.py"});
    ASSERT_TRUE(compare.waitForStarted());
    compare.write(pairs);
    compare.closeWriteChannel();
    ASSERT_TRUE(compare.waitForFinished(30 * 60 * 1000));
    ASSERT_EQ(compare.exitCode(), 0) << compare.readAllStandardError().toStdString();
    std::map<QString, std::pair<Verdict, Verdict>> verdicts;
    for (const QByteArray& line : compare.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> f = line.split('\t');
        if (f.size() == 3)
            verdicts[QFileInfo(QString::fromUtf8(f[0])).fileName()] = {
                Verdict{QString::fromUtf8(f[1].mid(7))}, Verdict{QString::fromUtf8(f[2].mid(7))}};
    }

    std::map<Outcome, int> counts;
    for (FileResult& r : results) {
        const auto v = verdicts.find(r.name);
        Outcome o = Outcome::Unverified;
        if (v != verdicts.end()) {
            r.pillow = v->second.first;
            r.magick = v->second.second;
            o = Classify(r);
        } else if (r.run.status < 0) {
            o = Outcome::Crashed;
        }
        // The 50 % resize of a file it opened: a crash, a refusal or a new warning.
        if (r.half.status == -1)
            o = Outcome::Crashed;
        else if (o != Outcome::Crashed &&
                 (r.half.status > r.run.status || !r.newWarnings.isEmpty()))
            o = Outcome::Degraded;
        ++counts[o];
        const bool fault = o >= Outcome::Degraded && o != Outcome::Degraded;
        EXPECT_FALSE(fault) << r.name.toStdString() << ": " << Name(o) << " (Pillow "
                            << r.pillow.text.toStdString() << ", ImageMagick "
                            << r.magick.text.toStdString() << ", exit " << r.run.status << ", "
                            << r.run.seconds << " s, " << r.run.peakKilobytes << " KB) "
                            << r.run.err.left(300).toStdString();
        if (o == Outcome::Degraded)
            std::printf(
                "degraded: %s (Pillow %s, ImageMagick %s, 50%% exit %d, new warnings: %s)\n",
                qPrintable(r.name), qPrintable(r.pillow.text), qPrintable(r.magick.text),
                r.half.status, qPrintable(r.newWarnings.join(QLatin1String("; "))));
    }
    std::printf("%d files:", int(results.size()));
    for (const auto& [o, n] : counts) std::printf(" %s %d;", Name(o), n);
    std::printf("\n");
    // At most 1% of the files the references read are degraded.
    EXPECT_LE(counts[Outcome::Degraded] * 100, int(verdicts.size()));
}

}  // namespace
}  // namespace orm
