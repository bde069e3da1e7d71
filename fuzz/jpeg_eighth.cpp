// libFuzzer target: the thumbnails' decoder of JPEGs at 1/8 on arbitrary bytes. Not handled and
// failed are expected answers; crashes, hangs and out-of-bounds reads or writes are what the
// fuzzer looks for. A decoded picture must have the size its header promised, every byte read.

#include "thumbnails/jpeg_eighth_decoder.h"

#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);  // the decoder rewrites the scan in place
    orm::EighthImage out;
    // Declared sizes are capped so the fuzzer stays fast.
    const auto small = [](int w, int h) { return int64_t(w) * h <= (int64_t(1) << 24); };
    if (orm::DecodeJpegEighth(bytes, out, small) != orm::EighthDecode::Decoded)
        return 0;
    if (out.width != (out.fileWidth + 7) / 8 || out.height != (out.fileHeight + 7) / 8 ||
        out.bgr.size() != size_t(out.width) * size_t(out.height) * 3)
        std::abort();
    unsigned sum = 0;
    for (const uint8_t b : out.bgr) sum += b;
    volatile unsigned sink = sum;
    (void)sink;
    return 0;
}
