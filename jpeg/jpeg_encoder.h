#pragma once
// The JPEG encoder of the codec: baseline sequential Huffman JFIF streams, colour (YCbCr with
// 4:2:0 or 4:2:2 chroma) or grey, from scan lines.
//
// Usage (memory):
//
//     MiniJpeg::CoderParams p;           // quality 90, 4:2:0, like the thumbnail cache
//     p.width = w; p.height = h; p.colour = true;
//     p.densityUnit = MiniJpeg::kDotsPerInch; p.xDensity = p.yDensity = 300;
//     MiniJpeg::MemorySink sink;
//     auto coder = MiniJpeg::CreateCoder(sink, p);
//     for (int y = 0; y < h; ++y)
//         coder->WriteLine(rgbRow(y));    // w x 3 bytes R,G,B (colour) or w bytes (grey)
//     // after the last line the stream is complete: sink.committed(), sink.data()
//
// or simply MiniJpeg::EncodeMemory (jpeg_memory.h).

#include "jpeg/jpeg_decoder.h"
#include "jpeg/jpeg_error.h"
#include "jpeg/jpeg_stream.h"

#include <cstdint>
#include <memory>

namespace MiniJpeg {

struct CoderParams {
    int width = 0;              // 1..65535
    int height = 0;             // 1..65535
    bool colour = true;         // three components from R,G,B bytes; false: one from grey bytes
    int quality = 90;           // 1..100; values outside are clamped
    bool subsample422 = false;  // false: 4:2:0 (luminance 2 x 2), true: 4:2:2 (2 x 1)
    bool singleQuantSegment = false;  // both quantisation tables in one DQT segment
    uint8_t densityUnit = kNoJfif;    // kDotsPerInch or kDotsPerCm; anything else: no unit
    uint16_t xDensity = 1;
    uint16_t yDensity = 1;

    // Throws Error when the parameters cannot be encoded (a size of 0 or above 65535).
    void check() const;
};

class Coder {
  public:
    virtual ~Coder() = default;

    // Takes the next line, top line first: width x 3 bytes (R, G, B) or width bytes (grey).
    // The last line completes the stream (end-of-image marker, flush, commit of the OStream).
    // A line more than the height throws Error.
    virtual void WriteLine(const uint8_t* line) = 0;
};

// Writes all headers to `out` and returns the encoder. `out` must outlive the encoder.
// Destroying the encoder before the last line leaves an incomplete, uncommitted stream.
std::unique_ptr<Coder> CreateCoder(OStream& out, const CoderParams& params);

}  // namespace MiniJpeg
