#include "cli/cli_batch_reporter.h"

#include "settings/number_text.h"

#include <algorithm>

namespace orm::cli {

QString ConsoleText(const QString& logText) {
    QString text = logText;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    while (text.endsWith(QLatin1Char('\n'))) text.chop(1);
    return text;
}

QString TimingLines(const BatchFileTimes& times) {
    return QStringLiteral("decode %1 s\nresize %2 s\nencode %3 s\n")
        .arg(QFormatFixed(times.decodeMs / 1000, 3), QFormatFixed(times.resizeMs / 1000, 3),
             QFormatFixed(times.encodeMs / 1000, 3));
}

QString WrittenNote(const BatchReport& report) {
    if (report.copied)
        return QStringLiteral("Copied unchanged: %1 is not larger than the new size")
            .arg(report.entry.path);
    return QStringLiteral("Quality %1 keeps %2 within the size limit")
        .arg(report.quality)
        .arg(report.outputPath);
}

int ExitStatusOf(const BatchRunSummary& summary, bool acceptDamaged) {
    if (summary.stoppedBy || summary.cancelled)
        return kExitStopped;
    if (summary.failed > 0 || (summary.damaged > 0 && !acceptDamaged))
        return kExitInputFailed;
    return kExitOk;
}

void CliBatchReporter::ClearProgressLine() {
    if (!progressShown_)
        return;
    io_.err << "\r      \r";
    io_.err.flush();
    progressShown_ = false;
}

void CliBatchReporter::Report(const BatchReport& report) {
    std::lock_guard lock(mutex_);
    ClearProgressLine();
    lastPercent_ = -1;
    progressWanted_ = options_.progressLine && !options_.quiet &&
                      report.code == BatchStatus::Processing && report.ShowsProgress();
    if (report.IsError()) {
        io_.err << ConsoleText(report.LogText()) << "\n";
        if (!report.reason.isEmpty())
            io_.err << "Reason: " << report.reason << "\n";
        io_.err << "\n";
        io_.err.flush();
    } else if (!options_.quiet) {
        io_.out << ConsoleText(report.LogText()) << "\n";
        if (!report.reason.isEmpty())
            io_.out << "Reason: " << report.reason << "\n";
        io_.out << "\n";
        io_.out.flush();
    }
}

void CliBatchReporter::Progress(int position) {
    std::lock_guard lock(mutex_);
    if (!progressWanted_)
        return;
    const int percent = std::clamp(position * 100 / kBatchProgressRange, 0, 100);
    if (percent == lastPercent_)
        return;
    lastPercent_ = percent;
    io_.err << "\r" << QString::number(percent).rightJustified(3) << "%";
    io_.err.flush();
    progressShown_ = true;
}

void CliBatchReporter::Warning(const QString& text) {
    std::lock_guard lock(mutex_);
    ClearProgressLine();
    io_.err << text << "\n";
    io_.err.flush();
}

void CliBatchReporter::Written(const BatchReport& report, const BatchFileTimes& times) {
    std::lock_guard lock(mutex_);
    ClearProgressLine();
    progressWanted_ = false;
    if (!options_.quiet && (report.quality > 0 || report.copied)) {
        io_.out << WrittenNote(report) << "\n";
        io_.out.flush();
    }
    if (options_.timings) {
        io_.err << TimingLines(times);
        io_.err.flush();
    }
}

void CliBatchReporter::Finished(const BatchRunSummary& summary) {
    std::lock_guard lock(mutex_);
    ClearProgressLine();
    if (summary.cancelled) {
        io_.err << "The run was cancelled.\n";
        io_.err.flush();
    }
}

void CliBatchReporter::Message(const QString& text) {
    std::lock_guard lock(mutex_);
    ClearProgressLine();
    io_.err << text << "\n";
    io_.err.flush();
}

int CliBatchReporter::AskChoice(const QString& text, const QStringList&, int) {
    std::lock_guard lock(mutex_);
    ClearProgressLine();
    io_.err << text << " (no answer)\n";
    io_.err.flush();
    return -1;
}

bool CliBatchReporter::AskYesNo(const QString& text) {
    std::lock_guard lock(mutex_);
    ClearProgressLine();
    io_.err << text << " (answered No)\n";
    io_.err.flush();
    return false;
}

}  // namespace orm::cli
