#include "engine/alpha_resize.h"

#include "engine/memory_budget.h"
#include "engine/parallel.h"
#include "engine/standard_modes.h"

#include <algorithm>
#include <array>
#include <new>
#include <stdexcept>

namespace orm::engine {

namespace {

constexpr int kRowBand = 64;

// Products and quotients of every (colour, alpha) pair: a table lookup per channel instead of a
// division (64 KiB each, made once).
using PairTable = std::array<std::uint8_t, 256 * 256>;

const PairTable& PremultiplyTable() {
    static const PairTable table = [] {
        PairTable t{};
        for (int a = 0; a < 256; ++a)
            for (int c = 0; c < 256; ++c)
                t[std::size_t(a) * 256 + c] = std::uint8_t((c * a + 127) / 255);  // 255 is odd
        return t;
    }();
    return table;
}

// round(min(c, a) 255 / a), and 0 for a = 0.
const PairTable& DivideTable() {
    static const PairTable table = [] {
        PairTable t{};
        for (int a = 1; a < 256; ++a)
            for (int c = 0; c < 256; ++c) {
                const int held = std::min(c, a);
                t[std::size_t(a) * 256 + c] = std::uint8_t((held * 255 + a / 2) / a);
            }
        return t;
    }();
    return table;
}

// Straight pixels into pixels of `channels` bytes: colours weighted by alpha, alpha, and with 5
// channels a fifth of 255 (it shows what the resize makes of full opacity).
void WeightPixels(const std::uint8_t* in, std::uint8_t* out, int count, int channels) {
    const PairTable& table = PremultiplyTable();
    for (int i = 0; i < count; ++i, in += kQuadChannels, out += channels) {
        const std::uint8_t a = in[3];
        const std::uint8_t* row = table.data() + std::size_t(a) * 256;
        out[0] = row[in[0]];
        out[1] = row[in[1]];
        out[2] = row[in[2]];
        out[3] = a;
        if (channels > kQuadChannels)
            out[4] = 255;
    }
}

// Back to straight pixels: colours divided by the resized alpha; with 5 channels, alpha divided
// by what full opacity became (so an opaque area stays opaque where the algorithm's weights do
// not add up to one).
void StraightenPixels(const std::uint8_t* in, std::uint8_t* out, int count, int channels) {
    const PairTable& table = DivideTable();
    for (int i = 0; i < count; ++i, in += channels, out += kQuadChannels) {
        const std::uint8_t a = in[3];
        const std::uint8_t* row = table.data() + std::size_t(a) * 256;
        out[0] = row[in[0]];
        out[1] = row[in[1]];
        out[2] = row[in[2]];
        out[3] = channels > kQuadChannels ? table[std::size_t(in[4]) * 256 + a] : a;
    }
}

std::uint64_t Pixels(int w, int h) {
    return std::uint64_t(w) * std::uint64_t(h);
}

QuadImage MakeImage(int w, int h, int channels) {
    QuadImage image;
    image.pixels.resize(std::size_t(w) * std::size_t(h) * channels);
    image.width = w;
    image.height = h;
    return image;
}

}  // namespace

void PremultiplyPixels(const std::uint8_t* in, std::uint8_t* out, int count) {
    WeightPixels(in, out, count, kQuadChannels);
}

void UnpremultiplyPixels(const std::uint8_t* in, std::uint8_t* out, int count) {
    StraightenPixels(in, out, count, kQuadChannels);
}

bool HasTranslucentPixel(ConstQuadView image) {
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* p = image.Row(y) + 3;
        std::uint8_t lowest = 255;
        for (int x = 0; x < image.width; ++x) lowest = std::min(lowest, p[x * kQuadChannels]);
        if (lowest != 255)
            return true;
    }
    return false;
}

namespace {

// The own algorithms' weights need not add up to one (at the borders, and the truncating box
// reduction): they carry a fifth channel of full opacity to divide alpha by. The standard modes'
// weights are normalised.
int ChannelsFor(ResizeAlgorithm algorithm) {
    return IsOwnAlgorithm(algorithm) ? kQuadChannels + 1 : kQuadChannels;
}

// Whether every output pixel is a copy of one source pixel: nearest neighbour at any size, and
// the standard modes at the source's own size (their kernels weigh the sample under the centre
// 1 and every other 0 there). Such a resize takes the straight pixels as they are: weighting
// by alpha in 8 bits and dividing again would lose the colours of faint pixels (alpha 1 keeps
// 2 of 256 levels).
bool CopiesPixels(ResizeAlgorithm algorithm, int sw, int sh, int tw, int th) {
    if (IsOwnAlgorithm(algorithm))
        return false;
    return algorithm == ResizeAlgorithm::NearestNeighbor || (sw == tw && sh == th);
}

// The copy of CopiesPixels: the straight pixels through the algorithm, the crop's centre taken.
QuadResizeOutcome CopyStraightPixels(ConstQuadView src, int tw, int th, int dw, int dh,
                                     ResizeAlgorithm algorithm, CRSProgress* progress) {
    QuadResizeOutcome outcome;
    QuadImage target = MakeImage(tw, th, kQuadChannels);
    const ConstBgrView from(src.data, src.width, src.height, src.stride);
    if (!RunAlgorithm(from, BgrView{target.pixels.data(), tw, th, target.Stride()}, algorithm,
                      progress, kQuadChannels)) {
        outcome.status = ResizeStatus::Cancelled;
        return outcome;
    }
    if (tw == dw && th == dh) {
        outcome.image = std::move(target);
    } else {
        outcome.image = MakeImage(dw, dh, kQuadChannels);
        const int top = (th - dh) / 2, left = (tw - dw) / 2;
        for (int y = 0; y < dh; ++y)
            std::copy_n(target.Row(top + y) + std::ptrdiff_t(left) * kQuadChannels,
                        std::size_t(dw) * kQuadChannels, outcome.image.Row(y));
    }
    outcome.status = ResizeStatus::Ok;
    return outcome;
}

using Floats = std::vector<float, UninitAllocator<float>>;

// Rounded to nearest (halves to even, as the standard modes round) and held to 0..255.
float Rounded(float v) {
    v = (v + 12582912.0f) - 12582912.0f;
    return std::clamp(v, 0.0f, 255.0f);
}

// Weighted float pixels back to straight bytes. Alpha is rounded as the standard modes round a
// channel; an opaque pixel takes its colours as they round (as the 24-bit resize makes them),
// any other is divided by its alpha unrounded, the colour first held to it.
void StraightenFloats(const float* in, std::uint8_t* out, int count) {
    for (int i = 0; i < count; ++i, in += kQuadChannels, out += kQuadChannels) {
        const float alpha = in[3];
        const float a = Rounded(alpha);
        out[3] = std::uint8_t(a);
        for (int c = 0; c < 3; ++c)
            out[c] = a == 0.0f     ? 0
                     : a == 255.0f ? std::uint8_t(Rounded(in[c]))
                                   : std::uint8_t(Rounded(std::min(in[c], alpha) * 255.0f / alpha));
    }
}

// The standard modes' resize with the colours weighted by alpha in floats, not in bytes: a
// colour under alpha 1 comes back as exactly as under alpha 255 where the resize keeps it.
QuadResizeOutcome ResizeWeightedInFloats(ConstQuadView src, int tw, int th, int dw, int dh,
                                         ResizeAlgorithm algorithm) {
    const int sw = src.width, sh = src.height;
    Floats weighted(std::size_t(sw) * sh * kQuadChannels);
    auto weigh = [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const std::uint8_t* p = src.Row(y);
            float* w = weighted.data() + std::size_t(y) * sw * kQuadChannels;
            for (int x = 0; x < sw * kQuadChannels; x += kQuadChannels) {
                const float a = p[x + 3];
                for (int c = 0; c < 3; ++c) w[x + c] = float(p[x + c]) * a / 255.0f;
                w[x + 3] = a;
            }
        }
    };
    ParallelFor(sh, kRowBand, weigh);
    Floats target(std::size_t(tw) * th * kQuadChannels);
    DrawStandardModeFloat(weighted.data(), sw, sh, target.data(), tw, th,
                          StandardMode(AlgorithmIndex(algorithm)));
    weighted = {};
    QuadResizeOutcome outcome;
    outcome.image = MakeImage(dw, dh, kQuadChannels);
    const int top = (th - dh) / 2, left = (tw - dw) / 2;
    auto straighten = [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y)
            StraightenFloats(target.data() + (std::size_t(top + y) * tw + left) * kQuadChannels,
                             outcome.image.Row(y), dw);
    };
    ParallelFor(dh, kRowBand, straighten);
    outcome.status = ResizeStatus::Ok;
    return outcome;
}

}  // namespace

std::uint64_t EstimatedAlphaResizeBytes(int sw, int sh, int dw, int dh, ResizeAlgorithm algorithm,
                                        bool crop) {
    int tw = dw, th = dh;
    if (crop)
        CoverSize(sw, sh, dw, dh, tw, th);
    // The standard modes: the float source and target, and the straight result.
    if (!IsOwnAlgorithm(algorithm))
        return 16 * (Pixels(sw, sh) + Pixels(tw, th)) + kQuadChannels * Pixels(dw, dh);
    // The three-channel estimate, the further channels of the target, the weighted copy of the
    // source and the straightened result.
    const int channels = ChannelsFor(algorithm);
    return EstimatedResizeBytes(sw, sh, tw, th, dw, dh, algorithm, crop) +
           (channels - 3) * Pixels(tw, th) + channels * Pixels(sw, sh) +
           (crop ? kQuadChannels * Pixels(dw, dh) : 0);
}

QuadResizeOutcome ResizeWithAlpha(ConstQuadView src, int dw, int dh, ResizeAlgorithm algorithm,
                                  bool crop, CRSProgress* progress, Sampling sampling) {
    QuadResizeOutcome outcome;
    if (src.data == nullptr || src.width <= 0 || src.height <= 0 || dw <= 0 || dh <= 0 ||
        !AlgorithmFromIndex(AlgorithmIndex(algorithm)))
        return outcome;
    try {
        int tw = dw, th = dh;
        if (crop)
            CoverSize(src.width, src.height, dw, dh, tw, th);
        const std::uint64_t available = AvailableMemoryBytes();
        if (available != 0 &&
            EstimatedAlphaResizeBytes(src.width, src.height, dw, dh, algorithm, crop) > available) {
            outcome.status = ResizeStatus::OutOfMemory;
            return outcome;
        }
        if (CopiesPixels(algorithm, src.width, src.height, tw, th))
            return CopyStraightPixels(src, tw, th, dw, dh, algorithm, progress);
        if (!IsOwnAlgorithm(algorithm))
            return ResizeWeightedInFloats(src, tw, th, dw, dh, algorithm);
        const int channels = ChannelsFor(algorithm);

        QuadImage weighted = MakeImage(src.width, src.height, channels);
        const std::ptrdiff_t weightedStride = std::ptrdiff_t(src.width) * channels;
        auto weigh = [&](int y0, int y1) {
            for (int y = y0; y < y1; ++y)
                WeightPixels(src.Row(y), weighted.pixels.data() + y * weightedStride, src.width,
                             channels);
        };
        ParallelFor(src.height, kRowBand, weigh);

        QuadImage target = MakeImage(tw, th, channels);  // every algorithm writes every byte
        const std::ptrdiff_t targetStride = std::ptrdiff_t(tw) * channels;
        const ConstBgrView from(weighted.pixels.data(), src.width, src.height, weightedStride);
        const BgrView to{target.pixels.data(), tw, th, targetStride};
        if (!RunAlgorithm(from, to, algorithm, progress, channels, sampling)) {
            outcome.status = ResizeStatus::Cancelled;
            return outcome;
        }
        weighted = {};

        // Straight colours again; the crop's centre is taken on the way. Without a crop and
        // extra channel the pixels are straightened where they are.
        const bool inPlace = !crop && channels == kQuadChannels;
        QuadImage result = inPlace ? std::move(target) : MakeImage(dw, dh, kQuadChannels);
        const std::uint8_t* resized = inPlace ? result.pixels.data() : target.pixels.data();
        const int top = (th - dh) / 2, left = (tw - dw) / 2;
        auto straighten = [&](int y0, int y1) {
            for (int y = y0; y < y1; ++y)
                StraightenPixels(
                    resized + (top + y) * targetStride + std::ptrdiff_t(left) * channels,
                    result.Row(y), dw, channels);
        };
        ParallelFor(dh, kRowBand, straighten);
        outcome.image = std::move(result);
        outcome.status = ResizeStatus::Ok;
    } catch (const std::bad_alloc&) {
        outcome.status = ResizeStatus::OutOfMemory;
    } catch (const std::length_error&) {
        outcome.status = ResizeStatus::OutOfMemory;
    }
    return outcome;
}

}  // namespace orm::engine
