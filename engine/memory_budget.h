#pragma once
// Linux grants more memory than it has (overcommit): a huge buffer is handed out and the process
// is killed later, when it writes the pages. A resize therefore compares what it will need with
// what the system has before it starts, and reports "out of memory" instead of being killed.

#include "engine/algorithm.h"

#include <cstdint>

namespace orm::engine {

// Bytes a resize of sw x sh into a tw x th target (cropped to dw x dh when `crop`) holds at its
// peak: the target image, the planes of the own algorithms and the cropped copy. The caller's
// source and destination are not counted.
std::uint64_t EstimatedResizeBytes(int sw, int sh, int tw, int th, int dw, int dh,
                                   ResizeAlgorithm algorithm, bool crop);

// Memory the system can still give: MemAvailable plus SwapFree of /proc/meminfo; 0 when unknown.
std::uint64_t AvailableMemoryBytes();

// Tests: pretend the system has `bytes` available; 0 reads the system again.
void SetAvailableMemoryOverride(std::uint64_t bytes);

}  // namespace orm::engine
