// The JPEG segment and PNG chunk walkers, and the readers that walk with them, on structures
// built here byte by byte: what is yielded, where, and why a walk ends.

#include "metadata/byte_order.h"
#include "metadata/exif_locator.h"
#include "metadata/exif_orientation.h"
#include "metadata/image_depth.h"
#include "metadata/image_resolution.h"
#include "metadata/jpeg_segments.h"
#include "metadata/png_chunks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orm {
namespace {

using Bytes = std::vector<uint8_t>;

MemoryByteSource Source(const Bytes& bytes) {
    return MemoryByteSource(std::span(bytes.data(), bytes.size()));
}

void Append(Bytes& out, std::initializer_list<uint8_t> bytes) {
    out.insert(out.end(), bytes);
}

void Append(Bytes& out, const std::string& text) {
    out.insert(out.end(), text.begin(), text.end());
}

void Segment(Bytes& out, uint8_t marker, const Bytes& data) {
    const size_t length = data.size() + 2;
    Append(out, {0xFF, marker, uint8_t(length >> 8), uint8_t(length)});
    out.insert(out.end(), data.begin(), data.end());
}

// A big-endian TIFF structure whose first directory holds Orientation only.
Bytes ExifWithOrientation(uint16_t orientation) {
    Bytes b;
    Append(b, std::string("Exif\0\0", 6));
    Append(b, {'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1});                            // header, one entry
    Append(b, {0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, uint8_t(orientation), 0, 0});  // SHORT
    Append(b, {0, 0, 0, 0});                                                   // no next directory
    return b;
}

// SOI, JFIF (300 dpi), stray bytes and fill bytes, EXIF (orientation 6), a restart marker where
// no segment may be, a frame header (8-bit, 3 components), a scan whose data holds a stuffed
// 0xFF and a restart marker, EOI.
Bytes OddlySpacedJpeg() {
    Bytes f = {0xFF, 0xD8};
    Bytes jfif;
    Append(jfif, std::string("JFIF\0", 5));
    Append(jfif, {1, 2, 1, 0x01, 0x2C, 0x01, 0x2C, 0, 0});
    Segment(f, 0xE0, jfif);
    Append(f, {0x00, 0x12, 0xFF, 0xFF});  // stray bytes, then fill bytes before the marker
    Segment(f, 0xE1, ExifWithOrientation(6));
    Append(f, {0xFF, 0xD3, 0xFF, 0x00});  // standalone marker, then 0xFF 0x00 (no marker)
    Segment(f, 0xC0, {8, 0, 2, 0, 3, 3, 1, 0x11, 0, 2, 0x11, 0, 3, 0x11, 0});
    Segment(f, 0xDA, {3, 1, 0, 2, 0x11, 3, 0x11, 0, 63, 0});
    Append(f, {0x12, 0xFF, 0x00, 0x34, 0xFF, 0xD0, 0x56});  // scan data
    Append(f, {0xFF, 0xFF, 0xD9});
    return f;
}

std::vector<uint8_t> Markers(JpegSegmentWalker& walker) {
    std::vector<uint8_t> markers;
    while (const auto s = walker.Next()) markers.push_back(s->marker);
    return markers;
}

TEST(JpegSegmentWalker, YieldsSegmentsAcrossStrayBytesAndScanData) {
    const Bytes file = OddlySpacedJpeg();
    const MemoryByteSource source = Source(file);
    JpegSegmentWalker walker(source);
    const auto app0 = walker.Next();
    ASSERT_TRUE(app0);
    EXPECT_EQ(app0->marker, 0xE0);
    EXPECT_EQ(app0->lengthOffset, 4u);
    EXPECT_EQ(app0->length, 16u);
    EXPECT_EQ(app0->DataOffset(), 6u);
    EXPECT_EQ(app0->End(), 20u);
    const auto app1 = walker.Next();
    ASSERT_TRUE(app1);
    EXPECT_EQ(app1->marker, 0xE1);
    EXPECT_EQ(app1->lengthOffset, 20u + 4 + 2);  // past two stray and two fill bytes
    EXPECT_EQ(Markers(walker), (std::vector<uint8_t>{0xC0, 0xDA}));
    EXPECT_EQ(walker.End(), JpegWalkEnd::kEndOfImage);
    EXPECT_FALSE(walker.Next());
}

TEST(JpegSegmentWalker, EveryCutEndsCutOffAndYieldsOnlyWholeHeaders) {
    const Bytes file = OddlySpacedJpeg();
    for (size_t n = 0; n + 1 < file.size(); ++n) {
        const Bytes cut(file.begin(), file.begin() + n);
        const MemoryByteSource source = Source(cut);
        JpegSegmentWalker walker(source);
        while (const auto s = walker.Next()) EXPECT_LE(s->DataOffset(), n) << n;
        EXPECT_EQ(walker.End(), n < 2 ? JpegWalkEnd::kNotJpeg : JpegWalkEnd::kCutOff) << n;
    }
}

TEST(JpegSegmentWalker, EndsOnBrokenLengthsAndOtherFiles) {
    const Bytes broken = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x01, 0xFF, 0xD9};
    const MemoryByteSource b = Source(broken);
    JpegSegmentWalker walker(b);
    EXPECT_FALSE(walker.Next());
    EXPECT_EQ(walker.End(), JpegWalkEnd::kBroken);

    const Bytes png(kPngSignature.begin(), kPngSignature.end());
    const MemoryByteSource p = Source(png);
    JpegSegmentWalker other(p);
    EXPECT_FALSE(other.Next());
    EXPECT_EQ(other.End(), JpegWalkEnd::kNotJpeg);
}

// The readers of EXIF, orientation, depth and resolution all find their segments in a file with
// stray bytes between segments, as the decoders that show the picture do.
TEST(JpegSegmentWalker, EveryReaderToleratesTheSameStrayBytes) {
    const Bytes file = OddlySpacedJpeg();
    const MemoryByteSource source = Source(file);
    EXPECT_EQ(FindExifSegment(source), 26u);
    EXPECT_EQ(ReadExifOrientation(source), 6);
    EXPECT_EQ(ReadStoredBitsPerPixel(source), 24);
    const ImageResolution dpi = ReadImageResolution(source);
    EXPECT_EQ(dpi.dpiX, 300);
    EXPECT_EQ(dpi.dpiY, 300);
}

void Chunk(Bytes& out, const char* type, const Bytes& data) {
    uint8_t length[4];
    StoreBe32(length, uint32_t(data.size()));
    out.insert(out.end(), length, length + 4);
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    Append(out, {0, 0, 0, 0});  // the walker leaves the CRC to the decoder
}

Bytes SmallPng() {
    Bytes f(kPngSignature.begin(), kPngSignature.end());
    Chunk(f, "IHDR", {0, 0, 0, 1, 0, 0, 0, 1, 16, 6, 0, 0, 0});
    Chunk(f, "pHYs", {0, 0, 0x2E, 0x23, 0, 0, 0x2E, 0x23, 1});  // 11811 per metre
    Bytes exif = ExifWithOrientation(8);
    exif.erase(exif.begin(), exif.begin() + 6);  // eXIf holds the TIFF structure alone
    Chunk(f, "IDAT", {1, 2, 3});
    Chunk(f, "eXIf", exif);
    Chunk(f, "IEND", {});
    return f;
}

TEST(PngChunkWalker, YieldsChunksUpToIend) {
    const Bytes file = SmallPng();
    const MemoryByteSource source = Source(file);
    PngChunkWalker walker(source);
    std::vector<std::string> types;
    uint64_t expectedOffset = 8;
    while (const auto c = walker.Next()) {
        EXPECT_EQ(c->offset, expectedOffset);
        expectedOffset = c->End();
        types.emplace_back(c->type.data(), 4);
    }
    EXPECT_EQ(types, (std::vector<std::string>{"IHDR", "pHYs", "IDAT", "eXIf"}));
    EXPECT_EQ(walker.End(), PngWalkEnd::kEnd);

    EXPECT_EQ(ReadStoredBitsPerPixel(source), 64);
    EXPECT_EQ(ReadExifOrientation(source), 8);
    EXPECT_EQ(ReadImageResolution(source).dpiX, 300);
}

TEST(PngChunkWalker, CutsAndImpossibleLengthsEndTheWalk) {
    const Bytes file = SmallPng();
    for (size_t n = 0; n + 12 <= file.size(); ++n) {
        const Bytes cut(file.begin(), file.begin() + n);
        const MemoryByteSource source = Source(cut);
        PngChunkWalker walker(source);
        while (const auto c = walker.Next()) EXPECT_LE(c->End(), n) << n;
        EXPECT_EQ(walker.End(), n < 8 ? PngWalkEnd::kNotPng : PngWalkEnd::kCutOff) << n;
    }
    Bytes huge(kPngSignature.begin(), kPngSignature.end());
    Append(huge, {0x80, 0, 0, 0, 'I', 'D', 'A', 'T'});
    const MemoryByteSource h = Source(huge);
    PngChunkWalker walker(h);
    EXPECT_FALSE(walker.Next());
    EXPECT_EQ(walker.End(), PngWalkEnd::kBroken);
}

TEST(ByteOrder, LoadsAndStoresBothOrders) {
    const uint8_t b[4] = {0x12, 0x34, 0x56, 0x78};
    EXPECT_EQ(LoadBe16(b), 0x1234);
    EXPECT_EQ(LoadLe16(b), 0x3412);
    EXPECT_EQ(LoadBe32(b), 0x12345678u);
    EXPECT_EQ(LoadLe32(b), 0x78563412u);
    EXPECT_EQ(Load32(b, true), LoadBe32(b));
    EXPECT_EQ(Load16(b, false), LoadLe16(b));
    uint8_t out[4] = {};
    Store(out, 0xABCD, 2, false);
    EXPECT_EQ(LoadLe16(out), 0xABCD);
    Store(out, 0x89ABCDEF, 4, true);
    EXPECT_EQ(LoadBe32(out), 0x89ABCDEFu);
}

}  // namespace
}  // namespace orm
