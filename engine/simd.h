#pragma once
// Runtime choice between the AVX-512, AVX2 and portable (SSE2) builds of a hot loop.
//
// A kernel body is written once as an always-inline function; ORM_DISPATCH / ORM_DISPATCH3 make
// wrappers that the compiler builds with those instruction sets enabled, and the CPU's features
// pick one at run time (never -march=native). Every build performs the same IEEE operations in
// the same order (the loops vectorise across independent outputs only, and -ffp-contract=off
// forbids fused multiply-add), so their results are identical; the tests limit the level and
// compare.

namespace orm::engine::simd {

#if defined(__x86_64__) || defined(__i386__)
#define ORM_SIMD_X86 1
#define ORM_AVX2 __attribute__((target("avx2")))
#if defined(__clang__)  // clang takes no vector-width preference in a target attribute
#define ORM_AVX512 __attribute__((target("avx2,avx512f,avx512vl,avx512bw,avx512dq")))
#else
#define ORM_AVX512 \
    __attribute__((target("avx2,avx512f,avx512vl,avx512bw,avx512dq,prefer-vector-width=512")))
#endif
#else
#define ORM_AVX2
#define ORM_AVX512
#endif
#define ORM_KERNEL inline __attribute__((always_inline))

// The builds a dispatch may choose, from the plainest.
enum class Level : int { Portable = 0, Avx2 = 1, Avx512 = 2 };

// True when the CPU has AVX2 and no lower limit is set.
bool UseAvx2();
// True when the CPU has AVX-512 (F, VL, BW and DQ) and no lower limit is set.
bool UseAvx512();
// Limits the builds used to `level` and below (tests); Level::Avx512 restores the CPU's choice.
void LimitLevel(Level level);

}  // namespace orm::engine::simd

// Defines `name(args...)` dispatching to the AVX2 or the portable build of `body(args...)`.
#if defined(ORM_SIMD_X86)
#define ORM_DISPATCH(name, body)            \
    template <typename... A>                \
    ORM_AVX2 void name##Avx2(A... a) {      \
        body(a...);                         \
    }                                       \
    template <typename... A>                \
    void name##Portable(A... a) {           \
        body(a...);                         \
    }                                       \
    template <typename... A>                \
    void name(A... a) {                     \
        if (::orm::engine::simd::UseAvx2()) \
            name##Avx2(a...);               \
        else                                \
            name##Portable(a...);           \
    }
// The same with a third build for AVX-512 (its 32 vector registers help loops that keep many
// values in flight).
#define ORM_DISPATCH3(name, body)                \
    template <typename... A>                     \
    ORM_AVX512 void name##Avx512(A... a) {       \
        body(a...);                              \
    }                                            \
    template <typename... A>                     \
    ORM_AVX2 void name##Avx2(A... a) {           \
        body(a...);                              \
    }                                            \
    template <typename... A>                     \
    void name##Portable(A... a) {                \
        body(a...);                              \
    }                                            \
    template <typename... A>                     \
    void name(A... a) {                          \
        if (::orm::engine::simd::UseAvx512())    \
            name##Avx512(a...);                  \
        else if (::orm::engine::simd::UseAvx2()) \
            name##Avx2(a...);                    \
        else                                     \
            name##Portable(a...);                \
    }
#else
#define ORM_DISPATCH3(name, body) ORM_DISPATCH(name, body)
#define ORM_DISPATCH(name, body) \
    template <typename... A>     \
    void name(A... a) {          \
        body(a...);              \
    }
#endif
