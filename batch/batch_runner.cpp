#include "batch/batch_runner.h"

#include "batch/output_naming.h"
#include "imageio/image_loader.h"
#include "imageio/image_saver.h"
#include "engine/resize_image.h"

#include <QDir>
#include <QFileInfo>

#include <chrono>
#include <new>

namespace orm {

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The decoded image as the engine's view (the loader hands out 24-bit BGR rows).
engine::ConstBgrView ViewOf(const QImage& image) {
    return {image.constBits(), image.width(), image.height(), image.bytesPerLine()};
}

}  // namespace

bool ReplacesALaterInput(const std::vector<BatchEntry>& entries, size_t index, const QString& output) {
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

QString LaterInputReason() {
    return QStringLiteral("it is the input of a later file of this run and is left as it is");
}

void BatchProgressSink::PositionChanged(int position) { reporter_.Progress(position); }

void BatchProgressSink::Reset() {
    passes = 1;
    wraps = 0;
    last = 0;
}

BatchRunner::BatchRunner(std::vector<BatchEntry> entries, BatchRunOptions options, IBatchReporter& reporter,
                         IPrompt* prompt)
    : entries_(std::move(entries)), options_(std::move(options)), reporter_(reporter), prompt_(prompt),
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

void BatchRunner::Send(BatchStatus code, const BatchEntry& entry, const QString& output, const QString& reason) {
    sink_.Reset();
    BatchReport report;
    report.code = code;
    report.fileNumber = fileCounter_.load();
    report.total = Total();
    report.entry = entry;
    report.outputPath = output;
    report.reason = reason;
    reporter_.Report(report);
}

void BatchRunner::Run() {
    running_.store(1);
    fileCounter_.store(0);
    summary_ = {};
    for (const BatchEntry& entry : entries_) {
        if (CancelRequested()) {
            summary_.cancelled = true;
            break;
        }
        fileCounter_.fetch_add(1);
        if (!ProcessEntry(entry))
            break;
    }
    if (!summary_.cancelled && summary_.stoppedBy == BatchStatus::Cancelled && CancelRequested())
        summary_.cancelled = true;
    running_.store(0);
    reporter_.Finished(summary_);
}

bool BatchRunner::ProcessEntry(const BatchEntry& entry) {
    BatchFileTimes times;
    auto start = Clock::now();
    QString error;
    std::optional<SourceImage> source = LoadSourceImage(entry.path, &error);
    times.decodeMs = MsSince(start);
    if (!source) {
        ++summary_.failed;
        Send(BatchStatus::CantOpenInput, entry, {}, error);
        return true;
    }

    const OutputPath out =
        options_.outputFile.isEmpty()
            ? MakeBatchOutputPath(entry.path, entry.targetWidth, entry.targetHeight, options_.settings)
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
            Send(BatchStatus::CantWrite, entry, out.path, QStringLiteral("every numbered name is taken"));
            return false;
        case OutputDecision::Write:
            break;
    }
    // Never replace a file that a later entry still has to read.
    if (QFileInfo::exists(out.path) &&
        ReplacesALaterInput(entries_, static_cast<size_t>(fileCounter_.load() - 1), out.path)) {
        ++summary_.skipped;
        Send(BatchStatus::Skipped, entry, out.path, LaterInputReason());
        return true;
    }

    Send(BatchStatus::Processing, entry, out.path);

    if (entry.targetWidth < 1 || entry.targetHeight < 1 || entry.targetWidth > kMaxPixels ||
        entry.targetHeight > kMaxPixels) {
        ++summary_.failed;
        Send(BatchStatus::CantCreateImage, entry, out.path, QStringLiteral("the entry has no usable size"));
        return true;
    }

    start = Clock::now();
    engine::ResizeOutcome resized;
    try {
        const bool crop = entry.correction == static_cast<int32_t>(CorrectionMode::Crop);
        resized = engine::ResizeImage(ViewOf(source->image), entry.targetWidth, entry.targetHeight,
                                      entry.algorithm, crop, &sink_);
    } catch (const std::bad_alloc&) {
        resized.status = engine::ResizeStatus::OutOfMemory;
    }
    times.resizeMs = MsSince(start);
    if (resized.status == engine::ResizeStatus::OutOfMemory) {
        ++summary_.failed;
        Send(BatchStatus::CantCreateImage, entry, out.path, QStringLiteral("not enough memory"));
        return true;
    }
    if (resized.status != engine::ResizeStatus::Ok) {
        summary_.stoppedBy = BatchStatus::Cancelled;
        Send(BatchStatus::Cancelled, entry, out.path);
        return false;
    }

    start = Clock::now();
    const engine::BgrImage& pixels = resized.image;
    const QImage output(pixels.Row(0), pixels.Width(), pixels.Height(), pixels.Stride(), QImage::Format_BGR888);
    SaveOptions saveOptions;
    saveOptions.dpi = entry.resolution;
    saveOptions.jpegQuality = options_.settings.jpegQuality;
    const bool saved = SaveImage(output, out.path, *source, saveOptions, &error);
    times.encodeMs = MsSince(start);
    if (!saved) {
        summary_.stoppedBy = BatchStatus::CantWrite;
        // The save message names the file on its first line (the log names it already) and the
        // system's reason after it.
        const QString reason = error.section(QLatin1Char('\n'), 1);
        Send(BatchStatus::CantWrite, entry, out.path,
             !reason.isEmpty() ? reason : error.isEmpty() ? UnwritableOutputReason(out.path) : error);
        return false;
    }
    ++summary_.written;
    BatchReport done;
    done.code = BatchStatus::Processing;
    done.fileNumber = fileCounter_.load();
    done.total = Total();
    done.entry = entry;
    done.outputPath = out.path;
    reporter_.Written(done, times);
    return true;
}

}  // namespace orm
