#pragma once
// Resize and Save as a value job: the source (shared, read only), a copy of the settings, the
// target path, a stop token the owner holds and a progress callback. It runs on any thread and
// never talks to the user; the owner reports its outcome.

#include "engine/stop_token.h"
#include "imageio/image_loader.h"
#include "imageio/output_options.h"
#include "settings/resize_settings.h"

#include <QString>

#include <functional>
#include <memory>

namespace orm {

struct ResizeSaveJob {
    std::shared_ptr<const SourceImage> source;
    ResizeSettings settings;
    QString path;
    OutputOptions options;  // colour, metadata, background, file time
    QString sourceFile;     // the file the source was read from (for its time)
};

struct ResizeSaveOutcome {
    enum class Status { Written, Cancelled, Failed };
    Status status = Status::Failed;
    QString message;  // for Failed: the text to show ("Can't save file ..." and the reason)
};

// Resizes (or, at the source's own size, copies) and writes the file safely: the existing file
// stays as it was unless the new one is complete. Stops before the encoder when `stop` is
// requested; `position` (may be empty) receives the overall progress 0..100.
ResizeSaveOutcome RunResizeSaveJob(const ResizeSaveJob& job, const engine::StopToken& stop,
                                   const std::function<void(int)>& position = {});

// Whether path can be written, without creating or changing anything there; the reason when not.
bool CheckWritableTarget(const QString& path, QString* reason);

}  // namespace orm
