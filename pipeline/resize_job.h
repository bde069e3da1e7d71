#pragma once
// The one way from a decoded source to the bytes of an output file, for the window's Resize and
// Save, the batch runner and the command line alike. A job is a value: the source (shared, read
// only), the target, the output path (its extension picks the format), the quality and the
// size limit. RunResizeJob applies, in this order and nowhere else:
//
// 1. the memory check: resizing and encoding must fit in what the system has, before either
//    starts;
// 2. the same-size rule: at the source's own size nothing is resampled, whatever the algorithm,
//    and the source's pixels are written in their own format (palette, grey, 16-bit, alpha), so
//    a copy loses nothing; an input whose file has the output's type may be copied as it is
//    (mayCopyInput);
// 3. the alpha rule: a transparent source keeps its alpha in outputs that hold it (its colours
//    weighted by alpha); other outputs are resized from its pixels over white;
// 4. the engine call, with cancel and out-of-memory mapped to the outcome;
// 5. the output options (imageio/output_options.h): the background under transparent pixels,
//    linear light for the standard algorithms, the conversion to sRGB after the resize, the
//    metadata policy at the encode; an input is copied as it is only when they leave it so;
// 6. the encode, within the size limit where the format's quality sets the size.
//
// The job never talks to the user and never writes the file: the caller commits the bytes by
// its own rule (the window replaces the file safely, the batch by its overwrite method).

#include "engine/progress.h"
#include "engine/stop_token.h"
#include "imageio/image_loader.h"
#include "imageio/image_saver.h"
#include "imageio/output_options.h"
#include "pipeline/output_encoding.h"
#include "settings/resize_target.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>

namespace orm {

struct ResizeJob {
    std::shared_ptr<const SourceImage> source;
    ResizeTarget target;
    QString outputPath;  // the format by its extension
    int quality = 75;    // JPEG and WebP
    OutputSizeLimit sizeLimit;
    // The input file, copied as it is when the target is the source's own size and the file has
    // the output's type (and fits the size limit); empty: always encoded.
    QString copyableInput;
    // A stop asked between the resize and the encode, or after the encode, ends the job as
    // cancelled. Without it only the own algorithms stop (inside their resize), and a job whose
    // resize has finished is encoded.
    bool stopBetweenStages = true;
    // Memory that other work of the caller is about to take and does not use yet (files read
    // ahead): the memory check counts it beside this job's own needs.
    std::uint64_t othersInFlight = 0;
    OutputOptions options;
    // The input file, whose modification time the outcome carries when options.keepTime is set
    // (read before anything is written, so an output that replaces it gets its old time).
    QString sourceFile;
};

enum class ResizeJobStatus {
    Encoded,       // bytes hold the new file
    Copied,        // bytes hold the input file as it is
    Cancelled,     // stopped by the stop token
    NoSize,        // the target has no size an image can be made at
    NoMemory,      // refused up front, or the memory ran out on the way
    ResizeFailed,  // the engine refused the resize
    TooLarge,      // even the lowest quality exceeds the size limit
    EncodeFailed,  // the encoder failed (error says why)
};

struct ResizeJobOutcome {
    ResizeJobStatus status = ResizeJobStatus::ResizeFailed;
    QByteArray bytes;
    QString error;    // EncodeFailed: the save message ("Can't save file ..." and the reason)
    QString reason;   // NoMemory and TooLarge: why, for a log
    QString note;     // Encoded: what was left out of the file (a maker note), for a log
    int quality = 0;  // the quality the size limit chose (0: none)
    // The size limit was set but the format has no quality to meet it by (the caller may warn).
    bool limitNotApplied = false;
    double resizeMs = 0;
    double encodeMs = 0;
    // With keepTime: the source's modification time, for the caller to give the written file.
    std::optional<timespec> sourceTime;

    bool HasBytes() const {
        return status == ResizeJobStatus::Encoded || status == ResizeJobStatus::Copied;
    }
};

// The bytes resizing the source (of this size) to the target and encoding the result take at
// their peak: the resize's own, or the output with the encoder's buffers, whichever is more.
// With alpha the resize carries more channels.
std::uint64_t ResizeJobMemoryBytes(QSize source, const ResizeTarget& target,
                                   const QString& outputPath, bool withAlpha, bool linear = false);

// Whether the job's resize runs in linear light: asked for, and a standard algorithm.
bool ResizesInLinearLight(const OutputOptions& options, engine::ResizeAlgorithm algorithm);

// Gives the written file the source's time when the outcome carries one; true when there was
// none to give or it was given.
bool KeepSourceTime(const ResizeJobOutcome& outcome, const QString& written);

// The memory the encode of an output of this size takes: the output with the encoder's buffers.
std::uint64_t EncodeMemoryBytes(QSize output, const QString& outputPath);

// A job's output image made and not encoded yet (rules 1 to 4), or the job's outcome when it
// ended before the encode (no size, no memory, cancelled, failed, or the input copied as it is).
struct ResizedOutput {
    std::optional<ResizeJobOutcome> ended;
    QImage image;
    SaveSource saveSource;
    std::optional<timespec> sourceTime;
    double resizeMs = 0;
};

// A job in two halves, for a caller that encodes one output while it resizes the next: the
// resize (which lets go of the source), then the encode (rules 5 and 6) to job.outputPath, which
// may have been given another name of the same type in between. RunResizeJob is the two in turn.
ResizedOutput ResizeJobImage(ResizeJob& job, const engine::StopToken& stop,
                             engine::CRSProgress* progress);
ResizeJobOutcome EncodeJobImage(const ResizeJob& job, ResizedOutput made,
                                const engine::StopToken& stop);

// Runs the job on the calling thread. progress (may be null) receives the own algorithms'
// sweeps and stops them by its stop token; stop ends the job between stages. The job's hold on
// the source ends before the encode, so a source no one else holds is freed by then.
ResizeJobOutcome RunResizeJob(ResizeJob job, const engine::StopToken& stop,
                              engine::CRSProgress* progress);

}  // namespace orm
