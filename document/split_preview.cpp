#include "document/split_preview.h"

#include "document/preview_render.h"
#include "document/preview_worker.h"

#include <QThread>

namespace orm {

namespace {

// Longest wait for the worker when the split view goes (its job is stopped first).
constexpr int kSplitExitWaitMs = 5000;

}  // namespace

SplitPreview::SplitPreview(QObject* parent) : QObject(parent) {
    thread_ = new QThread;
    thread_->setObjectName(QStringLiteral("split preview worker"));
    worker_ = new PreviewWorker;
    worker_->moveToThread(thread_);
    connect(worker_, &PreviewWorker::jobFinished, this, &SplitPreview::OnFinished,
            Qt::QueuedConnection);
    thread_->start();
}

SplitPreview::~SplitPreview() {
    worker_->CancelAll();
    thread_->quit();
    if (thread_->wait(kSplitExitWaitMs)) {
        delete worker_;
        delete thread_;
    }
    // Otherwise the job is inside a step that cannot stop; it holds its own copy of the source.
}

void SplitPreview::Clear() {
    worker_->CancelAll();
    ++generation_;  // a result still on its way is dropped
    image_ = QImage();
    request_ = PreviewRequest{};
    sourceKey_ = 0;
    exact_ = false;
}

QImage SplitPreview::Picture(const QImage& source, const PreviewRequest& request) {
    if (!image_.isNull() && request == request_ && source.cacheKey() == sourceKey_)
        return image_;
    worker_->CancelAll();
    ++generation_;
    request_ = request;
    sourceKey_ = source.cacheKey();
    const PreviewArea& area = request.area;
    const bool oneToOne =
        area.source.width() == area.target.width() && area.source.height() == area.target.height();
    if (!IsOwnAlgorithm(request.algorithm) || oneToOne) {
        // At 1:1 every algorithm copies (as the document does); standard modes are quick.
        image_ = RenderStandardArea(source, area, DrawModeForAlgorithm(request.algorithm));
        exact_ = !image_.isNull();
        return image_;
    }
    image_ = RenderStandardArea(source, area, engine::StandardMode::NearestNeighbor);
    exact_ = false;
    if (!image_.isNull())
        worker_->Post(PreviewJob{source, request, generation_});
    return image_;
}

void SplitPreview::OnFinished(const PreviewResult& result) {
    if (result.generation != generation_ || result.image.isNull() || !(result.request == request_))
        return;
    image_ = result.image;
    exact_ = true;
    emit ready();
}

}  // namespace orm
