#pragma once
// Files whose header claims far more pixels than their bytes can hold: a few dozen bytes that
// claim 30000 x 30000 pixels would otherwise have a decoder allocate gigabytes before it finds
// the data missing. Each format's bound is what its best compression can reach on a picture of
// one colour, so a legitimately small file of a large flat picture still opens:
//
//   JPEG, Huffman coded    at least 1 bit for each 8x8 block of the largest component
//                          (the DC coefficient's code), i.e. one byte per 512 pixels;
//   JPEG, arithmetic coded one byte per 16 million pixels (two adaptive decisions a block);
//   PNG                    deflate stores at most 1032 bytes per byte (258 bytes a 2-bit match)
//                          of the filtered rows;
//   GIF                    LZW codes of 12 bits stand for at most 4096 pixels each, so one
//                          byte per 4096 pixels of the first picture;
//   WebP, lossy            at least 1.6 bits a 16x16 macroblock (its two prediction modes);
//                          one byte per 4096 pixels taken; lossless WebP has no bound (a code
//                          of one symbol takes no bits);
//   TIFF                   by its compression: none 1:4 (subsampled colour), PackBits 1:256,
//                          deflate 1:4128, LZW 1:16384, JPEG one byte per 2048 pixels; the
//                          fax codes and the newer ones have no bound;
//   HEIF                   one byte per 4 million pixels (skipped coding blocks cost a
//                          fraction of a bit).
//
// Besides, a chunk (PNG, WebP) or segment whose stated length is larger than the whole file is
// refused without reading it. The checks read untrusted bytes: every offset is checked.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace orm {

// What a file's header claims, and the fewest bytes its format can hold that in.
struct SizeClaim {
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::int64_t minimumBytes = 0;  // 0: the format sets no bound for this file
    bool chunkPastFile = false;     // a chunk longer than the whole file
};

// The claim of a JPEG, PNG, GIF, WebP, TIFF or HEIF file; nothing for other files and for
// headers too short to state a size (the decoders judge those).
std::optional<SizeClaim> ReadSizeClaim(const QByteArray& fileBytes);

// The reason to refuse the file before any decoder allocates its pixels: "The file claims
// W x H pixels but holds only N bytes", or the chunk message; nothing when the file is plausible.
std::optional<QString> ImplausibleSizeReason(const QByteArray& fileBytes);

// "The file claims W x H pixels but holds only N bytes".
QString ClaimedSizeText(std::int64_t width, std::int64_t height, std::int64_t bytes);

}  // namespace orm
