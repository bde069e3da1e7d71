#include "engine/plane_filters.h"
#include "engine/progress.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace orm::engine {

namespace {

// Running extremes over windows [i - half, i + half] of a line of n samples `step` apart, the
// window clipped to the line (the clipping only matters for lines shorter than a window).
void LineExtremes(const std::uint8_t* max_in, const std::uint8_t* min_in, std::ptrdiff_t step,
                  int n, int half, std::uint8_t* max_out, std::uint8_t* min_out) {
    for (int i = 0; i < n; ++i) {
        const int lo = std::max(0, i - half);
        const int hi = std::min(n - 1, i + half);
        std::uint8_t mx = 0, mn = 255;
        for (int j = lo; j <= hi; ++j) {
            mx = std::max(mx, max_in[j * step]);
            mn = std::min(mn, min_in[j * step]);
        }
        max_out[i * step] = mx;
        min_out[i * step] = mn;
    }
}

// The window centre used for position i: clamped to [half, n - 1 - half] as the window requires,
// then into the line for lines shorter than a window (where every clipped window is the line).
inline int WindowCentre(int i, int half, int n) {
    const int c = std::min(std::max(i, half), n - 1 - half);
    return std::clamp(c, 0, n - 1);
}

}  // namespace

int GrainNoise::Next() {
    int n = 0;
    for (int i = 0; i < 6; ++i) {
        state_ = state_ * 214013u + 2531011u;
        n += int((state_ >> 16) & 0x7FFF) - 16383;
    }
    return n;
}

bool RangeStretchPlane(ImagePlane& v, const ImagePlane& g, int hw, int vw, double sx, double sy,
                       double strength, CRSProgress* progress, int grain) {
    GrainNoise noise;
    const int w = v.Width(), h = v.Height();
    const double q = std::sqrt(std::sqrt(sx * sy));
    const int hx = hw / 2, hy = vw / 2;

    ImagePlane result(w, h);
    ImagePlane row_max(w, h), row_min(w, h), win_max(w, h), win_min(w, h);

    for (int y = 0; y < h; ++y)
        LineExtremes(g.Row(y), g.Row(y), 1, w, hx, row_max.Row(y), row_min.Row(y));
    for (int x = 0; x < w; ++x)
        LineExtremes(row_max.Data() + x, row_min.Data() + x, w, h, hy, win_max.Data() + x,
                     win_min.Data() + x);

    for (int y = 0; y < h; ++y) {
        const int cy = WindowCentre(y, hy, h);
        const std::uint8_t* vrow = v.Row(y);
        const std::uint8_t* grow = g.Row(y);
        const std::uint8_t* mxrow = win_max.Row(cy);
        const std::uint8_t* mnrow = win_min.Row(cy);
        std::uint8_t* out = result.Row(y);
        for (int x = 0; x < w; ++x) {
            const int cx = WindowCentre(x, hx, w);
            const int big = mxrow[cx], small = mnrow[cx];
            const int mid = (big + small + 1) / 2;
            int half = big - mid;
            if (half == 0)
                half = 1;
            double gain = half / strength / q * 0.5;
            if (gain < 1.0)
                gain = 1.0;
            int r;
            if (gain == 1.0) {
                r = grow[x];  // flat areas: the guide passes through
            } else {
                const int d = vrow[x] - mid;
                const double z = double(d) / half;
                if (std::fabs(z) <= 1.0 / gain) {
                    r = int(gain * d + mid);
                    if (grain != 0)
                        r += int(std::int64_t(int(grain * gain)) * noise.Next() / 163830);
                } else
                    r = z > 0 ? big : small;
            }
            out[x] = std::uint8_t(std::clamp(r, 0, 255));
        }
        if (!Report(progress, 100 * y / h))
            return false;
    }
    v = std::move(result);
    return true;
}

}  // namespace orm::engine
