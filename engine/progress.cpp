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
    progressPosition.store((100 / passes) * wraps + value / passes, std::memory_order_relaxed);
    PostFrameCommand(kCmdProgressChanged);
    return 1;
}

}  // namespace orm::engine
