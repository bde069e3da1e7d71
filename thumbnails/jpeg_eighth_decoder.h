#pragma once
// A JPEG decoded at one eighth of its size for a thumbnail, from the DC coefficients alone.
//
// At 1/8 every 8 x 8 block becomes one pixel, the block's mean, which is its DC coefficient: the
// AC coefficients only have to be stepped over. libjpeg still decodes each of them through its
// general Huffman path; this decoder first removes the byte stuffing of the scan into a plain bit
// string and then skips each AC code and its extra bits with one table lookup, which makes the
// decode of a camera photo about twice as fast.
//
// The pixels: a grey or a 4:4:4 colour file gives exactly libjpeg's 1/8 scaled decode (its 1 x 1
// inverse DCT, its range limiting, its fixed-point YCbCr conversion). Subsampled chroma (4:2:0,
// 4:2:2) is taken from the chroma block that covers each pixel, where libjpeg computes a 2 x 2
// inverse DCT of the chroma block: the colours differ by a little at sharp colour edges, which the
// reduction to the thumbnail then averages away.
//
// Handled: baseline and extended sequential Huffman frames of 8-bit samples, grey or three
// components (YCbCr, or RGB as libjpeg tells them), all components in one scan, with or without
// restart markers. Everything else (progressive, arithmetic, CMYK, a damaged or cut-off scan) is
// not handled, and the caller decodes the file the ordinary way, which has its own answer for it.

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace orm {

struct EighthImage {
    int width = 0;   // ceil(file width / 8)
    int height = 0;  // ceil(file height / 8)
    int fileWidth = 0;
    int fileHeight = 0;
    bool grey = false;         // one component: the three bytes of a pixel are equal
    std::vector<uint8_t> bgr;  // rows of width x 3 bytes: blue, green, red; no padding
};

enum class EighthDecode {
    Decoded,
    NotHandled,  // the file is as it was: decode it the ordinary way
    Failed,      // the scan is damaged or cut off, and its bytes have been rewritten
};

// Asked with the file's width and height before the scan is decoded; false leaves the file
// undecoded (NotHandled): the caller's rule for whether 1/8 is small enough, and its memory check.
using EighthSizeCheck = std::function<bool(int fileWidth, int fileHeight)>;

// Decodes `file` at 1/8 into `out`. The scan's bytes are rewritten in place (its stuffing
// removed) unless the answer is NotHandled: after Decoded or Failed the buffer is scratch from
// the start of the scan on; the headers before it stay as they were.
EighthDecode DecodeJpegEighth(std::span<uint8_t> file, EighthImage& out,
                              const EighthSizeCheck& accept);

}  // namespace orm
