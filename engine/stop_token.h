#pragma once
// A stop request for one long job. Whoever owns the job (a preview request, a batch run, a
// Resize and Save, a thumbnail stage) owns its token; the job only reads it. One token per
// job, so stopping one job never stops or restarts another.

#include <atomic>

namespace orm::engine {

class StopToken {
  public:
    void RequestStop() { stop_.store(true, std::memory_order_relaxed); }
    bool StopRequested() const { return stop_.load(std::memory_order_relaxed); }

  private:
    std::atomic<bool> stop_{false};
};

}  // namespace orm::engine
