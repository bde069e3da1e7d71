#include "engine/standard_modes.h"

#include "engine/parallel.h"
#include "engine/simd.h"
#include "engine/simd_bytes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

// The kernels below take and return GCC vectors; they are always inlined into the build that
// calls them, so the calling convention such a vector would have (the warning) never applies.
#pragma GCC diagnostic ignored "-Wpsabi"

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
        f.first = f.index;
        return f;
    }
    const bool cubic = mode == StandardMode::Bicubic || mode == StandardMode::HighQualityBicubic;
    const bool widen =
        (mode == StandardMode::HighQualityBilinear || mode == StandardMode::HighQualityBicubic) &&
        scale < 1.0;
    const double stretch = widen ? 1.0 / scale : 1.0;  // kernel widening
    const double radius = (cubic ? 2.0 : 1.0) * stretch;
    // The samples strictly within the radius of the centre: at most ceil(2 radius) of them,
    // starting at the first one past centre - radius (both kernels are 0 at the radius).
    f.taps = int(std::ceil(2 * radius));
    f.index.assign(std::size_t(dst) * f.taps, 0);
    f.weight.assign(std::size_t(dst) * f.taps, 0.0f);
    f.first.resize(dst);
    std::vector<double> w(f.taps);
    for (int i = 0; i < dst; ++i) {
        const double centre = (i + 0.5) / scale - 0.5;
        const int first = int(std::floor(centre - radius)) + 1;
        f.first[i] = first;
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

namespace {

// Pixels of a row as four floats (blue, green, red, unused), so one vector operation handles a
// pixel.
typedef float Pixel __attribute__((vector_size(4 * sizeof(float))));

// A pixel of the padded row (whose alignment is that of float only; the loads say nothing about
// alignment).
ORM_KERNEL Pixel LoadPixel(const Pixel* p) {
    Pixel v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Horizontal pass of one source row, already widened to Pixels and padded so no index clamps.
// Four outputs advance tap by tap side by side (each in its own tap order), so their additions
// overlap instead of waiting on one another.
ORM_KERNEL void HorizontalPixelsBody(const Pixel* padded, const float* weights, const int* first,
                                     int dw, int taps, Pixel* out) {
    constexpr int kSide = 4;
    int x = 0;
    for (; x + kSide <= dw; x += kSide) {
        Pixel acc[kSide] = {};
        const float* w[kSide];
        const Pixel* p[kSide];
        for (int j = 0; j < kSide; ++j) {
            w[j] = weights + std::size_t(x + j) * taps;
            p[j] = padded + first[x + j];
        }
        for (int t = 0; t < taps; ++t)
            for (int j = 0; j < kSide; ++j) acc[j] += w[j][t] * LoadPixel(p[j] + t);
        for (int j = 0; j < kSide; ++j) out[x + j] = acc[j];
    }
    for (; x < dw; ++x) {
        const float* w = weights + std::size_t(x) * taps;
        const Pixel* p = padded + first[x];
        Pixel acc = {};
        for (int t = 0; t < taps; ++t) acc += w[t] * LoadPixel(p + t);
        out[x] = acc;
    }
}
ORM_DISPATCH3(HorizontalPixels, HorizontalPixelsBody)

// One source row as Pixels (blue, green, red, 0) from `pad` on, with `pad` copies of the edge
// pixels on each side. The AVX builds widen four pixels at a time (the bytes shuffled into
// place with a zero after each pixel, then converted); a byte converts to a float exactly.
template <int I>
ORM_KERNEL void WidenRowBody(const std::uint8_t* s, int sw, int pad, Pixel* padded) {
    int x = 0;
#if defined(ORM_SIMD_X86)
    if constexpr (I != simd::kPortable) {
        // 16 bytes are read for 4 pixels (12 bytes): stop 2 pixels early.
        for (; x + 6 <= sw; x += 4)
            simd::FourPixelsToFloats<I>(s + 3 * x, reinterpret_cast<float*>(padded + pad + x));
    }
#endif
    for (; x < sw; ++x)
        padded[pad + x] = Pixel{float(s[3 * x]), float(s[3 * x + 1]), float(s[3 * x + 2]), 0.0f};
    for (int i = 0; i < pad; ++i) {
        padded[i] = padded[pad];
        padded[pad + sw + i] = padded[pad + sw - 1];
    }
}
#if defined(ORM_SIMD_X86)
ORM_AVX512 void WidenRowAvx512(const std::uint8_t* s, int sw, int pad, Pixel* padded) {
    WidenRowBody<simd::kAvx512>(s, sw, pad, padded);
}
ORM_AVX2 void WidenRowAvx2(const std::uint8_t* s, int sw, int pad, Pixel* padded) {
    WidenRowBody<simd::kAvx2>(s, sw, pad, padded);
}
#endif
// The same for pixels of four bytes (three colours and alpha): every lane carries a channel.
void WidenQuadRow(const std::uint8_t* s, int sw, int pad, Pixel* padded) {
    for (int x = 0; x < sw; ++x)
        padded[pad + x] =
            Pixel{float(s[4 * x]), float(s[4 * x + 1]), float(s[4 * x + 2]), float(s[4 * x + 3])};
    for (int i = 0; i < pad; ++i) {
        padded[i] = padded[pad];
        padded[pad + sw + i] = padded[pad + sw - 1];
    }
}

void WidenRow(const std::uint8_t* s, int sw, int pad, Pixel* padded) {
#if defined(ORM_SIMD_X86)
    if (simd::UseAvx512())
        return WidenRowAvx512(s, sw, pad, padded);
    if (simd::UseAvx2())
        return WidenRowAvx2(s, sw, pad, padded);
#endif
    WidenRowBody<simd::kPortable>(s, sw, pad, padded);
}

// Vertical pass of one output row: the weighted rows summed in tap order, rounded to nearest
// (halves to even, as lrint does: adding 1.5 x 2^23 and taking it away rounds a float of
// magnitude below 2^22 to an integer), clamped, three channels of each Pixel written.
// The sums of a chunk of values stay in registers across the taps. Pixels of four channels
// write every lane.
ORM_KERNEL void VerticalPixelsBody(const float* const* rows, const float* weights, int count,
                                   int dw, int channels, float* acc, std::uint8_t* out) {
    const int n = 4 * dw;
    constexpr int kChunk = 64;
    for (int i0 = 0; i0 < n; i0 += kChunk) {
        const int i1 = std::min(n, i0 + kChunk);
        float a[kChunk];
        for (int i = 0; i < kChunk; ++i) a[i] = 0.0f;
        for (int t = 0; t < count; ++t) {
            const float w = weights[t];
            const float* r = rows[t] + i0;
            if (i1 - i0 == kChunk)
                for (int i = 0; i < kChunk; ++i) a[i] += w * r[i];
            else
                for (int i = 0; i < i1 - i0; ++i) a[i] += w * r[i];
        }
        for (int i = i0; i < i1; ++i) acc[i] = a[i - i0];
    }
    for (int i = 0; i < n; ++i) {
        float v = (acc[i] + 12582912.0f) - 12582912.0f;
        v = v < 0.0f ? 0.0f : v;
        v = v > 255.0f ? 255.0f : v;
        acc[i] = v;
    }
    if (channels == kBgrChannels) {
        for (int x = 0; x < dw; ++x)
            for (int c = 0; c < kBgrChannels; ++c)
                out[kBgrChannels * x + c] = std::uint8_t(int(acc[4 * x + c]));
    } else {
        for (int i = 0; i < n; ++i) out[i] = std::uint8_t(int(acc[i]));
    }
}
ORM_DISPATCH3(VerticalPixels, VerticalPixelsBody)

}  // namespace

void DrawStandardMode(ConstBgrView src, BgrView dst, StandardMode mode, int channels) {
    const auto widen = channels == kBgrChannels ? WidenRow : WidenQuadRow;
    const AxisFilter fx = MakeAxisFilter(mode, src.width, dst.width);
    const AxisFilter fy = MakeAxisFilter(mode, src.height, dst.height);
    const int dw = dst.width, sw = src.width;

    // Source rows are padded by `pad` repeated edge pixels on each side, so the horizontal
    // indices need no clamping: first index f (clamped or not) reads padded[f + pad].
    const int pad = fx.taps;
    std::vector<int> first(dw);
    for (int x = 0; x < dw; ++x) first[x] = fx.first[x] + pad;

    ParallelRows(
        dst.height, 16, false,
        [&](int y0, int y1) {
            std::vector<Pixel, UninitAllocator<Pixel>> padded(std::size_t(sw) + 2 * pad);
            // Horizontal sums of the source rows the band reads, in a ring keyed by source row:
            // the rows an output reads are consecutive, so they never share a slot.
            const int slots = fy.taps;
            std::vector<Pixel, UninitAllocator<Pixel>> ring(std::size_t(dw) * slots);
            std::vector<int> slot_row(slots, -1);
            std::vector<const float*> rows(slots);
            std::vector<float> weights(slots);
            std::vector<float, UninitAllocator<float>> acc(std::size_t(dw) * 4);
            for (int y = y0; y < y1; ++y) {
                const int* idx = fy.index.data() + std::size_t(y) * fy.taps;
                const float* w = fy.weight.data() + std::size_t(y) * fy.taps;
                int count = 0;
                for (int t = 0; t < fy.taps; ++t) {
                    if (w[t] == 0.0f)
                        continue;  // adding 0 would change nothing
                    const int r = idx[t];
                    const int slot = r % slots;
                    Pixel* h = ring.data() + std::size_t(slot) * dw;
                    if (slot_row[slot] != r) {
                        widen(src.Row(r), sw, pad, padded.data());
                        HorizontalPixels(static_cast<const Pixel*>(padded.data()),
                                         static_cast<const float*>(fx.weight.data()),
                                         static_cast<const int*>(first.data()), dw, fx.taps, h);
                        slot_row[slot] = r;
                    }
                    rows[count] = reinterpret_cast<const float*>(h);
                    weights[count] = w[t];
                    ++count;
                }
                VerticalPixels(static_cast<const float* const*>(rows.data()),
                               static_cast<const float*>(weights.data()), count, dw, channels,
                               acc.data(), dst.Row(y));
            }
        },
        [](int) { return true; });
}

void DrawStandardModeFloat(const float* src, int sw, int sh, float* dst, int dw, int dh,
                           StandardMode mode) {
    const AxisFilter fx = MakeAxisFilter(mode, sw, dw);
    const AxisFilter fy = MakeAxisFilter(mode, sh, dh);
    // Padded source rows and first indices as in DrawStandardMode.
    const int pad = fx.taps;
    std::vector<int> first(dw);
    for (int x = 0; x < dw; ++x) first[x] = fx.first[x] + pad;
    const auto* pixels = reinterpret_cast<const float(*)[4]>(src);

    ParallelRows(
        dh, 16, false,
        [&](int y0, int y1) {
            std::vector<Pixel, UninitAllocator<Pixel>> padded(std::size_t(sw) + 2 * pad);
            std::vector<Pixel, UninitAllocator<Pixel>> ring(std::size_t(dw) * fy.taps);
            std::vector<int> slot_row(fy.taps, -1);
            for (int y = y0; y < y1; ++y) {
                const int* idx = fy.index.data() + std::size_t(y) * fy.taps;
                const float* w = fy.weight.data() + std::size_t(y) * fy.taps;
                float* out = dst + std::size_t(y) * dw * 4;
                std::fill(out, out + std::size_t(dw) * 4, 0.0f);
                for (int t = 0; t < fy.taps; ++t) {
                    if (w[t] == 0.0f)
                        continue;  // skipped as DrawStandardMode skips it
                    const int r = idx[t];
                    const int slot = r % fy.taps;
                    Pixel* h = ring.data() + std::size_t(slot) * dw;
                    if (slot_row[slot] != r) {
                        const float(*row)[4] = pixels + std::size_t(r) * sw;
                        for (int x = 0; x < sw; ++x)
                            padded[pad + x] = Pixel{row[x][0], row[x][1], row[x][2], row[x][3]};
                        for (int i = 0; i < pad; ++i) {
                            padded[i] = padded[pad];
                            padded[pad + sw + i] = padded[pad + sw - 1];
                        }
                        HorizontalPixels(static_cast<const Pixel*>(padded.data()),
                                         static_cast<const float*>(fx.weight.data()),
                                         static_cast<const int*>(first.data()), dw, fx.taps, h);
                        slot_row[slot] = r;
                    }
                    const float* hr = reinterpret_cast<const float*>(h);
                    for (int i = 0; i < 4 * dw; ++i) out[i] += w[t] * hr[i];
                }
            }
        },
        [](int) { return true; });
}

}  // namespace orm::engine
