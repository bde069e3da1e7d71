#pragma once
// Linux grants more memory than it has (overcommit): a huge buffer is handed out and the process
// is killed later, when it writes the pages. A resize therefore compares what it will need with
// what the system has before it starts, and reports "out of memory" instead of being killed.

#include "engine/algorithm.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orm::engine {

// Bytes a resize of sw x sh into a tw x th target (cropped to dw x dh when `crop`) holds at its
// peak: the target image, the planes of the own algorithms and the cropped copy. The caller's
// source and destination are not counted.
std::uint64_t EstimatedResizeBytes(int sw, int sh, int tw, int th, int dw, int dh,
                                   ResizeAlgorithm algorithm, bool crop);

// Memory the system can still give: MemAvailable plus SwapFree of /proc/meminfo, or less when
// the process's control group (a container, a systemd slice) allows less; 0 when unknown.
std::uint64_t AvailableMemoryBytes();

// What the memory controller of the control group at `folder` still allows: its limit less its
// use, the page cache it may drop (inactive files) counted as free. cgroup v2 files (memory.max,
// memory.current) or v1 files (memory.limit_in_bytes, memory.usage_in_bytes, with the
// hierarchical limit of memory.stat); 0 when the folder sets no limit or cannot be read.
std::uint64_t CgroupAvailableBytes(const std::string& folder);

// The memory-controller folders of this process's control group and its parents (v2, with
// /sys/fs/cgroup as the root), or of its v1 memory hierarchy.
std::vector<std::string> OwnCgroupFolders(const std::string& root = "/sys/fs/cgroup");

// Tests: pretend the system has `bytes` available; 0 reads the system again.
void SetAvailableMemoryOverride(std::uint64_t bytes);

}  // namespace orm::engine
