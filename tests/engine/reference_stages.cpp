#include "reference_stages.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace orm::engine::reference {

namespace {

double Cubic(double x, double B, double C) {
    const double d = std::fabs(x);
    if (d < 1)
        return ((12 - 9 * B - 6 * C) * d * d * d + (-18 + 12 * B + 6 * C) * d * d + (6 - 2 * B)) /
               6;
    if (d < 2)
        return ((-B - 6 * C) * d * d * d + (6 * B + 30 * C) * d * d + (-12 * B - 48 * C) * d +
                (8 * B + 24 * C)) /
               6;
    return 0;
}

double Lanczos(double x, double R) {
    const double pi = 3.14159265358979323846;
    const double d = std::fabs(x);
    if (d == 0)
        return 1;
    if (d < R)
        return (std::sin(pi * d) / (pi * d)) * (std::sin(pi * d / R) / (pi * d / R));
    return 0;
}

std::uint8_t Clamp(int v) {
    return std::uint8_t(std::clamp(v, 0, 255));
}

}  // namespace

namespace {

// Centred position of output i: u = ((2i + 1) src - dst) / (2 dst); base = floor(u), phase =
// 1024 (u - base) rounded to nearest with halves to even, 1024 carried into the base.
void CentredSample(int i, int src, int dst, long long& base, int& phase) {
    const long long n = (2LL * i + 1) * src - dst, d = 2LL * dst;
    base = n / d;
    if (base * d > n)
        --base;  // floor for negative n
    const long long num = (n - base * d) * 1024;
    long long p = num / d;
    const long long twice_rest = 2 * (num - p * d);
    if (twice_rest > d || (twice_rest == d && p % 2 == 1))
        ++p;
    if (p == 1024) {
        ++base;
        p = 0;
    }
    phase = int(p);
}

}  // namespace

ImagePlane Resample(const ImagePlane& src, int dw, int dh, double p1, double p2, bool lanczos,
                    bool centred) {
    const int sw = src.Width(), sh = src.Height();
    const int n = lanczos ? int(std::ceil(p1)) : 2;
    std::vector<std::vector<double>> table(1024, std::vector<double>(2 * n));
    for (int p = 0; p < 1024; ++p) {
        const double f = p * 0.0009765625;
        for (int t = 0; t < 2 * n; ++t) {
            const int j = t - (n - 1);
            table[p][t] = lanczos ? Lanczos(j - f, p1) : Cubic(j - f, p1, p2);
        }
        if (centred) {
            double sum = 0;
            for (int t = 0; t < 2 * n; ++t) sum += table[p][t];
            for (int t = 0; t < 2 * n; ++t) table[p][t] /= sum;
        }
    }
    ImagePlane dst(dw, dh);
    for (int Y = 0; Y < dh; ++Y) {
        long long ys = (long long)Y * sh / dh;
        int py = int(1024 * std::fabs(double((long long)Y * sh) / dh - ys));
        if (centred)
            CentredSample(Y, sh, dh, ys, py);
        for (int X = 0; X < dw; ++X) {
            long long xs = (long long)X * sw / dw;
            int px = int(1024 * std::fabs(double((long long)X * sw) / dw - xs));
            if (centred)
                CentredSample(X, sw, dw, xs, px);
            double sum = 0;
            float sum_centred = 0;  // centred: single precision outside the inner sums
            for (int ty = 0; ty < 2 * n; ++ty) {
                const int r = std::clamp(int(ys) + ty - (n - 1), 0, sh - 1);
                double inner = 0;
                for (int tx = 0; tx < 2 * n; ++tx) {
                    const int c = std::clamp(int(xs) + tx - (n - 1), 0, sw - 1);
                    inner += table[px][tx] * src.At(c, r);
                }
                sum += table[py][ty] * inner;
                sum_centred += float(table[py][ty]) * float(inner);
            }
            int v = centred ? int(sum_centred + 0.5f) : int(sum + 0.5);
            if (v >= 255)
                v = 255;
            if (v < 0)
                v = 0;
            dst.At(X, Y) = std::uint8_t(v);
        }
    }
    return dst;
}

namespace {

// One line of the 16.16 box reduction, unsigned 32-bit as documented.
void BoxLine(const std::uint8_t* S, std::ptrdiff_t step, std::uint32_t sw, std::uint32_t dw,
             std::uint8_t* out, std::ptrdiff_t out_step) {
    const std::uint32_t A = sw * 65536u / dw;
    std::uint32_t b = 0, i = 0;
    for (std::uint32_t o = 0; o < dw; ++o) {
        const std::uint32_t e = b + A;
        const std::uint32_t c = (b >> 16) + 1;
        const std::uint32_t last = e >> 16;
        std::uint32_t acc = ((c * 65536u - b) * S[i * step]) & 0xFFFF0000u;
        ++i;
        for (std::uint32_t k = c; k < last; ++k) {
            acc += S[i * step] * 65536u;
            ++i;
        }
        if (last < sw)
            acc += ((e - last * 65536u) * S[i * step]) & 0xFFFF0000u;
        out[o * out_step] = std::uint8_t(acc / A);
        b = e;
    }
}

// The centred box average: sample i covers [i dw, (i + 1) dw) and output o covers
// [o sw, (o + 1) sw) in units of 1 / dw source pixel; each sample weighs its overlap, and the
// sum (of weights sw in all) is divided by sw rounding to nearest, halves up.
void CentredBoxLine(const std::uint8_t* S, std::ptrdiff_t step, std::uint32_t src_count,
                    std::uint32_t out_count, std::uint8_t* out, std::ptrdiff_t out_step) {
    const long long sw = src_count, dw = out_count;
    for (long long o = 0; o < dw; ++o) {
        long long acc = 0;
        for (long long i = 0; i < sw; ++i) {
            const long long overlap =
                std::min((i + 1) * dw, (o + 1) * sw) - std::max(i * dw, o * sw);
            if (overlap > 0)
                acc += overlap * S[i * step];
        }
        out[o * out_step] = std::uint8_t((acc + sw / 2) / sw);
    }
}

}  // namespace

ImagePlane BoxRows(const ImagePlane& src, int dw, bool centred) {
    ImagePlane dst(dw, src.Height());
    for (int y = 0; y < src.Height(); ++y)
        (centred ? CentredBoxLine : BoxLine)(src.Row(y), 1, src.Width(), dw, dst.Row(y), 1);
    return dst;
}

ImagePlane BoxColumns(const ImagePlane& src, int dh, bool centred) {
    const int w = src.Width();
    ImagePlane dst(w, dh);
    for (int x = 0; x < w; ++x)
        (centred ? CentredBoxLine : BoxLine)(src.Data() + x, w, src.Height(), dh, dst.Data() + x,
                                             w);
    return dst;
}

ImagePlane Sharpen(const ImagePlane& src, int a, bool centred) {
    ImagePlane dst = src;
    const int w = src.Width(), h = src.Height();
    if (centred) {
        // Every pixel; the block's samples beyond the edge repeat the edge. (900 P - a S) /
        // (9 (100 - a)) rounded to nearest, halves up: floor((2 n + d) / (2 d)).
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                int sum = 0;
                for (int j = -1; j <= 1; ++j)
                    for (int i = -1; i <= 1; ++i)
                        sum += src.At(std::clamp(x + i, 0, w - 1), std::clamp(y + j, 0, h - 1));
                const int n = 900 * src.At(x, y) - a * sum, d = 9 * (100 - a);
                const int num = 2 * n + d, den = 2 * d;
                const int q = num >= 0 ? num / den : -((-num + den - 1) / den);
                dst.At(x, y) = Clamp(q);
            }
        return dst;
    }
    for (int y = 1; y + 1 < h; ++y)
        for (int x = 1; x + 1 < w; ++x) {
            int sum = 0;
            for (int j = -1; j <= 1; ++j)
                for (int i = -1; i <= 1; ++i) sum += src.At(x + i, y + j);
            const int m = sum / 9;
            dst.At(x, y) = Clamp((100 * src.At(x, y) - a * m) / (100 - a));
        }
    return dst;
}

namespace {

struct Deriche {
    double np[5], nm[5], dp[5], dm[5], bdp[5], bdm[5];
};

Deriche Coefficients(int code, bool centred) {
    const float r = std::fabs(float(code) / 10.0f) + 1.0f;
    const double sigma = std::sqrt(-(double(r) * double(r)) / (2 * std::log(1.0 / 255)));
    const double c0 = -1.783 / sigma, c1 = -1.723 / sigma, c2 = 0.6318 / sigma, c3 = 1.997 / sigma;
    const double div = std::sqrt(6.283185307179586) * sigma;
    const double c4 = 1.6803 / div, c5 = 3.735 / div, c6 = -0.6803 / div, c7 = -0.2598 / div;
    Deriche k{};
    k.np[0] = c4 + c6;
    k.np[1] = std::exp(c1) * (c7 * std::sin(c3) - (2 * c4 + c6) * std::cos(c3)) +
              std::exp(c0) * (c5 * std::sin(c2) - (2 * c6 + c4) * std::cos(c2));
    k.np[2] = 2 * std::exp(c0 + c1) *
                  ((c4 + c6) * std::cos(c3) * std::cos(c2) - c5 * std::cos(c3) * std::sin(c2) -
                   c7 * std::cos(c2) * std::sin(c3)) +
              c6 * std::exp(2 * c0) + c4 * std::exp(2 * c1);
    k.np[3] = std::exp(c1 + 2 * c0) * (c7 * std::sin(c3) - c6 * std::cos(c3)) +
              std::exp(c0 + 2 * c1) * (c5 * std::sin(c2) - c4 * std::cos(c2));
    k.np[4] = 0;
    k.dp[0] = 0;
    k.dp[1] = -2 * std::exp(c1) * std::cos(c3) - 2 * std::exp(c0) * std::cos(c2);
    k.dp[2] =
        4 * std::cos(c3) * std::cos(c2) * std::exp(c0 + c1) + std::exp(2 * c1) + std::exp(2 * c0);
    k.dp[3] = -2 * std::cos(c2) * std::exp(c0 + 2 * c1) - 2 * std::cos(c3) * std::exp(c1 + 2 * c0);
    k.dp[4] = std::exp(2 * c0 + 2 * c1);
    k.nm[0] = 0;
    for (int i = 0; i < 5; ++i) {
        k.dm[i] = k.dp[i];
        if (i > 0)
            k.nm[i] = k.np[i] - k.dp[i] * k.np[0];
    }
    double Sp = 0, Sm = 0, Sd = 0;
    for (int i = 0; i < 5; ++i) {
        Sp += k.np[i];
        Sm += k.nm[i];
        Sd += k.dp[i];
    }
    const double a = Sp / (1 + Sd), b = Sm / (1 + Sd);
    if (centred) {
        // Feed-forward terms over the total gain a + b; the edge terms continue the line with its
        // edge sample, whose forward and backward values settle at a' L and b' L.
        const double g = a + b;
        for (int i = 0; i < 5; ++i) {
            k.np[i] = k.np[i] / g;
            k.nm[i] = k.nm[i] / g;
            k.bdp[i] = (a / g) * k.dp[i];
            k.bdm[i] = (b / g) * k.dm[i];
        }
        return k;
    }
    for (int i = 0; i < 5; ++i) {
        k.bdp[i] = (1 - a) * k.dp[i];
        k.bdm[i] = (1 - b) * k.dm[i];
    }
    return k;
}

std::vector<int> BlurLine(const Deriche& k, const std::vector<int>& L) {
    const int N = int(L.size());
    std::vector<double> vp(N, 0.0), vm(N, 0.0);
    for (int i = 0; i < N; ++i) {
        const int t = std::min(i, 4);
        double s = 0;
        for (int j = 0; j <= t; ++j) s += k.np[j] * L[i - j] - k.dp[j] * vp[i - j];
        for (int j = t + 1; j <= 4; ++j) s += (k.np[j] - k.bdp[j]) * L[0];
        vp[i] = s;
    }
    for (int i = N - 1; i >= 0; --i) {
        const int t = std::min(N - 1 - i, 4);
        double s = 0;
        for (int j = 0; j <= t; ++j) s += k.nm[j] * L[i + j] - k.dm[j] * vm[i + j];
        for (int j = t + 1; j <= 4; ++j) s += (k.nm[j] - k.bdm[j]) * L[N - 1];
        vm[i] = s;
    }
    std::vector<int> out(N);
    for (int i = 0; i < N; ++i) out[i] = std::clamp(int(std::lrintf(float(vp[i] + vm[i]))), 0, 255);
    return out;
}

}  // namespace

ImagePlane GaussianColumns(const ImagePlane& src, int vertical_code, bool centred) {
    ImagePlane p = src;
    const Deriche kv = Coefficients(vertical_code, centred);
    for (int x = 0; x < p.Width(); ++x) {
        std::vector<int> L(p.Height());
        for (int y = 0; y < p.Height(); ++y) L[y] = p.At(x, y);
        L = BlurLine(kv, L);
        for (int y = 0; y < p.Height(); ++y) p.At(x, y) = std::uint8_t(L[y]);
    }
    return p;
}

ImagePlane Gaussian(const ImagePlane& src, int horizontal_code, int vertical_code, bool centred) {
    ImagePlane p = GaussianColumns(src, vertical_code, centred);
    const Deriche kh = Coefficients(horizontal_code, centred);
    for (int y = 0; y < p.Height(); ++y) {
        std::vector<int> L(p.Row(y), p.Row(y) + p.Width());
        L = BlurLine(kh, L);
        for (int x = 0; x < p.Width(); ++x) p.At(x, y) = std::uint8_t(L[x]);
    }
    return p;
}

ImagePlane RangeStretch(const ImagePlane& V, const ImagePlane& G, int hw, int vw, double sx,
                        double sy, double s, bool centred) {
    const int w = V.Width(), h = V.Height();
    const double q = std::sqrt(std::sqrt(sx * sy));
    const int hx = hw / 2, hy = vw / 2;
    ImagePlane T(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int cx = std::min(std::max(x, hx), w - 1 - hx);
            const int cy = std::min(std::max(y, hy), h - 1 - hy);
            // Windows are clipped to the plane (only matters for planes smaller than a window).
            int M = 0, m = 255;
            for (int j = std::max(0, cy - hy); j <= std::min(h - 1, cy + hy); ++j)
                for (int i = std::max(0, cx - hx); i <= std::min(w - 1, cx + hx); ++i) {
                    M = std::max<int>(M, G.At(i, j));
                    m = std::min<int>(m, G.At(i, j));
                }
            const int mid = (M + m + 1) / 2;
            int half = M - mid;
            if (half == 0)
                half = 1;
            double gain = half / s / q * 0.5;
            if (gain < 1)
                gain = 1;
            const double z = double(V.At(x, y) - mid) / half;
            int result;
            if (std::fabs(z) <= 1 / gain)
                result = int(gain * (V.At(x, y) - mid) + mid + (centred ? 0.5 : 0.0));
            else
                result = z > 0 ? M : m;
            if (gain == 1)
                result = G.At(x, y);
            T.At(x, y) = Clamp(result);
        }
    return T;
}

namespace {

template <typename Core>
ImagePlane Plan(const ImagePlane& src, int dw, int dh, double s, bool c, Core core) {
    const int sw = src.Width(), sh = src.Height();
    const double sx = double(dw) / sw, sy = double(dh) / sh;
    const double mn = std::min(sx, sy), mx = std::max(sx, sy);
    ImagePlane dst;
    if (mx <= 0.5) {
        dst = Sharpen(BoxColumns(BoxRows(src, dw, c), dh, c), 25, c);
    } else if (mx <= 1.5 || mn > 1.5) {
        dst = core(src, dw, dh);
    } else if (sy == mn) {
        dst = BoxColumns(core(src, dw, int(1.5 * sh)), dh, c);
    } else {
        dst = BoxRows(core(src, int(1.5 * sw), dh), dw, c);
    }
    if (mn <= 0.5)
        dst = Sharpen(dst, int(50 / s), c);
    else if (mn < 1.5)
        dst = Sharpen(dst, int((mn + 1.5) * 20 / std::sqrt(s)), c);
    return dst;
}

}  // namespace

ImagePlane SmartPlane(const ImagePlane& src, int dw, int dh, double s, int ratio_flag,
                      bool centred) {
    return Plan(src, dw, dh, s, centred, [&](const ImagePlane& in, int w, int h) {
        const double sx = double(w) / in.Width(), sy = double(h) / in.Height();
        ImagePlane d = Resample(in, w, h, ratio_flag + 1, 1, true, centred);
        if (std::max(sx, sy) <= 1.5)
            return d;
        const ImagePlane q = Resample(in, w, h, 0, 0.5, false, centred);
        if (centred) {
            // No blur before the stretch; the natural core's windows; half the gain.
            d = RangeStretch(d, q, std::max(2, int(2 * (sx - 0.5))),
                             std::max(2, int(2 * (sy - 0.5))), sx, sy, 2 * s, true);
            return Gaussian(d, 10, 10, true);
        }
        d = Gaussian(d, std::max(10, int(sx)), std::max(10, int(sy)));
        d = RangeStretch(d, q, std::max(2, int(2 * sx)), std::max(2, int(2 * sy)), sx, sy, s);
        return Gaussian(d, 10, 10);
    });
}

ImagePlane NaturalPlane(const ImagePlane& src, int dw, int dh, double s, bool centred) {
    return Plan(src, dw, dh, s, centred, [&](const ImagePlane& in, int w, int h) {
        const double sx = double(w) / in.Width(), sy = double(h) / in.Height();
        // Centred: Lanczos of radius 3 in place of Catmull-Rom, half the gain.
        ImagePlane d =
            centred ? Resample(in, w, h, 3, 1, true, true) : Resample(in, w, h, 0, 0.5, false);
        if (std::max(sx, sy) <= 1.5)
            return d;
        d = RangeStretch(d, d, std::max(2, int(2 * (sx - 0.5))), std::max(2, int(2 * (sy - 0.5))),
                         sx, sy, centred ? 2 * s : s, centred);
        if (std::max(sx, sy) >= 3)
            d = Gaussian(d, 8, 8, centred);
        return d;
    });
}

ImagePlane AlgorithmPlane(int algorithm, const ImagePlane& src, int dw, int dh, bool centred) {
    const auto strength = [](double b) { return 103.0 / (b * b / 100 + 3); };
    if (algorithm == 6)
        return NaturalPlane(src, dw, dh, strength(40), centred);
    if (algorithm == 7)
        return SmartPlane(Sharpen(src, 25, centred), dw, dh, strength(25), 2, centred);
    const double rx = double(dw) / src.Width(), ry = double(dh) / src.Height();
    const int flag = rx == std::trunc(rx) && ry == std::trunc(ry) ? 1 : 2;
    return SmartPlane(src, dw, dh, strength(50), flag, centred);
}

}  // namespace orm::engine::reference
