#include "engine/parallel.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace orm::engine {

namespace {

int MachineThreads() {
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : int(std::min(n, 64u));
}

std::atomic<int> threadOverride{0};

// One job at a time: the caller publishes it under the mutex, workers join under the mutex
// (copying the job), take bands through an atomic counter, and the caller returns only when
// every band is done and no worker is inside the job any more; it then clears the job, so a
// worker that wakes late finds nothing to do.
class Pool {
  public:
    ~Pool() { Resize(0); }

    void Run(int count, int grain, BandFunction body, int threads) {
        std::unique_lock<std::mutex> busy(run_mutex_, std::try_to_lock);
        const int bands = (count + grain - 1) / grain;
        if (!busy.owns_lock() || threads <= 1 || bands <= 1) {
            for (int b = 0; b < count; b += grain) body(b, std::min(count, b + grain));
            return;
        }
        if (int(workers_.size()) != threads - 1)
            Resize(threads - 1);
        const Job job{&body, count, grain, bands};
        {
            std::lock_guard<std::mutex> lock(mutex_);
            job_ = job;
            next_.store(0, std::memory_order_relaxed);
            done_ = 0;
            ++generation_;
        }
        wake_.notify_all();
        const int mine = Work(job);
        std::unique_lock<std::mutex> lock(mutex_);
        done_ += mine;
        finished_.wait(lock, [&] { return done_ == bands && inside_ == 0; });
        job_ = Job{};
    }

  private:
    struct Job {
        const BandFunction* body = nullptr;
        int count = 0, grain = 1, bands = 0;
    };

    // Runs bands of the job until none is left; returns how many it ran.
    int Work(const Job& job) {
        int ran = 0;
        for (;;) {
            const int band = next_.fetch_add(1, std::memory_order_relaxed);
            if (band >= job.bands)
                return ran;
            const int begin = band * job.grain;
            (*job.body)(begin, std::min(job.count, begin + job.grain));
            ++ran;
        }
    }

    void WorkerLoop() {
        std::uint64_t seen = 0;
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] { return quit_ || generation_ != seen; });
            if (quit_)
                return;
            seen = generation_;
            const Job job = job_;
            ++inside_;
            lock.unlock();
            const int ran = job.body != nullptr ? Work(job) : 0;
            lock.lock();
            done_ += ran;
            --inside_;
            finished_.notify_all();
        }
    }

    void Resize(int workers) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            quit_ = true;
        }
        wake_.notify_all();
        for (std::thread& t : workers_) t.join();
        workers_.clear();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            quit_ = false;
        }
        for (int i = 0; i < workers; ++i) workers_.emplace_back([this] { WorkerLoop(); });
    }

    std::mutex run_mutex_;  // held by the caller whose job the pool runs
    std::mutex mutex_;
    std::condition_variable wake_, finished_;
    std::vector<std::thread> workers_;
    Job job_;
    std::atomic<int> next_{0};
    int done_ = 0;
    int inside_ = 0;
    std::uint64_t generation_ = 0;
    bool quit_ = false;
};

Pool& EnginePool() {
    static Pool pool;
    return pool;
}

}  // namespace

int EngineThreadCount() {
    const int n = threadOverride.load(std::memory_order_relaxed);
    return n > 0 ? n : MachineThreads();
}

void SetEngineThreadCount(int threads) {
    threadOverride.store(std::max(0, threads), std::memory_order_relaxed);
}

void ParallelFor(int count, int grain, BandFunction body) {
    if (count <= 0)
        return;
    grain = std::max(1, grain);
    EnginePool().Run(count, grain, body, EngineThreadCount());
}

}  // namespace orm::engine
