#include "engine/memory_budget.h"

#include "engine/resize_image.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <optional>
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

namespace {

// Limits at or above this are "no limit" (v1 writes 2^63 rounded down to a page for none).
constexpr std::uint64_t kNoLimit = std::uint64_t(1) << 60;

// The first number of a small file; nullopt when absent or not a number ("max").
std::optional<std::uint64_t> NumberIn(const std::string& path) {
    std::ifstream file(path);
    std::uint64_t value = 0;
    if (file >> value)
        return value;
    return std::nullopt;
}

// The value of `key` in a "key value" file such as memory.stat.
std::optional<std::uint64_t> KeyIn(const std::string& path, const std::string& key) {
    std::ifstream file(path);
    std::string name;
    std::uint64_t value = 0;
    while (file >> name >> value)
        if (name == key)
            return value;
    return std::nullopt;
}

std::uint64_t Headroom(std::uint64_t limit, std::uint64_t used, std::uint64_t droppable) {
    used -= std::min(used, droppable);
    return limit > used ? limit - used : 1;  // at the limit: nothing, but known
}

}  // namespace

std::uint64_t CgroupAvailableBytes(const std::string& folder) {
    const std::string dir = folder.empty() || folder.back() == '/' ? folder : folder + '/';
    const std::string stat = dir + "memory.stat";
    if (const auto limit = NumberIn(dir + "memory.max")) {  // v2; "max" reads as none
        const auto used = NumberIn(dir + "memory.current");
        if (*limit >= kNoLimit || !used)
            return 0;
        return Headroom(*limit, *used, KeyIn(stat, "inactive_file").value_or(0));
    }
    auto limit = NumberIn(dir + "memory.limit_in_bytes");  // v1
    const auto used = NumberIn(dir + "memory.usage_in_bytes");
    if (!limit || !used)
        return 0;
    if (const auto parents = KeyIn(stat, "hierarchical_memory_limit"))
        limit = std::min(*limit, *parents);
    if (*limit >= kNoLimit)
        return 0;
    return Headroom(*limit, *used, KeyIn(stat, "total_inactive_file").value_or(0));
}

std::vector<std::string> OwnCgroupFolders(const std::string& root) {
    std::vector<std::string> folders;
    std::ifstream own("/proc/self/cgroup");
    std::string line;
    while (std::getline(own, line)) {
        // "0::/path" (v2) or "4:memory:/path" (v1).
        const size_t first = line.find(':'), second = line.find(':', first + 1);
        if (first == std::string::npos || second == std::string::npos)
            continue;
        const std::string controllers = line.substr(first + 1, second - first - 1);
        std::string path = line.substr(second + 1);
        if (controllers.empty()) {
            // The group and every parent up to the root: a parent's limit binds as well.
            for (;;) {
                folders.push_back(root + path);
                if (path.empty() || path == "/")
                    break;
                path.erase(path.rfind('/'));
            }
        } else if (("," + controllers + ",").find(",memory,") != std::string::npos) {
            // Inside a container the group's own folder is usually the hierarchy's root.
            folders.push_back(root + "/memory" + path);
            folders.push_back(root + "/memory");
        }
    }
    return folders;
}

std::uint64_t AvailableMemoryBytes() {
    if (const std::uint64_t forced = availableOverride.load(); forced != 0)
        return forced;
    std::uint64_t cgroup = 0;
    for (const std::string& folder : OwnCgroupFolders())
        if (const std::uint64_t allowed = CgroupAvailableBytes(folder); allowed != 0)
            cgroup = cgroup == 0 ? allowed : std::min(cgroup, allowed);
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
    const std::uint64_t system = found ? available + swap : 0;
    if (system == 0 || cgroup == 0)
        return std::max(system, cgroup);
    return std::min(system, cgroup);
}

void SetAvailableMemoryOverride(std::uint64_t bytes) {
    availableOverride.store(bytes);
}

}  // namespace orm::engine
