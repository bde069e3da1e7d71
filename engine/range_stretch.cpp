#include "engine/parallel.h"
#include "engine/plane_filters.h"
#include "engine/progress.h"
#include "engine/simd.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

// The byte vectors below are always inlined into the build that uses them, so the calling
// convention such a vector would have (the warning) never applies.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace orm::engine {

namespace {

// The window centre used for position i: clamped to [half, n - 1 - half] as the window requires,
// then into the line for lines shorter than a window (where every clipped window is the line).
inline int WindowCentre(int i, int half, int n) {
    const int c = std::min(std::max(i, half), n - 1 - half);
    return std::clamp(c, 0, n - 1);
}

// The extremes of two rows of extremes, for x in [lo, hi]: out_max = max(amax, bmax) and
// out_min = min(amin, bmin). The output may be the first row.
ORM_KERNEL void FoldRowsBody(const std::uint8_t* amax, const std::uint8_t* bmax,
                             const std::uint8_t* amin, const std::uint8_t* bmin, int lo, int hi,
                             std::uint8_t* out_max, std::uint8_t* out_min) {
    for (int x = lo; x <= hi; ++x) {
        out_max[x] = amax[x] > bmax[x] ? amax[x] : bmax[x];
        out_min[x] = amin[x] < bmin[x] ? amin[x] : bmin[x];
    }
}
ORM_DISPATCH3(FoldRows, FoldRowsBody)

// 32 bytes as one value (a register of the AVX builds, two of the portable one), compared lane by
// lane.
constexpr int kBytes = 32;
typedef std::uint8_t Bytes32 __attribute__((vector_size(kBytes)));
ORM_KERNEL Bytes32 LoadBytes32(const std::uint8_t* p) {
    Bytes32 v;
    std::memcpy(&v, p, kBytes);
    return v;
}

// The extremes of `count` rows of extremes at once, for x in [lo, hi]: out_max[x] is the largest
// of rmax[r][x] over r, out_min[x] the smallest of rmin[r][x]; one pass instead of a fold per
// row. The rows may be shifted views of one row (a window along it).
ORM_KERNEL void FoldManyBody(const std::uint8_t* const* rmax, const std::uint8_t* const* rmin,
                             int count, int lo, int hi, std::uint8_t* out_max,
                             std::uint8_t* out_min) {
    int x = lo;
    for (; x + kBytes <= hi + 1; x += kBytes) {
        Bytes32 mx = LoadBytes32(rmax[0] + x), mn = LoadBytes32(rmin[0] + x);
        for (int r = 1; r < count; ++r) {
            const Bytes32 a = LoadBytes32(rmax[r] + x), b = LoadBytes32(rmin[r] + x);
            mx = mx > a ? mx : a;
            mn = mn < b ? mn : b;
        }
        std::memcpy(out_max + x, &mx, kBytes);
        std::memcpy(out_min + x, &mn, kBytes);
    }
    for (; x <= hi; ++x) {
        std::uint8_t mx = rmax[0][x], mn = rmin[0][x];
        for (int r = 1; r < count; ++r) {
            mx = mx > rmax[r][x] ? mx : rmax[r][x];
            mn = mn < rmin[r][x] ? mn : rmin[r][x];
        }
        out_max[x] = mx;
        out_min[x] = mn;
    }
}
ORM_DISPATCH3(FoldMany, FoldManyBody)

// Windows of up to this many samples along a row are folded in one pass over shifted views of the
// row; longer ones by doubling spans.
constexpr int kDirectWindow = 9;

// Maximum and minimum of g over [x - half, x + half] for every x of [lo, hi], the window clipped
// to the row. Windows inside the row use the doubling scheme: after the pass that makes span s,
// p[x] holds the extreme of g[x .. x + s - 1] for every x <= w - s (where the span fits); a window
// of size W (s <= W < 2 s) is then the union of the span at its start and the span ending at its
// end. pmax and pmin have room for 2 w bytes each.
void RowExtremes(const std::uint8_t* g, int w, int half, int lo, int hi, std::uint8_t* pmax,
                 std::uint8_t* pmin, std::uint8_t* out_max, std::uint8_t* out_min) {
    const int size = 2 * half + 1;
    if (size > w) {
        for (int x = lo; x <= hi; ++x) {
            const int a = std::max(0, x - half), b = std::min(w - 1, x + half);
            std::uint8_t mx = 0, mn = 255;
            for (int j = a; j <= b; ++j) {
                mx = std::max(mx, g[j]);
                mn = std::min(mn, g[j]);
            }
            out_max[x] = mx;
            out_min[x] = mn;
        }
        return;
    }
    if (size <= kDirectWindow) {
        const std::uint8_t* shifted[kDirectWindow];
        for (int j = 0; j < size; ++j) shifted[j] = g - half + j;
        FoldMany(static_cast<const std::uint8_t* const*>(shifted),
                 static_cast<const std::uint8_t* const*>(shifted), size, lo, hi, out_max, out_min);
        return;
    }
    // Spans of 1 are g itself; each pass writes the doubled spans into the half of the scratch
    // the previous pass did not write.
    const std::uint8_t* smax = g;
    const std::uint8_t* smin = g;
    std::uint8_t* dmax = pmax;
    std::uint8_t* dmin = pmin;
    int span = 1;
    while (2 * span <= size) {
        FoldRows(smax, static_cast<const std::uint8_t*>(smax + span), smin,
                 static_cast<const std::uint8_t*>(smin + span), 0, w - 2 * span, dmax, dmin);
        smax = dmax;
        smin = dmin;
        dmax = dmax == pmax ? pmax + w : pmax;
        dmin = dmin == pmin ? pmin + w : pmin;
        span *= 2;
    }
    const int tail = size - span;  // the second span starts this far after the first
    FoldRows(static_cast<const std::uint8_t*>(smax - half),
             static_cast<const std::uint8_t*>(smax - half + tail),
             static_cast<const std::uint8_t*>(smin - half),
             static_cast<const std::uint8_t*>(smin - half + tail), lo, hi, out_max, out_min);
}

// Per-half lookups, made once per call with the documented expressions: the gain, and the
// largest |V - mid| whose z = (V - mid) / half satisfies |z| <= 1 / gain (the test is monotonic
// in |V - mid| and symmetric in its sign), or -1 where the gain is 1 and the guide passes.
struct GainTable {
    double gain[256];
    int limit[256];
    // The smallest half whose gain is not 1 (256 when there is none): the gain grows with the
    // half, so every smaller half passes the guide through.
    int first_stretched;
    // Added to a stretched value before truncation: 0 as documented, 1/2 (to nearest) centred.
    // The value is never negative (|gain d| <= half <= mid), so truncation is the floor; adding
    // +0 changes no value but the sign of a zero.
    double rounding;
};

GainTable MakeGainTable(double strength, double q, Sampling sampling) {
    GainTable t;
    t.rounding = sampling == Sampling::Centred ? 0.5 : 0.0;
    for (int h = 0; h < 256; ++h) {
        const int half = h == 0 ? 1 : h;
        double gain = half / strength / q * 0.5;
        if (gain < 1.0)
            gain = 1.0;
        t.gain[h] = gain;
        int limit = -1;
        if (gain != 1.0)
            for (int d = 0; d < 256; ++d)
                if (std::fabs(double(d) / half) <= 1.0 / gain)
                    limit = d;
        t.limit[h] = limit;
    }
    t.first_stretched = 256;
    for (int h = 255; h >= 0 && t.limit[h] >= 0; --h) t.first_stretched = h;
    return t;
}

// One output row from the window extremes of each column (already at the clamped centre).
ORM_KERNEL void StretchRowBody(const std::uint8_t* v, const std::uint8_t* g,
                               const std::uint8_t* wmax, const std::uint8_t* wmin,
                               const GainTable* table, int w, std::uint8_t* out) {
    const double* gains = table->gain;
    const int* limits = table->limit;
    for (int x = 0; x < w; ++x) {
        const int big = wmax[x], small = wmin[x];
        const int mid = (big + small + 1) >> 1;
        const int half = big - mid;  // 0 counts as 1; the table says so
        const int limit = limits[half];
        if (limit < 0) {
            out[x] = g[x];  // gain 1: flat areas pass the guide through
            continue;
        }
        const double gain = gains[half];
        const int d = int(v[x]) - mid;
        const int ad = d < 0 ? -d : d;
        int r = ad <= limit ? int(gain * d + mid + table->rounding) : (d > 0 ? big : small);
        r = r < 0 ? 0 : r;
        r = r > 255 ? 255 : r;
        out[x] = std::uint8_t(r);
    }
}
ORM_DISPATCH3(StretchRowPlain, StretchRowBody)

#if defined(ORM_SIMD_X86)
// GCC 12 warns about the deliberately undefined pass-through operand inside its own AVX-512
// intrinsics (_mm512_undefined_epi32); the warning is about the header, not this code.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
ORM_AVX512 inline __m512i Load16(const std::uint8_t* p) {
    return _mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// The same, 16 pixels at a time with AVX-512: lanes whose half is below the table's first
// stretched half take the guide (a block of nothing else is a plain copy, as most blocks of a
// photo are); the others gather their limit and gain from the table and compute the documented
// expressions in the documented order (gain x d, rounded, plus mid, rounded, truncated).
ORM_AVX512 void StretchRowAvx512(const std::uint8_t* v, const std::uint8_t* g,
                                 const std::uint8_t* wmax, const std::uint8_t* wmin,
                                 const GainTable* table, int w, std::uint8_t* out) {
    const __m512i zero = _mm512_setzero_si512(), one = _mm512_set1_epi32(1);
    const __m512i top = _mm512_set1_epi32(255), none = _mm512_set1_epi32(-1);
    const __m512i first = _mm512_set1_epi32(table->first_stretched);
    const __m512d rounding = _mm512_set1_pd(table->rounding);
    int x = 0;
    for (; x + 16 <= w; x += 16) {
        const __m128i guide = _mm_loadu_si128(reinterpret_cast<const __m128i*>(g + x));
        const __m512i big = Load16(wmax + x), small = Load16(wmin + x);
        const __m512i mid =
            _mm512_srai_epi32(_mm512_add_epi32(_mm512_add_epi32(big, small), one), 1);
        const __m512i half = _mm512_sub_epi32(big, mid);
        const __mmask16 active = _mm512_cmpge_epi32_mask(half, first);
        if (active == 0) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), guide);
            continue;
        }
        const __m512i d = _mm512_sub_epi32(Load16(v + x), mid);
        const __m512i limit = _mm512_mask_i32gather_epi32(none, active, half, table->limit, 4);
        const __mmask16 pass = _mm512_cmplt_epi32_mask(limit, zero);
        const __mmask16 inside =
            _mm512_mask_cmple_epi32_mask(__mmask16(~pass), _mm512_abs_epi32(d), limit);
        __m512i r = _mm512_mask_blend_epi32(_mm512_cmpgt_epi32_mask(d, zero), small, big);
        if (inside != 0) {
            __m256i t[2];
            for (int k = 0; k < 2; ++k) {
                const __mmask8 m = __mmask8(inside >> (8 * k));
                const __m256i hk =
                    k == 0 ? _mm512_castsi512_si256(half) : _mm512_extracti64x4_epi64(half, 1);
                const __m256i dk =
                    k == 0 ? _mm512_castsi512_si256(d) : _mm512_extracti64x4_epi64(d, 1);
                const __m256i mk =
                    k == 0 ? _mm512_castsi512_si256(mid) : _mm512_extracti64x4_epi64(mid, 1);
                const __m512d gain =
                    _mm512_mask_i32gather_pd(_mm512_set1_pd(1.0), m, hk, table->gain, 8);
                const __m512d product = _mm512_mul_pd(gain, _mm512_cvtepi32_pd(dk));
                const __m512d value = _mm512_add_pd(product, _mm512_cvtepi32_pd(mk));
                t[k] = _mm512_cvttpd_epi32(_mm512_add_pd(value, rounding));
            }
            const __m512i stretched = _mm512_inserti64x4(_mm512_castsi256_si512(t[0]), t[1], 1);
            r = _mm512_mask_mov_epi32(r, inside, stretched);
        }
        r = _mm512_mask_mov_epi32(r, pass, _mm512_cvtepu8_epi32(guide));
        r = _mm512_min_epi32(_mm512_max_epi32(r, zero), top);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm512_cvtepi32_epi8(r));
    }
    StretchRowBody(v + x, g + x, wmax + x, wmin + x, table, w - x, out + x);
}
#pragma GCC diagnostic pop
#endif

void StretchRow(const std::uint8_t* v, const std::uint8_t* g, const std::uint8_t* wmax,
                const std::uint8_t* wmin, const GainTable* table, int w, std::uint8_t* out) {
#if defined(ORM_SIMD_X86)
    if (simd::UseAvx512())
        return StretchRowAvx512(v, g, wmax, wmin, table, w, out);
#endif
    StretchRowPlain(v, g, wmax, wmin, table, w, out);
}

// The same with grain noise on the stretched values; the noise is drawn in scan order, so this
// form runs on one thread.
void StretchRowWithGrain(const std::uint8_t* v, const std::uint8_t* g, const std::uint8_t* wmax,
                         const std::uint8_t* wmin, const GainTable& table, int w, int grain,
                         GrainNoise& noise, std::uint8_t* out) {
    for (int x = 0; x < w; ++x) {
        const int big = wmax[x], small = wmin[x];
        const int mid = (big + small + 1) / 2;
        const int half = big - mid;
        const double gain = table.gain[half];
        int r;
        if (table.limit[half] < 0) {
            r = g[x];
        } else {
            const int d = v[x] - mid;
            if (std::abs(d) <= table.limit[half])
                r = int(gain * d + mid + table.rounding) +
                    int(std::int64_t(int(grain * gain)) * noise.Next() / 163830);
            else
                r = d > 0 ? big : small;
        }
        out[x] = std::uint8_t(std::clamp(r, 0, 255));
    }
}

// Window extremes for the rows of a band, from a ring of row extremes keyed by source row.
class WindowRows {
  public:
    WindowRows(const ImagePlane& g, int hx, int hy)
        : g_(g),
          w_(g.Width()),
          h_(g.Height()),
          hx_(hx),
          hy_(hy),
          slots_(std::min(2 * hy + 1, g.Height())),
          lo_(WindowCentre(0, hx, w_)),
          hi_(WindowCentre(w_ - 1, hx, w_)),
          ring_max_(std::size_t(slots_) * w_),
          ring_min_(std::size_t(slots_) * w_),
          slot_row_(slots_, -1),
          rows_max_(slots_),
          rows_min_(slots_),
          pmax_(2 * std::size_t(w_)),
          pmin_(2 * std::size_t(w_)),
          wmax_(w_),
          wmin_(w_) {}

    // Fills the extremes of the window centred on row cy into every column (columns outside the
    // centre range take the clamped centre's values).
    void Compute(int cy) {
        const int r0 = std::max(0, cy - hy_), r1 = std::min(h_ - 1, cy + hy_);
        std::uint8_t* mx = wmax_.data();
        std::uint8_t* mn = wmin_.data();
        const int count = r1 - r0 + 1;
        for (int i = 0; i < count; ++i) {
            rows_max_[i] = RowMax(r0 + i);
            rows_min_[i] = RowMin(r0 + i);
        }
        FoldMany(static_cast<const std::uint8_t* const*>(rows_max_.data()),
                 static_cast<const std::uint8_t* const*>(rows_min_.data()), count, lo_, hi_, mx,
                 mn);
        std::fill(mx, mx + lo_, mx[lo_]);
        std::fill(mn, mn + lo_, mn[lo_]);
        std::fill(mx + hi_ + 1, mx + w_, mx[hi_]);
        std::fill(mn + hi_ + 1, mn + w_, mn[hi_]);
    }
    const std::uint8_t* Max() const { return wmax_.data(); }
    const std::uint8_t* Min() const { return wmin_.data(); }

  private:
    // RowMin(r) is valid once RowMax(r) has been asked for.
    const std::uint8_t* RowMin(int r) const {
        return ring_min_.data() + std::size_t(r % slots_) * w_;
    }
    const std::uint8_t* RowMax(int r) {
        const int slot = r % slots_;
        std::uint8_t* mx = ring_max_.data() + std::size_t(slot) * w_;
        if (slot_row_[slot] != r) {
            RowExtremes(g_.Row(r), w_, hx_, lo_, hi_, pmax_.data(), pmin_.data(), mx,
                        ring_min_.data() + std::size_t(slot) * w_);
            slot_row_[slot] = r;
        }
        return mx;
    }

    const ImagePlane& g_;
    int w_, h_, hx_, hy_, slots_, lo_, hi_;
    using Bytes = std::vector<std::uint8_t, UninitAllocator<std::uint8_t>>;  // written first
    Bytes ring_max_, ring_min_;
    std::vector<int> slot_row_;
    std::vector<const std::uint8_t*> rows_max_, rows_min_;  // the rows of one window
    Bytes pmax_, pmin_, wmax_, wmin_;
};

}  // namespace

int GrainNoise::Next() {
    int n = 0;
    for (int i = 0; i < 6; ++i) {
        state_ = state_ * 214013u + 2531011u;
        n += int((state_ >> 16) & 0x7FFF) - 16383;
    }
    return n;
}

namespace {

// The stretched values of v into out, which may be v itself but not g: each pixel reads only its
// own value of v and windows of g. False on a stop request.
bool StretchInto(const ImagePlane& v, const ImagePlane& g, int hw, int vw, double sx, double sy,
                 double strength, CRSProgress* progress, int grain, Sampling sampling,
                 ImagePlane& out) {
    const int w = v.Width(), h = v.Height();
    const double q = std::sqrt(std::sqrt(sx * sy));
    const int hx = hw / 2, hy = vw / 2;
    const GainTable table = MakeGainTable(strength, q, sampling);
    auto report = [&](int y) { return Report(progress, 100 * y / h); };
    if (grain != 0) {
        GrainNoise noise;
        WindowRows windows(g, hx, hy);
        for (int y = 0; y < h; ++y) {
            windows.Compute(WindowCentre(y, hy, h));
            StretchRowWithGrain(v.Row(y), g.Row(y), windows.Max(), windows.Min(), table, w, grain,
                                noise, out.Row(y));
            if (!report(y))
                return false;
        }
        return true;
    }
    return ParallelRows(
        h, 8, progress != nullptr,
        [&](int y0, int y1) {
            WindowRows windows(g, hx, hy);
            for (int y = y0; y < y1; ++y) {
                windows.Compute(WindowCentre(y, hy, h));
                StretchRow(static_cast<const std::uint8_t*>(v.Row(y)),
                           static_cast<const std::uint8_t*>(g.Row(y)), windows.Max(), windows.Min(),
                           static_cast<const GainTable*>(&table), w, out.Row(y));
            }
        },
        report);
}

}  // namespace

bool RangeStretchPlane(ImagePlane& v, const ImagePlane& g, int hw, int vw, double sx, double sy,
                       double strength, CRSProgress* progress, int grain, PlaneArena* arena,
                       Sampling sampling) {
    const int w = v.Width(), h = v.Height();
    if (w <= 0 || h <= 0)
        return true;
    // The result goes into T and replaces v only when complete: every pixel reads its window
    // of the guide, which may be v itself.
    ImagePlane result = arena != nullptr ? arena->Take(w, h) : ImagePlane(w, h);
    const bool done =
        StretchInto(v, g, hw, vw, sx, sy, strength, progress, grain, sampling, result);
    if (done)
        std::swap(v, result);
    if (arena != nullptr)
        arena->Give(std::move(result));
    return done;
}

bool RangeStretchPlaneInPlace(ImagePlane& v, const ImagePlane& g, int hw, int vw, double sx,
                              double sy, double strength, CRSProgress* progress,
                              Sampling sampling) {
    if (v.Width() <= 0 || v.Height() <= 0)
        return true;
    if (&v == &g)
        return RangeStretchPlane(v, g, hw, vw, sx, sy, strength, progress, 0, nullptr, sampling);
    return StretchInto(v, g, hw, vw, sx, sy, strength, progress, 0, sampling, v);
}

}  // namespace orm::engine
