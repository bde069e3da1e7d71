#include "engine/plane_filters.h"
#include "engine/progress.h"

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

// The forward and backward recursions over one line L[0 .. n-1], the sum rounded back into L.
void BlurLine(const DericheCoefficients& k, int* line, int n, double* vp, double* vm) {
    for (int i = 0; i < n; ++i)
        vp[i] = vm[i] = 0.0;
    for (int i = 0; i < n; ++i) {
        const int t = std::min(i, 4);
        double sum = 0.0;
        for (int j = 0; j <= t; ++j)
            sum += k.n_p[j] * line[i - j] - k.d_p[j] * vp[i - j];
        for (int j = t + 1; j <= 4; ++j)
            sum += (k.n_p[j] - k.bd_p[j]) * line[0];
        vp[i] = sum;
    }
    for (int i = n - 1; i >= 0; --i) {
        const int t = std::min(n - 1 - i, 4);
        double sum = 0.0;
        for (int j = 0; j <= t; ++j)
            sum += k.n_m[j] * line[i + j] - k.d_m[j] * vm[i + j];
        for (int j = t + 1; j <= 4; ++j)
            sum += (k.n_m[j] - k.bd_m[j]) * line[n - 1];
        vm[i] = sum;
    }
    for (int i = 0; i < n; ++i) {
        const float f = float(vp[i] + vm[i]);
        line[i] = std::clamp(int(std::lrintf(f)), 0, 255);
    }
}

}  // namespace

bool GaussianBlurPlane(ImagePlane& plane, int horizontal_code, int vertical_code,
                       const volatile unsigned char* stop, CRSProgress* progress) {
    const int w = plane.Width(), h = plane.Height();
    const std::size_t longest = std::size_t(std::max(w, h));
    std::vector<double> vp, vm;
    std::vector<int> line;
    try {
        vp.resize(longest);
        vm.resize(longest);
        line.resize(longest);
    } catch (const std::bad_alloc&) {
        return false;  // the plane is left as it was
    }

    DericheCoefficients k = ComputeDericheCoefficients(GaussianSigmaForCode(vertical_code));
    for (int x = 0; x < w; ++x) {
        std::uint8_t* column = plane.Data() + x;
        for (int y = 0; y < h; ++y)
            line[y] = column[std::size_t(y) * w];
        BlurLine(k, line.data(), h, vp.data(), vm.data());
        for (int y = 0; y < h; ++y)
            column[std::size_t(y) * w] = std::uint8_t(line[y]);
        if (!Report(progress, 50 * x / w))
            return false;
    }

    k = ComputeDericheCoefficients(GaussianSigmaForCode(horizontal_code));
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = plane.Row(y);
        for (int x = 0; x < w; ++x)
            line[x] = row[x];
        BlurLine(k, line.data(), w, vp.data(), vm.data());
        for (int x = 0; x < w; ++x)
            row[x] = std::uint8_t(line[x]);
        if (stop != nullptr && *stop != 0)
            return false;
        if (!Report(progress, 50 * y / h + 50))
            return false;
    }
    return true;
}

}  // namespace orm::engine
