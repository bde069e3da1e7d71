#include "engine/standard_modes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace orm::engine {

namespace {

double Triangle(double x) {
    x = std::fabs(x);
    return x < 1.0 ? 1.0 - x : 0.0;
}

double Keys(double x) {
    constexpr double a = -0.5;
    x = std::fabs(x);
    if (x < 1.0)
        return ((a + 2) * x - (a + 3)) * x * x + 1;
    if (x < 2.0)
        return ((a * x - 5 * a) * x + 8 * a) * x - 4 * a;
    return 0.0;
}

}  // namespace

AxisFilter MakeAxisFilter(StandardMode mode, int src, int dst) {
    AxisFilter f;
    const double scale = double(dst) / src;
    if (mode == StandardMode::NearestNeighbor) {
        f.taps = 1;
        f.index.resize(dst);
        f.weight.assign(dst, 1.0f);
        for (int i = 0; i < dst; ++i) {
            const std::int64_t s = ((2 * std::int64_t(i) + 1) * src) / (2 * std::int64_t(dst));
            f.index[i] = int(std::min<std::int64_t>(s, src - 1));
        }
        return f;
    }
    const bool cubic = mode == StandardMode::Bicubic || mode == StandardMode::HighQualityBicubic;
    const bool widen = (mode == StandardMode::HighQualityBilinear ||
                        mode == StandardMode::HighQualityBicubic) &&
                       scale < 1.0;
    const double stretch = widen ? 1.0 / scale : 1.0;  // kernel widening
    const double radius = (cubic ? 2.0 : 1.0) * stretch;
    f.taps = int(std::ceil(radius)) * 2 + 1;
    f.index.assign(std::size_t(dst) * f.taps, 0);
    f.weight.assign(std::size_t(dst) * f.taps, 0.0f);
    std::vector<double> w(f.taps);
    for (int i = 0; i < dst; ++i) {
        const double centre = (i + 0.5) / scale - 0.5;
        const int first = int(std::floor(centre - radius)) + 1;
        double total = 0.0;
        for (int t = 0; t < f.taps; ++t) {
            const double x = (first + t - centre) / stretch;
            w[t] = cubic ? Keys(x) : Triangle(x);
            total += w[t];
        }
        for (int t = 0; t < f.taps; ++t) {
            f.index[std::size_t(i) * f.taps + t] = std::clamp(first + t, 0, src - 1);
            f.weight[std::size_t(i) * f.taps + t] = float(total != 0.0 ? w[t] / total : 0.0);
        }
    }
    return f;
}

void DrawStandardMode(ConstBgrView src, BgrView dst, StandardMode mode) {
    const AxisFilter fx = MakeAxisFilter(mode, src.width, dst.width);
    const AxisFilter fy = MakeAxisFilter(mode, src.height, dst.height);
    const int dw = dst.width;

    // Horizontal sums of the source rows the current output row reads, in a ring keyed by source
    // row: the rows an output reads are consecutive, so they never share a slot.
    const std::size_t row_floats = std::size_t(dw) * kBgrChannels;
    const int slots = fy.taps;
    std::vector<float> ring(row_floats * slots);
    std::vector<int> slot_row(slots, -1);
    auto horizontal_row = [&](int y) -> const float* {
        const int slot = y % slots;
        float* out = ring.data() + row_floats * slot;
        if (slot_row[slot] == y)
            return out;
        slot_row[slot] = y;
        const std::uint8_t* s = src.Row(y);
        for (int x = 0; x < dw; ++x) {
            const int* idx = fx.index.data() + std::size_t(x) * fx.taps;
            const float* w = fx.weight.data() + std::size_t(x) * fx.taps;
            float b = 0, g = 0, r = 0;
            for (int t = 0; t < fx.taps; ++t) {
                const std::uint8_t* p = s + idx[t] * kBgrChannels;
                b += w[t] * p[0];
                g += w[t] * p[1];
                r += w[t] * p[2];
            }
            out[3 * x] = b;
            out[3 * x + 1] = g;
            out[3 * x + 2] = r;
        }
        return out;
    };

    std::vector<float> acc(row_floats);
    for (int y = 0; y < dst.height; ++y) {
        const int* idx = fy.index.data() + std::size_t(y) * fy.taps;
        const float* w = fy.weight.data() + std::size_t(y) * fy.taps;
        std::fill(acc.begin(), acc.end(), 0.0f);
        for (int t = 0; t < fy.taps; ++t) {
            if (w[t] == 0.0f)
                continue;  // padding entries; adding 0 would change nothing
            const float wt = w[t];
            const float* h = horizontal_row(idx[t]);
            for (std::size_t i = 0; i < row_floats; ++i)
                acc[i] += wt * h[i];
        }
        std::uint8_t* out = dst.Row(y);
        for (std::size_t i = 0; i < row_floats; ++i)
            out[i] = std::uint8_t(std::clamp(std::lrint(acc[i]), 0L, 255L));
    }
}

}  // namespace orm::engine
