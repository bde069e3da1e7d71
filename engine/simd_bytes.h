#pragma once
// Eight bytes to eight doubles, in each build of the dispatched loops. GCC's generic conversion
// of a byte vector goes element by element, so these use each build's own instructions. The AVX
// forms are plain inline functions with their target: inside a kernel built for that target they
// are inlined like any other function.

#include "engine/simd.h"

#include <cstdint>
#include <cstring>

#if defined(ORM_SIMD_X86)
#include <immintrin.h>
#endif

namespace orm::engine::simd {

typedef double Doubles8 __attribute__((vector_size(8 * sizeof(double))));

// The build a kernel body is instantiated for.
enum Isa : int { kPortable = 0, kAvx2 = 1, kAvx512 = 2 };

#if defined(ORM_SIMD_X86)
typedef int Ints8 __attribute__((vector_size(8 * sizeof(int))));

// GCC 12 warns about the deliberately undefined pass-through operand inside its own AVX-512
// conversion intrinsics (_mm512_undefined_*); the warning is about the header, not this code.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"

// The low eight bytes of b.
ORM_AVX512 inline void BytesToDoublesAvx512(__m128i b, Doubles8* v) {
    // One conversion of all eight (GCC's generic conversion converts two halves and joins them).
    const __m512d d = _mm512_cvtepi32_pd(_mm256_cvtepu8_epi32(b));
    std::memcpy(v, &d, sizeof d);
}
ORM_AVX2 inline void BytesToDoublesAvx2(__m128i b, Doubles8* v) {
    const __m256i q = _mm256_cvtepu8_epi32(b);
    const __m256d h[2] = {_mm256_cvtepi32_pd(_mm256_castsi256_si128(q)),
                          _mm256_cvtepi32_pd(_mm256_extracti128_si256(q, 1))};
    std::memcpy(v, h, sizeof h);
}
inline void BytesToDoublesPortable(__m128i b, Doubles8* v) {
    const __m128i z = _mm_setzero_si128();
    const __m128i w16 = _mm_unpacklo_epi8(b, z);
    const __m128i lo = _mm_unpacklo_epi16(w16, z), hi = _mm_unpackhi_epi16(w16, z);
    const __m128d h[4] = {_mm_cvtepi32_pd(lo), _mm_cvtepi32_pd(_mm_shuffle_epi32(lo, 0xEE)),
                          _mm_cvtepi32_pd(hi), _mm_cvtepi32_pd(_mm_shuffle_epi32(hi, 0xEE))};
    std::memcpy(v, h, sizeof h);
}

// The low eight bytes of b in the build I.
template <int I>
ORM_KERNEL void BytesToDoubles(__m128i b, Doubles8* v) {
    if constexpr (I == kAvx512)
        BytesToDoublesAvx512(b, v);
    else if constexpr (I == kAvx2)
        BytesToDoublesAvx2(b, v);
    else
        BytesToDoublesPortable(b, v);
}

// Four 3-byte pixels at s (16 bytes are read) as four groups of four floats at d, each pixel's
// three bytes followed by 0 (exact: every byte is a float).
ORM_AVX512 inline void FourPixelsToFloatsAvx512(const std::uint8_t* s, float* d) {
    const __m128i order = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i b = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s)), order);
    _mm512_storeu_ps(d, _mm512_cvtepi32_ps(_mm512_cvtepu8_epi32(b)));
}
ORM_AVX2 inline void FourPixelsToFloatsAvx2(const std::uint8_t* s, float* d) {
    const __m128i order = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i b = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s)), order);
    _mm256_storeu_ps(d, _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(b)));
    _mm256_storeu_ps(d + 8, _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(_mm_unpackhi_epi64(b, b))));
}
template <int I>
ORM_KERNEL void FourPixelsToFloats(const std::uint8_t* s, float* d) {
    if constexpr (I == kAvx512)
        FourPixelsToFloatsAvx512(s, d);
    else
        FourPixelsToFloatsAvx2(s, d);
}

// Eight bytes at s.
template <int I>
ORM_KERNEL void BytesToDoubles(const std::uint8_t* s, Doubles8* v) {
    BytesToDoubles<I>(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(s)), v);
}
#pragma GCC diagnostic pop
#else
template <int I>
ORM_KERNEL void BytesToDoubles(const std::uint8_t* s, Doubles8* v) {
    for (int i = 0; i < 8; ++i) (*v)[i] = s[i];
}
#endif

}  // namespace orm::engine::simd
