#include "engine/linear_light.h"

#include "engine/memory_budget.h"
#include "engine/parallel.h"
#include "engine/standard_modes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <new>
#include <vector>

namespace orm::engine {

namespace {

constexpr int kRowBand = 64;
constexpr int kFloatChannels = 4;  // three colours and alpha (1 for opaque pixels)
// Linear light is encoded through a table of this many steps: the darkest step (1.5e-5) is a
// twentieth of the first encoded level, so the table rounds as the formula would.
constexpr int kEncodeSteps = 65535;

using Floats = std::vector<float, UninitAllocator<float>>;

double Decode(double v) {
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

double Encode(double v) {
    return v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1.0 / 2.4) - 0.055;
}

const std::array<float, 256>& DecodeTable() {
    static const std::array<float, 256> table = [] {
        std::array<float, 256> t{};
        for (int i = 0; i < 256; ++i) t[i] = float(Decode(i / 255.0));
        return t;
    }();
    return table;
}

const std::vector<std::uint8_t>& EncodeTable() {
    static const std::vector<std::uint8_t> table = [] {
        std::vector<std::uint8_t> t(kEncodeSteps + 1);
        for (int i = 0; i <= kEncodeSteps; ++i)
            t[i] = std::uint8_t(
                std::lround(std::clamp(Encode(double(i) / kEncodeSteps), 0.0, 1.0) * 255.0));
        return t;
    }();
    return table;
}

std::uint8_t EncodeByTable(const std::vector<std::uint8_t>& table, float linear) {
    const float v = std::clamp(linear, 0.0f, 1.0f);
    return table[std::size_t(std::lround(v * float(kEncodeSteps)))];
}

}  // namespace

float SrgbToLinear(std::uint8_t encoded) {
    return DecodeTable()[encoded];
}

std::uint8_t LinearToSrgb(float linear) {
    return EncodeByTable(EncodeTable(), linear);
}

std::uint64_t EstimatedLinearResizeBytes(int sw, int sh, int dw, int dh, bool crop) {
    int tw = dw, th = dh;
    if (crop)
        CoverSize(sw, sh, dw, dh, tw, th);
    const std::uint64_t floatBytes = sizeof(float) * kFloatChannels;
    return floatBytes * (std::uint64_t(sw) * std::uint64_t(sh) + std::uint64_t(tw) * th);
}

ResizeStatus ResizeInLinearLight(ConstBgrView src, BgrView dst, int channels,
                                 ResizeAlgorithm algorithm, bool crop) {
    if (src.data == nullptr || dst.data == nullptr || src.width <= 0 || src.height <= 0 ||
        dst.width <= 0 || dst.height <= 0 || IsOwnAlgorithm(algorithm) ||
        (channels != 3 && channels != 4))
        return ResizeStatus::InvalidInput;
    const int sw = src.width, sh = src.height, dw = dst.width, dh = dst.height;
    int tw = dw, th = dh;
    if (crop)
        CoverSize(sw, sh, dw, dh, tw, th);
    if (EstimatedLinearResizeBytes(sw, sh, dw, dh, crop) > AvailableMemoryBytes())
        return ResizeStatus::OutOfMemory;
    try {
        const std::array<float, 256>& decode = DecodeTable();
        Floats light(std::size_t(sw) * sh * kFloatChannels);
        auto toLight = [&](int y0, int y1) {
            for (int y = y0; y < y1; ++y) {
                const std::uint8_t* p = src.Row(y);
                float* w = light.data() + std::size_t(y) * sw * kFloatChannels;
                for (int x = 0; x < sw; ++x, p += channels, w += kFloatChannels) {
                    const float a = channels == 4 ? float(p[3]) / 255.0f : 1.0f;
                    for (int c = 0; c < 3; ++c) w[c] = decode[p[c]] * a;
                    w[3] = a;
                }
            }
        };
        ParallelFor(sh, kRowBand, toLight);
        Floats target(std::size_t(tw) * th * kFloatChannels);
        DrawStandardModeFloat(light.data(), sw, sh, target.data(), tw, th,
                              StandardMode(AlgorithmIndex(algorithm)));
        light = {};
        const std::vector<std::uint8_t>& encode = EncodeTable();
        const int top = (th - dh) / 2, left = (tw - dw) / 2;
        auto toBytes = [&](int y0, int y1) {
            for (int y = y0; y < y1; ++y) {
                const float* w =
                    target.data() + (std::size_t(top + y) * tw + left) * kFloatChannels;
                std::uint8_t* d = dst.Row(y);
                for (int x = 0; x < dw; ++x, w += kFloatChannels, d += channels) {
                    const float a = std::clamp(w[3], 0.0f, 1.0f);
                    // Opaque images keep their colours as resized; the others are divided by
                    // the resized alpha (none where nothing is left to see).
                    const float scale = channels == 3 ? 1.0f : (a > 0 ? 1.0f / a : 0.0f);
                    for (int c = 0; c < 3; ++c) d[c] = EncodeByTable(encode, w[c] * scale);
                    if (channels == 4)
                        d[3] = std::uint8_t(std::lround(a * 255.0f));
                }
            }
        };
        ParallelFor(dh, kRowBand, toBytes);
    } catch (const std::bad_alloc&) {
        return ResizeStatus::OutOfMemory;
    }
    return ResizeStatus::Ok;
}

}  // namespace orm::engine
