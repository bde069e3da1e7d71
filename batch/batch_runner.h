#pragma once
// The batch run without a window: a worker thread walks the entries, loads each input, forms its
// output path, resizes it with the entry's size and algorithm and writes it. Everything the user
// sees goes through IBatchReporter, called on the worker thread with values (never references
// into the run), so a window can queue them to its own thread and the command line can print them.
//
// Each run owns its stop token (Cancel): it stops the own algorithms inside a resize and the loop
// before its next file, and nothing else. With BatchRunOptions::cancelWithinFile it also stops
// the file in progress between decoding, resizing and encoding and before the file is committed.
//
// Under "skip" and "unique" the output is committed without replacing anything: a file that
// appeared under the chosen name while this one was being made is kept, and the output is
// skipped or takes the next free number.

#include "batch/batch_entry.h"
#include "batch/batch_log.h"
#include "batch/output_naming.h"
#include "batch/source_prefetch.h"
#include "engine/progress.h"
#include "pipeline/output_encoding.h"
#include "pipeline/resize_job.h"
#include "settings/batch_settings.h"
#include "settings/prompt.h"

#include <QString>

#include <atomic>
#include <future>
#include <memory>
#include <optional>
#include <thread>
#include <variant>
#include <vector>

namespace orm {

// The progress bar of a run spans 0..90; a resize reports positions toward it.
inline constexpr int kBatchProgressRange = 90;

struct BatchReport {
    BatchStatus code = BatchStatus::Processing;
    int fileNumber = 0;  // 1-based; counts every entry reached, skipped or not
    int total = 0;
    BatchEntry entry;
    QString outputPath;  // the output (code 0, 6), the existing file (code 3)
    QString reason;      // why it failed, when known (a loader error, the missing folder)
    // The log's first line for a failure that has one of its own (code 4 other than memory);
    // empty: the documented text of the code.
    QString headline;
    // Written(): the quality a size limit chose (0: none), and whether the input was copied as
    // it is (never enlarge, same type).
    int quality = 0;
    bool copied = false;

    QString LogText() const {
        return headline.isEmpty() ? LogEntryText(code, fileNumber, total, entry, outputPath)
                                  : headline;
    }
    QString StatusText() const { return ProcessingText(fileNumber, total); }
    // The own algorithms report progress; the standard modes do not.
    bool ShowsProgress() const { return IsOwnAlgorithm(entry.algorithm); }
    bool IsError() const { return code != BatchStatus::Processing && code != BatchStatus::Skipped; }
};

struct BatchFileTimes {
    double decodeMs = 0;
    double resizeMs = 0;
    double encodeMs = 0;
};

struct BatchRunSummary {
    int written = 0;
    int skipped = 0;                       // code 3
    int failed = 0;                        // codes 1 and 4
    int damaged = 0;                       // inputs that were cut off (resized all the same)
    std::optional<BatchStatus> stoppedBy;  // code 2, 5 or 6 ended the run
    bool cancelled = false;                // the cancel flag ended the run
};

// The run's end in one line for a status bar: "Batch: 3 written, 1 skipped, 0 failed", with
// "Batch cancelled:" or "Batch stopped:" (by an error) when the run did not reach its end.
QString RunSummaryText(const BatchRunSummary& summary);

class IBatchReporter {
  public:
    virtual ~IBatchReporter() = default;
    // A log entry (worker thread).
    virtual void Report(const BatchReport& report) = 0;
    // The position of the running resize, 0..100 in kBatchProgressRange units (worker thread).
    virtual void Progress(int /*position*/) {}
    // A line for the log that is no entry of its own, e.g. "warning: FILE is damaged; the
    // missing part is grey" after the file's entry (worker thread).
    virtual void Warning(const QString& /*text*/) {}
    // A file has been written (worker thread).
    virtual void Written(const BatchReport& /*report*/, const BatchFileTimes& /*times*/) {}
    // The run has ended, by any way out (worker thread, its last call).
    virtual void Finished(const BatchRunSummary& summary) = 0;
};

// The sink the engine reports to during a resize: cancellation and the progress arithmetic.
class BatchProgressSink final : public engine::CRSProgress {
  public:
    BatchProgressSink(IBatchReporter& reporter, const engine::StopToken& stop)
        : engine::CRSProgress(&stop), reporter_(reporter) {}
    // Before each file: a fresh count of sweeps.
    void Reset();

  protected:
    void PositionChanged(int position) override;

  private:
    IBatchReporter& reporter_;
};

// Whether writing `output` for the entry at `index` would replace the input file of a later entry
// (other than the entry's own file), which the run has not read yet: that file would be lost and
// the later entry would resize this output instead.
bool ReplacesALaterInput(const std::vector<BatchEntry>& entries, size_t index,
                         const QString& output);

// The reason logged with such a skip.
QString LaterInputReason();
// The log line for an entry whose size no image can be made at (BatchEntry::HasUsableSize).
QString NoUsableSizeReason();

struct BatchRunOptions {
    BatchSettings settings;
    // When set (a run of one entry), the output is this file instead of a name formed from the
    // settings; the settings' overwrite rule still applies.
    QString outputFile;
    // Cancel stops the file in progress too (checked between decode, resize and encode and
    // before the commit), so a cancelled file is never written. Without it a file whose resize
    // reports no progress (the standard modes) is finished, as the progress dialog documents.
    bool cancelWithinFile = false;
    // How many of the next files are read and decoded while the current one is resized and
    // written, each on a thread of its own (see source_prefetch.h); 0 reads every file at its
    // turn. The log, the reports and the outputs are the same at any number.
    int lookAhead = 2;
    // Never enlarge: an entry whose target is larger than its source (no side smaller, one
    // larger) is written at the source's size, or the input copied as it is when the output has
    // its type (and fits the size limit).
    bool noEnlarge = false;
    // The encode and writing of a file run on a thread of their own while the next file is read
    // and, with a standard algorithm, resized: two files in flight keep both cores busy. The
    // log, the reports, the outputs and what Cancel stops are the same either way.
    bool writeBeside = true;
    // A limit on each output file's size (JPEG and WebP: the highest quality that fits).
    OutputSizeLimit sizeLimit;
    // Parallel to the entries when not empty: the folder below the output folder that each
    // entry's output goes to ("" or "a/b/"), made when missing. A folder given to the command
    // line with its subfolders keeps its tree this way. Not used with the same-folder flag or an
    // output file.
    std::vector<QString> subfolders;
};

// The batch settings for the entry at index: the output folder with the entry's subfolder.
BatchSettings SettingsForEntry(const BatchRunOptions& options, size_t index);

// How many entries' outputs, named by the options, would replace the entry's own input file (the
// same file, also through links or another spelling of its path). Only Overwrite replaces; a
// one-file run names its output itself.
int OutputsReplacingTheirInputs(const std::vector<BatchEntry>& entries,
                                const BatchRunOptions& options);
// "N outputs would replace their originals."
QString ReplaceOriginalsQuestion(int count);

// What the run lets the decoder do for an entry: with the settings' fast decode, a JPEG shrunk
// while decoding to no less than twice the size the algorithm works at; otherwise a full decode.
DecodeLimit DecodeLimitFor(const BatchEntry& entry, const BatchSettings& settings);

class BatchRunner {
  public:
    // prompt: where "Can't create output folder!" goes (message boxes carry it over to the
    // user-interface thread); the log alone tells it when null.
    BatchRunner(std::vector<BatchEntry> entries, BatchRunOptions options, IBatchReporter& reporter,
                IPrompt* prompt = nullptr);
    ~BatchRunner();  // cancels a running worker and waits for it
    BatchRunner(const BatchRunner&) = delete;
    BatchRunner& operator=(const BatchRunner&) = delete;

    // Starts the worker thread.
    void Start();
    // Any thread: the run stops inside an own algorithm's resize or before the next file. Only
    // this run's token is touched; a preview or another run goes on.
    void Cancel() { stop_.RequestStop(); }
    bool CancelRequested() const { return stop_.StopRequested(); }
    // Waits for the worker to end.
    void Wait();

    bool IsRunning() const { return running_.load(); }
    int FileCounter() const { return fileCounter_.load(); }
    int Total() const { return static_cast<int>(entries_.size()); }
    // Valid once the run has ended.
    const BatchRunSummary& Summary() const { return summary_; }

  private:
    // A file made ready before its turn: read, and resized when its algorithm allows it.
    struct Prepared {
        BatchEntry entry;  // as written: under never-enlarge it may have the source's size
        bool atSourceSize = false;
        std::shared_ptr<const SourceImage> source;  // none: read failed (error), or in job
        std::optional<FileIdentity> identity;       // the file as it was read
        QString error, damage;
        BatchFileTimes times;
        std::optional<ResizeJob> job;  // resized: the job and what it made
        std::optional<ResizedOutput> made;
    };

    void Run();
    // Reads the entry at index and, with a standard algorithm, resizes it (no report yet).
    Prepared Prepare(size_t index);
    // The entry at its turn: its reports, its output's name, its resize when not made yet, and
    // its encode and writing handed on; false when the run must stop.
    bool ProcessEntry(size_t index, Prepared file);
    ResizeJob JobFor(const Prepared& file, const QString& outputPath) const;
    // Resizes the file's source for an output of outputPath's type (the source moves into the job).
    void ResizeFile(size_t index, Prepared& file, const QString& outputPath,
                    engine::CRSProgress* progress);
    // Encodes and commits the file's output, beside the worker (writeBeside) or at once; false
    // when the run must stop (known at once only without writeBeside).
    bool Write(const BatchEntry& entry, const OutputPath& out, ResizeJob job, ResizedOutput made,
               BatchFileTimes times);
    // Waits for the file being written; false when it stopped the run.
    bool FinishWriting();
    // The entry's source: read ahead, or read and decoded now, with the file's identity as read
    // (none when it changed meanwhile). None with the reason in error.
    std::optional<SourceImage> TakeSource(size_t index, const BatchEntry& entry,
                                          BatchFileTimes& times, QString& error,
                                          std::optional<FileIdentity>& identity);
    // The output path to write, or the run's answer when there is none to write (the file is
    // skipped: true; the run stops: false), reported.
    std::variant<OutputPath, bool> PlanOutput(size_t index, const BatchEntry& entry);
    // Reports the job's outcome and commits its bytes; false when the run must stop.
    bool Deliver(const BatchEntry& entry, const OutputPath& out, const ResizeJobOutcome& outcome,
                 BatchFileTimes& times);
    void SendWritten(const BatchEntry& entry, const QString& written, const BatchFileTimes& times,
                     int quality, bool copied);
    // Reads and decodes the entry at index (what LoadSourceImage does), starting the next file's
    // read ahead beside the decode when none is pending.
    std::optional<SourceImage> ReadSource(size_t index, const BatchEntry& entry,
                                          const DecodeLimit& limit, QString& error);
    // Keeps two decodes going (a JPEG decoder uses one core): at its turn a file not read ahead
    // yet (the first, or the output of an earlier file) is read on a thread of its own, and while
    // its decode is still running the next files start beside it.
    void KeepDecoding(size_t index, const BatchEntry& entry);
    // What resizing the entry will take beside its decoded pixels, from its file's header; 0
    // when the header cannot be read from the file's head.
    static std::uint64_t ResizeNeedsOf(const BatchEntry& entry);
    // Reads up to `count` entries after `index` ahead, up to the file this one writes (output),
    // which is read after it was written.
    void LookAhead(size_t index, const QString& output, std::uint64_t reserved, int count);
    // Whether a cancel stops the file in progress now.
    bool StopsWithinFile() const { return options_.cancelWithinFile && CancelRequested(); }
    // Ends the run as cancelled at a check inside a file (code 5).
    bool StopCancelled(const BatchEntry& entry, const QString& output);
    // Writes the encoded bytes under the output's name by the overwrite rule; false when the run
    // must stop. Sets `written` when the file was written (as opposed to skipped).
    bool Commit(const BatchEntry& entry, const OutputPath& out, const QByteArray& bytes,
                QString& written);
    void Send(BatchStatus code, const BatchEntry& entry, const QString& output,
              const QString& reason = {}, const QString& headline = {});

    std::vector<BatchEntry> entries_;
    BatchRunOptions options_;
    IBatchReporter& reporter_;
    IPrompt* prompt_;
    engine::StopToken stop_;
    BatchProgressSink sink_;
    SourcePrefetch prefetch_;
    size_t nextAhead_ = 0;            // the first entry not read ahead yet
    std::future<bool> writing_;       // the file being encoded and written, when writeBeside
    std::uint64_t writingBytes_ = 0;  // the memory its encode takes
    std::thread worker_;
    std::atomic<int> running_{0};
    std::atomic<int> fileCounter_{0};
    BatchRunSummary summary_;
};

}  // namespace orm
