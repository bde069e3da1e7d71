#pragma once
// Constant tables shared by the decoder and the encoder. All of them are computed at compile
// time (constexpr), so nothing is initialised at run time and threads share only read-only data.

#include <array>
#include <cstdint>

namespace MiniJpeg::detail {

constexpr int kBlockSize = 64;

// kZigzagToNatural[k]: natural (row-major) position of the k-th coefficient in zigzag order.
extern const std::array<uint8_t, kBlockSize> kZigzagToNatural;

// Scale factors of the AAN inverse DCT, natural order, 13 fractional bits
// (row factor x column factor, each cos(k pi / 16) x sqrt(2), 1.0 for k = 0).
extern const std::array<int32_t, kBlockSize> kIdctScale;
// Scale factors of the AAN forward DCT, natural order, 15 fractional bits
// (row factor x column factor, each 1 / (cos(k pi / 16) x sqrt(2)), 1.0 for k = 0).
extern const std::array<int32_t, kBlockSize> kFdctScale;

// Quantisation tables of ISO/IEC 10918-1 Annex K (K.1 luminance, K.2 chrominance), natural order.
extern const std::array<uint8_t, kBlockSize> kStdLuminanceQuant;
extern const std::array<uint8_t, kBlockSize> kStdChrominanceQuant;

// The typical Huffman tables of Annex K.3: 16 code counts and the symbols.
struct HuffmanSpec {
    std::array<uint8_t, 16> counts;
    const uint8_t* symbols;
    int symbolCount;
};
extern const HuffmanSpec kStdDcLuminance;
extern const HuffmanSpec kStdAcLuminance;
extern const HuffmanSpec kStdDcChrominance;
extern const HuffmanSpec kStdAcChrominance;

// Standard table (chroma false: luminance) scaled for a quality of 1..100 (clamped), natural
// order: scale = 5000 / q up to 50, else 200 - 2 q; entry = (scale x base + 50) / 100, kept
// in 1..255.
std::array<uint8_t, kBlockSize> ScaledQuantTable(int quality, bool chroma);

// YCbCr -> RGB terms of the decoder, indexed by the chroma value 0..255.
struct DecoderColourTables {
    std::array<int16_t, 256> redFromCr;
    std::array<int16_t, 256> blueFromCb;
    std::array<int32_t, 256> greenFromCr;  // four times the green contribution
    std::array<int32_t, 256> greenFromCb;
};
extern const DecoderColourTables kDecoderColour;

// RGB -> YCbCr terms of the encoder, indexed by a difference d = -255..255 as d + 256.
struct EncoderColourTables {
    std::array<int16_t, 512> yFromRminusG;
    std::array<int16_t, 512> yFromBminusG;
    std::array<int16_t, 512> cbFromRminusG;
    std::array<int16_t, 512> crFromBminusG;
};
extern const EncoderColourTables kEncoderColour;

}  // namespace MiniJpeg::detail
