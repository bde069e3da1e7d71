#pragma once
// A small reader of the TIFF structure (byte-order mark, directories of 12-byte entries) over a
// ByteSource. Offsets count from the byte-order mark. Every offset and count taken from the
// file is checked against the source's size; a bad one makes the call fail, never read outside.

#include "metadata/byte_source.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace orm {

enum class TiffByteOrder { kLittle, kBig };

enum TiffType : uint16_t {
    kTiffByte = 1,
    kTiffAscii = 2,
    kTiffShort = 3,
    kTiffLong = 4,
    kTiffRational = 5,
    kTiffSByte = 6,
    kTiffUndefined = 7,
    kTiffSShort = 8,
    kTiffSLong = 9,
    kTiffSRational = 10,
    kTiffFloat = 11,
    kTiffDouble = 12,
    kTiffIfd = 13,
};

// Bytes per value of a TIFF type; 0 for unknown types.
uint32_t TiffTypeSize(uint16_t type);

struct TiffEntry {
    uint16_t tag = 0;
    uint16_t type = 0;
    uint32_t count = 0;
    uint64_t fieldOffset = 0;  // where the entry's 4-byte value/offset field lies
};

struct TiffDirectory {
    std::vector<TiffEntry> entries;
    uint32_t nextOffset = 0;  // 0: no further directory

    const TiffEntry* Find(uint16_t tag) const;
};

class TiffReader {
  public:
    explicit TiffReader(const ByteSource& source) : source_(source) {}

    // Reads the byte-order mark ("II" or "MM"; anything else fails), the 16-bit value after it
    // (not checked) and the offset of the first directory.
    bool ReadHeader();
    TiffByteOrder Order() const { return order_; }
    uint32_t FirstDirectoryOffset() const { return firstDirectory_; }

    std::optional<TiffDirectory> ReadDirectory(uint32_t offset) const;

    // The first value of a SHORT, LONG or IFD entry (BYTE too), read by its type in the file's
    // byte order. Other types, a zero count or values outside the source give nothing.
    std::optional<uint32_t> ReadNumber(const TiffEntry& entry) const;
    // Shorthand: the number of the first entry with this tag in the directory.
    std::optional<uint32_t> Number(const TiffDirectory& dir, uint16_t tag) const;
    // The first value of a RATIONAL entry; a zero denominator gives nothing.
    std::optional<double> ReadRational(const TiffEntry& entry) const;
    // Where the entry's values lie: inside the field when they fit in 4 bytes, else at the
    // offset the field holds. Nothing when the values do not lie inside the source.
    std::optional<uint64_t> ValueOffset(const TiffEntry& entry) const;

    std::optional<uint16_t> ReadU16(uint64_t offset) const;
    std::optional<uint32_t> ReadU32(uint64_t offset) const;

  private:
    const ByteSource& source_;
    TiffByteOrder order_ = TiffByteOrder::kLittle;
    uint32_t firstDirectory_ = 0;
};

}  // namespace orm
