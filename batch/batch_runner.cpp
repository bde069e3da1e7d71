#include "batch/batch_runner.h"

#include "batch/output_naming.h"
#include "imageio/damage_check.h"
#include "imageio/file_reader.h"
#include "imageio/image_file_types.h"
#include "imageio/image_loader.h"
#include "imageio/memory_needs.h"
#include "imageio/native_path.h"
#include "imageio/output_formats.h"
#include "imageio/safe_file_writer.h"
#include "imageio/transparency.h"
#include "pipeline/resize_job.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <variant>

#include <sys/stat.h>

namespace orm {

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

BatchSettings SettingsForEntry(const BatchRunOptions& options, size_t index) {
    BatchSettings settings = options.settings;
    if (index < options.subfolders.size() && settings.sameFolder == 0 &&
        !settings.outputFolder.isEmpty()) {
        if (!settings.outputFolder.endsWith(QLatin1Char('/')))
            settings.outputFolder += QLatin1Char('/');
        settings.outputFolder += options.subfolders[index];
    }
    return settings;
}

namespace {

// Whether two paths name one existing file (its device and inode).
bool SameFile(const QString& a, const QString& b) {
    struct stat sa {};
    struct stat sb {};
    return ::stat(QFile::encodeName(a).constData(), &sa) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

}  // namespace

int OutputsReplacingTheirInputs(const std::vector<BatchEntry>& entries,
                                const BatchRunOptions& options) {
    if (options.settings.method() != OverwriteMethod::Overwrite || !options.outputFile.isEmpty())
        return 0;
    int count = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        const BatchEntry& e = entries[i];
        const OutputPath out =
            MakeBatchOutputPath(e.path, e.width, e.height, SettingsForEntry(options, i));
        if (out.decision == OutputDecision::Write && SameFile(out.path, e.path))
            ++count;
    }
    return count;
}

QString ReplaceOriginalsQuestion(int count) {
    return count == 1 ? QStringLiteral("1 output would replace its original.")
                      : QStringLiteral("%1 outputs would replace their originals.").arg(count);
}

DecodeLimit DecodeLimitFor(const BatchEntry& entry, const BatchSettings& settings) {
    if (settings.fastDecode == 0 || !entry.HasUsableSize())
        return {};
    // The size the algorithm works at (the target, or in Crop mode the box that covers it): the
    // decoder never goes below it in either direction, and the algorithm then reduces by less
    // than 2x, which High Quality Bicubic and the own algorithms handle.
    return {entry.width, entry.height, entry.cropFlag()};
}

bool ReplacesALaterInput(const std::vector<BatchEntry>& entries, size_t index,
                         const QString& output) {
    if (index >= entries.size())
        return false;
    const QString target = QDir::cleanPath(output);
    if (target == QDir::cleanPath(entries[index].path))
        return false;
    for (size_t i = index + 1; i < entries.size(); ++i)
        if (QDir::cleanPath(entries[i].path) == target)
            return true;
    return false;
}

QString RunSummaryText(const BatchRunSummary& summary) {
    const QString head = summary.cancelled   ? QStringLiteral("Batch cancelled")
                         : summary.stoppedBy ? QStringLiteral("Batch stopped")
                                             : QStringLiteral("Batch");
    return QStringLiteral("%1: %2 written, %3 skipped, %4 failed")
        .arg(head)
        .arg(summary.written)
        .arg(summary.skipped)
        .arg(summary.failed);
}

QString NoUsableSizeReason() {
    return QStringLiteral("No size set for this entry");
}

QString LaterInputReason() {
    return QStringLiteral("it is the input of a later file of this run and is left as it is");
}

void BatchProgressSink::PositionChanged(int position) {
    reporter_.Progress(position);
}

void BatchProgressSink::Reset() {
    passes = 1;
    wraps = 0;
    last = 0;
}

BatchRunner::BatchRunner(std::vector<BatchEntry> entries, BatchRunOptions options,
                         IBatchReporter& reporter, IPrompt* prompt)
    : entries_(std::move(entries)),
      options_(std::move(options)),
      reporter_(reporter),
      prompt_(prompt),
      sink_(reporter, stop_) {}

BatchRunner::~BatchRunner() {
    if (worker_.joinable()) {
        Cancel();
        worker_.join();
    }
}

void BatchRunner::Start() {
    if (worker_.joinable())
        return;
    running_.store(1);
    worker_ = std::thread([this] { Run(); });
}

void BatchRunner::Wait() {
    if (worker_.joinable())
        worker_.join();
}

void BatchRunner::Send(BatchStatus code, const BatchEntry& entry, const QString& output,
                       const QString& reason, const QString& headline) {
    sink_.Reset();
    BatchReport report;
    report.code = code;
    report.fileNumber = fileCounter_.load();
    report.total = Total();
    report.entry = entry;
    report.outputPath = output;
    report.reason = reason;
    report.headline = headline;
    reporter_.Report(report);
}

void BatchRunner::Run() {
    running_.store(1);
    fileCounter_.store(0);
    nextAhead_ = 0;
    summary_ = {};
    bool stopped = false, cancelled = false;
    for (size_t index = 0; index < entries_.size(); ++index) {
        if (CancelRequested()) {
            cancelled = true;
            break;
        }
        // The file is read (and resized) while the one before it is encoded and written.
        const bool besideWriting = writing_.valid();
        Prepared file = Prepare(index);
        if (!FinishWriting()) {
            stopped = true;
            break;
        }
        if (CancelRequested()) {
            cancelled = true;
            break;
        }
        // What was read while the file before was written is used only when that file's output
        // left it as it was; otherwise it is read again now, as a run of one file after the
        // other reads it.
        if (besideWriting && (!file.identity || IdentityOf(file.entry.path) != file.identity))
            file = Prepare(index);
        fileCounter_.fetch_add(1);
        if (!ProcessEntry(index, std::move(file))) {
            stopped = true;
            break;
        }
    }
    if (!FinishWriting())
        stopped = true;
    if (cancelled && !stopped)
        summary_.cancelled = true;
    if (!summary_.cancelled && summary_.stoppedBy == BatchStatus::Cancelled && CancelRequested())
        summary_.cancelled = true;
    running_.store(0);
    reporter_.Finished(summary_);
    prefetch_.Discard();  // files read ahead for a run that ended are dropped
}

void BatchRunner::LookAhead(size_t index, const QString& output, std::uint64_t reserved,
                            int count) {
    if (count <= 0)
        return;
    const size_t last = std::min(entries_.size(), index + 1 + size_t(count));
    for (nextAhead_ = std::max(nextAhead_, index + 1); nextAhead_ < last; ++nextAhead_) {
        const BatchEntry& next = entries_[nextAhead_];
        // This file's output: the run reads it only after writing it (and the files after it
        // later as well, so the read aheads stay in the run's order).
        if (QDir::cleanPath(next.path) == QDir::cleanPath(output))
            return;
        prefetch_.Start(nextAhead_, next.path, DecodeLimitFor(next, options_.settings), reserved,
                        &stop_);
    }
}

std::optional<SourceImage> BatchRunner::ReadSource(size_t index, const BatchEntry& entry,
                                                   const DecodeLimit& limit, QString& error) {
    QByteArray bytes;
    if (!ReadWholeFile(entry.path, bytes, &error))
        return std::nullopt;
    // With nothing read ahead (the first file, or the one after a file that was not read ahead)
    // the next file is read beside this one's decode, with what this file needs kept free. Its
    // output is not known yet: a file it replaces is read again at its turn (source_prefetch.h).
    if (options_.lookAhead > 0 && prefetch_.Pending() == 0) {
        const std::optional<ImageHeader> header = ReadImageHeader(bytes);
        if (header && header->size.isValid()) {
            const int w = header->size.width(), h = header->size.height();
            const std::uint64_t decode = EstimatedDecodeBytes(w, h, header->format);
            const std::uint64_t work =
                entry.HasUsableSize()
                    ? ResizeJobMemoryBytes(header->size, entry, entry.path, /*withAlpha=*/true)
                    : 0;
            LookAhead(index, {}, decode + work + std::uint64_t(bytes.size()), 1);
        }
    }
    return DecodeSourceImage(bytes, &error, limit);
}

bool BatchRunner::StopCancelled(const BatchEntry& entry, const QString& output) {
    summary_.stoppedBy = BatchStatus::Cancelled;
    summary_.cancelled = true;
    Send(BatchStatus::Cancelled, entry, output);
    return false;
}

std::uint64_t BatchRunner::ResizeNeedsOf(const BatchEntry& entry) {
    QByteArray head;
    bool whole = false;
    if (!entry.HasUsableSize() || !ReadFileHead(entry.path, head, kHeaderProbeBytes, &whole))
        return 0;
    const std::optional<ImageHeader> header = ReadImageHeader(head);
    if (!header || !header->size.isValid())
        return 0;
    return ResizeJobMemoryBytes(header->size, entry, entry.path, /*withAlpha=*/true);
}

void BatchRunner::KeepDecoding(size_t index, const BatchEntry& entry) {
    if (options_.lookAhead <= 0)
        return;
    if (nextAhead_ <= index) {
        // Nothing is held for the run at a file's turn: the file before it is done with.
        prefetch_.Start(index, entry.path, DecodeLimitFor(entry, options_.settings), 0, &stop_);
        nextAhead_ = index + 1;
    }
    if (prefetch_.StillReading(index))
        LookAhead(index, {}, ResizeNeedsOf(entry), options_.lookAhead);
}

std::optional<SourceImage> BatchRunner::TakeSource(size_t index, const BatchEntry& entry,
                                                   BatchFileTimes& times, QString& error,
                                                   std::optional<FileIdentity>& identity) {
    const DecodeLimit limit = DecodeLimitFor(entry, options_.settings);
    KeepDecoding(index, entry);
    std::optional<SourceImage> source =
        prefetch_.Take(index, entry.path, limit, &times.decodeMs, &identity);
    if (!source) {
        const auto start = Clock::now();
        identity = IdentityOf(entry.path);
        source = ReadSource(index, entry, limit, error);
        if (IdentityOf(entry.path) != identity)
            identity.reset();
        times.decodeMs = MsSince(start);
    }
    return source;
}

std::variant<OutputPath, bool> BatchRunner::PlanOutput(size_t index, const BatchEntry& entry) {
    const BatchSettings settings = SettingsForEntry(options_, index);
    // A subfolder of the tree is made under an output folder that exists; a missing output
    // folder stops the run as always. A link in the tree is this file's failure.
    if (options_.outputFile.isEmpty() && settings.outputFolder != options_.settings.outputFolder &&
        IsFolder(options_.settings.outputFolder)) {
        const QString why =
            MakeSubfolderBeneath(options_.settings.outputFolder, options_.subfolders[index]);
        if (!why.isEmpty()) {
            ++summary_.failed;
            Send(BatchStatus::CantCreateImage, entry, settings.outputFolder, why,
                 QStringLiteral("Can't make the output folder"));
            return true;
        }
    }
    const OutputPath out =
        options_.outputFile.isEmpty()
            ? MakeBatchOutputPath(entry.path, entry.width, entry.height, settings)
            : DecideOutputPath(options_.outputFile, options_.settings.method());
    switch (out.decision) {
        case OutputDecision::FolderMissing:
            if (prompt_)
                prompt_->Message(CantCreateOutputFolderText());
            summary_.stoppedBy = BatchStatus::NoOutputFolder;
            Send(BatchStatus::NoOutputFolder, entry, {}, out.folder);
            return false;
        case OutputDecision::Skip:
            ++summary_.skipped;
            Send(BatchStatus::Skipped, entry, out.path);
            return true;
        case OutputDecision::NoFreeName:
            summary_.stoppedBy = BatchStatus::CantWrite;
            Send(BatchStatus::CantWrite, entry, out.path,
                 QStringLiteral("every numbered name is taken"));
            return false;
        case OutputDecision::Write:
            break;
    }
    // A name too long to be made fails this file alone.
    if (const QString why = UnmakeableNameReason(out.path); !why.isEmpty()) {
        ++summary_.failed;
        Send(BatchStatus::CantCreateImage, entry, out.path, why,
             QStringLiteral("Can't make the output file name"));
        return true;
    }
    // Never replace a file that a later entry still has to read.
    if (PathEntryExists(out.path) && ReplacesALaterInput(entries_, index, out.path)) {
        ++summary_.skipped;
        Send(BatchStatus::Skipped, entry, out.path, LaterInputReason());
        return true;
    }
    return out;
}

ResizeJob BatchRunner::JobFor(const Prepared& file, const QString& outputPath) const {
    const BatchEntry& entry = file.entry;
    ResizeJob job;
    job.target = entry.Target();
    job.outputPath = outputPath;
    job.quality = options_.settings.jpegQuality;
    job.sizeLimit = options_.sizeLimit;
    job.stopBetweenStages = options_.cancelWithinFile;
    job.options = OutputOptionsOf(options_.settings);
    job.sourceFile = entry.path;
    if (file.atSourceSize)
        job.copyableInput = entry.path;
    job.source = file.source;
    return job;
}

void BatchRunner::ResizeFile(size_t index, Prepared& file, const QString& outputPath,
                             engine::CRSProgress* progress) {
    file.job = JobFor(file, outputPath);
    file.source.reset();
    ResizeJob& job = *file.job;
    const bool withAlpha = ResizesWithAlpha(*job.source, outputPath);
    const std::uint64_t needs = ResizeJobMemoryBytes(job.source->image.size(), file.entry,
                                                     outputPath, withAlpha, job.options.linear);
    job.othersInFlight = prefetch_.InFlightBytes() + writingBytes_;
    // The next files are read while this one is resized and written.
    LookAhead(index, outputPath, needs, options_.lookAhead);
    file.made = ResizeJobImage(job, stop_, progress);
}

BatchRunner::Prepared BatchRunner::Prepare(size_t index) {
    Prepared file;
    const BatchEntry& given = entries_[index];
    file.entry = given;
    std::optional<SourceImage> source =
        TakeSource(index, given, file.times, file.error, file.identity);
    if (!source)
        return file;
    // From here on the entry is the one written: under never-enlarge it may have the source's
    // size, which its log entry and its name show.
    file.atSourceSize = options_.noEnlarge && EnlargesSource(given, source->FileSize());
    if (file.atSourceSize)
        file.entry = AtSourceSize(given, source->FileSize());
    file.damage = source->damage;
    file.source = std::make_shared<const SourceImage>(std::move(*source));
    // A standard algorithm (which reports no progress) resizes now, beside the encode of the
    // file before; its output's name is chosen at its turn and has the type of the name it
    // would have now. The own algorithms resize at their turn, with their progress shown.
    if (options_.writeBeside && options_.outputFile.isEmpty() && file.entry.HasUsableSize() &&
        !IsOwnAlgorithm(file.entry.algorithm)) {
        const QString likely =
            MakeBatchOutputPath(file.entry.path, file.entry.width, file.entry.height,
                                SettingsForEntry(options_, index),
                                [](const QString& p) { return p.endsWith('/'); })
                .path;
        ResizeFile(index, file, likely, nullptr);
    }
    return file;
}

bool BatchRunner::ProcessEntry(size_t index, Prepared file) {
    const BatchEntry& entry = file.entry;
    if (!file.source && !file.job) {
        ++summary_.failed;
        Send(BatchStatus::CantOpenInput, entry, {}, file.error);
        return true;
    }
    if (StopsWithinFile())
        return StopCancelled(entry, {});
    const std::variant<OutputPath, bool> planned = PlanOutput(index, entry);
    if (const bool* goOn = std::get_if<bool>(&planned))
        return *goOn;
    const OutputPath& out = std::get<OutputPath>(planned);

    Send(BatchStatus::Processing, entry, out.path);
    if (!file.damage.isEmpty()) {
        ++summary_.damaged;
        reporter_.Warning(DamagedFileWarning(entry.path, file.damage));
    }
    if (!entry.HasUsableSize()) {
        ++summary_.failed;
        Send(BatchStatus::CantCreateImage, entry, out.path, {}, NoUsableSizeReason());
        return true;
    }
    // A file resized ahead is written under its name now; one whose resize ahead did not make an
    // output (memory was short beside the file before, say) is resized again at its turn.
    const bool madeAhead =
        file.job && OutputFormatForPath(file.job->outputPath) == OutputFormatForPath(out.path) &&
        (!file.made->ended || file.made->ended->status == ResizeJobStatus::Copied);
    if (!madeAhead && file.job && file.job->source)
        file.source = file.job->source;
    if (madeAhead || !file.source)
        file.job->outputPath = out.path;
    else
        ResizeFile(index, file, out.path, &sink_);
    return Write(entry, out, std::move(*file.job), std::move(*file.made), file.times);
}

bool BatchRunner::Write(const BatchEntry& entry, const OutputPath& out, ResizeJob job,
                        ResizedOutput made, BatchFileTimes times) {
    const std::uint64_t bytes = made.ended ? 0 : EncodeMemoryBytes(made.image.size(), out.path);
    auto deliver = [this, entry, out, job = std::move(job), made = std::move(made),
                    times]() mutable {
        const ResizeJobOutcome outcome = EncodeJobImage(job, std::move(made), stop_);
        times.resizeMs = outcome.resizeMs;
        times.encodeMs = outcome.encodeMs;
        return Deliver(entry, out, outcome, times);
    };
    if (!options_.writeBeside)
        return deliver();
    writingBytes_ = bytes;
    writing_ = std::async(std::launch::async, std::move(deliver));
    return true;
}

bool BatchRunner::FinishWriting() {
    if (!writing_.valid())
        return true;
    writingBytes_ = 0;
    return writing_.get();
}

bool BatchRunner::Deliver(const BatchEntry& entry, const OutputPath& out,
                          const ResizeJobOutcome& outcome, BatchFileTimes& times) {
    if (outcome.limitNotApplied)
        reporter_.Warning(LimitNotAppliedWarning(out.path));
    if (!outcome.note.isEmpty() && outcome.HasBytes())
        reporter_.Warning(QStringLiteral("warning: %1: %2").arg(out.path, outcome.note));
    switch (outcome.status) {
        case ResizeJobStatus::Encoded:
        case ResizeJobStatus::Copied:
            break;
        case ResizeJobStatus::NoSize:
        case ResizeJobStatus::TooLarge:
            // Not about memory: the reason is the log's own first line.
            ++summary_.failed;
            Send(BatchStatus::CantCreateImage, entry, out.path, {},
                 outcome.status == ResizeJobStatus::NoSize ? NoUsableSizeReason() : outcome.reason);
            return true;
        case ResizeJobStatus::NoMemory:
            ++summary_.failed;
            Send(BatchStatus::CantCreateImage, entry, out.path, outcome.reason);
            return true;
        case ResizeJobStatus::Cancelled:
            return StopCancelled(entry, out.path);
        case ResizeJobStatus::ResizeFailed:
            summary_.stoppedBy = BatchStatus::Cancelled;
            Send(BatchStatus::Cancelled, entry, out.path);
            return false;
        case ResizeJobStatus::EncodeFailed: {
            summary_.stoppedBy = BatchStatus::CantWrite;
            // The save message names the file on its first line (the log names it already) and
            // the system's reason after it.
            const QString& error = outcome.error;
            const QString reason = error.section(QLatin1Char('\n'), 1);
            Send(BatchStatus::CantWrite, entry, out.path,
                 !reason.isEmpty() ? reason
                 : error.isEmpty() ? UnwritableOutputReason(out.path)
                                   : error);
            return false;
        }
    }
    if (StopsWithinFile())
        return StopCancelled(entry, out.path);
    const auto start = Clock::now();
    QString written;
    const bool goOn = Commit(entry, out, outcome.bytes, written);
    if (!written.isEmpty() && !KeepSourceTime(outcome, written))
        reporter_.Warning(
            QStringLiteral("warning: %1: the source's time could not be given to it").arg(written));
    times.encodeMs += MsSince(start);
    if (!written.isEmpty())
        SendWritten(entry, written, times, outcome.quality,
                    outcome.status == ResizeJobStatus::Copied);
    return goOn;
}

void BatchRunner::SendWritten(const BatchEntry& entry, const QString& written,
                              const BatchFileTimes& times, int quality, bool copied) {
    ++summary_.written;
    BatchReport done;
    done.code = BatchStatus::Processing;
    done.fileNumber = fileCounter_.load();
    done.total = Total();
    done.entry = entry;
    done.outputPath = written;
    done.quality = quality;
    done.copied = copied;
    reporter_.Written(done, times);
}

bool BatchRunner::Commit(const BatchEntry& entry, const OutputPath& out, const QByteArray& bytes,
                         QString& written) {
    const OverwriteMethod method = options_.settings.method();
    SafeFileWriter writer(out.path, method == OverwriteMethod::Overwrite
                                        ? ExistingTarget::Replace
                                        : ExistingTarget::KeepExisting);
    QString reason;
    auto cantWrite = [&](const QString& path) {
        summary_.stoppedBy = BatchStatus::CantWrite;
        Send(BatchStatus::CantWrite, entry, path, reason);
        return false;
    };
    if (!writer.Open(&reason) || !writer.Write(bytes, &reason))
        return cantWrite(out.path);
    // Each round another writer took the name just chosen; a bound keeps a pathological folder
    // from holding the run forever.
    constexpr int kMaxRounds = 1000;
    for (int round = 0;; ++round) {
        if (round == kMaxRounds) {
            reason = QStringLiteral("every name chosen was taken before the file could be written");
            return cantWrite(writer.Target());
        }
        const CommitResult result = writer.Commit(&reason);
        if (result == CommitResult::Written)
            break;
        if (result == CommitResult::Failed)
            return cantWrite(writer.Target());
        // Something took the name while this file was being made; it stays as it is.
        if (method == OverwriteMethod::Skip) {
            ++summary_.skipped;
            Send(BatchStatus::Skipped, entry, writer.Target(),
                 QStringLiteral("the file appeared while this one was being made"));
            return true;
        }
        const OutputPath next = DecideOutputPath(out.candidate, OverwriteMethod::Unique);
        if (next.decision == OutputDecision::FolderMissing) {
            reason = SystemErrorText(ENOENT);
            return cantWrite(writer.Target());
        }
        if (next.decision != OutputDecision::Write) {
            reason = QStringLiteral("every numbered name is taken");
            return cantWrite(writer.Target());
        }
        writer.SetTarget(next.path);
    }
    written = writer.Target();
    if (written != out.path)
        reporter_.Warning(
            QStringLiteral(
                "warning: %1 appeared while the file was being made; written as %2 instead")
                .arg(out.path, written));
    return true;
}

}  // namespace orm
