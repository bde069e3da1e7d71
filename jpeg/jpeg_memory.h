#pragma once
// Whole-image helpers over memory, for callers that hold the JPEG bytes or the pixels at once
// (embedded thumbnails, the thumbnail cache).

#include "jpeg/jpeg_decoder.h"
#include "jpeg/jpeg_encoder.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace MiniJpeg {

struct DecodedImage {
    ImageInfo info;
    // info.height rows of info.width x info.bytesPerPixel() bytes, top row first, no padding.
    std::vector<uint8_t> pixels;
};

// Decodes a whole JPEG stream held in memory. Throws Error on anything the decoder refuses.
// The pixel buffer grows row by row, so a stream that lies about its size fails before it can
// claim memory for the size it declares.
DecodedImage DecodeMemory(const uint8_t* data, size_t size);

// Encodes params.height rows of params.width x (3 or 1) bytes, `stride` bytes apart, and
// returns the complete JPEG stream. Throws Error on invalid parameters.
std::vector<uint8_t> EncodeMemory(const uint8_t* pixels, size_t stride, const CoderParams& params);

}  // namespace MiniJpeg
