#include "engine/alpha_resize.h"

#include "engine/memory_budget.h"
#include "engine/parallel.h"

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

}  // namespace

std::uint64_t EstimatedAlphaResizeBytes(int sw, int sh, int dw, int dh, ResizeAlgorithm algorithm,
                                        bool crop) {
    int tw = dw, th = dh;
    if (crop)
        CoverSize(sw, sh, dw, dh, tw, th);
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
