#include "engine/progress.h"

namespace orm::engine {

std::atomic<int> cancelPreview{0};
std::atomic<int> progressPosition{0};

namespace {
std::atomic<FrameCommandPoster> framePoster{nullptr};
}

void SetFrameCommandPoster(FrameCommandPoster poster) { framePoster.store(poster); }

void PostFrameCommand(int command) {
    if (FrameCommandPoster poster = framePoster.load())
        poster(command);
}

CRSProgress::CRSProgress() { PostFrameCommand(kCmdShowProgress); }

CRSProgress::~CRSProgress() { PostFrameCommand(kCmdHideProgress); }

int CRSProgress::ReportProgress(int value) {
    if (cancelPreview.load(std::memory_order_relaxed) != 0)
        return 0;
    if (value < last)
        ++wraps;
    const bool changed = value != last;
    last = value;
    if (!changed)
        return 1;
    const int sweeps = passes > 0 ? passes : 1;
    const int position = (100 / sweeps) * wraps + value / sweeps;
    progressPosition.store(position, std::memory_order_relaxed);
    PositionChanged(position);
    return 1;
}

void CRSProgress::PositionChanged(int) { PostFrameCommand(kCmdProgressChanged); }

}  // namespace orm::engine
