#pragma once
// Two things Qt's PNG reader gets wrong, put right around it.
//
// A 16-bit grey or RGB PNG may name one colour transparent (a tRNS chunk holding a 16-bit key);
// Qt's reader compares it at the wrong depth and makes the wrong pixels transparent. The file
// is decoded without the chunk (its samples are then exact) and the key is applied here, sample
// for sample at 16 bits.
//
// A chunk ahead of the pixel data that claims more bytes than the file holds (a text chunk of
// 2 GB in a 57-byte file) makes libpng allocate the claimed size before it finds the end: such
// a file is refused first.

#include <QByteArray>
#include <QImage>

#include <array>
#include <cstdint>
#include <optional>

namespace orm {

struct PngSixteenBitKey {
    std::array<std::uint16_t, 3> rgb{};  // grey files: the grey level three times
    qsizetype chunkAt = 0;               // where the tRNS chunk starts (its length field)
    qsizetype chunkBytes = 0;            // the whole chunk: length, type, data, CRC
};

// The transparent key of a 16-bit grey or RGB PNG, or nothing for every other file.
std::optional<PngSixteenBitKey> FindPngSixteenBitKey(const QByteArray& fileBytes);

// The file without its tRNS chunk.
QByteArray WithoutKeyChunk(const QByteArray& fileBytes, const PngSixteenBitKey& key);

// The decoded image (16-bit grey or RGB) with alpha: 0 where the samples equal the key, full
// elsewhere. Format_RGBA64; null when memory runs out.
QImage ApplyPngKey(const QImage& decoded, const PngSixteenBitKey& key);

// Whether a PNG has a chunk before its first IDAT whose stated length runs past the end of the
// file.
bool HasPngChunkPastEnd(const QByteArray& fileBytes);

struct PngHeader {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int bitDepth = 0;
    int colourType = 0;
    bool interlaced = false;
    bool chunkLongerThanFile = false;  // a chunk other than IDAT states more bytes than the file
};

// What a PNG's IHDR states, and whether any chunk claims more than the whole file; nothing for
// other files.
std::optional<PngHeader> ReadPngHeader(const QByteArray& fileBytes);

}  // namespace orm
