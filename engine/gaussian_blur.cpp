#include "engine/plane_filters.h"
#include "engine/parallel.h"
#include "engine/progress.h"
#include "engine/simd.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

namespace orm::engine {

double GaussianSigmaForCode(int code) {
    const float r = std::fabs(float(code) / 10.0f) + 1.0f;
    const double rr = double(r) * double(r);
    return std::sqrt(-rr / (2.0 * std::log(1.0 / 255.0)));
}

DericheCoefficients ComputeDericheCoefficients(double sigma) {
    const double c0 = -1.783 / sigma, c1 = -1.723 / sigma, c2 = 0.6318 / sigma,
                 c3 = 1.997 / sigma;
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
    dp[2] = 4 * std::cos(c3) * std::cos(c2) * std::exp(c0 + c1) + std::exp(2 * c1) +
            std::exp(2 * c0);
    dp[3] = -2 * std::cos(c2) * std::exp(c0 + 2 * c1) - 2 * std::cos(c3) * std::exp(c1 + 2 * c0);
    dp[4] = std::exp(2 * c0 + 2 * c1);

    k.d_m = dp;
    k.n_m[0] = 0.0;
    for (int i = 1; i <= 4; ++i)
        k.n_m[i] = np[i] - dp[i] * np[0];

    double sp = 0, sm = 0, sd = 0;
    for (int i = 0; i <= 4; ++i) {
        sp += np[i];
        sm += k.n_m[i];
        sd += dp[i];
    }
    const double a = sp / (1 + sd);
    const double b = sm / (1 + sd);
    for (int i = 0; i <= 4; ++i) {
        k.bd_p[i] = (1 - a) * dp[i];
        k.bd_m[i] = (1 - b) * k.d_m[i];
    }
    return k;
}

namespace {

// Lines are blurred in bundles of kLanes independent lines at once (columns for the column pass,
// rows for the row pass). A bundle's samples are interleaved, sample k of lane l at k * kLanes + l,
// so every step of the recursions is the same operation on kLanes neighbouring values, which the
// compiler turns into vector instructions. Each lane performs exactly the documented operations
// of its own line in the documented order; lanes never mix.
constexpr int kLanes = 16;

// The lanes of a bundle as one value made of four-double vectors (GCC's generic vectors: every
// operator works lane by lane with the IEEE operation of double, so a lane computes exactly what
// scalar code would; four doubles is the widest register of the AVX2 build, two SSE registers in
// the portable build).
typedef double V4 __attribute__((vector_size(4 * sizeof(double))));
typedef float F4 __attribute__((vector_size(4 * sizeof(float))));
typedef int I4 __attribute__((vector_size(4 * sizeof(int))));
constexpr int kParts = kLanes / 4;
static_assert(kLanes % 4 == 0, "lanes come in fours");

struct Lanes {
    V4 p[kParts];
};
ORM_KERNEL Lanes operator+(Lanes a, const Lanes& b) {
    for (int i = 0; i < kParts; ++i)
        a.p[i] += b.p[i];
    return a;
}
ORM_KERNEL Lanes operator-(Lanes a, const Lanes& b) {
    for (int i = 0; i < kParts; ++i)
        a.p[i] -= b.p[i];
    return a;
}
ORM_KERNEL Lanes operator*(double s, Lanes a) {
    for (int i = 0; i < kParts; ++i)
        a.p[i] *= s;
    return a;
}
ORM_KERNEL Lanes& operator+=(Lanes& a, const Lanes& b) { return a = a + b; }
ORM_KERNEL Lanes& operator-=(Lanes& a, const Lanes& b) { return a = a - b; }

struct BundleScratch {
    // Written before read: no clearing.
    std::vector<int, UninitAllocator<int>> in;       // n x kLanes samples
    std::vector<int, UninitAllocator<int>> out;      // n x kLanes results
    std::vector<double, UninitAllocator<double>> vp;  // n x kLanes forward values
};

// Forward values in memory (unaligned access: the buffer has the alignment of double only).
class LaneArray {
public:
    explicit LaneArray(double* p) : p_(p) {}
    Lanes operator[](int i) const {
        Lanes v;
        std::memcpy(&v, p_ + std::size_t(i) * kLanes, sizeof v);
        return v;
    }
    void Set(int i, const Lanes& v) { std::memcpy(p_ + std::size_t(i) * kLanes, &v, sizeof v); }

private:
    double* p_;
};

ORM_KERNEL Lanes LoadLanes(const int* p) {
    Lanes v;
    for (int i = 0; i < kParts; ++i) {
        I4 q;
        std::memcpy(&q, p + 4 * i, sizeof q);
        v.p[i] = __builtin_convertvector(q, V4);
    }
    return v;
}

// Forward and backward recursions of a bundle of lines of n samples, the sums rounded into out.
// Term j of step i is (n[j] L[i -+ j] - d[j] v[i -+ j]), added to a sum that starts at 0, in the
// documented order. The documented recursion clears vp and vm before it runs, so the j = 0 term
// reads a 0 there; that 0 is written out here. Near the ends (fewer than four earlier samples) the
// missing terms are the edge terms (n[j] - bd[j]) L[first or last]. The backward values are used
// as soon as they are made, so only the last four are kept.
ORM_KERNEL void BlurBundleBody(const DericheCoefficients* kp, const int* in, int n,
                               double* vp_lanes, int* out) {
    const DericheCoefficients& k = *kp;
    constexpr int L = kLanes;
    LaneArray vp(vp_lanes);
    const Lanes zero{};
    const Lanes first = LoadLanes(in);
    const Lanes last = LoadLanes(in + (n - 1) * L);
    // Forward.
    for (int i = 0; i < n; ++i) {
        const int t = std::min(i, 4);
        Lanes sum = zero;
        sum += k.n_p[0] * LoadLanes(in + i * L) - k.d_p[0] * zero;
        for (int j = 1; j <= t; ++j)
            sum += k.n_p[j] * LoadLanes(in + (i - j) * L) - k.d_p[j] * vp[i - j];
        for (int j = t + 1; j <= 4; ++j)
            sum += (k.n_p[j] - k.bd_p[j]) * first;
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
        Lanes l1 = LoadLanes(in + 3 * L), l2 = LoadLanes(in + 2 * L), l3 = LoadLanes(in + L);
        Lanes v1 = vp[3], v2 = vp[2], v3 = vp[1], v4 = vp[0];
        for (int i = 4; i < n; ++i) {
            const Lanes l0 = LoadLanes(in + i * L);
            Lanes sum = n0 * l0;
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
    // Backward, combined with the forward values and rounded: the sum stored as a float, then
    // rounded to the nearest integer, halves to even (adding 1.5 x 2^23 and taking it away again
    // does that exactly in float arithmetic for magnitudes below 2^22; these stay below 2^10).
    const double n0 = k.n_m[0], n1 = k.n_m[1], n2 = k.n_m[2], n3 = k.n_m[3], n4 = k.n_m[4];
    const double d0 = k.d_m[0], d1 = k.d_m[1], d2 = k.d_m[2], d3 = k.d_m[3], d4 = k.d_m[4];
    Lanes m1 = zero, m2 = zero, m3 = zero, m4 = zero;  // vm at i + 1 .. i + 4
    Lanes l1 = zero, l2 = zero, l3 = zero, l4 = zero;  // inputs at i + 1 .. i + 4
    const F4 magic = F4{} + 12582912.0f;
    const I4 low = I4{}, high = I4{} + 255;
    for (int i = n - 1; i >= 0; --i) {
        const Lanes l0 = LoadLanes(in + i * L);
        Lanes sum;
        if (i + 4 < n) {
            // n_m[0] and d_m[0] are exactly 0: the j = 0 term is 0 and adding it to the starting
            // 0 gives 0, so the sum starts with the j = 1 term (the sign of a zero aside, which
            // changes no byte, as above).
            sum = n1 * l1 - d1 * m1;
            sum += n2 * l2 - d2 * m2;
            sum += n3 * l3 - d3 * m3;
            sum += n4 * l4 - d4 * m4;
        } else {
            sum = zero;
            sum += n0 * l0 - d0 * zero;
            const int t = n - 1 - i;
            const Lanes m[5] = {zero, m1, m2, m3, m4};
            const Lanes l[5] = {l0, l1, l2, l3, l4};
            for (int j = 1; j <= t; ++j)
                sum += k.n_m[j] * l[j] - k.d_m[j] * m[j];
            for (int j = t + 1; j <= 4; ++j)
                sum += (k.n_m[j] - k.bd_m[j]) * last;
        }
        l4 = l3;
        l3 = l2;
        l2 = l1;
        l1 = l0;
        m4 = m3;
        m3 = m2;
        m2 = m1;
        m1 = sum;
        const Lanes total = vp[i] + sum;
        for (int p = 0; p < kParts; ++p) {
            const F4 f = __builtin_convertvector(total.p[p], F4);
            I4 v = __builtin_convertvector((f + magic) - magic, I4);
            v = v < low ? low : v;
            v = v > high ? high : v;
            std::memcpy(out + i * L + 4 * p, &v, sizeof v);
        }
    }
}
ORM_DISPATCH3(BlurBundle, BlurBundleBody)

// Blurs lines [first, first + count) of the plane (count <= kLanes). A line of index i starts at
// plane + i * line_step and its samples are sample_step apart; missing lanes repeat the last line.
void BlurLines(const DericheCoefficients& k, std::uint8_t* plane, int first, int count, int n,
               std::ptrdiff_t line_step, std::ptrdiff_t sample_step, BundleScratch& scratch) {
    int* in = scratch.in.data();
    const int* out = scratch.out.data();
    if (line_step == 1 && count == kLanes) {
        // Neighbouring columns: sample i of the bundle is kLanes consecutive bytes.
        std::uint8_t* base = plane + first;
        for (int i = 0; i < n; ++i) {
            const std::uint8_t* row = base + i * sample_step;
            for (int l = 0; l < kLanes; ++l)
                in[i * kLanes + l] = row[l];
        }
        BlurBundle(&k, static_cast<const int*>(in), n, scratch.vp.data(), scratch.out.data());
        for (int i = 0; i < n; ++i) {
            std::uint8_t* row = base + i * sample_step;
            for (int l = 0; l < kLanes; ++l)
                row[l] = std::uint8_t(out[i * kLanes + l]);
        }
        return;
    }
    const std::uint8_t* src[kLanes];
    for (int l = 0; l < kLanes; ++l)
        src[l] = plane + std::min(first + l, first + count - 1) * line_step;
    for (int i = 0; i < n; ++i)
        for (int l = 0; l < kLanes; ++l)
            in[i * kLanes + l] = src[l][i * sample_step];
    BlurBundle(&k, static_cast<const int*>(in), n, scratch.vp.data(), scratch.out.data());
    for (int i = 0; i < n; ++i)
        for (int l = 0; l < count; ++l)
            plane[(first + l) * line_step + i * sample_step] = std::uint8_t(out[i * kLanes + l]);
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
            scratch.in.resize(std::size_t(n) * kLanes);
            scratch.out.resize(std::size_t(n) * kLanes);
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
                       const volatile unsigned char* stop, CRSProgress* progress) {
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

    const DericheCoefficients kv = ComputeDericheCoefficients(GaussianSigmaForCode(vertical_code));
    if (!BlurPass(kv, plane.Data(), w, h, 1, w, progress != nullptr,
                  [&](int x) { return Report(progress, 50 * x / w); }))
        return false;

    const DericheCoefficients kh =
        ComputeDericheCoefficients(GaussianSigmaForCode(horizontal_code));
    return BlurPass(kh, plane.Data(), h, w, w, 1, progress != nullptr || stop != nullptr,
                    [&](int y) {
        if (stop != nullptr && *stop != 0)
            return false;
        return Report(progress, 50 * y / h + 50);
    });
}

}  // namespace orm::engine
