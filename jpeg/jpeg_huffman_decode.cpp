#include "jpeg/jpeg_huffman_decode.h"

namespace MiniJpeg::detail {

void BuildHuffmanDecodeTable(const uint8_t (&counts)[16], const uint8_t* symbols,
                             HuffmanDecodeTable& out) {
    int total = 0;
    for (int i = 0; i < 16; ++i) total += counts[i];
    require(total <= kMaxHuffmanSymbols);

    out = HuffmanDecodeTable{};
    out.symbolCount = total;
    for (int i = 0; i < total; ++i) out.symbols[i] = symbols[i];

    // Canonical codes: within a length consecutive, then doubled for the next length.
    int32_t code = 0;
    int k = 0;
    for (int len = 1; len <= 16; ++len) {
        const int n = counts[len - 1];
        // A length of `len` bits holds at most 2^len codes, counting those already used.
        require(code + n <= (int32_t(1) << len));
        out.valueOffset[len] = k - code;
        for (int i = 0; i < n; ++i, ++k, ++code) {
            if (len <= kLookaheadBits) {
                const int shift = kLookaheadBits - len;
                const int first = code << shift;
                for (int j = 0; j < (1 << shift); ++j)
                    out.fast[first + j] = uint16_t((len << 8) | out.symbols[k]);
            }
        }
        out.maxCode[len] = n ? code - 1 : -1;
        code <<= 1;
    }
    out.present = true;
}

void BitReader::fill() {
    while (bits_ <= 24) {
        uint8_t b = 0;
        if (atMarker_ || !in_.TryReadByte(b)) {
            atMarker_ = true;  // end of data counts as a marker: only padding from here on
            b = 0;
            padding_ += 8;
        } else if (b == 0xFF) {
            uint8_t next = 0;
            if (!in_.TryReadByte(next)) {
                atMarker_ = true;
                b = 0;
                padding_ += 8;
            } else if (next != 0) {
                in_.Unread(next);
                in_.Unread(0xFF);
                atMarker_ = true;
                b = 0;
                padding_ += 8;
            }
        }
        acc_ |= uint32_t(b) << (24 - bits_);
        bits_ += 8;
    }
}

int BitReader::decodeSlow(const HuffmanDecodeTable& t, uint32_t look) {
    for (int len = kLookaheadBits + 1; len <= 16; ++len) {
        const int32_t code = int32_t(look >> (16 - len));
        if (code <= t.maxCode[len]) {
            const int32_t index = t.valueOffset[len] + code;
            require(index >= 0 && index < t.symbolCount);
            Skip(len);
            return t.symbols[index];
        }
    }
    fail();  // no code of 16 bits or fewer matches
}

}  // namespace MiniJpeg::detail
