#pragma once
// --log-json: one JSON object per input, written as soon as the input is finished, so a
// supervisor over many processes can count what is done and retry what failed:
//
//   {"input":"/p/a.jpg","status":"written","outputs":[{"path":"/o/a.jpg","width":800,
//    "height":600,"bytes":81234}],"reason":""}
//
// status is written, skipped (every output existed under "skip"), failed (the input could not
// be read or an output not made; reason says why) or damaged (written from a cut-off input).
// Paths are UTF-8; a byte of a name that is not UTF-8 is the escape \udc80..\udcff (Python's
// json and os.fsencode give the name's bytes back).
//
// The log is fed from the run's reports (IBatchReporter) and passes every report on to the
// reporter that prints the log for people.

#include "batch/batch_runner.h"

#include <QString>

#include <functional>
#include <mutex>
#include <optional>
#include <vector>

namespace orm::cli {

struct JsonOutput {
    QString path;
    int width = 0;  // 0: unknown (written as null)
    int height = 0;
    qint64 bytes = -1;  // -1: unknown (null)
};

struct JsonInputRecord {
    QString input;
    QString status;  // written, skipped, failed, damaged
    std::vector<JsonOutput> outputs;
    QString reason;
};

// A JSON string literal (quotes included).
QString JsonString(const QString& text);
// The record as one line of JSON, without the line end.
QString JsonLine(const JsonInputRecord& record);

class JsonLogReporter final : public IBatchReporter {
  public:
    using LineSink = std::function<void(const QString& line)>;
    // entriesPerInput: how many consecutive entries of the run each input has (one per size).
    JsonLogReporter(std::vector<size_t> entriesPerInput, IBatchReporter& next, LineSink sink);

    void Report(const BatchReport& report) override;
    void Progress(int position) override { next_.Progress(position); }
    void Warning(const QString& text) override;
    void Written(const BatchReport& report, const BatchFileTimes& times) override;
    void Finished(const BatchRunSummary& summary) override;

  private:
    // The record of the input of entry `index` (the run's entries in order), started when new.
    void Begin(size_t index, const QString& input);
    // One entry of the current input is finished; the record goes out after its last.
    void EntryDone();
    void Emit();

    std::vector<size_t> inputOfEntry_;
    std::vector<size_t> entriesPerInput_;
    IBatchReporter& next_;
    LineSink sink_;
    std::mutex mutex_;
    std::optional<size_t> input_;  // the input whose record is open
    JsonInputRecord record_;
    QString skipReason_;
    size_t done_ = 0;  // its entries finished
    bool failed_ = false, damaged_ = false, written_ = false;
};

}  // namespace orm::cli
