#pragma once
// Reading the marker segments of a JPEG stream up to its first scan.

#include "jpeg/jpeg_huffman_decode.h"
#include "jpeg/jpeg_stream.h"

#include <array>
#include <cstdint>

namespace MiniJpeg::detail {

constexpr int kMaxFrameComponents = 8;  // accepted by the frame header; only 1 or 3 decode
constexpr int kMaxScanComponents = 4;
constexpr int kMaxTables = 4;  // quantisation and Huffman table numbers 0..3
constexpr int kMaxSamplingFactor = 4;

struct FrameComponent {
    uint8_t id = 0;
    uint8_t h = 1;           // horizontal sampling factor 1..4
    uint8_t v = 1;           // vertical sampling factor 1..4
    uint8_t quantTable = 0;  // 0..3
};

struct QuantTable {
    bool present = false;
    std::array<uint16_t, 64> natural{};  // entries in natural order
};

struct StreamHeaders {
    bool frameSeen = false;
    uint16_t width = 0;
    uint16_t height = 0;
    int componentCount = 0;
    std::array<FrameComponent, kMaxFrameComponents> components{};

    std::array<QuantTable, kMaxTables> quant{};
    std::array<HuffmanDecodeTable, kMaxTables> dc{};
    std::array<HuffmanDecodeTable, kMaxTables> ac{};
    uint16_t restartInterval = 0;

    bool jfifSeen = false;
    uint8_t densityUnit = 0;  // codes of DensityUnit
    uint16_t xDensity = 0;
    uint16_t yDensity = 0;
    bool adobeSeen = false;
    uint8_t adobeTransform = 0;
};

struct ScanComponent {
    int frameIndex = 0;  // index into StreamHeaders::components
    int dcTable = 0;
    int acTable = 0;
};

struct ScanHeader {
    int count = 0;
    std::array<ScanComponent, kMaxScanComponents> components{};
};

enum class ColourMode { Grey, Rgb, YCbCr };

// Returns the code of the next marker: skips bytes up to 0xFF and fill bytes 0xFF; 0xFF 0x00 is
// not a marker. Throws Error at the end of the data.
uint8_t FindMarker(IStream& in);

// Reads from the start of image up to the start of the first scan (or the end of image), whose
// marker is pushed back. Throws Error on anything this codec does not decode.
void ReadHeaders(IStream& in, StreamHeaders& h);

// Reads the start-of-scan segment; the scan must hold every frame component, with tables that
// exist.
ScanHeader ReadScanHeader(IStream& in, const StreamHeaders& h);

// The colour interpretation of the frame (1 component: grey; 3: RGB or YCbCr).
ColourMode ChooseColourMode(const StreamHeaders& h);

}  // namespace MiniJpeg::detail
