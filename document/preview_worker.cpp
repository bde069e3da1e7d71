#include "document/preview_worker.h"

#include "engine/progress.h"
#include "engine/resize_image.h"

#include <chrono>
#include <new>

namespace orm {
namespace {

// The worker's progress sink: the status-bar progress of every preview job, and a stop as soon
// as a newer job exists (besides the process-wide cancel flag the base class honours).
class PreviewProgress : public engine::CRSProgress {
public:
    PreviewProgress(const std::atomic<quint64>& latest, quint64 mine) : latest_(latest), mine_(mine) {}
    int ReportProgress(int value) override {
        if (latest_.load(std::memory_order_relaxed) != mine_)
            return 0;
        return engine::CRSProgress::ReportProgress(value);
    }

private:
    const std::atomic<quint64>& latest_;
    quint64 mine_;
};

}  // namespace

QImage ComputePreviewArea(const PreviewJob& job, const std::atomic<quint64>& latestGeneration) {
    engine::cancelPreview.store(0);
    const PreviewArea& area = job.request.area;
    const QImage& src = job.source;
    if (src.isNull() || src.format() != QImage::Format_BGR888 || area.isEmpty() ||
        !PixelRect{0, 0, src.width(), src.height()}.contains(area.source) ||
        !IsOwnAlgorithm(job.request.algorithm))
        return {};
    if (latestGeneration.load() != job.generation)
        return {};
    try {
        QImage out(area.target.width(), area.target.height(), QImage::Format_BGR888);
        if (out.isNull())
            return {};
        const engine::ConstBgrView whole(src.constBits(), src.width(), src.height(), src.bytesPerLine());
        const engine::ConstBgrView region =
            whole.Sub(area.source.left, area.source.top, area.source.width(), area.source.height());
        const engine::BgrView target{out.bits(), out.width(), out.height(), out.bytesPerLine()};
        PreviewProgress progress(latestGeneration, job.generation);
        const engine::ResizeStatus status =
            engine::ResizeImageInto(region, target, job.request.algorithm, false, &progress);
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
        latestGeneration_.store(job.generation);
        pending_ = std::move(job);
    }
    QMetaObject::invokeMethod(this, &PreviewWorker::RunPending, Qt::QueuedConnection);
}

void PreviewWorker::CancelAll() {
    std::lock_guard lock(mutex_);
    pending_.reset();
    // Generation 0 is never posted, so no job is the newest any more.
    latestGeneration_.store(0);
}

bool PreviewWorker::WaitIdle(int ms) {
    std::unique_lock lock(mutex_);
    return idleChanged_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return !computing_; });
}

bool PreviewWorker::IsComputing() const {
    std::lock_guard lock(mutex_);
    return computing_;
}

void PreviewWorker::RunPending() {
    PreviewJob job;
    {
        std::lock_guard lock(mutex_);
        if (!pending_)
            return;
        job = std::move(*pending_);
        pending_.reset();
        computing_ = true;
    }
    emit jobStarted(job.generation);
    PreviewResult result{job.request, job.generation, ComputePreviewArea(job, latestGeneration_)};
    job.source = QImage();
    {
        std::lock_guard lock(mutex_);
        computing_ = false;
    }
    idleChanged_.notify_all();
    emit jobFinished(std::move(result));
}

}  // namespace orm
