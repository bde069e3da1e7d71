#pragma once
// Turning a stored picture upright by an EXIF orientation (1 to 8): mirror images and quarter
// turns of whole pixels, for pixels of any whole number of bytes. Pure copies; nothing is
// resampled.
//
// Upright pixel (x, y) of a picture stored w x h pixels is stored pixel:
//   1 (x, y)            2 (w-1-x, y)          3 (w-1-x, h-1-y)      4 (x, h-1-y)
//   5 (y, x)            6 (y, h-1-x)          7 (w-1-y, h-1-x)      8 (w-1-y, x)
// Orientations 5 to 8 give an h x w picture.

#include <cstddef>
#include <cstdint>

namespace orm::engine {

struct ConstByteImage {
    const std::uint8_t* data = nullptr;  // first row
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0;  // bytes from one row to the next
};

struct ByteImage {
    std::uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0;
};

// Whether orient copies pixels of this many bytes: 1, 2, 3, 4, 6 and 8.
bool OrientPixelSizeSupported(int bytesPerPixel);

// Writes the upright picture of `stored` into `upright`, whose size must be the stored size
// (orientations 1 to 4) or its transpose (5 to 8). Rows are spread over the engine's threads;
// the result is the same for any thread count. Orientations outside 1 to 8 copy as 1.
void OrientPixels(const ConstByteImage& stored, const ByteImage& upright, int bytesPerPixel,
                  int orientation);

}  // namespace orm::engine
