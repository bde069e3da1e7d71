#include "engine/simd.h"

#include <atomic>

namespace orm::engine::simd {

namespace {
std::atomic<bool> forceScalar{false};

bool CpuHasAvx2() {
#if defined(ORM_SIMD_X86)
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
#else
    return false;
#endif
}
}  // namespace

bool UseAvx2() { return CpuHasAvx2() && !forceScalar.load(std::memory_order_relaxed); }

void ForceScalar(bool force) { forceScalar.store(force, std::memory_order_relaxed); }

}  // namespace orm::engine::simd
