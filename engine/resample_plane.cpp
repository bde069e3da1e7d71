#include "engine/resample_plane.h"

#include "engine/parallel.h"
#include "engine/progress.h"
#include "engine/simd.h"
#include "engine/simd_bytes.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

// The kernels below take and return GCC vectors of eight doubles; they are always inlined into
// the build that calls them, so the calling convention such a vector would have (the warning) never
// applies.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace orm::engine {

namespace {

// Base sample and phase of output coordinate i along an axis of src samples resized to dst:
// base = floor(i * src / dst) from the exact integer product, phase = truncate(1024 * the fraction)
// with the quotient taken as one double division of that product.
struct AxisSample {
    int base;
    int phase;
};

std::vector<AxisSample> AxisSamples(int src, int dst) {
    std::vector<AxisSample> samples(dst);
    for (int i = 0; i < dst; ++i) {
        const std::int64_t product = std::int64_t(i) * src;
        const std::int64_t base = product / dst;
        const double fraction = std::fabs(double(product) / dst - double(base));
        samples[i] = {int(base), int(kPhases * fraction)};
    }
    return samples;
}

// The centred form: u = N / D with N = (2i + 1) src - dst and D = 2 dst, base = floor(u) and the
// phase 1024 (u - base) rounded to nearest, halves to even, in integers, so that mirrored
// positions (u and src - 1 - u) get mirrored phases (p and 1024 - p) exactly.
std::vector<AxisSample> CentredAxisSamples(int src, int dst) {
    std::vector<AxisSample> samples(dst);
    const std::int64_t d = 2 * std::int64_t(dst);
    for (int i = 0; i < dst; ++i) {
        const std::int64_t n = (2 * std::int64_t(i) + 1) * src - dst;
        std::int64_t base = n >= 0 ? n / d : -((-n + d - 1) / d);
        const std::int64_t scaled = (n - base * d) * kPhases;  // < 2^43
        std::int64_t phase = scaled / d;
        const std::int64_t rest = scaled - phase * d;
        if (2 * rest > d || (2 * rest == d && (phase & 1) != 0))
            ++phase;
        if (phase == kPhases) {
            ++base;
            phase = 0;
        }
        samples[i] = {int(base), int(phase)};
    }
    return samples;
}

// Everything the row loops need, looked up once per call:
//  - the horizontal weights of every output column (weight t of column x at [x * taps + t])
//    and the first padded sample each column reads;
//  - per output row, the source rows its taps read (clamped to the plane) and their weights,
//    leaving out taps whose weight is exactly 0 (see VerticalRow).
struct ResamplePlan {
    int sw, sh, dw, dh, n, taps;
    std::vector<double> column_weights;  // dw x taps
    std::vector<int> column_first;       // dw: index into the padded row
    std::vector<AxisSample> rows;        // dh
    const WeightTable* table;
};

// The horizontal sums of eight source rows at once (one per lane of an eight-double vector):
// out_i[x] = sum over t of w[x][t] * padded_i[first[x] + t], accumulated from 0 in tap order,
// exactly the inner sum of the documented double sum for each row. The rows are interleaved and
// padded with n repeated edge samples on each side so no column clamps, and the lanes never mix.
constexpr int kGroup = 8;
typedef double Rows8 __attribute__((vector_size(kGroup * sizeof(double))));

// A group's samples of one column. The buffer is aligned for double only: an eight-double vector
// has the alignment of the widest registers of the build that declares it, so the loads say
// nothing about alignment.
ORM_KERNEL Rows8 LoadRows(const Rows8* p) {
    Rows8 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// The sum of output column x for the eight rows (kTaps taps; 0: `taps`, not known in advance).
template <int kTaps>
ORM_KERNEL void ColumnSum(const Rows8* padded, const double* weights, const int* first, int taps,
                          int x, Rows8* sum) {
    const int count = kTaps > 0 ? kTaps : taps;
    const double* w = weights + std::size_t(x) * count;
    const Rows8* p = padded + first[x];
    Rows8 h = {};
    for (int t = 0; t < count; ++t) h += w[t] * LoadRows(p + t);
    *sum = h;
}

// Eight sums stored at p: as doubles, or (the centred mode's ring) each rounded to a float.
ORM_KERNEL void StoreSums(double* p, const Rows8& v) {
    std::memcpy(p, &v, sizeof v);
}
typedef float Floats8 __attribute__((vector_size(kGroup * sizeof(float))));
ORM_KERNEL void StoreSums(float* p, const Rows8& v) {
    const Floats8 f = __builtin_convertvector(v, Floats8);
    std::memcpy(p, &f, sizeof f);
}

template <int kTaps, typename T>
ORM_KERNEL void HorizontalSumsTaps(const Rows8* padded, const double* weights, const int* first,
                                   int dw, int taps, T* const* out) {
    T* o[kGroup];
    for (int i = 0; i < kGroup; ++i) o[i] = out[i];
    int x = 0;
    // Eight columns at a time: the eight sums (a column of eight rows each) are transposed into
    // eight rows of eight columns, which are stored whole.
    const int count = kTaps > 0 ? kTaps : taps;
    for (; x + kGroup <= dw; x += kGroup) {
        // The eight columns' sums advance tap by tap side by side (each in its own tap order), so
        // their additions overlap instead of waiting on one another.
        Rows8 c[kGroup];
        const Rows8* p[kGroup];
        const double* w[kGroup];
        for (int j = 0; j < kGroup; ++j) {
            c[j] = Rows8{};
            p[j] = padded + first[x + j];
            w[j] = weights + std::size_t(x + j) * count;
        }
        for (int t = 0; t < count; ++t)
            for (int j = 0; j < kGroup; ++j) c[j] += w[j][t] * LoadRows(p[j] + t);
        Rows8 a[kGroup], b[kGroup];
        for (int j = 0; j < kGroup; j += 2) {
            a[j] = __builtin_shufflevector(c[j], c[j + 1], 0, 8, 2, 10, 4, 12, 6, 14);
            a[j + 1] = __builtin_shufflevector(c[j], c[j + 1], 1, 9, 3, 11, 5, 13, 7, 15);
        }
        for (int j = 0; j < kGroup; j += 4)
            for (int k = 0; k < 2; ++k) {
                b[j + k] =
                    __builtin_shufflevector(a[j + k], a[j + k + 2], 0, 1, 8, 9, 4, 5, 12, 13);
                b[j + k + 2] =
                    __builtin_shufflevector(a[j + k], a[j + k + 2], 2, 3, 10, 11, 6, 7, 14, 15);
            }
        for (int k = 0; k < 4; ++k) {
            const Rows8 low = __builtin_shufflevector(b[k], b[k + 4], 0, 1, 2, 3, 8, 9, 10, 11);
            const Rows8 high = __builtin_shufflevector(b[k], b[k + 4], 4, 5, 6, 7, 12, 13, 14, 15);
            StoreSums(o[k] + x, low);
            StoreSums(o[k + 4] + x, high);
        }
    }
    for (; x < dw; ++x) {
        Rows8 h;
        ColumnSum<kTaps>(padded, weights, first, taps, x, &h);
        for (int i = 0; i < kGroup; ++i) o[i][x] = T(h[i]);
    }
}

// The tap counts of the own algorithms' kernels (4: Catmull-Rom and Lanczos 2, 6: Lanczos 3) get
// loops of a fixed length, whose columns the processor overlaps.
template <typename T>
ORM_KERNEL void HorizontalSumsBody(const Rows8* padded, const double* weights, const int* first,
                                   int dw, int taps, T* const* out) {
    if (taps == 4)
        HorizontalSumsTaps<4>(padded, weights, first, dw, taps, out);
    else if (taps == 6)
        HorizontalSumsTaps<6>(padded, weights, first, dw, taps, out);
    else
        HorizontalSumsTaps<0>(padded, weights, first, dw, taps, out);
}
ORM_DISPATCH3(HorizontalSumsAuto, HorizontalSumsBody)

#if defined(ORM_SIMD_X86)
// The AVX2 build by hand, in fours of doubles (GCC keeps an eight-double vector in memory between
// operations in that build): four columns at a time, each as two registers (rows 0-3 and 4-7)
// that advance tap by tap from 0 in tap order as above, then two 4 x 4 transpositions into rows.
ORM_AVX2 inline void Transpose4(__m256d* a) {
    const __m256d t0 = _mm256_unpacklo_pd(a[0], a[1]), t1 = _mm256_unpackhi_pd(a[0], a[1]);
    const __m256d t2 = _mm256_unpacklo_pd(a[2], a[3]), t3 = _mm256_unpackhi_pd(a[2], a[3]);
    a[0] = _mm256_permute2f128_pd(t0, t2, 0x20);
    a[1] = _mm256_permute2f128_pd(t1, t3, 0x20);
    a[2] = _mm256_permute2f128_pd(t0, t2, 0x31);
    a[3] = _mm256_permute2f128_pd(t1, t3, 0x31);
}
ORM_AVX2 inline void StoreFour(double* p, __m256d v) {
    _mm256_storeu_pd(p, v);
}
ORM_AVX2 inline void StoreFour(float* p, __m256d v) {
    _mm_storeu_ps(p, _mm256_cvtpd_ps(v));
}

template <int kTaps, typename T>
ORM_AVX2 void HorizontalSumsFours(const Rows8* padded, const double* weights, const int* first,
                                  int dw, int taps, T* const* out) {
    const int count = kTaps > 0 ? kTaps : taps;
    const double* samples = reinterpret_cast<const double*>(padded);  // column c at 8 c
    int x = 0;
    for (; x + 4 <= dw; x += 4) {
        __m256d low[4], high[4];
        const double* p[4];
        const double* w[4];
        for (int j = 0; j < 4; ++j) {
            low[j] = high[j] = _mm256_setzero_pd();
            p[j] = samples + std::size_t(kGroup) * first[x + j];
            w[j] = weights + std::size_t(x + j) * count;
        }
        for (int t = 0; t < count; ++t)
            for (int j = 0; j < 4; ++j) {
                const __m256d wt = _mm256_set1_pd(w[j][t]);
                const double* q = p[j] + std::size_t(kGroup) * t;
                low[j] = _mm256_add_pd(low[j], _mm256_mul_pd(wt, _mm256_loadu_pd(q)));
                high[j] = _mm256_add_pd(high[j], _mm256_mul_pd(wt, _mm256_loadu_pd(q + 4)));
            }
        Transpose4(low);
        Transpose4(high);
        for (int i = 0; i < 4; ++i) {
            StoreFour(out[i] + x, low[i]);
            StoreFour(out[i + 4] + x, high[i]);
        }
    }
    for (; x < dw; ++x) {
        Rows8 h;
        ColumnSum<kTaps>(padded, weights, first, taps, x, &h);
        for (int i = 0; i < kGroup; ++i) out[i][x] = T(h[i]);
    }
}

template <typename T>
void HorizontalSums(const Rows8* padded, const double* weights, const int* first, int dw, int taps,
                    T* const* out) {
    if (!simd::UseAvx512() && simd::UseAvx2()) {
        if (taps == 4)
            return HorizontalSumsFours<4>(padded, weights, first, dw, taps, out);
        if (taps == 6)
            return HorizontalSumsFours<6>(padded, weights, first, dw, taps, out);
        return HorizontalSumsFours<0>(padded, weights, first, dw, taps, out);
    }
    HorizontalSumsAuto(padded, weights, first, dw, taps, out);
}
#else
template <typename T>
void HorizontalSums(const Rows8* padded, const double* weights, const int* first, int dw, int taps,
                    T* const* out) {
    HorizontalSumsAuto(padded, weights, first, dw, taps, out);
}
#endif

// One output row from the horizontal sums of the rows its taps read: sum over taps of
// weight x row sum, accumulated from 0 in tap order, then rounded by adding one half, truncated
// and clamped. Taps with a weight of exactly 0 are left out: their product is +-0, and adding
// +-0 to a finite sum changes at most the sign of a zero sum, which rounds to the same byte. For
// the same reason the first product stands for 0 plus itself.
// The tap count is a template parameter so each output's sum stays in a register.
template <int kCount>
ORM_KERNEL void VerticalTaps(const double* const* sums, const double* weights, int dw,
                             std::uint8_t* __restrict out) {
    const double* h[kCount];
    double w[kCount];
    for (int t = 0; t < kCount; ++t) {
        h[t] = sums[t];
        w[t] = weights[t];
    }
    for (int x = 0; x < dw; ++x) {
        double acc = w[0] * h[0][x];
        for (int t = 1; t < kCount; ++t) acc += w[t] * h[t][x];
        int v = int(acc + 0.5);
        v = v >= 255 ? 255 : v;
        v = v < 0 ? 0 : v;
        out[x] = std::uint8_t(v);
    }
}

ORM_KERNEL void VerticalRowBody(const double* const* sums, const double* weights, int count, int dw,
                                double* acc, std::uint8_t* out) {
    switch (count) {
        case 0:
            std::fill(out, out + dw, std::uint8_t(0));
            return;
        case 1:
            return VerticalTaps<1>(sums, weights, dw, out);
        case 2:
            return VerticalTaps<2>(sums, weights, dw, out);
        case 3:
            return VerticalTaps<3>(sums, weights, dw, out);
        case 4:
            return VerticalTaps<4>(sums, weights, dw, out);
        case 5:
            return VerticalTaps<5>(sums, weights, dw, out);
        case 6:
            return VerticalTaps<6>(sums, weights, dw, out);
        default:
            break;
    }
    // Wider kernels: the sums run through a buffer, a chunk of columns at a time.
    constexpr int kChunk = 512;
    for (int x0 = 0; x0 < dw; x0 += kChunk) {
        const int x1 = std::min(dw, x0 + kChunk);
        for (int x = x0; x < x1; ++x) acc[x] = weights[0] * sums[0][x];
        for (int t = 1; t < count; ++t) {
            const double w = weights[t];
            const double* h = sums[t];
            for (int x = x0; x < x1; ++x) acc[x] += w * h[x];
        }
        for (int x = x0; x < x1; ++x) {
            int v = int(acc[x] + 0.5);
            v = v >= 255 ? 255 : v;
            v = v < 0 ? 0 : v;
            out[x] = std::uint8_t(v);
        }
    }
}
ORM_DISPATCH3(VerticalRowAuto, VerticalRowBody)

#if defined(ORM_SIMD_X86)
// The centred mode's vertical sums in single precision: the horizontal sums were stored as floats
// and the weights rounded to floats; sum over taps of weight x row sum accumulated in float from
// the first product in tap order (zero weights left out as above), then rounded by adding one
// half, truncated and clamped. Sixteen outputs per AVX-512 register instead of eight.
template <int kCount>
ORM_KERNEL void VerticalTapsFloat(const float* const* sums, const float* weights, int dw,
                                  std::uint8_t* __restrict out) {
    const float* h[kCount];
    float w[kCount];
    for (int t = 0; t < kCount; ++t) {
        h[t] = sums[t];
        w[t] = weights[t];
    }
    for (int x = 0; x < dw; ++x) {
        float acc = w[0] * h[0][x];
        for (int t = 1; t < kCount; ++t) acc += w[t] * h[t][x];
        int v = int(acc + 0.5f);
        v = v >= 255 ? 255 : v;
        v = v < 0 ? 0 : v;
        out[x] = std::uint8_t(v);
    }
}

ORM_KERNEL void VerticalRowFloatBody(const float* const* sums, const float* weights, int count,
                                     int dw, float* acc, std::uint8_t* out) {
    switch (count) {
        case 0:
            std::fill(out, out + dw, std::uint8_t(0));
            return;
        case 1:
            return VerticalTapsFloat<1>(sums, weights, dw, out);
        case 2:
            return VerticalTapsFloat<2>(sums, weights, dw, out);
        case 3:
            return VerticalTapsFloat<3>(sums, weights, dw, out);
        case 4:
            return VerticalTapsFloat<4>(sums, weights, dw, out);
        case 5:
            return VerticalTapsFloat<5>(sums, weights, dw, out);
        case 6:
            return VerticalTapsFloat<6>(sums, weights, dw, out);
        default:
            break;
    }
    constexpr int kChunk = 512;
    for (int x0 = 0; x0 < dw; x0 += kChunk) {
        const int x1 = std::min(dw, x0 + kChunk);
        for (int x = x0; x < x1; ++x) acc[x] = weights[0] * sums[0][x];
        for (int t = 1; t < count; ++t) {
            const float w = weights[t];
            const float* h = sums[t];
            for (int x = x0; x < x1; ++x) acc[x] += w * h[x];
        }
        for (int x = x0; x < x1; ++x) {
            int v = int(acc[x] + 0.5f);
            v = v >= 255 ? 255 : v;
            v = v < 0 ? 0 : v;
            out[x] = std::uint8_t(v);
        }
    }
}
ORM_DISPATCH3(VerticalRowFloat, VerticalRowFloatBody)

// The AVX-512 build by hand: sixteen outputs per step in two registers, the truncation with the
// CPU's conversion and the clamp by saturating packs (int32 to int16 to 0..255). GCC 12 warns
// about the deliberately undefined operand inside its own conversion intrinsic; the warning is
// about the header.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
using D8 = simd::Doubles8;

ORM_AVX512 inline D8 Load8(const double* p) {
    D8 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <int kCount>
ORM_AVX512 void VerticalTapsAvx512(const double* const* sums, const double* weights, int dw,
                                   std::uint8_t* out) {
    const double* h[kCount];
    double w[kCount];
    for (int t = 0; t < kCount; ++t) {
        h[t] = sums[t];
        w[t] = weights[t];
    }
    int x = 0;
    for (; x + 16 <= dw; x += 16) {
        D8 a = w[0] * Load8(h[0] + x), b = w[0] * Load8(h[0] + x + 8);
        for (int t = 1; t < kCount; ++t) {
            a += w[t] * Load8(h[t] + x);
            b += w[t] * Load8(h[t] + x + 8);
        }
        a += 0.5;
        b += 0.5;
        const __m256i ia = _mm512_cvttpd_epi32(__m512d(a)), ib = _mm512_cvttpd_epi32(__m512d(b));
        const __m128i wa =
            _mm_packs_epi32(_mm256_castsi256_si128(ia), _mm256_extracti128_si256(ia, 1));
        const __m128i wb =
            _mm_packs_epi32(_mm256_castsi256_si128(ib), _mm256_extracti128_si256(ib, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(wa, wb));
    }
    for (; x < dw; ++x) {
        double acc = w[0] * h[0][x];
        for (int t = 1; t < kCount; ++t) acc += w[t] * h[t][x];
        int v = int(acc + 0.5);
        v = v >= 255 ? 255 : v;
        v = v < 0 ? 0 : v;
        out[x] = std::uint8_t(v);
    }
}
#pragma GCC diagnostic pop
#endif

void VerticalRow(const double* const* sums, const double* weights, int count, int dw, double* acc,
                 std::uint8_t* out) {
#if defined(ORM_SIMD_X86)
    if (simd::UseAvx512() && count >= 1 && count <= 6) {
        switch (count) {
            case 1:
                return VerticalTapsAvx512<1>(sums, weights, dw, out);
            case 2:
                return VerticalTapsAvx512<2>(sums, weights, dw, out);
            case 3:
                return VerticalTapsAvx512<3>(sums, weights, dw, out);
            case 4:
                return VerticalTapsAvx512<4>(sums, weights, dw, out);
            case 5:
                return VerticalTapsAvx512<5>(sums, weights, dw, out);
            default:
                return VerticalTapsAvx512<6>(sums, weights, dw, out);
        }
    }
#endif
    VerticalRowAuto(sums, weights, count, dw, acc, out);
}

// Eight source rows interleaved as doubles, padded with n repeated edge samples on each side:
// padded[n + c] holds column c of the eight rows. The middle goes eight columns at a time: an 8 x 8
// byte transposition (columns of eight bytes), then each column to doubles.
template <int I>
ORM_KERNEL void InterleaveRowsBody(const std::uint8_t* const* rows, int sw, int n, Rows8* padded) {
    for (int k = 0; k < n; ++k)
        for (int i = 0; i < kGroup; ++i) {
            padded[k][i] = rows[i][0];
            padded[std::size_t(sw) + n + k][i] = rows[i][sw - 1];
        }
    Rows8* mid = padded + n;
    int c = 0;
#if defined(ORM_SIMD_X86)
    for (; c + 8 <= sw; c += 8) {
        __m128i r[8];
        for (int i = 0; i < 8; ++i)
            r[i] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(rows[i] + c));
        // Bytes of row pairs, 16-bit pairs of row quads, then 32-bit quads: q[j] holds columns
        // 2j and 2j + 1 (eight bytes each, rows 0 to 7).
        const __m128i a0 = _mm_unpacklo_epi8(r[0], r[1]), a1 = _mm_unpacklo_epi8(r[2], r[3]);
        const __m128i a2 = _mm_unpacklo_epi8(r[4], r[5]), a3 = _mm_unpacklo_epi8(r[6], r[7]);
        const __m128i b0 = _mm_unpacklo_epi16(a0, a1), b1 = _mm_unpackhi_epi16(a0, a1);
        const __m128i b2 = _mm_unpacklo_epi16(a2, a3), b3 = _mm_unpackhi_epi16(a2, a3);
        const __m128i q[4] = {_mm_unpacklo_epi32(b0, b2), _mm_unpackhi_epi32(b0, b2),
                              _mm_unpacklo_epi32(b1, b3), _mm_unpackhi_epi32(b1, b3)};
        for (int j = 0; j < 4; ++j) {
            simd::Doubles8 low, high;
            simd::BytesToDoubles<I>(q[j], &low);
            simd::BytesToDoubles<I>(_mm_unpackhi_epi64(q[j], q[j]), &high);
            std::memcpy(&mid[c + 2 * j], &low, sizeof low);
            std::memcpy(&mid[c + 2 * j + 1], &high, sizeof high);
        }
    }
#endif
    for (; c < sw; ++c)
        for (int i = 0; i < kGroup; ++i) mid[c][i] = rows[i][c];
}
#if defined(ORM_SIMD_X86)
ORM_AVX512 void InterleaveRowsAvx512(const std::uint8_t* const* rows, int sw, int n,
                                     Rows8* padded) {
    InterleaveRowsBody<simd::kAvx512>(rows, sw, n, padded);
}
ORM_AVX2 void InterleaveRowsAvx2(const std::uint8_t* const* rows, int sw, int n, Rows8* padded) {
    InterleaveRowsBody<simd::kAvx2>(rows, sw, n, padded);
}
#endif
void InterleaveRows(const std::uint8_t* const* rows, int sw, int n, Rows8* padded) {
#if defined(ORM_SIMD_X86)
    if (simd::UseAvx512())
        return InterleaveRowsAvx512(rows, sw, n, padded);
    if (simd::UseAvx2())
        return InterleaveRowsAvx2(rows, sw, n, padded);
#endif
    InterleaveRowsBody<simd::kPortable>(rows, sw, n, padded);
}

// Output rows [y0, y1). The horizontal sums of the source rows the band reads live in a ring
// keyed by source row, computed eight aligned rows at a time (g .. g + 7, g a multiple of 8) and
// reused by every output row of the band that reads them. The rows an output reads are
// consecutive and only grow from one output row to the next, and a group lies within seven rows
// of the window that asked for it, so with taps + 2 x 8 slots no row still needed loses its slot.
// T is the ring's type: double (documented), float (centred: the sums rounded to single
// precision, and the vertical pass in single precision).
template <typename T>
void ResampleBand(const ResamplePlan& plan, const ImagePlane& src, ImagePlane& dst, int y0,
                  int y1) {
    const int sw = plan.sw, sh = plan.sh, dw = plan.dw, n = plan.n, taps = plan.taps;
    const int slots = taps + 2 * kGroup;
    using Values = std::vector<T, UninitAllocator<T>>;  // written before read
    std::vector<Rows8, UninitAllocator<Rows8>> padded(std::size_t(sw) + 2 * n);
    Values ring(std::size_t(slots) * dw);
    Values spare(dw);  // the lanes of a group past the last source row
    std::vector<int> slot_row(slots, -1);
    Values acc(dw);
    std::vector<const T*> sums(taps);
    std::vector<T> weights(taps);

    auto compute_group = [&](int g) {
        T* out[kGroup];
        const std::uint8_t* rows[kGroup];
        for (int i = 0; i < kGroup; ++i) rows[i] = src.Row(std::min(g + i, sh - 1));
        InterleaveRows(rows, sw, n, padded.data());
        for (int i = 0; i < kGroup; ++i) {
            if (g + i < sh) {
                const int slot = (g + i) % slots;
                out[i] = ring.data() + std::size_t(slot) * dw;
                slot_row[slot] = g + i;
            } else {
                out[i] = spare.data();
            }
        }
        HorizontalSums(static_cast<const Rows8*>(padded.data()),
                       static_cast<const double*>(plan.column_weights.data()),
                       static_cast<const int*>(plan.column_first.data()), dw, taps,
                       static_cast<T* const*>(out));
    };

    for (int y = y0; y < y1; ++y) {
        const AxisSample& row = plan.rows[y];
        const double* w = plan.table->Phase(row.phase);
        int count = 0;
        for (int t = 0; t < taps; ++t) {
            if (w[t] == 0.0)
                continue;
            const int r = std::clamp(row.base + t - (n - 1), 0, sh - 1);
            const int slot = r % slots;
            if (slot_row[slot] != r)
                compute_group(r - r % kGroup);
            sums[count] = ring.data() + std::size_t(slot) * dw;
            weights[count] = T(w[t]);
            ++count;
        }
        if constexpr (std::is_same_v<T, float>)
            VerticalRowFloat(static_cast<const float* const*>(sums.data()),
                             static_cast<const float*>(weights.data()), count, dw, acc.data(),
                             dst.Row(y));
        else
            VerticalRow(static_cast<const double* const*>(sums.data()),
                        static_cast<const double*>(weights.data()), count, dw, acc.data(),
                        dst.Row(y));
    }
}

}  // namespace

bool ResamplePlane(ImagePlane& dst, const ImagePlane& src, double p1, double p2, KernelType type,
                   CRSProgress* progress, Sampling sampling) {
    const bool centred = sampling == Sampling::Centred;
    const WeightTable table(type, p1, p2, centred);
    ResamplePlan plan;
    plan.sw = src.Width();
    plan.sh = src.Height();
    plan.dw = dst.Width();
    plan.dh = dst.Height();
    plan.n = table.Support();
    plan.taps = table.Taps();
    plan.table = &table;
    plan.rows = centred ? CentredAxisSamples(plan.sh, plan.dh) : AxisSamples(plan.sh, plan.dh);
    const std::vector<AxisSample> columns =
        centred ? CentredAxisSamples(plan.sw, plan.dw) : AxisSamples(plan.sw, plan.dw);
    plan.column_weights.resize(std::size_t(plan.taps) * plan.dw);
    plan.column_first.resize(plan.dw);
    for (int x = 0; x < plan.dw; ++x) {
        const double* w = table.Phase(columns[x].phase);
        for (int t = 0; t < plan.taps; ++t)
            plan.column_weights[std::size_t(x) * plan.taps + t] = w[t];
        // Padded index of column base - (n - 1); centred bases start at -1, within the n padded
        // samples, and end at sw - 1.
        plan.column_first[x] = columns[x].base + 1;
    }

    // A band recomputes the horizontal sums of the few source rows it shares with its
    // neighbours; bands of 32 rows or more keep that small.
    return ParallelRows(
        plan.dh, 32, progress != nullptr,
        [&](int y0, int y1) {
            if (centred)
                ResampleBand<float>(plan, src, dst, y0, y1);
            else
                ResampleBand<double>(plan, src, dst, y0, y1);
        },
        [&](int y) { return Report(progress, int(100LL * y / plan.dh)); });
}

}  // namespace orm::engine
