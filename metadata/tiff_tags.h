#pragma once
// TIFF and EXIF tag numbers the metadata code refers to by name, in one place.

#include <cstdint>

namespace orm::tiff_tags {

inline constexpr uint16_t kTagImageWidth = 0x0100;
inline constexpr uint16_t kTagImageLength = 0x0101;
inline constexpr uint16_t kTagCompression = 0x0103;
inline constexpr uint16_t kTagStripOffsets = 0x0111;
inline constexpr uint16_t kTagOrientation = 0x0112;
inline constexpr uint16_t kTagStripByteCounts = 0x0117;
inline constexpr uint16_t kTagJpegOffset = 0x0201;   // JPEGInterchangeFormat
inline constexpr uint16_t kTagJpegLength = 0x0202;   // JPEGInterchangeFormatLength
inline constexpr uint16_t kTagExifPointer = 0x8769;  // the Exif IFD
inline constexpr uint16_t kTagGpsPointer = 0x8825;   // the GPS IFD
inline constexpr uint16_t kTagMakerNote = 0x927C;
inline constexpr uint16_t kTagPixelXDimension = 0xA002;
inline constexpr uint16_t kTagPixelYDimension = 0xA003;
inline constexpr uint16_t kTagInteropPointer = 0xA005;  // the interoperability IFD

}  // namespace orm::tiff_tags
