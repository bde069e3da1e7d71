#pragma once
// The marker segments of a JPEG file, walked in file order over a byte source. Every reader of a
// JPEG's structure (the EXIF locator, the orientation and depth readers, the damage check) walks
// with this one class, so they agree on where a segment is and on what they tolerate.
//
// Stray bytes: between two segments only 0xFF fill bytes are allowed, but files from some
// cameras and editors carry a few other bytes there (a padded segment, a stray zero), and the
// decoders that show the picture (libjpeg, Qt's reader) skip them with a warning. The walker
// does the same: after a segment it looks for the next 0xFF, skips fill bytes, and takes the
// byte after them as the marker (0xFF 0x00 is not a marker and is skipped too). A reader that
// stopped at the first stray byte would call a picture the decoder shows "without EXIF" or
// "of unknown depth". Everything else is held to the structure: a length field below 2 ends the
// walk as broken, and bytes that end inside a segment or before the end-of-image marker end it
// as cut off.

#include "metadata/byte_source.h"

#include <array>
#include <cstdint>
#include <optional>

namespace orm {

namespace jpeg_marker {
inline constexpr uint8_t kSof0 = 0xC0;
inline constexpr uint8_t kSoi = 0xD8;
inline constexpr uint8_t kEoi = 0xD9;
inline constexpr uint8_t kSos = 0xDA;
inline constexpr uint8_t kApp0 = 0xE0;
inline constexpr uint8_t kApp1 = 0xE1;

// SOF0..SOF15 except DHT (C4), JPG (C8) and DAC (CC): a frame header.
constexpr bool IsStartOfFrame(uint8_t marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}
}  // namespace jpeg_marker

// A segment with a length field. The length counts the field itself and the data after it; the
// data may run past the end of the source (a cut-off file): readers check what they read.
struct JpegSegment {
    uint8_t marker = 0;
    uint64_t lengthOffset = 0;  // the two-byte length field; the marker is the two bytes before
    uint32_t length = 0;        // 2 to 65535

    uint64_t DataOffset() const { return lengthOffset + 2; }
    uint32_t DataLength() const { return length - 2; }
    uint64_t End() const { return lengthOffset + length; }
};

enum class JpegWalkEnd {
    kWalking,     // Next() may find another segment
    kNotJpeg,     // the source does not start with SOI
    kEndOfImage,  // the EOI marker was reached
    kCutOff,      // the bytes end inside a segment, inside the scan data or before EOI
    kBroken,      // a length field below 2
};

class JpegSegmentWalker {
  public:
    explicit JpegSegmentWalker(const ByteSource& file) : file_(file) {}

    // The next segment with a length field; nothing when the walk has ended (End() says why).
    // Markers without a length (TEM, RST0-7) are passed over. After a start-of-scan segment, the
    // next call passes over the entropy-coded data (in which 0xFF is followed by a stuffed 0x00
    // or a restart marker) to the marker that ends it; readers of the header stop at the scan.
    std::optional<JpegSegment> Next();
    JpegWalkEnd End() const { return end_; }

  private:
    std::optional<uint8_t> ByteAt(uint64_t pos);
    // The position of the first byte `value` at or after `from`, or nothing at the end.
    std::optional<uint64_t> Find(uint64_t from, uint8_t value);
    bool SkipScanData();
    std::optional<JpegSegment> Finish(JpegWalkEnd end);

    const ByteSource& file_;
    uint64_t pos_ = 0;  // where the search for the next marker starts
    bool started_ = false;
    bool afterScanHeader_ = false;
    JpegWalkEnd end_ = JpegWalkEnd::kWalking;
    // A window of the source, so a walk over a file reads it in blocks, not byte by byte.
    std::array<uint8_t, 4096> window_{};
    uint64_t windowStart_ = 0;
    uint64_t windowSize_ = 0;
};

}  // namespace orm
