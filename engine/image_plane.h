#pragma once
// One 8-bit channel of an image as a packed width x height block, and the split and merge of
// BGR images into planes.

#include "engine/pixel_view.h"

#include <cstdint>
#include <vector>

namespace orm::engine {

class CRSProgress;

class ImagePlane {
public:
    ImagePlane() = default;
    // Throws std::bad_alloc when the plane does not fit in memory.
    ImagePlane(int width, int height);

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool IsNull() const { return pixels_.empty(); }
    std::uint8_t* Data() { return pixels_.data(); }
    const std::uint8_t* Data() const { return pixels_.data(); }
    std::uint8_t* Row(int y) { return pixels_.data() + std::size_t(y) * width_; }
    const std::uint8_t* Row(int y) const { return pixels_.data() + std::size_t(y) * width_; }
    std::uint8_t& At(int x, int y) { return pixels_[std::size_t(y) * width_ + x]; }
    std::uint8_t At(int x, int y) const { return pixels_[std::size_t(y) * width_ + x]; }
    std::vector<std::uint8_t>& Bytes() { return pixels_; }
    const std::vector<std::uint8_t>& Bytes() const { return pixels_; }

    void Release() {
        std::vector<std::uint8_t>().swap(pixels_);
        width_ = height_ = 0;
    }

private:
    std::vector<std::uint8_t> pixels_;
    int width_ = 0;
    int height_ = 0;
};

// Copies channel c of a BGR-like image with k bytes per pixel into a new plane, reporting
// 100 y / height after each row. Returns false (and an empty plane) on a stop request.
bool ExtractPlane(const std::uint8_t* first_row, std::ptrdiff_t stride, int c, int k, int width,
                  int height, CRSProgress* progress, ImagePlane& plane);

// Copies the plane into channel c of the destination rows, leaving the other channels alone.
bool StorePlane(std::uint8_t* first_row, std::ptrdiff_t stride, int c, int k,
                const ImagePlane& plane, CRSProgress* progress);

}  // namespace orm::engine
