#pragma once
// Huffman decoding: canonical tables with an 8-bit lookahead and the bit reader of the
// entropy-coded data.

#include "jpeg/jpeg_error.h"
#include "jpeg/jpeg_stream.h"

#include <array>
#include <cstdint>

namespace MiniJpeg::detail {

constexpr int kMaxHuffmanSymbols = 255;
constexpr int kLookaheadBits = 8;

struct HuffmanDecodeTable {
    bool present = false;
    // Entry for the next 8 bits: (code length << 8) | symbol; length 0: the code is longer.
    std::array<uint16_t, 1 << kLookaheadBits> fast{};
    // Canonical decoding for lengths 9..16 (JPEG Annex F): the largest code of each length
    // (-1 when none) and the offset of its symbols in `symbols` minus its first code.
    std::array<int32_t, 17> maxCode{};
    std::array<int32_t, 17> valueOffset{};
    std::array<uint8_t, kMaxHuffmanSymbols + 1> symbols{};
    int symbolCount = 0;
};

// Builds a table from 16 code counts and their symbols. Throws Error when the counts are
// impossible (more codes of a length than that length can hold, more than 255 symbols).
void BuildHuffmanDecodeTable(const uint8_t (&counts)[16], const uint8_t* symbols,
                             HuffmanDecodeTable& out);

// Reads the bits of entropy-coded data. 0xFF 0x00 is a data byte 0xFF; any other byte after 0xFF
// is a marker, which is pushed back into the stream, after which zero bits are supplied as
// padding. Consuming a padding bit (needing more bits than there are before the marker or the end
// of the data) throws Error.
class BitReader {
  public:
    explicit BitReader(IStream& in) : in_(in) {}

    // The next 16 bits, left-aligned in the low 16 bits of the result (not consumed).
    uint32_t Peek16() {
        if (bits_ < 16)
            fill();
        return acc_ >> 16;
    }
    void Skip(int n) {
        if (n > bits_ - padding_)
            fail();
        acc_ <<= n;
        bits_ -= n;
    }
    // n = 0..16 bits as an unsigned number.
    uint32_t GetBits(int n) {
        if (n == 0)
            return 0;
        const uint32_t v = Peek16() >> (16 - n);
        Skip(n);
        return v;
    }
    int DecodeSymbol(const HuffmanDecodeTable& t) {
        const uint32_t look = Peek16();
        const uint16_t e = t.fast[look >> (16 - kLookaheadBits)];
        if (e >> 8) {
            Skip(e >> 8);
            return e & 0xFF;
        }
        return decodeSlow(t, look);
    }
    // Drops the bits of the current byte and any fetched bytes (before a restart marker).
    void Reset() {
        acc_ = 0;
        bits_ = 0;
        padding_ = 0;
        atMarker_ = false;
    }

  private:
    void fill();
    int decodeSlow(const HuffmanDecodeTable& t, uint32_t look);

    IStream& in_;
    uint32_t acc_ = 0;  // next bit is bit 31
    int bits_ = 0;      // valid bits in acc_, padding included
    int padding_ = 0;   // zero bits supplied after a marker or the end of the data
    bool atMarker_ = false;
};

}  // namespace MiniJpeg::detail
