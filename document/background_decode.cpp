#include "document/background_decode.h"

#include <QEventLoop>

#include <mutex>
#include <thread>

namespace orm {

bool DecodesInBackground(const QByteArray& fileBytes) {
    if (fileBytes.size() > kBackgroundDecodeFileBytes)
        return true;
    const std::optional<ImageHeader> header = ReadImageHeader(fileBytes);
    return header && header->size.isValid() &&
           qint64(header->size.width()) * header->size.height() > kBackgroundDecodePixels;
}

// What the decoding thread and the waiting loop share. The loop is named here only while it
// exists; the thread tells it under the lock, so a loop that has gone is never told.
struct BackgroundDecode::Task {
    std::mutex mutex;
    QEventLoop* loop = nullptr;
    bool done = false;
    std::optional<SourceImage> image;
    QString error;
};

BackgroundDecode::BackgroundDecode() = default;

BackgroundDecode::~BackgroundDecode() {
    Cancel();
}

std::optional<SourceImage> BackgroundDecode::Run(Decode decode, QString* error, bool* cancelled) {
    *cancelled = false;
    if (task_)
        return std::nullopt;  // one decode at a time
    auto task = std::make_shared<Task>();
    QEventLoop loop;
    task->loop = &loop;
    task_ = task;
    std::thread([task, decode = std::move(decode)]() mutable {
        QString reason;
        std::optional<SourceImage> image = decode(&reason);
        decode = nullptr;  // the file's bytes go with it
        const std::lock_guard lock(task->mutex);
        task->image = std::move(image);
        task->error = reason;
        task->done = true;
        if (task->loop)
            QMetaObject::invokeMethod(task->loop, &QEventLoop::quit, Qt::QueuedConnection);
    }).detach();
    loop.exec();
    const std::lock_guard lock(task->mutex);
    task->loop = nullptr;
    task_.reset();
    if (!task->done) {
        *cancelled = true;
        return std::nullopt;
    }
    if (!task->image && error)
        *error = task->error;
    return std::move(task->image);
}

void BackgroundDecode::Cancel() {
    if (!task_)
        return;
    const std::lock_guard lock(task_->mutex);
    if (task_->loop)
        task_->loop->quit();
}

}  // namespace orm
