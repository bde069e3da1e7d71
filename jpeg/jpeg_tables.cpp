#include "jpeg/jpeg_tables.h"

namespace MiniJpeg::detail {

const std::array<uint8_t, kBlockSize> kZigzagToNatural = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
};

namespace {

// One-dimensional factors; the 2-D table is their outer product at the same scale.
constexpr std::array<int32_t, 8> kIdct1d = {8192, 11363, 10703, 9633, 8192, 6436, 4433, 2260};
constexpr std::array<int32_t, 8> kFdct1d = {32768, 45451, 42813, 38531, 32768, 25746, 17734, 9041};

constexpr std::array<int32_t, kBlockSize> outer(const std::array<int32_t, 8>& f, int64_t one) {
    std::array<int32_t, kBlockSize> t{};
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c) t[r * 8 + c] = int32_t((int64_t(f[r]) * f[c] + one / 2) / one);
    return t;
}

}  // namespace

constinit const std::array<int32_t, kBlockSize> kIdctScale = outer(kIdct1d, 8192);
constinit const std::array<int32_t, kBlockSize> kFdctScale = outer(kFdct1d, 32768);

const std::array<uint8_t, kBlockSize> kStdLuminanceQuant = {
    16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
    14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
    18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99,
};
const std::array<uint8_t, kBlockSize> kStdChrominanceQuant = {
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99, 99,
    99, 99, 47, 66, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
};

namespace {

constexpr uint8_t kDcLuminanceSymbols[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
constexpr uint8_t kDcChrominanceSymbols[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
constexpr uint8_t kAcLuminanceSymbols[] = {
    0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61,
    0x07, 0x22, 0x71, 0x14, 0x32, 0x81, 0x91, 0xa1, 0x08, 0x23, 0x42, 0xb1, 0xc1, 0x15, 0x52,
    0xd1, 0xf0, 0x24, 0x33, 0x62, 0x72, 0x82, 0x09, 0x0a, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x25,
    0x26, 0x27, 0x28, 0x29, 0x2a, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3a, 0x43, 0x44, 0x45,
    0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5a, 0x63, 0x64,
    0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a, 0x83,
    0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99,
    0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6,
    0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3,
    0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe1, 0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8,
    0xe9, 0xea, 0xf1, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa,
};
constexpr uint8_t kAcChrominanceSymbols[] = {
    0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x21, 0x31, 0x06, 0x12, 0x41, 0x51, 0x07, 0x61,
    0x71, 0x13, 0x22, 0x32, 0x81, 0x08, 0x14, 0x42, 0x91, 0xa1, 0xb1, 0xc1, 0x09, 0x23, 0x33,
    0x52, 0xf0, 0x15, 0x62, 0x72, 0xd1, 0x0a, 0x16, 0x24, 0x34, 0xe1, 0x25, 0xf1, 0x17, 0x18,
    0x19, 0x1a, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3a, 0x43, 0x44,
    0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5a, 0x63,
    0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a,
    0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97,
    0x98, 0x99, 0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4,
    0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca,
    0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7,
    0xe8, 0xe9, 0xea, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa,
};

static_assert(sizeof(kAcLuminanceSymbols) == 162 && sizeof(kAcChrominanceSymbols) == 162);

}  // namespace

const HuffmanSpec kStdDcLuminance = {
    {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0}, kDcLuminanceSymbols, 12};
const HuffmanSpec kStdDcChrominance = {
    {0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0}, kDcChrominanceSymbols, 12};
const HuffmanSpec kStdAcLuminance = {
    {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d}, kAcLuminanceSymbols, 162};
const HuffmanSpec kStdAcChrominance = {
    {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77}, kAcChrominanceSymbols, 162};

std::array<uint8_t, kBlockSize> ScaledQuantTable(int quality, bool chroma) {
    quality = quality < 1 ? 1 : (quality > 100 ? 100 : quality);
    const int scale = quality <= 50 ? 5000 / quality : 200 - 2 * quality;
    const auto& base = chroma ? kStdChrominanceQuant : kStdLuminanceQuant;
    std::array<uint8_t, kBlockSize> out{};
    for (int i = 0; i < kBlockSize; ++i) {
        int v = (scale * base[i] + 50) / 100;  // at most 5000 x 121: no overflow
        if (v <= 0)
            v = v == 0 ? 1 : 32767;  // 0 is not a divisor; a negative result cannot occur here
        out[i] = uint8_t(v > 255 ? 255 : v);
    }
    return out;
}

namespace {

// Arithmetic right shift of a possibly negative value (what >> does on every compiler we use,
// and what C++20 guarantees).
constexpr int32_t asr(int32_t v, int bits) {
    return v >> bits;
}

constexpr DecoderColourTables makeDecoderColour() {
    DecoderColourTables t{};
    for (int32_t c = 0; c < 256; ++c) {
        t.redFromCr[c] = int16_t(asr(1436 * c - 183296, 10));   // 1.402 (Cr - 128)
        t.blueFromCb[c] = int16_t(asr(1815 * c - 231808, 10));  // 1.772 (Cb - 128)
        t.greenFromCr[c] = asr(93696 - 731 * c, 8);             // -4 x 0.714 (Cr - 128)
        t.greenFromCb[c] = 1 - asr(352 * c - 45185, 8);         // -4 x 0.344 (Cb - 128)
    }
    return t;
}

constexpr EncoderColourTables makeEncoderColour() {
    EncoderColourTables t{};
    for (int32_t i = 0; i < 512; ++i) {                            // i = d + 256, d = -256..255
        t.yFromRminusG[i] = int16_t(asr(306 * i - 78208, 8) + 2);  // 4 x 0.299 d
        t.yFromBminusG[i] = int16_t(asr(117 * i - 29824, 8));      // 4 x 0.114 d
        t.cbFromRminusG[i] = int16_t(asr(-173 * i, 9) + 88);       // -2 x 0.1687 d
        t.crFromBminusG[i] = int16_t(asr(-83 * i, 9) + 43);        // -2 x 0.0813 d
    }
    return t;
}

}  // namespace

constinit const DecoderColourTables kDecoderColour = makeDecoderColour();
constinit const EncoderColourTables kEncoderColour = makeEncoderColour();

}  // namespace MiniJpeg::detail
