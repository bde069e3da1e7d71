#include "document/preview_worker.h"

#include "engine/progress.h"
#include "engine/resize_image.h"
#include "imageio/qimage_views.h"

#include <new>

namespace orm {

QImage ComputePreviewArea(const PreviewJob& job, const engine::StopToken& stop,
                          const std::function<void(int)>& position) {
    const PreviewArea& area = job.request.area;
    const QImage& src = job.source;
    if (src.isNull() || src.format() != QImage::Format_BGR888 || area.isEmpty() ||
        !PixelRect{0, 0, src.width(), src.height()}.contains(area.source) ||
        !IsOwnAlgorithm(job.request.algorithm) || stop.StopRequested())
        return {};
    try {
        QImage out(area.target.width(), area.target.height(), QImage::Format_BGR888);
        if (out.isNull())
            return {};
        const engine::ConstBgrView whole = ConstBgrViewOf(src);
        const engine::ConstBgrView region =
            whole.Sub(area.source.left, area.source.top, area.source.width(), area.source.height());
        const engine::BgrView target = BgrViewOf(out);
        engine::ForwardingProgress progress(stop, position);
        const engine::ResizeStatus status = engine::ResizeImageInto(
            region, target, job.request.algorithm, false, &progress, job.request.sampling);
        if (status != engine::ResizeStatus::Ok)
            return {};
        return out;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

PreviewWorker::PreviewWorker(QObject* parent) : QObject(parent) {
    qRegisterMetaType<orm::PreviewResult>();
}

void PreviewWorker::Post(PreviewJob job) {
    {
        std::lock_guard lock(mutex_);
        if (running_)
            running_->RequestStop();
        pending_ = std::move(job);
    }
    QMetaObject::invokeMethod(this, &PreviewWorker::RunPending, Qt::QueuedConnection);
}

void PreviewWorker::CancelAll() {
    std::lock_guard lock(mutex_);
    if (running_)
        running_->RequestStop();
    pending_.reset();
}

bool PreviewWorker::IsComputing() const {
    std::lock_guard lock(mutex_);
    return running_ != nullptr;
}

void PreviewWorker::RunPending() {
    PreviewJob job;
    std::shared_ptr<engine::StopToken> stop;
    {
        std::lock_guard lock(mutex_);
        if (!pending_)
            return;
        job = std::move(*pending_);
        pending_.reset();
        stop = std::make_shared<engine::StopToken>();
        running_ = stop;
    }
    const quint64 generation = job.generation;
    emit jobStarted(generation);
    const std::function<void(int)> position = [this, generation](int p) {
        emit jobProgress(generation, p);
    };
    PreviewResult result{job.request, generation, ComputePreviewArea(job, *stop, position)};
    job.source = QImage();
    {
        std::lock_guard lock(mutex_);
        running_.reset();
    }
    emit jobFinished(std::move(result));
}

}  // namespace orm
