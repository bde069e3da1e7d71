#pragma once
// The preview worker: computes one own-algorithm preview area at a time on its own thread.
// It receives value jobs (the shared source image, the request and a generation number) and
// answers with value results through a queued signal; it never touches the document or a window.
// Only the newest job counts: posting a job replaces any job still waiting, and a running job
// whose generation is no longer the newest stops at its next progress report.

#include "document/preview_store.h"

#include <QImage>
#include <QObject>

#include <atomic>
#include <condition_variable>
#include <cstdint>
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

// Resizes the job's area with its own algorithm. Stops (null result) once `stillWanted` turns
// false or the process-wide cancel flag is raised; clears that flag first, as every preview job does.
QImage ComputePreviewArea(const PreviewJob& job, const std::atomic<quint64>& latestGeneration);

class PreviewWorker : public QObject {
    Q_OBJECT
public:
    explicit PreviewWorker(QObject* parent = nullptr);

    // Any thread: replaces the waiting job and wakes the worker (the start handshake).
    void Post(PreviewJob job);
    // Any thread: every waiting or running job becomes outdated.
    void CancelAll();
    // Any thread: waits up to `ms` for the worker to be idle (not computing); true when idle.
    bool WaitIdle(int ms);
    bool IsComputing() const;

public slots:
    // Worker thread: computes the waiting job, if any.
    void RunPending();

signals:
    void jobStarted(quint64 generation);
    void jobFinished(orm::PreviewResult result);

private:
    mutable std::mutex mutex_;
    std::condition_variable idleChanged_;
    std::optional<PreviewJob> pending_;
    bool computing_ = false;
    std::atomic<quint64> latestGeneration_{0};
};

}  // namespace orm

Q_DECLARE_METATYPE(orm::PreviewResult)
