#pragma once
// Runtime choice between the AVX2 build of a hot loop and its portable (SSE2) build.
//
// A kernel body is written once as an always-inline function; `ORM_AVX2` marks the wrapper that
// GCC compiles with AVX2 enabled, and `UseAvx2()` picks it at run time. Both builds perform the
// same IEEE operations in the same order (the loops vectorise across independent outputs only and
// -ffp-contract=off forbids fused multiply-add), so their results are identical; the tests force
// the portable path and compare.

namespace orm::engine::simd {

#if defined(__x86_64__) || defined(__i386__)
#define ORM_SIMD_X86 1
#define ORM_AVX2 __attribute__((target("avx2")))
#else
#define ORM_AVX2
#endif
#define ORM_KERNEL inline __attribute__((always_inline))

// True when the CPU has AVX2 and the portable path is not forced.
bool UseAvx2();
// Forces the portable path (tests); false restores the CPU's choice.
void ForceScalar(bool force);

}  // namespace orm::engine::simd

// Defines `name(args...)` dispatching to the AVX2 or the portable build of `body(args...)`.
#if defined(ORM_SIMD_X86)
#define ORM_DISPATCH(name, body)                                                          \
    template <typename... A>                                                              \
    ORM_AVX2 void name##Avx2(A... a) { body(a...); }                                      \
    template <typename... A>                                                              \
    void name##Portable(A... a) { body(a...); }                                           \
    template <typename... A>                                                              \
    void name(A... a) {                                                                   \
        if (::orm::engine::simd::UseAvx2())                                               \
            name##Avx2(a...);                                                             \
        else                                                                              \
            name##Portable(a...);                                                         \
    }
#else
#define ORM_DISPATCH(name, body)                                                          \
    template <typename... A>                                                              \
    void name(A... a) { body(a...); }
#endif
