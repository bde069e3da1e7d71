#pragma once
// The command line's side of a batch run: log entries on standard output (errors, with their
// reason, and warnings on standard error), a progress line for the own algorithms when standard
// error is a terminal, the decode/resize/encode times on request, and the program's messages.

#include "cli/cli_command.h"

#include "batch/batch_runner.h"
#include "settings/prompt.h"

#include <mutex>

namespace orm::cli {

struct ReporterOptions {
    bool quiet = false;         // only errors
    bool timings = false;       // three lines of times per written file, on standard error
    bool progressLine = false;  // "\r 42%" while an own algorithm works
};

class CliBatchReporter final : public IBatchReporter, public IPrompt {
  public:
    CliBatchReporter(CliStreams& io, ReporterOptions options) : io_(io), options_(options) {}

    void Report(const BatchReport& report) override;
    void Progress(int position) override;
    void Warning(const QString& text) override;
    void Written(const BatchReport& report, const BatchFileTimes& times) override;
    void Finished(const BatchRunSummary& summary) override;

    // Messages of the run (e.g. a missing output folder) go to standard error; questions are
    // answered No, as nobody is there to answer them.
    void Message(const QString& text) override;
    bool AskYesNo(const QString& text) override;
    // No one answers on the command line: the question is closed (its flags decide instead).
    int AskChoice(const QString& text, const QStringList& buttons, int defaultButton) override;

  private:
    void ClearProgressLine();

    CliStreams& io_;
    ReporterOptions options_;
    std::mutex mutex_;
    bool progressShown_ = false;
    bool progressWanted_ = false;
    int lastPercent_ = -1;
};

// The log text for a terminal: Windows line ends become '\n', without the trailing blank lines.
QString ConsoleText(const QString& logText);

// The line after a written file whose quality a size limit chose, or that was copied as it is.
QString WrittenNote(const BatchReport& report);

// The three timing lines of a written file.
QString TimingLines(const BatchFileTimes& times);

// The exit status of a finished run: a damaged input counts as a failed one unless accepted.
int ExitStatusOf(const BatchRunSummary& summary, bool acceptDamaged = false);

}  // namespace orm::cli
