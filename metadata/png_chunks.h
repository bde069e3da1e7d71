#pragma once
// The chunks of a PNG file, walked in file order over a byte source: every reader of a PNG's
// structure (orientation, resolution, depth, the naming of a written ICC profile) walks with
// this one class. A PNG has no room for stray bytes: each chunk is a big-endian length, a
// four-letter type, the data and a CRC, and the next chunk follows at once. The walker yields a
// chunk only when all of it lies inside the source; the CRC is left to the decoder.

#include "metadata/byte_source.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>

namespace orm {

// The eight bytes every PNG file starts with.
inline constexpr std::array<uint8_t, 8> kPngSignature = {0x89, 'P',  'N',  'G',
                                                         '\r', '\n', 0x1A, '\n'};

bool HasPngSignature(const ByteSource& file);

struct PngChunk {
    uint64_t offset = 0;  // the length field; the type follows, then the data, then the CRC
    uint32_t length = 0;  // of the data
    std::array<char, 4> type{};

    bool Is(const char (&name)[5]) const { return std::memcmp(type.data(), name, 4) == 0; }
    uint64_t DataOffset() const { return offset + 8; }
    uint64_t End() const { return offset + 12 + length; }
};

enum class PngWalkEnd {
    kWalking,  // Next() may find another chunk
    kNotPng,   // no PNG signature
    kEnd,      // the IEND chunk was reached
    kCutOff,   // the bytes end inside a chunk or before IEND
    kBroken,   // a length above 2^31 - 1, which the format does not allow
};

class PngChunkWalker {
  public:
    explicit PngChunkWalker(const ByteSource& file) : file_(file) {}

    // The next whole chunk before IEND; nothing when the walk has ended (End() says why).
    std::optional<PngChunk> Next();
    PngWalkEnd End() const { return end_; }

  private:
    const ByteSource& file_;
    uint64_t pos_ = 0;  // the next chunk's length field; 0 before the signature was checked
    PngWalkEnd end_ = PngWalkEnd::kWalking;
};

}  // namespace orm
