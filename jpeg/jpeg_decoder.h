#pragma once
// The JPEG decoder of the codec: baseline and extended sequential Huffman streams with 8-bit
// samples, one (grey) or three (colour) components in one scan, sampling factors 1..4 and
// restart intervals. Progressive, arithmetic-coded, lossless, hierarchical and 12-bit streams are
// refused with MiniJpeg::Error, like every malformed or truncated stream.
//
// Usage (memory):
//
//     MiniJpeg::MemorySource src(bytes, size);
//     uint16_t w, h; uint8_t colour;
//     std::unique_ptr<MiniJpeg::Decoder> dec = MiniJpeg::CreateDecoder(src, &w, &h, &colour);
//     for (int y = 0; y < h; ++y) {
//         const uint8_t* line = dec->ReadLine(); // w x 3 bytes R,G,B (colour) or w bytes (grey)
//     }
//
// or simply MiniJpeg::DecodeMemory (jpeg_memory.h). Memory use is one row of MCUs (at most 32
// lines of the image width), taken at the first ReadLine, so a stream that declares a huge size
// costs nothing before lines are read and fails at the first row when its data is missing.

#include "jpeg/jpeg_error.h"
#include "jpeg/jpeg_stream.h"

#include <cstdint>
#include <memory>

namespace MiniJpeg {

// Density unit codes, shared by decoder and encoder.
enum DensityUnit : uint8_t {
    kNoJfif = 0,       // the stream has no JFIF segment
    kAspectOnly = 1,   // JFIF units 0: the densities give the pixel aspect ratio only
    kDotsPerInch = 2,  // JFIF units 1
    kDotsPerCm = 3,    // JFIF units 2
};

struct ImageInfo {
    uint16_t width = 0;
    uint16_t height = 0;
    uint8_t colour = 0;  // 1: three components (lines of R, G, B bytes); 0: one (grey bytes)
    uint8_t densityUnit = kNoJfif;
    uint16_t xDensity = 0;
    uint16_t yDensity = 0;

    int bytesPerPixel() const { return colour ? 3 : 1; }
};

class Decoder {
  public:
    virtual ~Decoder() = default;

    // The next scan line, top line first; valid until the next call. Throws Error on corrupt
    // data and when asked for more lines than the image height. After an Error the decoder is
    // unusable (every further call throws).
    virtual const uint8_t* ReadLine() = 0;

    const ImageInfo& info() const { return info_; }

  protected:
    ImageInfo info_;
};

// Reads all headers up to the start of the scan from `in` (positioned at the start of the JPEG
// data) and returns the decoder. `in` must outlive the decoder. The optional outputs receive the
// image facts (see ImageInfo). Throws Error on any format violation.
std::unique_ptr<Decoder> CreateDecoder(IStream& in, uint16_t* width = nullptr,
                                       uint16_t* height = nullptr, uint8_t* colour = nullptr,
                                       uint8_t* densityUnit = nullptr, uint16_t* xDensity = nullptr,
                                       uint16_t* yDensity = nullptr);

}  // namespace MiniJpeg
