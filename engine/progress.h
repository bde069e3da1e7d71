#pragma once
// Progress of the own algorithms.
//
// Stages report a value growing from 0 toward 100 after each row; a report lower than the previous
// one starts a new sweep. A sink answers 0 to stop the running resize. The sink has no side
// effect of its own: the owner of a job derives from it to forward positions (to a window, a
// log) and to stop the job.

#include "engine/stop_token.h"

#include <functional>

namespace orm::engine {

class CRSProgress {
  public:
    // `stop` (not owned, may be null) stops the resize at its next report.
    explicit CRSProgress(const StopToken* stop = nullptr) : stop_(stop) {}
    virtual ~CRSProgress() = default;
    CRSProgress(const CRSProgress&) = delete;
    CRSProgress& operator=(const CRSProgress&) = delete;

    // Returns non-zero to go on, 0 to stop. Counts sweeps and, when the value changed,
    // announces the overall position (0..100) through PositionChanged.
    virtual int ReportProgress(int value);

    int position() const { return position_; }

    int passes = 1;  // number of 0..100 sweeps the running algorithm will make
    int wraps = 0;   // sweeps finished so far
    int last = 0;    // the last value reported

  protected:
    // The overall position changed; nothing by default.
    virtual void PositionChanged(int position) {}

  private:
    const StopToken* stop_;
    int position_ = 0;
};

// A sink that hands each new position to a function (which may be empty) and stops with a token.
// The function is referenced, not copied: it must outlive the sink.
class ForwardingProgress : public CRSProgress {
  public:
    ForwardingProgress(const StopToken& stop, const std::function<void(int)>& position)
        : CRSProgress(&stop), position_(position) {}

  protected:
    void PositionChanged(int position) override {
        if (position_)
            position_(position);
    }

  private:
    const std::function<void(int)>& position_;
};

// The overall position of `value` in sweep `wraps` of `passes`: (100 / passes) x wraps +
// value / passes.
constexpr int SweepPosition(int passes, int wraps, int value) {
    const int sweeps = passes > 0 ? passes : 1;
    return (100 / sweeps) * wraps + value / sweeps;
}

// A stage's report: true to go on. No sink means no reports and no stop.
inline bool Report(CRSProgress* progress, int value) {
    return progress == nullptr || progress->ReportProgress(value) != 0;
}

}  // namespace orm::engine
