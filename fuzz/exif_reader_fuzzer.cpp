// Fuzz target of the own TIFF/EXIF reader: the input is taken as a JPEG and as a TIFF file (and
// as PNG or WebP where the orientation reader recognises one).

#include "metadata/embedded_thumbnail.h"
#include "metadata/exif_locator.h"
#include "metadata/exif_orientation.h"
#include "metadata/image_depth.h"
#include "metadata/image_resolution.h"

#include <cstddef>
#include <cstdint>

namespace {

// Touches every byte of a result so that uninitialised or out-of-bounds data would be noticed.
volatile uint32_t sink;

void Consume(const orm::EmbeddedThumbnail& t) {
    uint32_t sum = t.width ^ t.height ^ t.fullWidth.value_or(0) ^ t.fullHeight.value_or(0);
    for (uint8_t b : t.dib) sum += b;
    sink = sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20))
        return 0;
    const orm::MemoryByteSource file(std::span(data, size));
    Consume(orm::ReadJpegExifThumbnail(file, 100, 75));
    Consume(orm::ReadTiffThumbnail(file, 220, 165));
    sink = uint32_t(orm::FindExifSegment(file)) ^ orm::FindExifDirectory(file);
    const orm::ImageResolution dpi = orm::ReadImageResolution(file);
    sink = uint32_t(dpi.dpiX) ^ uint32_t(dpi.dpiY);
    sink = uint32_t(orm::ReadStoredBitsPerPixel(file).value_or(0));
    sink = uint32_t(orm::ReadExifOrientation(file)) ^ uint32_t(orm::ReadTiffOrientation(file));
    return 0;
}
