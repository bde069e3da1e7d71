#include "thumbnails/thumbs_builder_threads.h"

#include "imageio/image_file_types.h"
#include "thumbnails/thumbnail_loader.h"

#include <QHash>
#include <QSet>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <thread>
#include <unordered_map>

namespace orm {

struct CThumbsBuilderThreads::Stage {
    explicit Stage(int n) : number(n) {}

    const int number;
    mutable std::mutex mutex;  // guards everything below but `threads`
    std::condition_variable workArrived;
    std::deque<QString> paths;    // head first; a path stays until it has been handled
    std::vector<QString> inWork;  // paths a worker has taken and not finished
    // The stop token of the list in the queue; a new list gets a new token, and the old one is
    // stopped, so each list's work can be stopped on its own.
    std::shared_ptr<engine::StopToken> token = std::make_shared<engine::StopToken>();
    bool open = true;  // may take work (stage 2: once stage 1 has run dry after a SetList)
    bool quit = false;
    std::vector<std::thread> threads;
};

struct CThumbsBuilderThreads::Claim {
    QString path;
    std::shared_ptr<engine::StopToken> token;
};

// One lock per path in work, created on demand and dropped when its last user leaves.
class CThumbsBuilderThreads::PathLocks {
    struct Entry {
        std::mutex mutex;
        int users = 0;
    };

  public:
    class Guard {
      public:
        Guard(PathLocks& owner, const QString& path) : owner_(owner), path_(path) {
            {
                std::lock_guard lock(owner_.mutex_);
                std::unique_ptr<Entry>& slot = owner_.locks_[path_];
                if (!slot)
                    slot = std::make_unique<Entry>();
                entry_ = slot.get();
                ++entry_->users;
            }
            entry_->mutex.lock();
        }
        ~Guard() {
            std::lock_guard lock(owner_.mutex_);
            entry_->mutex.unlock();
            if (--entry_->users == 0)
                owner_.locks_.erase(path_);
        }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;

      private:
        PathLocks& owner_;
        QString path_;
        Entry* entry_ = nullptr;
    };

  private:
    std::mutex mutex_;
    std::unordered_map<QString, std::unique_ptr<Entry>> locks_;
};

int ThumbsBuilderOptions::DefaultWorkers() {
    return std::clamp(int(std::thread::hardware_concurrency()), 1, 4);
}

CThumbsBuilderThreads::CThumbsBuilderThreads(ThumbnailCache& cache, ThumbsBuilderOptions options,
                                             QObject* parent)
    : QObject(parent),
      cache_(cache),
      options_(options),
      stage1_(std::make_unique<Stage>(1)),
      stage2_(std::make_unique<Stage>(2)),
      pathLocks_(std::make_unique<PathLocks>()) {
    for (int i = 0; i < std::max(1, options_.stage1Workers); ++i)
        stage1_->threads.emplace_back([this] { WorkerLoop(*stage1_); });
    for (int i = 0; i < std::max(1, options_.stage2Workers); ++i)
        stage2_->threads.emplace_back([this] { WorkerLoop(*stage2_); });
}

CThumbsBuilderThreads::~CThumbsBuilderThreads() {
    for (Stage* stage : {stage1_.get(), stage2_.get()}) {
        std::lock_guard lock(stage->mutex);
        stage->quit = true;
        stage->token->RequestStop();
        stage->workArrived.notify_all();
    }
    for (Stage* stage : {stage1_.get(), stage2_.get()})
        for (std::thread& t : stage->threads) t.join();
}

void CThumbsBuilderThreads::SetList(const QStringList& paths) {
    {
        std::lock_guard lock(stage2_->mutex);
        stage2_->paths.clear();
        stage2_->token->RequestStop();
        stage2_->token = std::make_shared<engine::StopToken>();
        stage2_->open = false;
    }
    std::lock_guard lock(stage1_->mutex);
    stage1_->paths.assign(paths.begin(), paths.end());
    stage1_->token->RequestStop();
    stage1_->token = std::make_shared<engine::StopToken>();
    stage1_->workArrived.notify_all();
}

void CThumbsBuilderThreads::SetListOf(const void* owner, const QStringList& paths) {
    const size_t before = ownerLists_.size();
    std::erase_if(ownerLists_, [owner](const auto& entry) { return entry.first == owner; });
    if (paths.isEmpty() && ownerLists_.size() == before)
        return;  // nothing of this owner's to withdraw: the others' work goes on undisturbed
    if (!paths.isEmpty())
        ownerLists_.insert(ownerLists_.begin(), {owner, paths});
    QStringList all;
    QSet<QString> seen;
    for (const auto& entry : ownerLists_)
        for (const QString& path : entry.second)
            if (!seen.contains(path)) {
                seen.insert(path);
                all.append(path);
            }
    SetList(all);
}

void CThumbsBuilderThreads::Prioritize(const QStringList& paths) {
    if (paths.isEmpty())
        return;
    const QSet<QString> moved(paths.begin(), paths.end());
    std::lock_guard lock(stage1_->mutex);
    std::deque<QString>& queue = stage1_->paths;
    queue.erase(std::remove_if(queue.begin(), queue.end(),
                               [&](const QString& p) { return moved.contains(p); }),
                queue.end());
    queue.insert(queue.begin(), paths.begin(), paths.end());
    stage1_->workArrived.notify_all();
}

QStringList CThumbsBuilderThreads::Pending(int stage) const {
    const Stage& s = stage == 1 ? *stage1_ : *stage2_;
    std::lock_guard lock(s.mutex);
    return QStringList(s.paths.begin(), s.paths.end());
}

bool CThumbsBuilderThreads::StageIdle(const Stage& stage) {
    std::lock_guard lock(stage.mutex);
    return stage.paths.empty() && stage.inWork.empty();
}

bool CThumbsBuilderThreads::WaitIdle(std::chrono::milliseconds timeout) const {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        // Stage 1 first: while it works it may queue work for stage 2.
        if (StageIdle(*stage1_) && StageIdle(*stage2_) && StageIdle(*stage1_))
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void CThumbsBuilderThreads::WorkerLoop(Stage& stage) {
    if (stage.number == 2 && options_.stage2Niceness > 0) {
        // Linux applies the nice value to the calling thread alone.
        const int tid = int(gettid());
        errno = 0;
        const int current = getpriority(PRIO_PROCESS, id_t(tid));
        if (errno == 0)
            setpriority(PRIO_PROCESS, id_t(tid), std::min(19, current + options_.stage2Niceness));
    }
    Claim claim;
    while (TakeWork(stage, claim)) {
        try {
            Handle(stage, claim);
        } catch (...) {
            // One file's failure is local: it gets no thumbnail and the work goes on.
        }
        FinishWork(stage, claim);
    }
}

bool CThumbsBuilderThreads::TakeWork(Stage& stage, Claim& claim) {
    std::unique_lock lock(stage.mutex);
    for (;;) {
        if (stage.quit)
            return false;
        if (stage.open) {
            for (const QString& path : stage.paths) {
                if (std::find(stage.inWork.begin(), stage.inWork.end(), path) != stage.inWork.end())
                    continue;
                stage.inWork.push_back(path);
                claim.path = path;
                claim.token = stage.token;
                return true;
            }
        }
        stage.workArrived.wait(lock);
    }
}

void CThumbsBuilderThreads::FinishWork(Stage& stage, const Claim& claim) {
    bool ranDry = false;
    {
        std::lock_guard lock(stage.mutex);
        stage.inWork.erase(std::find(stage.inWork.begin(), stage.inWork.end(), claim.path));
        // The queue still holds the path unless a new list replaced it.
        if (!claim.token->StopRequested()) {
            const auto it = std::find(stage.paths.begin(), stage.paths.end(), claim.path);
            if (it != stage.paths.end())
                stage.paths.erase(it);
        }
        ranDry = stage.paths.empty() && stage.inWork.empty();
    }
    if (ranDry && stage.number == 1) {
        std::lock_guard lock(stage2_->mutex);
        stage2_->open = true;
        if (!stage2_->paths.empty())
            stage2_->workArrived.notify_all();
    }
}

void CThumbsBuilderThreads::Handle(const Stage& stage, const Claim& claim) {
    const QString& path = claim.path;
    const FileLook look = LookAt(path);
    if (!look.exists)
        return;
    const ThumbnailPtr cached = cache_.Lock()->Lookup(path);
    if (cached) {
        const bool stale =
            cached->fileTime != look.ModifiedSeconds() || (stage.number == 1 && !cached->HasData());
        if (!stale) {
            if (!cached->isFinal) {
                if (stage.number == 1)
                    QueueForStage2(path, *claim.token);
                else
                    Improve(claim, cached);
            }
            return;
        }
        auto access = cache_.Lock();
        if (access->Find(path) == cached)
            access->RemoveKey(path);
    }
    BuildAnew(stage, claim);
}

void CThumbsBuilderThreads::BuildAnew(const Stage& stage, const Claim& claim) {
    const QString& path = claim.path;
    auto item = std::make_shared<CPaletteItemImg>();
    FileLook settled;
    bool ok = false;
    {
        PathLocks::Guard lock(*pathLocks_, path);
        ok = WaitUntilSettled(path, options_.settle, claim.token.get(), &settled) &&
             LoadThumbnail(*item, path, ThumbnailLoadMode::Quick);
    }
    if (claim.token->StopRequested() || !ok)
        return;
    item->fileTime = settled.ModifiedSeconds();
    if (!item->jpegData.isEmpty())
        item->picture = QImage();  // held compressed; whoever draws it decompresses it
    cache_.Lock()->SetAt(path, item);
    emit thumbnailReady(path);
    if (stage.number == 1 && IsSupportedImage(path))
        QueueForStage2(path, *claim.token);
}

void CThumbsBuilderThreads::Improve(const Claim& claim, const ThumbnailPtr& preliminary) {
    const QString& path = claim.path;
    auto item = std::make_shared<CPaletteItemImg>(*preliminary);
    bool ok = false;
    {
        PathLocks::Guard lock(*pathLocks_, path);
        ok = WaitUntilSettled(path, options_.settle, claim.token.get()) &&
             LoadThumbnail(*item, path, ThumbnailLoadMode::Full);
    }
    if (claim.token->StopRequested() || !ok)
        return;
    if (!item->jpegData.isEmpty())
        item->picture = QImage();
    if (cache_.Lock()->Replace(path, preliminary, item))
        emit thumbnailReady(path);
}

void CThumbsBuilderThreads::QueueForStage2(const QString& path, const engine::StopToken& token) {
    if (token.StopRequested())
        return;
    std::lock_guard lock(stage2_->mutex);
    stage2_->paths.push_back(path);
    if (stage2_->open)
        stage2_->workArrived.notify_one();
}

}  // namespace orm
