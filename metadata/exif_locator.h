#pragma once
// Finding the EXIF block: the APP1 segment of a JPEG file and the EXIF directory of a TIFF file.

#include "metadata/byte_source.h"

#include <cstdint>
#include <filesystem>

namespace orm {

// File offset of the length field of the JPEG's EXIF segment, or 0 when there is none. The marker
// segments are walked by their lengths up to the start of the scan; only the first APP1 segment
// is looked at, and it counts when its identifier is "Exif" and a zero byte (case ignored).
uint64_t FindExifSegment(const ByteSource& file);
uint64_t FindExifSegment(const std::filesystem::path& path);

// Offset of the EXIF directory of a TIFF file (the first 0x8769 entry of its first directory),
// or 0 when there is none. The file must be longer than 128 bytes.
uint32_t FindExifDirectory(const ByteSource& file);
uint32_t FindExifDirectory(const std::filesystem::path& path);

// True when the path's extension (from the last dot of the file name) equals ext, case ignored.
bool HasExtension(const std::filesystem::path& path, const char* ext);

}  // namespace orm
