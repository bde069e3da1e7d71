#include "document/resize_save_job.h"

#include "engine/progress.h"
#include "imageio/image_saver.h"
#include "imageio/safe_file_writer.h"
#include "pipeline/resize_job.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace orm {
namespace {

ResizeSaveOutcome Failed(QString message) {
    return {ResizeSaveOutcome::Status::Failed, std::move(message)};
}

}  // namespace

bool CheckWritableTarget(const QString& path, QString* reason) {
    const QFileInfo info(path);
    if (info.exists()) {
        if (info.isDir()) {
            *reason = QStringLiteral("The path is a folder.");
            return false;
        }
        QFile file(path);
        if (!file.open(QIODevice::ReadWrite)) {
            *reason = file.errorString();
            return false;
        }
        return true;
    }
    const QDir dir = info.absoluteDir();
    if (!dir.exists()) {
        *reason = QStringLiteral("The folder does not exist.");
        return false;
    }
    QTemporaryFile probe(dir.filePath(QStringLiteral(".ormensura-XXXXXX")));
    if (!probe.open()) {
        *reason = probe.errorString();
        return false;
    }
    return true;
}

ResizeSaveOutcome RunResizeSaveJob(const ResizeSaveJob& job, const engine::StopToken& stop,
                                   const std::function<void(int)>& position) {
    if (!job.source || job.path.isEmpty())
        return Failed(CantSaveFileMessage(job.path));
    ResizeJob resize;
    resize.source = job.source;
    resize.target = job.settings.Target();
    resize.outputPath = job.path;
    resize.quality = job.settings.jpegQuality;
    resize.options = job.options;
    resize.sourceFile = job.sourceFile;
    engine::ForwardingProgress progress(stop, position);
    ResizeJobOutcome outcome = RunResizeJob(resize, stop, &progress);
    switch (outcome.status) {
        case ResizeJobStatus::Encoded:
        case ResizeJobStatus::Copied:
            break;
        case ResizeJobStatus::Cancelled:
            return {ResizeSaveOutcome::Status::Cancelled, {}};
        case ResizeJobStatus::NoMemory:
            return Failed(CantSaveFileMessage(job.path) + QStringLiteral("\nNot enough memory."));
        case ResizeJobStatus::EncodeFailed:
            return Failed(outcome.error.isEmpty() ? CantSaveFileMessage(job.path) : outcome.error);
        case ResizeJobStatus::NoSize:
        case ResizeJobStatus::ResizeFailed:
        case ResizeJobStatus::TooLarge:
            return Failed(CantSaveFileMessage(job.path));
    }
    QString reason;
    if (!WriteFileSafely(job.path, outcome.bytes, &reason)) {
        QString message = CantSaveFileMessage(job.path);
        if (!reason.isEmpty())
            message += QLatin1Char('\n') + reason;
        return Failed(message);
    }
    KeepSourceTime(outcome, job.path);  // the file is written even when its time is not
    return {ResizeSaveOutcome::Status::Written, {}};
}

}  // namespace orm
