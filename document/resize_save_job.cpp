#include "document/resize_save_job.h"

#include "engine/progress.h"
#include "engine/resize_image.h"
#include "imageio/image_saver.h"
#include "imageio/transparency.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <new>

namespace orm {
namespace {

// The source at its own size, in its own pixel format where the decoded pixels still hold it
// exactly (grey images); everything else is written as 24-bit colour.
QImage SameSizeOutput(const SourceImage& source) {
    if (source.fileFormat == QImage::Format_Grayscale8)
        return source.image.convertToFormat(QImage::Format_Grayscale8);
    return source.image;
}

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
    const ResizeSettings& s = job.settings;
    const SourceImage& source = *job.source;
    QImage output;
    if (source.width() == s.width && source.height() == s.height) {
        output = SameSizeOutput(source);
    } else {
        try {
            engine::ForwardingProgress progress(stop, position);
            QImage resized;
            engine::ResizeStatus status;
            if (ResizesWithAlpha(source, job.path)) {
                AlphaResizeResult withAlpha = ResizeSourceWithAlpha(
                    source, s.width, s.height, s.algorithm, s.cropFlag(), &progress);
                status = withAlpha.status;
                resized = std::move(withAlpha.image);
            } else {
                resized = QImage(s.width, s.height, QImage::Format_BGR888);
                if (resized.isNull())
                    throw std::bad_alloc();
                const QImage& src = source.image;
                const engine::ConstBgrView from(src.constBits(), src.width(), src.height(),
                                                src.bytesPerLine());
                const engine::BgrView to{resized.bits(), resized.width(), resized.height(),
                                         resized.bytesPerLine()};
                status = engine::ResizeImageInto(from, to, s.algorithm, s.cropFlag(), &progress);
            }
            if (status == engine::ResizeStatus::OutOfMemory)
                throw std::bad_alloc();
            if (status == engine::ResizeStatus::Cancelled)
                return {ResizeSaveOutcome::Status::Cancelled, {}};
            if (status != engine::ResizeStatus::Ok)
                return Failed(CantSaveFileMessage(job.path));
            output = std::move(resized);
        } catch (const std::bad_alloc&) {
            return Failed(CantSaveFileMessage(job.path) + QStringLiteral("\nNot enough memory."));
        }
    }
    // A standard mode cannot stop midway; a stop asked meanwhile still keeps the file as it was.
    if (stop.StopRequested())
        return {ResizeSaveOutcome::Status::Cancelled, {}};
    QString error;
    if (!SaveImage(output, job.path, source, SaveOptions{s.dpi, s.jpegQuality}, &error))
        return Failed(error);
    return {ResizeSaveOutcome::Status::Written, {}};
}

}  // namespace orm
