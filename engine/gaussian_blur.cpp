#include "engine/plane_filters.h"
#include "engine/parallel.h"
#include "engine/progress.h"
#include "engine/simd.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
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
constexpr int kLanes = 8;

struct BundleScratch {
    std::vector<std::uint8_t> in, out;  // n x kLanes samples
    std::vector<double> vp;             // n x kLanes forward values
};

// Forward and backward recursions of a bundle of lines of n samples, the sums rounded into out.
// The documented recursion clears vp and vm before it runs, so vp[k] and vm[k] are still 0 when
// the j = 0 term reads them; that 0 is written out here. The backward values are used as soon
// as they are made, so only the last four are kept.
ORM_KERNEL void BlurBundleBody(const DericheCoefficients* kp, const std::uint8_t* in, int n,
                               double* vp, std::uint8_t* out) {
    const DericheCoefficients& k = *kp;
    constexpr int L = kLanes;
    // Forward.
    for (int i = 0; i < n; ++i) {
        const int t = std::min(i, 4);
        double sum[L];
        for (int l = 0; l < L; ++l)
            sum[l] = 0.0;
        for (int l = 0; l < L; ++l)
            sum[l] += k.n_p[0] * double(in[i * L + l]) - k.d_p[0] * 0.0;
        for (int j = 1; j <= t; ++j)
            for (int l = 0; l < L; ++l)
                sum[l] += k.n_p[j] * double(in[(i - j) * L + l]) - k.d_p[j] * vp[(i - j) * L + l];
        for (int j = t + 1; j <= 4; ++j)
            for (int l = 0; l < L; ++l)
                sum[l] += (k.n_p[j] - k.bd_p[j]) * double(in[l]);
        for (int l = 0; l < L; ++l)
            vp[i * L + l] = sum[l];
    }
    // Backward, combined with the forward values and rounded: the sum stored as a float, then
    // rounded to the nearest integer, halves to even (float additions of 1.5 x 2^23 and back do
    // that exactly for the magnitudes that occur here, far below 2^22).
    double vm[5][L];  // vm[(i + j) % 5] holds vm at i + j
    for (int i = n - 1; i >= 0; --i) {
        const int t = std::min(n - 1 - i, 4);
        double sum[L];
        for (int l = 0; l < L; ++l)
            sum[l] = 0.0;
        for (int l = 0; l < L; ++l)
            sum[l] += k.n_m[0] * double(in[i * L + l]) - k.d_m[0] * 0.0;
        for (int j = 1; j <= t; ++j) {
            const double* m = vm[(i + j) % 5];
            for (int l = 0; l < L; ++l)
                sum[l] += k.n_m[j] * double(in[(i + j) * L + l]) - k.d_m[j] * m[l];
        }
        for (int j = t + 1; j <= 4; ++j)
            for (int l = 0; l < L; ++l)
                sum[l] += (k.n_m[j] - k.bd_m[j]) * double(in[(n - 1) * L + l]);
        double* m = vm[i % 5];
        for (int l = 0; l < L; ++l) {
            m[l] = sum[l];
            const float f = float(vp[i * L + l] + sum[l]);
            const float r = (f + 12582912.0f) - 12582912.0f;
            int v = int(r);
            v = v < 0 ? 0 : v;
            v = v > 255 ? 255 : v;
            out[i * L + l] = std::uint8_t(v);
        }
    }
}
ORM_DISPATCH(BlurBundle, BlurBundleBody)

// Blurs lines [first, first + count) of the plane (count <= kLanes). A line of index i starts at
// plane + i * line_step and its samples are sample_step apart; missing lanes repeat the last line.
void BlurLines(const DericheCoefficients& k, std::uint8_t* plane, int first, int count, int n,
               std::ptrdiff_t line_step, std::ptrdiff_t sample_step, BundleScratch& scratch) {
    const std::uint8_t* src[kLanes];
    for (int l = 0; l < kLanes; ++l)
        src[l] = plane + std::min(first + l, first + count - 1) * line_step;
    std::uint8_t* in = scratch.in.data();
    for (int i = 0; i < n; ++i)
        for (int l = 0; l < kLanes; ++l)
            in[i * kLanes + l] = src[l][i * sample_step];
    BlurBundle(&k, static_cast<const std::uint8_t*>(in), n, scratch.vp.data(),
               scratch.out.data());
    const std::uint8_t* out = scratch.out.data();
    for (int i = 0; i < n; ++i)
        for (int l = 0; l < count; ++l)
            plane[(first + l) * line_step + i * sample_step] = out[i * kLanes + l];
}

// Blurs `lines` lines of n samples each, bundle by bundle, over the engine's threads;
// `report(line)` runs after each wave for every line of it, in order.
template <typename Report>
bool BlurPass(const DericheCoefficients& k, std::uint8_t* plane, int lines, int n,
              std::ptrdiff_t line_step, std::ptrdiff_t sample_step, Report&& report) {
    const int bundles = (lines + kLanes - 1) / kLanes;
    return ParallelRows(
        bundles, 2,
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
        std::vector<double> probe(std::size_t(std::max(w, h)) * kLanes);
    } catch (const std::bad_alloc&) {
        return false;  // the plane is left as it was
    }

    const DericheCoefficients kv = ComputeDericheCoefficients(GaussianSigmaForCode(vertical_code));
    if (!BlurPass(kv, plane.Data(), w, h, 1, w,
                  [&](int x) { return Report(progress, 50 * x / w); }))
        return false;

    const DericheCoefficients kh =
        ComputeDericheCoefficients(GaussianSigmaForCode(horizontal_code));
    return BlurPass(kh, plane.Data(), h, w, w, 1, [&](int y) {
        if (stop != nullptr && *stop != 0)
            return false;
        return Report(progress, 50 * y / h + 50);
    });
}

}  // namespace orm::engine
