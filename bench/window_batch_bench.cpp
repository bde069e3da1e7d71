// A batch run from the window beside the same run by ormensura-cli, in turn, run by run: the
// files are added to the window's batch list with the panel's size, the Run command is
// triggered, the settings dialog is confirmed as it stands and the progress dialog runs the batch
// to its end (offscreen). The command line resizes the same files with the same settings in a
// process of its own. Each run writes into an empty folder; a run whose outputs differ from the
// command line's says so.
//
//   build/bench/window_batch_bench --cli build/app/ormensura-cli [--runs N] [--size WxH]
//       [--algorithm N] [--quality Q] [--keep DIR] FILE...
//
// Prints every run's seconds, the medians and the window's median over the command line's.

#include "frame/toolbar_sets.h"
#include "settings/settings_model.h"
#include "ui/batch_dlg.h"
#include "ui/batch_progress.h"
#include "ui/main_frame.h"
#include "ui/message_box_prompt.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct BenchOptions {
    QString cli;
    QStringList files;
    int runs = 5;
    int width = 1920, height = 1920, algorithm = 4, quality = 90;
    double dpi = 96;  // the panel's resolution, which the window's entries take
    QString keep;     // where the last run's outputs are kept (window/ and cli/)
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

bool FreshFolder(const QString& path) {
    QDir(path).removeRecursively();
    return QDir().mkpath(path);
}

// The window's run: Run, the settings dialog confirmed with the output folder, the progress
// dialog closed when it says Done. The time runs from Run to the end of the batch.
double WindowRun(orm::gui::CMainFrame& frame, const QString& out) {
    Clock::time_point start;
    double seconds = -1;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<orm::CBatchDlg*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        dialog->folderEdit()->setText(out);
        start = Clock::now();
        dialog->accept();
        QTimer::singleShot(0, [&] {
            auto* progress = frame.findChild<orm::CBatchProgress*>();
            if (!progress)
                return;
            auto done = [&seconds, &start, progress] {
                seconds = SecondsSince(start);
                progress->cancelButton()->click();
            };
            if (!progress->Running())
                done();
            else
                QObject::connect(progress, &orm::CBatchProgress::runFinished, progress, done);
        });
    });
    frame.Action(orm::gui::kCmdRun)->trigger();
    return seconds;
}

double CliRun(const BenchOptions& o, const QString& out) {
    QStringList args{QStringLiteral("resize")};
    args << o.files << QStringLiteral("-o") << out + QLatin1Char('/') << QStringLiteral("--width")
         << QString::number(o.width) << QStringLiteral("--height") << QString::number(o.height)
         << QStringLiteral("--algorithm") << QString::number(o.algorithm)
         << QStringLiteral("--quality") << QString::number(o.quality) << QStringLiteral("--dpi")
         << QString::number(o.dpi) << QStringLiteral("--quiet");
    const auto start = Clock::now();
    QProcess cli;
    cli.start(o.cli, args);
    if (!cli.waitForFinished(-1) || cli.exitCode() != 0)
        return -1;
    return SecondsSince(start);
}

// Empty when both runs wrote the same files, byte for byte (the window and the command line
// share one way to a file); else the first difference.
QString OutputDifference(const QString& a, const QString& b) {
    const QStringList names = QDir(a).entryList(QDir::Files);
    if (names != QDir(b).entryList(QDir::Files))
        return QStringLiteral("other files");
    for (const QString& name : names) {
        QFile fa(QDir(a).filePath(name)), fb(QDir(b).filePath(name));
        if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly))
            return name + QStringLiteral(" unreadable");
        const QByteArray ba = fa.readAll(), bb = fb.readAll();
        if (ba != bb)
            return QStringLiteral("%1: %2 bytes, %3 bytes").arg(name).arg(ba.size()).arg(bb.size());
    }
    return {};
}

bool ParseArguments(const QStringList& args, BenchOptions& o) {
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == QLatin1String("--cli") && hasValue) {
            o.cli = args[++i];
        } else if (a == QLatin1String("--runs") && hasValue) {
            o.runs = std::max(1, args[++i].toInt());
        } else if (a == QLatin1String("--size") && hasValue) {
            const QStringList wh = args[++i].split(QLatin1Char('x'));
            if (wh.size() != 2)
                return false;
            o.width = wh[0].toInt();
            o.height = wh[1].toInt();
        } else if (a == QLatin1String("--keep") && hasValue) {
            o.keep = args[++i];
        } else if (a == QLatin1String("--algorithm") && hasValue) {
            o.algorithm = args[++i].toInt();
        } else if (a == QLatin1String("--quality") && hasValue) {
            o.quality = args[++i].toInt();
        } else {
            o.files << QFileInfo(a).absoluteFilePath();
        }
    }
    return !o.cli.isEmpty() && !o.files.isEmpty() && o.width > 0 && o.height > 0;
}

}  // namespace

int main(int argc, char** argv) {
    // Settings of the bench's own, never the user's.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    BenchOptions o;
    if (!ParseArguments(app.arguments(), o)) {
        std::fprintf(stderr,
                     "usage: window_batch_bench --cli PATH [--runs N] [--size WxH] "
                     "[--algorithm N] [--quality Q] [--keep DIR] FILE...\n");
        return 2;
    }
    orm::SettingsModel settings;
    orm::MessageBoxPrompt prompt;
    settings.SetPrompt(&prompt);
    settings.EditResize([&](orm::ResizeSettings& r) {
        r.width = o.width;
        r.height = o.height;
        r.algorithm = static_cast<orm::ResizeAlgorithm>(o.algorithm);
        r.correction = static_cast<int32_t>(orm::CorrectionMode::KeepAspect);
    });
    o.dpi = settings.Resize().dpi;
    orm::BatchSettings batch = settings.Batch();
    batch.jpegQuality = o.quality;
    batch.overwriteMethod = static_cast<int32_t>(orm::OverwriteMethod::Overwrite);
    settings.SetBatch(batch);
    orm::gui::CMainFrame frame(settings, nullptr);
    frame.show();
    frame.OpenCommandLineFiles(o.files);
    if (frame.BatchEntries().count() != o.files.size()) {
        std::fprintf(stderr, "window_batch_bench: %d of %d files were added to the batch\n",
                     int(frame.BatchEntries().count()), int(o.files.size()));
        return 1;
    }

    const QString window = home.filePath(QStringLiteral("window")),
                  cli = home.filePath(QStringLiteral("cli"));
    std::vector<double> windowSeconds, cliSeconds;
    for (int run = 0; run <= o.runs; ++run) {  // run 0 warms the caches up and is not counted
        if (!FreshFolder(window) || !FreshFolder(cli))
            return 1;
        const double w = WindowRun(frame, window);
        const double c = CliRun(o, cli);
        if (w < 0 || c < 0) {
            std::fprintf(stderr, "window_batch_bench: run %d failed (window %.2f, cli %.2f)\n", run,
                         w, c);
            return 1;
        }
        const int written = int(QDir(window).entryList(QDir::Files).size());
        const QString difference = OutputDifference(window, cli);
        std::printf("run %d: window %.3f s (%d files), cli %.3f s%s%s\n", run, w, written, c,
                    difference.isEmpty() ? "" : " - the outputs differ: ", qPrintable(difference));
        if (run > 0) {
            windowSeconds.push_back(w);
            cliSeconds.push_back(c);
        }
    }
    if (!o.keep.isEmpty()) {
        QDir(o.keep).removeRecursively();
        QDir().mkpath(o.keep);
        QDir().rename(window, o.keep + QStringLiteral("/window"));
        QDir().rename(cli, o.keep + QStringLiteral("/cli"));
    }
    const double wm = Median(windowSeconds), cm = Median(cliSeconds);
    std::printf("median: window %.3f s, cli %.3f s, window / cli = %.2f (target <= 1.10)\n", wm, cm,
                wm / cm);
    return 0;
}
