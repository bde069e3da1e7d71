#pragma once
// Numbers stored in a fixed byte order, read from and written to raw bytes. The caller has
// checked that the bytes are there (a ByteSource read or a size test); these only assemble them.
// JPEG lengths and PNG chunks are big-endian; RIFF (WebP) and BMP little-endian; a TIFF structure
// says which in its first two bytes.

#include <cstdint>

namespace orm {

constexpr uint16_t LoadBe16(const uint8_t* p) {
    return uint16_t(uint16_t(p[0]) << 8 | p[1]);
}

constexpr uint32_t LoadBe32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

constexpr uint16_t LoadLe16(const uint8_t* p) {
    return uint16_t(p[0] | uint16_t(p[1]) << 8);
}

constexpr uint32_t LoadLe32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The order named at run time (a TIFF structure's "MM" or "II").
constexpr uint16_t Load16(const uint8_t* p, bool bigEndian) {
    return bigEndian ? LoadBe16(p) : LoadLe16(p);
}

constexpr uint32_t Load32(const uint8_t* p, bool bigEndian) {
    return bigEndian ? LoadBe32(p) : LoadLe32(p);
}

constexpr void StoreBe32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

// Writes the low `bytes` bytes (1 to 4) of v in the named order.
constexpr void Store(uint8_t* p, uint32_t v, int bytes, bool bigEndian) {
    for (int i = 0; i < bytes; ++i) p[i] = uint8_t(v >> (bigEndian ? 8 * (bytes - 1 - i) : 8 * i));
}

}  // namespace orm
