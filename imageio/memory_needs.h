#pragma once
// What decoding and encoding an image will take from memory, known before either starts. Linux
// hands out more memory than it has and kills the process when the pages are touched, so a
// decompression bomb (a tiny file whose header claims 30000 x 30000 pixels) or a huge output
// is refused up front, against what the system has (the engine's MemAvailable reading).

#include <QImage>
#include <QString>

#include <cstdint>

namespace orm {

struct OutputFormat;

// The bytes a decode of a w x h image into `decoded` (the reader's format; Invalid when the
// reader cannot tell before decoding) holds at its peak, the conversion to 24-bit BGR included.
std::uint64_t EstimatedDecodeBytes(int width, int height, QImage::Format decoded);

// Whether the conversion of `format` to 24-bit BGR works inside the decoded buffer.
bool ConvertsToBgrInPlace(QImage::Format format);

// The bytes the encoder of the format holds while it writes a w x h 24-bit image, beyond the
// image itself: converted copies, the encoded file and its metadata rewrite.
std::uint64_t EstimatedEncodeBytes(int width, int height, const OutputFormat* format);

// Whether the system can give this many bytes (true when it cannot tell).
bool FitsInAvailableMemory(std::uint64_t bytes);

// "Not enough memory to open a W x H image".
QString NotEnoughMemoryToOpenText(int width, int height);

}  // namespace orm
