#include "jpeg/jpeg_memory.h"

#include <cstring>

namespace MiniJpeg {

DecodedImage DecodeMemory(const uint8_t* data, size_t size) {
    MemorySource source(data, size);
    auto decoder = CreateDecoder(source);
    DecodedImage image;
    image.info = decoder->info();
    const size_t rowBytes = size_t(image.info.width) * image.info.bytesPerPixel();
    for (int y = 0; y < image.info.height; ++y) {
        const uint8_t* line = decoder->ReadLine();
        image.pixels.insert(image.pixels.end(), line, line + rowBytes);
    }
    return image;
}

std::vector<uint8_t> EncodeMemory(const uint8_t* pixels, size_t stride, const CoderParams& params) {
    MemorySink sink;
    auto coder = CreateCoder(sink, params);
    for (int y = 0; y < params.height; ++y) coder->WriteLine(pixels + size_t(y) * stride);
    require(sink.committed());
    return sink.take();
}

}  // namespace MiniJpeg
