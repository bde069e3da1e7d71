#include "engine/memory_budget.h"

#include "engine/resize_image.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <sstream>
#include <string>

namespace orm::engine {

namespace {

std::atomic<std::uint64_t> availableOverride{0};

std::uint64_t Pixels(int w, int h) {
    return std::uint64_t(std::max(w, 0)) * std::uint64_t(std::max(h, 0));
}

}  // namespace

std::uint64_t EstimatedResizeBytes(int sw, int sh, int tw, int th, int dw, int dh,
                                   ResizeAlgorithm algorithm, bool crop) {
    const std::uint64_t target = Pixels(tw, th);
    std::uint64_t bytes = 3 * target;
    if (IsOwnAlgorithm(algorithm)) {
        // Per channel: the source plane, the result plane and two more of the largest size a
        // stage works at (the guide and the stretch result; the 1.5 intermediate of mixed
        // ratios; the row-reduced plane of reductions).
        const std::uint64_t largest = std::max({target, Pixels(tw, sh), Pixels(sw, th),
                                                Pixels(tw, sh + sh / 2), Pixels(sw + sw / 2, th)});
        bytes += Pixels(sw, sh) + 3 * largest;
    }
    if (crop)
        bytes += 3 * Pixels(dw, dh);
    return bytes;
}

std::uint64_t AvailableMemoryBytes() {
    if (const std::uint64_t forced = availableOverride.load(); forced != 0)
        return forced;
    std::ifstream meminfo("/proc/meminfo");
    std::string line;
    std::uint64_t available = 0, swap = 0;
    bool found = false;
    while (std::getline(meminfo, line)) {
        std::istringstream fields(line);
        std::string key;
        std::uint64_t kb = 0;
        if (!(fields >> key >> kb))
            continue;
        if (key == "MemAvailable:") {
            available = kb * 1024;
            found = true;
        } else if (key == "SwapFree:") {
            swap = kb * 1024;
        }
    }
    return found ? available + swap : 0;
}

void SetAvailableMemoryOverride(std::uint64_t bytes) {
    availableOverride.store(bytes);
}

}  // namespace orm::engine
