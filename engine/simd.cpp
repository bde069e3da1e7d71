#include "engine/simd.h"

#include <atomic>

namespace orm::engine::simd {

namespace {
std::atomic<int> limit{int(Level::Avx512)};

bool CpuHasAvx2() {
#if defined(ORM_SIMD_X86)
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
#else
    return false;
#endif
}
bool CpuHasAvx512() {
#if defined(ORM_SIMD_X86)
    static const bool has =
        __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
        __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512dq") && CpuHasAvx2();
    return has;
#else
    return false;
#endif
}
}  // namespace

bool UseAvx512() {
    return CpuHasAvx512() && limit.load(std::memory_order_relaxed) >= int(Level::Avx512);
}

bool UseAvx2() {
    return CpuHasAvx2() && limit.load(std::memory_order_relaxed) >= int(Level::Avx2);
}

void LimitLevel(Level level) {
    limit.store(int(level), std::memory_order_relaxed);
}

}  // namespace orm::engine::simd
