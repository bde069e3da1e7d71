#pragma once
// The preview worker: computes one own-algorithm preview area at a time on its own thread.
// It receives value jobs (the shared source image, the request and a generation number) and
// answers with value results through queued signals; it never touches the document or a window.
// Every job owns a stop token: posting a job stops the running one and replaces any job still
// waiting, so a new request cancels exactly the job it replaces and nothing else.

#include "document/preview_store.h"
#include "engine/stop_token.h"

#include <QImage>
#include <QObject>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace orm {

struct PreviewJob {
    QImage source;  // the whole source, Format_BGR888; shared, read only
    PreviewRequest request;
    quint64 generation = 0;
};

struct PreviewResult {
    PreviewRequest request;
    quint64 generation = 0;
    QImage image;  // Format_BGR888 of the target size; null when cancelled or failed
};

// Resizes the job's area with its own algorithm. Stops (null result) once `stop` is requested;
// `position` (may be null) receives the overall progress 0..100 as it changes.
QImage ComputePreviewArea(const PreviewJob& job, const engine::StopToken& stop,
                          const std::function<void(int)>& position = {});

class PreviewWorker : public QObject {
    Q_OBJECT
  public:
    explicit PreviewWorker(QObject* parent = nullptr);

    // Any thread, never blocks on a computation: stops the running job, replaces the waiting
    // job and wakes the worker.
    void Post(PreviewJob job);
    // Any thread, never blocks on a computation: stops the running job and drops the waiting one.
    void CancelAll();
    bool IsComputing() const;

  public slots:
    // Worker thread: computes the waiting job, if any.
    void RunPending();

  signals:
    void jobStarted(quint64 generation);
    // The running job's overall progress, 0..100 (worker thread; connect queued).
    void jobProgress(quint64 generation, int position);
    void jobFinished(orm::PreviewResult result);

  private:
    mutable std::mutex mutex_;
    std::optional<PreviewJob> pending_;
    std::shared_ptr<engine::StopToken> running_;  // the token of the job being computed
};

}  // namespace orm

Q_DECLARE_METATYPE(orm::PreviewResult)
