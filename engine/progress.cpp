#include "engine/progress.h"

namespace orm::engine {

int CRSProgress::ReportProgress(int value) {
    if (stop_ != nullptr && stop_->StopRequested())
        return 0;
    if (value < last)
        ++wraps;
    const bool changed = value != last;
    last = value;
    if (!changed)
        return 1;
    position_ = SweepPosition(passes, wraps, value);
    PositionChanged(position_);
    return 1;
}

}  // namespace orm::engine
