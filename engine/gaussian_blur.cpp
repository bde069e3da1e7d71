#include "engine/parallel.h"
#include "engine/plane_filters.h"
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
#include <new>
#include <type_traits>
#include <vector>

// The AVX2 kernels take and return GCC vectors of four doubles; they are always inlined into the
// build that calls them, so the calling convention such a vector would have (the warning) never
// applies.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace orm::engine {

double GaussianSigmaForCode(int code) {
    const float r = std::fabs(float(code) / 10.0f) + 1.0f;
    const double rr = double(r) * double(r);
    return std::sqrt(-rr / (2.0 * std::log(1.0 / 255.0)));
}

DericheCoefficients ComputeDericheCoefficients(double sigma, Sampling sampling) {
    const double c0 = -1.783 / sigma, c1 = -1.723 / sigma, c2 = 0.6318 / sigma, c3 = 1.997 / sigma;
    const double div = std::sqrt(6.283185307179586) * sigma;
    const double c4 = 1.6803 / div, c5 = 3.735 / div, c6 = -0.6803 / div, c7 = -0.2598 / div;

    DericheCoefficients k;
    auto& np = k.n_p;
    auto& dp = k.d_p;
    np[0] = c4 + c6;
    np[1] = std::exp(c1) * (c7 * std::sin(c3) - (2 * c4 + c6) * std::cos(c3)) +
            std::exp(c0) * (c5 * std::sin(c2) - (2 * c6 + c4) * std::cos(c2));
    np[2] = 2 * std::exp(c0 + c1) *
                ((c4 + c6) * std::cos(c3) * std::cos(c2) - c5 * std::cos(c3) * std::sin(c2) -
                 c7 * std::cos(c2) * std::sin(c3)) +
            c6 * std::exp(2 * c0) + c4 * std::exp(2 * c1);
    np[3] = std::exp(c1 + 2 * c0) * (c7 * std::sin(c3) - c6 * std::cos(c3)) +
            std::exp(c0 + 2 * c1) * (c5 * std::sin(c2) - c4 * std::cos(c2));
    np[4] = 0.0;

    dp[0] = 0.0;
    dp[1] = -2 * std::exp(c1) * std::cos(c3) - 2 * std::exp(c0) * std::cos(c2);
    dp[2] =
        4 * std::cos(c3) * std::cos(c2) * std::exp(c0 + c1) + std::exp(2 * c1) + std::exp(2 * c0);
    dp[3] = -2 * std::cos(c2) * std::exp(c0 + 2 * c1) - 2 * std::cos(c3) * std::exp(c1 + 2 * c0);
    dp[4] = std::exp(2 * c0 + 2 * c1);

    k.d_m = dp;
    k.n_m[0] = 0.0;
    for (int i = 1; i <= 4; ++i) k.n_m[i] = np[i] - dp[i] * np[0];

    double sp = 0, sm = 0, sd = 0;
    for (int i = 0; i <= 4; ++i) {
        sp += np[i];
        sm += k.n_m[i];
        sd += dp[i];
    }
    const double a = sp / (1 + sd);
    const double b = sm / (1 + sd);
    if (sampling == Sampling::Centred) {
        // Unit gain: the feed-forward terms divided by the steady-state gain a + b; a constant
        // line L then settles at a' L forward and b' L backward (a' + b' = 1), and the edge
        // terms are those of the line continued by its edge sample: n[j] L - d[j] (a' L).
        const double gain = a + b;
        for (int i = 0; i <= 4; ++i) {
            np[i] /= gain;
            k.n_m[i] /= gain;
        }
        const double ap = a / gain, bp = b / gain;
        for (int i = 0; i <= 4; ++i) {
            k.bd_p[i] = ap * dp[i];
            k.bd_m[i] = bp * k.d_m[i];
        }
        return k;
    }
    for (int i = 0; i <= 4; ++i) {
        k.bd_p[i] = (1 - a) * dp[i];
        k.bd_m[i] = (1 - b) * k.d_m[i];
    }
    return k;
}

namespace {

// Lines are blurred in bundles of kLanes independent lines at once (columns for the column pass,
// rows for the row pass). Sample i of lane l of a bundle sits at data[i * step + l]: for the column
// pass that is the plane itself (16 neighbouring columns, a row apart), for the row pass a scratch
// copy of 16 rows laid side by side. Every step of the recursions is then the same operation on
// neighbouring values, which the compiler turns into vector instructions. Each lane performs
// exactly the documented operations of its own line in the documented order; lanes never mix.
constexpr int kLanes = 16;

// Eight doubles: one register of the AVX-512 build, four of the portable one (GCC's generic
// vectors: every operator works lane by lane with the IEEE operation of double, so a lane computes
// exactly what scalar code would). The AVX2 build works in fours, one register each: GCC keeps a
// vector wider than the build's registers in memory between operations, which made its blur five
// times slower.
using D8 = simd::Doubles8;
typedef double D4 __attribute__((vector_size(4 * sizeof(double))));
typedef float F8 __attribute__((vector_size(8 * sizeof(float))));
typedef int I8 __attribute__((vector_size(8 * sizeof(int))));

// W lanes (a multiple of 8) as one value, in parts of type V.
template <int W, typename V>
struct Lanes {
    static constexpr int kWidth = int(sizeof(V) / sizeof(double));
    static constexpr int kParts = W / kWidth;
    V p[kParts];
};
template <int W, typename V>
ORM_KERNEL Lanes<W, V> operator+(Lanes<W, V> a, const Lanes<W, V>& b) {
    for (int i = 0; i < Lanes<W, V>::kParts; ++i) a.p[i] += b.p[i];
    return a;
}
template <int W, typename V>
ORM_KERNEL Lanes<W, V> operator-(Lanes<W, V> a, const Lanes<W, V>& b) {
    for (int i = 0; i < Lanes<W, V>::kParts; ++i) a.p[i] -= b.p[i];
    return a;
}
template <int W, typename V>
ORM_KERNEL Lanes<W, V> operator*(double s, Lanes<W, V> a) {
    for (int i = 0; i < Lanes<W, V>::kParts; ++i) a.p[i] *= s;
    return a;
}
template <int W, typename V>
ORM_KERNEL Lanes<W, V>& operator+=(Lanes<W, V>& a, const Lanes<W, V>& b) {
    return a = a + b;
}
template <int W, typename V>
ORM_KERNEL Lanes<W, V>& operator-=(Lanes<W, V>& a, const Lanes<W, V>& b) {
    return a = a - b;
}

// Rounding: each lane's sum is stored as a float, then rounded to the nearest integer, halves to
// even, clamped to 0..255 and written as a byte. The x86 conversion from float to integer rounds
// by the floating-point control word, which is round-to-nearest-even unless a program changes it
// (this one never does); the saturating packs clamp (the values stay far inside 16 bits). As in
// simd_bytes.h, the AVX forms are inline functions with their target.
using simd::kAvx2;
using simd::kAvx512;
using simd::kPortable;

#if defined(ORM_SIMD_X86)
ORM_AVX512 inline void StoreRoundedAvx512(const D8* v, std::uint8_t* d) {
    const __m256i r = _mm256_cvtps_epi32(__m256(__builtin_convertvector(*v, F8)));
    const __m128i w16 = _mm_packs_epi32(_mm256_castsi256_si128(r), _mm256_extracti128_si256(r, 1));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(d), _mm_packus_epi16(w16, w16));
}
ORM_AVX2 inline void StoreRoundedAvx2(const D4* v, std::uint8_t* d) {
    const __m128i a = _mm_cvtps_epi32(_mm256_cvtpd_ps(__m256d(v[0])));
    const __m128i b = _mm_cvtps_epi32(_mm256_cvtpd_ps(__m256d(v[1])));
    const __m128i w16 = _mm_packs_epi32(a, b);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(d), _mm_packus_epi16(w16, w16));
}
ORM_KERNEL void StoreRoundedPortable(const D8* v, std::uint8_t* d) {
    __m128d h[4];
    std::memcpy(h, v, sizeof h);
    const __m128i a = _mm_cvtps_epi32(_mm_movelh_ps(_mm_cvtpd_ps(h[0]), _mm_cvtpd_ps(h[1])));
    const __m128i b = _mm_cvtps_epi32(_mm_movelh_ps(_mm_cvtpd_ps(h[2]), _mm_cvtpd_ps(h[3])));
    const __m128i w16 = _mm_packs_epi32(a, b);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(d), _mm_packus_epi16(w16, w16));
}
#else
ORM_KERNEL void StoreRoundedPortable(const D8* v, std::uint8_t* d) {
    // Adding 1.5 x 2^23 and taking it away again rounds to the nearest integer, halves to even,
    // exactly in float arithmetic for magnitudes below 2^22 (these stay below 2^10).
    const F8 magic = F8{} + 12582912.0f;
    const I8 low = I8{}, high = I8{} + 255;
    const F8 f = __builtin_convertvector(*v, F8);
    I8 r = __builtin_convertvector((f + magic) - magic, I8);
    r = r < low ? low : r;
    r = r > high ? high : r;
    for (int i = 0; i < 8; ++i) d[i] = std::uint8_t(r[i]);
}
#endif

// The parts of the build I.
template <int I>
using Part = std::conditional_t<I == kAvx2, D4, D8>;
template <int W, int I>
using LanesOf = Lanes<W, Part<I>>;

#if defined(ORM_SIMD_X86)
// Four bytes as four doubles (written through a pointer: a function without AVX that returned
// the vector would pass it in another way than this one, which clang refuses).
ORM_AVX2 inline void FourBytesAvx2(const std::uint8_t* s, D4* out) {
    std::int32_t four;
    std::memcpy(&four, s, sizeof four);
    *out = D4(_mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(four))));
}
#endif

// W samples (bytes) as doubles.
template <int W, int I>
ORM_KERNEL LanesOf<W, I> LoadBytes(const std::uint8_t* s) {
    using L = LanesOf<W, I>;
    L v;
#if defined(ORM_SIMD_X86)
    if constexpr (I == kAvx2)
        for (int i = 0; i < L::kParts; ++i) FourBytesAvx2(s + 4 * i, &v.p[i]);
    else
#endif
        for (int i = 0; i < L::kParts; ++i) simd::BytesToDoubles<I>(s + 8 * i, &v.p[i]);
    return v;
}

template <int W, int I>
ORM_KERNEL void StoreRounded(const LanesOf<W, I>& total, std::uint8_t* d) {
    for (int i = 0; i < W / 8; ++i) {
#if defined(ORM_SIMD_X86)
        if constexpr (I == kAvx512)
            StoreRoundedAvx512(&total.p[i], d + 8 * i);
        else if constexpr (I == kAvx2)
            StoreRoundedAvx2(&total.p[2 * i], d + 8 * i);
        else
#endif
            StoreRoundedPortable(&total.p[i], d + 8 * i);
    }
}

// Forward values in memory (unaligned access: the buffer has the alignment of double only).
template <int W, typename V>
class LaneArray {
  public:
    using L = Lanes<W, V>;
    explicit LaneArray(double* p) : p_(p) {}
    L operator[](int i) const {
        L v;
        for (int k = 0; k < L::kParts; ++k)
            std::memcpy(&v.p[k], p_ + std::size_t(i) * W + L::kWidth * k, sizeof(V));
        return v;
    }
    void Set(int i, const L& v) {
        for (int k = 0; k < L::kParts; ++k)
            std::memcpy(p_ + std::size_t(i) * W + L::kWidth * k, &v.p[k], sizeof(V));
    }

  private:
    double* p_;
};

// Forward and backward recursions of W lines of n samples (sample i of lane l at
// data[i * step + l]), the rounded results written back in place: the forward pass only reads,
// and the backward pass reads sample i before it writes result i and never reads sample i again
// (the later samples it needs ride along in registers), so every result comes from the original
// samples. vp_lanes has room for n x W doubles.
// Term j of step i is (n[j] L[i -+ j] - d[j] v[i -+ j]), added to a sum that starts at 0, in the
// documented order. The documented recursion clears vp and vm before it runs, so the j = 0 term
// reads a 0 there; that 0 is written out here. Near the ends (fewer than four earlier samples) the
// missing terms are the edge terms (n[j] - bd[j]) L[first or last]. The backward values are used
// as soon as they are made, so only the last four are kept.
// The column pass's samples lie a row apart, a stride the processor's own prefetching does not
// follow: both recursions ask for the samples kAhead steps ahead of the one they compute.
constexpr int kAhead = 16;
template <int W, int I>
ORM_KERNEL void BlurLanes(const DericheCoefficients* kp, std::uint8_t* data, std::ptrdiff_t step,
                          int n, double* vp_lanes) {
    using L = LanesOf<W, I>;
    const DericheCoefficients& k = *kp;
    LaneArray<W, Part<I>> vp(vp_lanes);
    const L zero{};
    const L first = LoadBytes<W, I>(data);
    const L last = LoadBytes<W, I>(data + (n - 1) * step);
    // Forward.
    for (int i = 0; i < n; ++i) {
        const int t = std::min(i, 4);
        L sum = zero;
        sum += k.n_p[0] * LoadBytes<W, I>(data + std::ptrdiff_t(i) * step) - k.d_p[0] * zero;
        for (int j = 1; j <= t; ++j)
            sum += k.n_p[j] * LoadBytes<W, I>(data + std::ptrdiff_t(i - j) * step) -
                   k.d_p[j] * vp[i - j];
        for (int j = t + 1; j <= 4; ++j) sum += (k.n_p[j] - k.bd_p[j]) * first;
        vp.Set(i, sum);
        if (i == 3)
            break;
    }
    if (n > 4) {
        // Steady state: the last four inputs and forward values ride along in registers.
        // n_p[4] and d_p[0] are exactly 0 (see ComputeDericheCoefficients), so the j = 0 term is
        // n_p[0] L[i] - 0 and the j = 4 term is 0 - d_p[4] vp[i - 4]: x - (+0) is x, and
        // s + (0 - y) is s - y except for the sign of a zero. The sign of a zero never changes a
        // non-zero sum or product of finite values, and a zero of either sign rounds to the same
        // byte, so dropping these operations changes no output byte.
        const double n0 = k.n_p[0], n1 = k.n_p[1], n2 = k.n_p[2], n3 = k.n_p[3];
        const double d1 = k.d_p[1], d2 = k.d_p[2], d3 = k.d_p[3], d4 = k.d_p[4];
        L l1 = LoadBytes<W, I>(data + std::ptrdiff_t(3) * step),
          l2 = LoadBytes<W, I>(data + std::ptrdiff_t(2) * step),
          l3 = LoadBytes<W, I>(data + std::ptrdiff_t(1) * step);
        L v1 = vp[3], v2 = vp[2], v3 = vp[1], v4 = vp[0];
        for (int i = 4; i < n; ++i) {
            if (i + kAhead < n)
                __builtin_prefetch(data + std::ptrdiff_t(i + kAhead) * step, 0);
            const L l0 = LoadBytes<W, I>(data + std::ptrdiff_t(i) * step);
            L sum = n0 * l0;
            sum += n1 * l1 - d1 * v1;
            sum += n2 * l2 - d2 * v2;
            sum += n3 * l3 - d3 * v3;
            sum -= d4 * v4;
            vp.Set(i, sum);
            l3 = l2;
            l2 = l1;
            l1 = l0;
            v4 = v3;
            v3 = v2;
            v2 = v1;
            v1 = sum;
        }
    }
    // Backward, combined with the forward values, rounded and written back.
    const double n0 = k.n_m[0], n1 = k.n_m[1], n2 = k.n_m[2], n3 = k.n_m[3], n4 = k.n_m[4];
    const double d0 = k.d_m[0], d1 = k.d_m[1], d2 = k.d_m[2], d3 = k.d_m[3], d4 = k.d_m[4];
    L m1 = zero, m2 = zero, m3 = zero, m4 = zero;  // vm at i + 1 .. i + 4
    L l1 = zero, l2 = zero, l3 = zero, l4 = zero;  // inputs at i + 1 .. i + 4
    int i = n - 1;
    for (; i >= 0 && i + 4 >= n; --i) {
        const L l0 = LoadBytes<W, I>(data + std::ptrdiff_t(i) * step);
        L sum = zero;
        sum += n0 * l0 - d0 * zero;
        const int t = n - 1 - i;
        const L m[5] = {zero, m1, m2, m3, m4};
        const L l[5] = {l0, l1, l2, l3, l4};
        for (int j = 1; j <= t; ++j) sum += k.n_m[j] * l[j] - k.d_m[j] * m[j];
        for (int j = t + 1; j <= 4; ++j) sum += (k.n_m[j] - k.bd_m[j]) * last;
        l4 = l3;
        l3 = l2;
        l2 = l1;
        l1 = l0;
        m4 = m3;
        m3 = m2;
        m2 = m1;
        m1 = sum;
        StoreRounded<W, I>(vp[i] + sum, data + i * step);
    }
    for (; i >= 0; --i) {
        if (i >= kAhead)
            __builtin_prefetch(data + std::ptrdiff_t(i - kAhead) * step, 1);
        // n_m[0] and d_m[0] are exactly 0: the j = 0 term is 0 and adding it to the starting 0
        // gives 0, so the sum starts with the j = 1 term (the sign of a zero aside, which changes
        // no byte, as above).
        const L l0 = LoadBytes<W, I>(data + std::ptrdiff_t(i) * step);
        L sum = n1 * l1 - d1 * m1;
        sum += n2 * l2 - d2 * m2;
        sum += n3 * l3 - d3 * m3;
        sum += n4 * l4 - d4 * m4;
        l4 = l3;
        l3 = l2;
        l2 = l1;
        l1 = l0;
        m4 = m3;
        m3 = m2;
        m2 = m1;
        m1 = sum;
        StoreRounded<W, I>(vp[i] + sum, data + i * step);
    }
}

// A bundle of kLanes lines: as one group of 16 lanes where the registers hold it (AVX-512's 32
// vector registers), else as two groups of 8 (the recursions keep seven values per lane in
// flight). The lanes are independent, so the grouping changes no result.
#if defined(ORM_SIMD_X86)
ORM_AVX512 void BlurBundleAvx512(const DericheCoefficients* k, std::uint8_t* data,
                                 std::ptrdiff_t step, int n, double* vp) {
    BlurLanes<16, kAvx512>(k, data, step, n, vp);
}
ORM_AVX2 void BlurBundleAvx2(const DericheCoefficients* k, std::uint8_t* data, std::ptrdiff_t step,
                             int n, double* vp) {
    BlurLanes<8, kAvx2>(k, data, step, n, vp);
    BlurLanes<8, kAvx2>(k, data + 8, step, n, vp);
}
#endif
void BlurBundlePortable(const DericheCoefficients* k, std::uint8_t* data, std::ptrdiff_t step,
                        int n, double* vp) {
    BlurLanes<8, kPortable>(k, data, step, n, vp);
    BlurLanes<8, kPortable>(k, data + 8, step, n, vp);
}
void BlurBundle(const DericheCoefficients& k, std::uint8_t* data, std::ptrdiff_t step, int n,
                double* vp) {
#if defined(ORM_SIMD_X86)
    if (simd::UseAvx512())
        return BlurBundleAvx512(&k, data, step, n, vp);
    if (simd::UseAvx2())
        return BlurBundleAvx2(&k, data, step, n, vp);
#endif
    BlurBundlePortable(&k, data, step, n, vp);
}

// Byte transposition between kLanes lines and a bundle: bundle[i * kLanes + l] = lines[l][i] for
// i < n, in blocks of 16 x 16 bytes.
#if defined(__SSE2__)
inline void Transpose16x16(const std::uint8_t* const* src, std::ptrdiff_t offset,
                           std::uint8_t* const* dst, std::ptrdiff_t dst_offset) {
    __m128i a[16], b[16];
    for (int r = 0; r < 16; ++r)
        a[r] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src[r] + offset));
    // Bytes of row pairs, then 16-bit pairs of row quads, 32-bit quads of row octets and 64-bit
    // halves: after the last step b[c] holds column c of the 16 rows.
    for (int i = 0; i < 8; ++i) {
        b[i] = _mm_unpacklo_epi8(a[2 * i], a[2 * i + 1]);      // columns 0-7 of rows 2i, 2i+1
        b[i + 8] = _mm_unpackhi_epi8(a[2 * i], a[2 * i + 1]);  // columns 8-15
    }
    for (int h = 0; h < 2; ++h)
        for (int i = 0; i < 4; ++i) {
            a[8 * h + i] = _mm_unpacklo_epi16(b[8 * h + 2 * i], b[8 * h + 2 * i + 1]);
            a[8 * h + i + 4] = _mm_unpackhi_epi16(b[8 * h + 2 * i], b[8 * h + 2 * i + 1]);
        }
    // a[8h + 4q' + i]: columns 8h + 4q' .. + 3 of rows 4i .. 4i + 3 (q' = 0, 1).
    for (int g = 0; g < 4; ++g)
        for (int k = 0; k < 2; ++k) {
            b[4 * g + k] = _mm_unpacklo_epi32(a[4 * g + 2 * k], a[4 * g + 2 * k + 1]);
            b[4 * g + k + 2] = _mm_unpackhi_epi32(a[4 * g + 2 * k], a[4 * g + 2 * k + 1]);
        }
    // b[4g + 2p + k]: columns 4g + 2p, 4g + 2p + 1 of rows 8k .. 8k + 7.
    for (int g = 0; g < 4; ++g)
        for (int p = 0; p < 2; ++p) {
            const __m128i lo = b[4 * g + 2 * p], hi = b[4 * g + 2 * p + 1];
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst[4 * g + 2 * p] + dst_offset),
                             _mm_unpacklo_epi64(lo, hi));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst[4 * g + 2 * p + 1] + dst_offset),
                             _mm_unpackhi_epi64(lo, hi));
        }
}
#endif

void LinesToBundle(const std::uint8_t* const* lines, int n, std::uint8_t* bundle) {
    int i = 0;
#if defined(__SSE2__)
    std::uint8_t* columns[16];
    for (; i + 16 <= n; i += 16) {
        for (int c = 0; c < 16; ++c) columns[c] = bundle + std::size_t(i + c) * kLanes;
        Transpose16x16(lines, i, columns, 0);
    }
#endif
    for (; i < n; ++i)
        for (int l = 0; l < kLanes; ++l) bundle[std::size_t(i) * kLanes + l] = lines[l][i];
}

void BundleToLines(const std::uint8_t* bundle, int n, std::uint8_t* const* lines) {
    int i = 0;
#if defined(__SSE2__)
    const std::uint8_t* columns[16];
    for (; i + 16 <= n; i += 16) {
        for (int c = 0; c < 16; ++c) columns[c] = bundle + std::size_t(i + c) * kLanes;
        Transpose16x16(columns, 0, lines, i);
    }
#endif
    for (; i < n; ++i)
        for (int l = 0; l < kLanes; ++l) lines[l][i] = bundle[std::size_t(i) * kLanes + l];
}

struct BundleScratch {
    // Written before read: no clearing.
    std::vector<std::uint8_t, UninitAllocator<std::uint8_t>> bundle;   // n x kLanes samples
    std::vector<std::uint8_t, UninitAllocator<std::uint8_t>> discard;  // n: unused lanes' results
    std::vector<double, UninitAllocator<double>> vp;                   // n x kLanes forward values
};

// Blurs lines [first, first + count) of the plane (count <= kLanes). A line of index i starts at
// plane + i * line_step and its samples are sample_step apart; missing lanes repeat the last line
// and their results are dropped.
void BlurLines(const DericheCoefficients& k, std::uint8_t* plane, int first, int count, int n,
               std::ptrdiff_t line_step, std::ptrdiff_t sample_step, BundleScratch& scratch) {
    if (line_step == 1 && count == kLanes) {
        // Neighbouring columns: the plane is the bundle.
        BlurBundle(k, plane + first, sample_step, n, scratch.vp.data());
        return;
    }
    std::uint8_t* bundle = scratch.bundle.data();
    if (line_step == 1) {
        // The last columns: gathered, blurred, and the real ones put back.
        for (int i = 0; i < n; ++i) {
            const std::uint8_t* row = plane + first + i * sample_step;
            for (int l = 0; l < kLanes; ++l)
                bundle[std::size_t(i) * kLanes + l] = row[std::min(l, count - 1)];
        }
        BlurBundle(k, bundle, kLanes, n, scratch.vp.data());
        for (int i = 0; i < n; ++i) {
            std::uint8_t* row = plane + first + i * sample_step;
            for (int l = 0; l < count; ++l) row[l] = bundle[std::size_t(i) * kLanes + l];
        }
        return;
    }
    // Rows (sample_step 1): transposed into the bundle and back.
    const std::uint8_t* in[kLanes];
    std::uint8_t* out[kLanes];
    for (int l = 0; l < kLanes; ++l) {
        in[l] = plane + std::min(first + l, first + count - 1) * line_step;
        out[l] = l < count ? plane + (first + l) * line_step : scratch.discard.data();
    }
    LinesToBundle(in, n, bundle);
    BlurBundle(k, bundle, kLanes, n, scratch.vp.data());
    BundleToLines(bundle, n, out);
}

// Blurs `lines` lines of n samples each, bundle by bundle, over the engine's threads;
// `report(line)` runs after each wave for every line of it, in order.
template <typename Report>
bool BlurPass(const DericheCoefficients& k, std::uint8_t* plane, int lines, int n,
              std::ptrdiff_t line_step, std::ptrdiff_t sample_step, bool listened,
              Report&& report) {
    const int bundles = (lines + kLanes - 1) / kLanes;
    return ParallelRows(
        bundles, 2, listened,
        [&](int b0, int b1) {
            BundleScratch scratch;
            scratch.bundle.resize(std::size_t(n) * kLanes);
            scratch.discard.resize(std::size_t(n));
            scratch.vp.resize(std::size_t(n) * kLanes);
            for (int b = b0; b < b1; ++b) {
                const int first = b * kLanes;
                BlurLines(k, plane, first, std::min(kLanes, lines - first), n, line_step,
                          sample_step, scratch);
            }
        },
        [&](int b) {
            const int end = std::min(lines, (b + 1) * kLanes);
            for (int line = b * kLanes; line < end; ++line)
                if (!report(line))
                    return false;
            return true;
        });
}

}  // namespace

bool GaussianBlurPlane(ImagePlane& plane, int horizontal_code, int vertical_code,
                       const volatile unsigned char* stop, CRSProgress* progress,
                       Sampling sampling) {
    const int w = plane.Width(), h = plane.Height();
    if (w <= 0 || h <= 0)
        return true;
    try {
        // The line buffers of the first bundle, made up front so that a plane too large for
        // memory fails before anything is written.
        std::vector<double> probe;
        probe.reserve(std::size_t(std::max(w, h)) * kLanes);
    } catch (const std::bad_alloc&) {
        return false;  // the plane is left as it was
    }

    const DericheCoefficients kv =
        ComputeDericheCoefficients(GaussianSigmaForCode(vertical_code), sampling);
    if (!BlurPass(kv, plane.Data(), w, h, 1, w, progress != nullptr,
                  [&](int x) { return Report(progress, 50 * x / w); }))
        return false;

    const DericheCoefficients kh =
        ComputeDericheCoefficients(GaussianSigmaForCode(horizontal_code), sampling);
    return BlurPass(kh, plane.Data(), h, w, w, 1, progress != nullptr || stop != nullptr,
                    [&](int y) {
                        if (stop != nullptr && *stop != 0)
                            return false;
                        return Report(progress, 50 * y / h + 50);
                    });
}

}  // namespace orm::engine
