#include "engine/resample_plane.h"

#include "engine/progress.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

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

inline std::uint8_t RoundResampled(double sum) {
    const int v = int(sum + 0.5);
    if (v >= 255)
        return 255;
    if (v < 0)
        return 0;
    return std::uint8_t(v);
}

}  // namespace

bool ResamplePlane(ImagePlane& dst, const ImagePlane& src, double p1, double p2, KernelType type,
                   CRSProgress* progress) {
    const int sw = src.Width(), sh = src.Height();
    const int dw = dst.Width(), dh = dst.Height();
    const WeightTable table(type, p1, p2);
    const int n = table.Support();
    const int taps = table.Taps();

    const std::vector<AxisSample> columns = AxisSamples(sw, dw);
    const std::vector<AxisSample> rows = AxisSamples(sh, dh);

    // One source row with n repeated edge samples on either side, so the inner loop never clamps:
    // source column c lives at padded[c + n].
    std::vector<double> padded(std::size_t(sw) + 2 * n);
    // The horizontal sums of up to 2n source rows, keyed by the (clamped) source row. A row's sums
    // depend only on that row and the output column, so every output row that reads the row
    // reuses them; the products and their order are those of the direct double sum.
    std::vector<double> sums(std::size_t(taps) * dw);
    std::vector<int> slot_row(taps, -1);
    std::vector<const double*> row_sums(taps);
    std::vector<double> acc(dw);

    auto horizontal_sums = [&](int r, double* out) {
        const std::uint8_t* s = src.Row(r);
        for (int i = 0; i < n; ++i)
            padded[i] = s[0];
        for (int c = 0; c < sw; ++c)
            padded[c + n] = s[c];
        for (int i = 0; i < n; ++i)
            padded[std::size_t(sw) + n + i] = s[sw - 1];
        for (int x = 0; x < dw; ++x) {
            const double* w = table.Phase(columns[x].phase);
            const double* p = padded.data() + columns[x].base + 1;  // column base - (n - 1)
            double h = 0.0;
            for (int t = 0; t < taps; ++t)
                h += w[t] * p[t];
            out[x] = h;
        }
    };

    for (int y = 0; y < dh; ++y) {
        const AxisSample& row = rows[y];
        for (int t = 0; t < taps; ++t) {
            const int r = std::clamp(row.base + t - (n - 1), 0, sh - 1);
            const int slot = r % taps;
            double* slot_sums = sums.data() + std::size_t(slot) * dw;
            if (slot_row[slot] != r) {
                horizontal_sums(r, slot_sums);
                slot_row[slot] = r;
            }
            row_sums[t] = slot_sums;
        }
        const double* w = table.Phase(row.phase);
        std::fill(acc.begin(), acc.end(), 0.0);
        for (int t = 0; t < taps; ++t) {
            const double wt = w[t];
            const double* h = row_sums[t];
            for (int x = 0; x < dw; ++x)
                acc[x] += wt * h[x];
        }
        std::uint8_t* out = dst.Row(y);
        for (int x = 0; x < dw; ++x)
            out[x] = RoundResampled(acc[x]);
        if (!Report(progress, int(100LL * y / dh)))
            return false;
    }
    return true;
}

namespace {

// The 16.16 fixed-point area average of one line of `count` samples `step` bytes apart into
// `out_count` samples. The step A = floor(count * 65536 / out_count) and every accumulator are
// 64-bit: the classic 32-bit form overflows for lines of 65536 samples or more and for
// reductions stronger than 1/256; where it does not overflow the results are identical.
struct BoxLine {
    std::uint64_t step;
    int count;
    int out_count;

    template <typename Read, typename Write>
    void Reduce(Read read, Write write) const {
        std::uint64_t b = 0;
        int i = 0;
        for (int o = 0; o < out_count; ++o) {
            const std::uint64_t e = b + step;
            const std::uint64_t c = (b >> 16) + 1;
            const std::uint64_t last = e >> 16;
            std::uint64_t acc = ((c * 65536 - b) * read(i)) & ~std::uint64_t(0xFFFF);
            ++i;
            for (std::uint64_t k = c; k < last; ++k) {
                acc += std::uint64_t(read(i)) * 65536;
                ++i;
            }
            if (last < std::uint64_t(count))
                acc += ((e - last * 65536) * read(i)) & ~std::uint64_t(0xFFFF);
            write(o, std::uint8_t(acc / step));
            b = e;
        }
    }
};

BoxLine MakeBoxLine(int count, int out_count) {
    return {(std::uint64_t(count) << 16) / std::uint64_t(out_count), count, out_count};
}

}  // namespace

bool BoxReduceRows(ImagePlane& dst, const ImagePlane& src, CRSProgress* progress) {
    const int h = src.Height();
    const BoxLine line = MakeBoxLine(src.Width(), dst.Width());
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* s = src.Row(y);
        std::uint8_t* d = dst.Row(y);
        line.Reduce([s](int i) { return std::uint64_t(s[i]); },
                    [d](int o, std::uint8_t v) { d[o] = v; });
        if (!Report(progress, int(100LL * y / h)))
            return false;
    }
    return true;
}

bool BoxReduceColumns(ImagePlane& dst, const ImagePlane& src, CRSProgress* progress) {
    const int w = src.Width();
    const BoxLine line = MakeBoxLine(src.Height(), dst.Height());
    const std::uint8_t* s0 = src.Data();
    std::uint8_t* d0 = dst.Data();
    for (int x = 0; x < w; ++x) {
        const std::uint8_t* s = s0 + x;
        std::uint8_t* d = d0 + x;
        line.Reduce([s, w](int i) { return std::uint64_t(s[std::size_t(i) * w]); },
                    [d, w](int o, std::uint8_t v) { d[std::size_t(o) * w] = v; });
        if (!Report(progress, int(100LL * x / w)))
            return false;
    }
    return true;
}

}  // namespace orm::engine
