#include "jpeg/jpeg_huffman_encode.h"

#include "jpeg/jpeg_error.h"

namespace MiniJpeg::detail {

HuffmanEncodeTable BuildHuffmanEncodeTable(const HuffmanSpec& table) {
    HuffmanEncodeTable t;
    uint32_t code = 0;
    int k = 0;
    for (int len = 1; len <= 16; ++len) {
        for (int i = 0; i < table.counts[len - 1]; ++i, ++k, ++code) {
            const uint8_t symbol = table.symbols[k];
            t.code[symbol] = uint16_t(code);
            t.length[symbol] = uint8_t(len);
        }
        code <<= 1;
    }
    return t;
}

void WriteHuffmanSegment(OStream& out, int tableClass, int number, const HuffmanSpec& table) {
    out.PutMarker(0xC4);
    out.Put16(uint16_t(2 + 17 + table.symbolCount));
    out.PutByte(uint8_t(tableClass * 16 + number));
    for (uint8_t c : table.counts) out.PutByte(c);
    out.WriteBlock(table.symbols, size_t(table.symbolCount));
}

namespace {

inline int category(int v) {
    unsigned a = unsigned(v < 0 ? -v : v);
    int n = 0;
    while (a) {
        ++n;
        a >>= 1;
    }
    return n;
}

inline void putSymbol(BitWriter& bits, const HuffmanEncodeTable& t, int symbol) {
    const int len = t.length[symbol];
    require(len != 0);
    bits.Put(t.code[symbol], len);
}

// The category's extra bits: the value itself, or for negative values its one's complement.
inline void putValue(BitWriter& bits, int v, int size) {
    if (size > 0)
        bits.Put(uint32_t(v < 0 ? v - 1 : v), size);
}

}  // namespace

void EncodeBlock(BitWriter& bits, const int16_t* coef, int& dcPrediction,
                 const HuffmanEncodeTable& dc, const HuffmanEncodeTable& ac) {
    const int diff = coef[0] - dcPrediction;
    dcPrediction = coef[0];
    const int dcSize = category(diff);
    putSymbol(bits, dc, dcSize);
    putValue(bits, diff, dcSize);

    int run = 0;
    for (int k = 1; k < 64; ++k) {
        const int v = coef[kZigzagToNatural[k]];
        if (v == 0) {
            ++run;
            continue;
        }
        while (run > 15) {
            putSymbol(bits, ac, 0xF0);
            run -= 16;
        }
        const int size = category(v);
        require(size <= 15);
        putSymbol(bits, ac, (run << 4) | size);
        putValue(bits, v, size);
        run = 0;
    }
    if (run > 0)
        putSymbol(bits, ac, 0x00);  // end of block
}

}  // namespace MiniJpeg::detail
