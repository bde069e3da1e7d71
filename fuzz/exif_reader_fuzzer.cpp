// Fuzz target of the own TIFF/EXIF reader: the input is taken as a JPEG and as a TIFF file (and
// as PNG or WebP where the orientation reader recognises one). The JPEG segment and PNG chunk
// walkers are driven directly as well, and what they yield must lie where they promise.

#include "metadata/embedded_thumbnail.h"
#include "metadata/exif_locator.h"
#include "metadata/exif_orientation.h"
#include "metadata/image_depth.h"
#include "metadata/image_resolution.h"
#include "metadata/jpeg_segments.h"
#include "metadata/png_chunks.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// Touches every byte of a result so that uninitialised or out-of-bounds data would be noticed.
volatile uint32_t sink;

void Consume(const orm::EmbeddedThumbnail& t) {
    uint32_t sum = t.width ^ t.height ^ t.fullWidth.value_or(0) ^ t.fullHeight.value_or(0);
    for (uint8_t b : t.dib) sum += b;
    sink = sum;
}

// Segments come in file order, each header inside the source, and a walk that ends at EOI saw
// every byte up to it; chunks are whole and follow each other without gaps.
void WalkBoth(const orm::MemoryByteSource& file) {
    orm::JpegSegmentWalker jpeg(file);
    uint64_t after = 2;
    while (const auto s = jpeg.Next()) {
        if (s->lengthOffset < after + 2 || s->DataOffset() > file.Size() || s->length < 2)
            std::abort();
        after = s->End();
    }
    if (jpeg.End() == orm::JpegWalkEnd::kWalking)
        std::abort();
    orm::PngChunkWalker png(file);
    uint64_t next = 8;
    while (const auto c = png.Next()) {
        if (c->offset != next || c->End() > file.Size())
            std::abort();
        next = c->End();
    }
    if (png.End() == orm::PngWalkEnd::kWalking)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20))
        return 0;
    const orm::MemoryByteSource file(std::span(data, size));
    WalkBoth(file);
    Consume(orm::ReadJpegExifThumbnail(file, 100, 75));
    Consume(orm::ReadTiffThumbnail(file, 220, 165));
    sink = uint32_t(orm::FindExifSegment(file)) ^ orm::FindExifDirectory(file);
    const orm::ImageResolution dpi = orm::ReadImageResolution(file);
    sink = uint32_t(dpi.dpiX) ^ uint32_t(dpi.dpiY);
    sink = uint32_t(orm::ReadStoredBitsPerPixel(file).value_or(0));
    sink = uint32_t(orm::ReadExifOrientation(file)) ^ uint32_t(orm::ReadTiffOrientation(file));
    return 0;
}
