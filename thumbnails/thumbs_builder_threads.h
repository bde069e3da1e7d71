#pragma once
// The thumbnail builder: two stages of worker threads over two work queues. A browser hands it
// the paths of a folder in display order (`SetList`); stage 1 gives every file a quick thumbnail
// (the embedded EXIF/TIFF thumbnail where there is one, else the decoded image) and stores it in
// the thumbnail cache; stage 2, at a lower priority, replaces each quick thumbnail by one made
// from the full image. After each thumbnail the builder emits `thumbnailReady` on the thread that
// made it; whoever shows thumbnails connects to it (queued), so the builder knows no browser.
//
// Threads. Each stage runs `workers` threads that take paths from the head of its queue; a path is
// removed once it has been handled, so a `Prioritize` meanwhile puts its paths before the rest.
// Stage 2 starts once stage 1 has run out of work after a `SetList`. Every list handed over has
// its own stop token per stage: a new `SetList` stops the tokens of the lists it replaces, so a
// worker ends its current file (a load is never interrupted, the cache is never written half) and
// then goes on with the new list. A per-path lock keeps two stages from loading one file at once.
//
// The application creates one builder and owns it; all public calls return without waiting for
// any load (the queues' locks are held only for list operations). The destructor stops and joins
// the threads, each of which ends after its current file.

#include "engine/stop_token.h"
#include "imageio/file_look.h"
#include "thumbnails/thumbnail_cache.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

namespace orm {

struct ThumbsBuilderOptions {
    int stage1Workers = DefaultWorkers();
    int stage2Workers = DefaultWorkers();
    // Stage 2 threads run this much nicer than the process (the stage runs below normal priority).
    int stage2Niceness = 5;
    // A file still being written is waited for up to attempts x interval.
    SettleRule settle;

    // The machine's hardware threads, 1 to 4.
    static int DefaultWorkers();
};

class CThumbsBuilderThreads : public QObject {
    Q_OBJECT
  public:
    explicit CThumbsBuilderThreads(ThumbnailCache& cache, ThumbsBuilderOptions options = {},
                                   QObject* parent = nullptr);
    ~CThumbsBuilderThreads() override;
    CThumbsBuilderThreads(const CThumbsBuilderThreads&) = delete;
    CThumbsBuilderThreads& operator=(const CThumbsBuilderThreads&) = delete;

    // Replaces all work: stage 2's queue is emptied, stage 1's becomes `paths` in their order,
    // and the work in progress stops after its current file. An empty list stops all work.
    void SetList(const QStringList& paths);
    // The list of one of several browsers (the browse window's folder, the batch basket): it
    // replaces that owner's earlier list only, and the builder works on every owner's list, the
    // latest owner's first, so no browser stops another's thumbnails. An empty list withdraws
    // the owner's. Called from one thread (the window's).
    void SetListOf(const void* owner, const QStringList& paths);
    // Moves `paths` (in their order) to the head of stage 1's queue, wherever they stood; paths
    // that were not queued are queued all the same.
    void Prioritize(const QStringList& paths);

    // The paths waiting in a stage's queue (1 or 2), head first; files in work included.
    QStringList Pending(int stage) const;
    // Waits until both stages have no work (queues empty, no file in work); false on time-out.
    // For tests, benchmarks and shutdown; never from a window's thread.
    bool WaitIdle(std::chrono::milliseconds timeout) const;

    ThumbnailCache& cache() { return cache_; }

  signals:
    // The thumbnail of `path` was stored or improved. Emitted on a builder thread: receivers on
    // another thread get it queued (a window repaints the cell); a direct connection runs on the
    // builder's thread and holds that worker meanwhile.
    void thumbnailReady(const QString& path);

  private:
    struct Stage;
    struct Claim;

    void WorkerLoop(Stage& stage);
    static bool TakeWork(Stage& stage, Claim& claim);
    void FinishWork(Stage& stage, const Claim& claim);
    void Handle(const Stage& stage, const Claim& claim);
    void BuildAnew(const Stage& stage, const Claim& claim);
    void Improve(const Claim& claim, const ThumbnailPtr& preliminary);
    void QueueForStage2(const QString& path, const engine::StopToken& token);
    static bool StageIdle(const Stage& stage);

    ThumbnailCache& cache_;
    ThumbsBuilderOptions options_;
    std::unique_ptr<Stage> stage1_;
    std::unique_ptr<Stage> stage2_;

    class PathLocks;
    std::vector<std::pair<const void*, QStringList>> ownerLists_;  // latest first
    std::unique_ptr<PathLocks> pathLocks_;
};

}  // namespace orm
