#pragma once
// Huffman encoding: code tables, the bit writer and the coding of one block.

#include "jpeg/jpeg_stream.h"
#include "jpeg/jpeg_tables.h"

#include <array>
#include <cstdint>

namespace MiniJpeg::detail {

struct HuffmanEncodeTable {
    std::array<uint16_t, 256> code{};
    std::array<uint8_t, 256> length{};  // 0: the symbol has no code
};

HuffmanEncodeTable BuildHuffmanEncodeTable(const HuffmanSpec& table);

// Writes one DHT segment holding one table.
void WriteHuffmanSegment(OStream& out, int tableClass, int number, const HuffmanSpec& table);

// Collects bits MSB first and emits bytes, each 0xFF followed by a stuffed 0x00.
class BitWriter {
  public:
    explicit BitWriter(OStream& out) : out_(out) {}
    // n = 0..16 low bits of `bits`.
    void Put(uint32_t bits, int n) {
        acc_ = (acc_ << n) | (bits & ((uint32_t(1) << n) - 1));
        count_ += n;
        while (count_ >= 8) {
            const uint8_t b = uint8_t(acc_ >> (count_ - 8));
            out_.PutByte(b);
            if (b == 0xFF)
                out_.PutByte(0);
            count_ -= 8;
        }
        acc_ &= (uint32_t(1) << count_) - 1;  // at most 7 bits stay
    }
    // Pads the last byte with one-bits.
    void FlushWithOnes() {
        if (count_ > 0)
            Put(0x7F, 8 - count_);
    }

  private:
    OStream& out_;
    uint32_t acc_ = 0;
    int count_ = 0;
};

// Codes one block of quantised coefficients (natural order): the DC difference to `dcPrediction`
// (updated) and the AC run/size symbols in zigzag order. Throws Error when a symbol has no code.
void EncodeBlock(BitWriter& bits, const int16_t* coef, int& dcPrediction,
                 const HuffmanEncodeTable& dc, const HuffmanEncodeTable& ac);

}  // namespace MiniJpeg::detail
