#pragma once
// Embedded thumbnails of JPEG (EXIF) and TIFF files, read with the own TIFF structure reader and
// fitted into a box as a 24-bit bottom-up device-independent bitmap (a 40-byte
// BITMAPINFOHEADER followed by the rows). Damaged or missing structures give no picture.

#include "metadata/byte_source.h"
#include "metadata/rgb_line_source.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace orm {

constexpr uint32_t kDibHeaderSize = 40;

struct EmbeddedThumbnail {
    std::vector<uint8_t> dib;  // header + rows; empty when there is no picture
    uint32_t width = 0;        // the fitted size
    uint32_t height = 0;
    // The image's full size as the tags give it (unset when the tags do not say).
    std::optional<uint32_t> fullWidth;
    std::optional<uint32_t> fullHeight;

    bool HasPicture() const { return !dib.empty(); }
};

struct FittedSize {
    uint32_t width = 0;
    uint32_t height = 0;
};

// Fits a width x height picture into the box, keeping its aspect ratio (integer arithmetic, a
// dimension that would come out 0 is raised to 1). Zero sizes give 0 x 0.
FittedSize FitIntoBox(uint32_t boxWidth, uint32_t boxHeight, uint32_t width, uint32_t height);

// Bytes per row of a 24-bit DIB of this width (a multiple of 4).
uint32_t DibStride(uint32_t width);

// Scales the picture by nearest neighbour into a bottom-up 24-bit DIB of the given size.
// Nothing when the source runs out of lines.
std::optional<std::vector<uint8_t>> BuildThumbnailDib(RgbLineSource& picture, FittedSize size);

// Only for paths ending in ".JPG" (case ignored).
EmbeddedThumbnail ReadJpegExifThumbnail(const std::filesystem::path& path, uint32_t boxWidth,
                                        uint32_t boxHeight);
// Only for paths ending in ".TIF" (case ignored) whose first directory has an EXIF pointer.
EmbeddedThumbnail ReadTiffThumbnail(const std::filesystem::path& path, uint32_t boxWidth,
                                    uint32_t boxHeight);

// The same readers on bytes already at hand, without the extension rule.
EmbeddedThumbnail ReadJpegExifThumbnail(const ByteSource& file, uint32_t boxWidth,
                                        uint32_t boxHeight);
EmbeddedThumbnail ReadTiffThumbnail(const ByteSource& file, uint32_t boxWidth, uint32_t boxHeight);

}  // namespace orm
