#pragma once
// A picture handed out line by line, top line first, 3 bytes per pixel in red, green, blue
// order. The thumbnail readers scale from it without holding the whole picture.

#include <cstdint>
#include <memory>
#include <span>

namespace orm {

class RgbLineSource {
  public:
    virtual ~RgbLineSource() = default;
    virtual uint32_t Width() const = 0;
    virtual uint32_t Height() const = 0;
    // The next line (Width() x 3 bytes), valid until the next call; nullptr when the data is
    // damaged or more lines are asked for than the picture has.
    virtual const uint8_t* NextLine() = 0;
};

// A JPEG stream decoded with the own codec; grey pictures are expanded to three channels.
// Nothing when the headers cannot be read. The bytes must outlive the source.
std::unique_ptr<RgbLineSource> OpenJpegLines(std::span<const uint8_t> jpeg);

}  // namespace orm
