// libFuzzer target: the MiniJpeg decoder on arbitrary bytes. Refusals (MiniJpeg::Error) are
// expected; crashes, hangs, leaks and out-of-bounds reads are what the fuzzer looks for.

#include "jpeg/minijpeg.h"

#include <cstddef>
#include <cstdint>

namespace {
// Decoding work per input is capped so the fuzzer stays fast; the headers of larger declared
// sizes are still parsed, and the first row of MCUs still decoded.
constexpr size_t kMaxPixels = size_t(1) << 22;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        MiniJpeg::MemorySource source(data, size);
        MiniJpeg::ImageInfo info;
        auto decoder = MiniJpeg::CreateDecoder(source, &info.width, &info.height, &info.colour,
                                               &info.densityUnit, &info.xDensity, &info.yDensity);
        const size_t pixels = size_t(info.width) * info.height;
        const int lines = pixels > kMaxPixels ? 1 : info.height;
        const size_t rowBytes = size_t(info.width) * (info.colour ? 3 : 1);
        unsigned sum = 0;
        for (int y = 0; y < lines; ++y) {
            const uint8_t* line = decoder->ReadLine();
            for (size_t i = 0; i < rowBytes; ++i)  // every output byte is read
                sum += line[i];
        }
        volatile unsigned sink = sum;
        (void)sink;
    } catch (const MiniJpeg::Error&) {
    }
    return 0;
}
