#include "metadata/tiff_reader.h"

#include "metadata/byte_order.h"

#include <array>

namespace orm {

uint32_t TiffTypeSize(uint16_t type) {
    switch (type) {
        case kTiffByte:
        case kTiffAscii:
        case kTiffSByte:
        case kTiffUndefined:
            return 1;
        case kTiffShort:
        case kTiffSShort:
            return 2;
        case kTiffLong:
        case kTiffSLong:
        case kTiffFloat:
        case kTiffIfd:
            return 4;
        case kTiffRational:
        case kTiffSRational:
        case kTiffDouble:
            return 8;
        default:
            return 0;
    }
}

const TiffEntry* TiffDirectory::Find(uint16_t tag) const {
    for (const TiffEntry& e : entries)
        if (e.tag == tag)
            return &e;
    return nullptr;
}

std::optional<uint16_t> TiffReader::ReadU16(uint64_t offset) const {
    std::array<uint8_t, 2> b{};
    if (!source_.Read(offset, b))
        return std::nullopt;
    return Load16(b.data(), order_ == TiffByteOrder::kBig);
}

std::optional<uint32_t> TiffReader::ReadU32(uint64_t offset) const {
    std::array<uint8_t, 4> b{};
    if (!source_.Read(offset, b))
        return std::nullopt;
    return Load32(b.data(), order_ == TiffByteOrder::kBig);
}

bool TiffReader::ReadHeader() {
    std::array<uint8_t, 2> mark{};
    if (!source_.Read(0, mark))
        return false;
    if (mark[0] == 'I' && mark[1] == 'I')
        order_ = TiffByteOrder::kLittle;
    else if (mark[0] == 'M' && mark[1] == 'M')
        order_ = TiffByteOrder::kBig;
    else
        return false;
    if (!ReadU16(2))
        return false;
    const auto first = ReadU32(4);
    if (!first)
        return false;
    firstDirectory_ = *first;
    return true;
}

std::optional<TiffDirectory> TiffReader::ReadDirectory(uint32_t offset) const {
    const auto count = ReadU16(offset);
    if (!count)
        return std::nullopt;
    // Entry count, entries and the next-directory offset must all lie inside the source.
    const uint64_t entriesStart = uint64_t(offset) + 2;
    const uint64_t entriesBytes = uint64_t(*count) * 12;
    if (!source_.Contains(entriesStart, entriesBytes + 4))
        return std::nullopt;
    std::vector<uint8_t> raw;
    if (!ReadBlock(source_, entriesStart, entriesBytes, raw))
        return std::nullopt;

    const bool big = order_ == TiffByteOrder::kBig;
    auto u16 = [&](size_t i) { return Load16(raw.data() + i, big); };
    auto u32 = [&](size_t i) { return Load32(raw.data() + i, big); };

    TiffDirectory dir;
    dir.entries.reserve(*count);
    for (size_t i = 0; i < *count; ++i) {
        const size_t at = i * 12;
        TiffEntry e;
        e.tag = u16(at);
        e.type = u16(at + 2);
        e.count = u32(at + 4);
        e.fieldOffset = entriesStart + at + 8;
        dir.entries.push_back(e);
    }
    const auto next = ReadU32(entriesStart + entriesBytes);
    if (!next)
        return std::nullopt;
    dir.nextOffset = *next;
    return dir;
}

std::optional<uint64_t> TiffReader::ValueOffset(const TiffEntry& entry) const {
    const uint32_t size = TiffTypeSize(entry.type);
    if (size == 0 || entry.count == 0)
        return std::nullopt;
    const uint64_t bytes = uint64_t(size) * entry.count;
    uint64_t at = entry.fieldOffset;
    if (bytes > 4) {
        const auto off = ReadU32(entry.fieldOffset);
        if (!off)
            return std::nullopt;
        at = *off;
    }
    if (!source_.Contains(at, bytes))
        return std::nullopt;
    return at;
}

std::optional<uint32_t> TiffReader::ReadNumber(const TiffEntry& entry) const {
    if (entry.type != kTiffByte && entry.type != kTiffShort && entry.type != kTiffLong &&
        entry.type != kTiffIfd)
        return std::nullopt;
    const auto at = ValueOffset(entry);
    if (!at)
        return std::nullopt;
    if (entry.type == kTiffShort)
        return ReadU16(*at);
    if (entry.type == kTiffByte) {
        std::array<uint8_t, 1> b{};
        if (!source_.Read(*at, b))
            return std::nullopt;
        return b[0];
    }
    return ReadU32(*at);
}

std::optional<uint32_t> TiffReader::Number(const TiffDirectory& dir, uint16_t tag) const {
    const TiffEntry* e = dir.Find(tag);
    return e ? ReadNumber(*e) : std::nullopt;
}

std::optional<double> TiffReader::ReadRational(const TiffEntry& entry) const {
    if (entry.type != kTiffRational)
        return std::nullopt;
    const auto at = ValueOffset(entry);
    if (!at)
        return std::nullopt;
    const auto num = ReadU32(*at);
    const auto den = ReadU32(*at + 4);
    if (!num || !den || *den == 0)
        return std::nullopt;
    return double(*num) / double(*den);
}

}  // namespace orm
