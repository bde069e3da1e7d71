#pragma once
// One 8-bit channel of an image as a packed width x height block, and the split and merge of
// BGR images into planes.

#include "engine/pixel_view.h"

#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace orm::engine {

class CRSProgress;

using PlaneBytes = std::vector<std::uint8_t, UninitAllocator<std::uint8_t>>;

class ImagePlane {
  public:
    ImagePlane() = default;
    // A plane of zeros. Throws std::bad_alloc when the plane does not fit in memory.
    ImagePlane(int width, int height);
    // A plane made of `bytes` (resized to width x height without initialising new bytes).
    ImagePlane(PlaneBytes&& bytes, int width, int height);
    // Hands the storage out (for reuse) and leaves the plane empty.
    PlaneBytes TakeBytes();

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool IsNull() const { return pixels_.empty(); }
    std::uint8_t* Data() { return pixels_.data(); }
    const std::uint8_t* Data() const { return pixels_.data(); }
    std::uint8_t* Row(int y) { return pixels_.data() + std::size_t(y) * width_; }
    const std::uint8_t* Row(int y) const { return pixels_.data() + std::size_t(y) * width_; }
    std::uint8_t& At(int x, int y) { return pixels_[std::size_t(y) * width_ + x]; }
    std::uint8_t At(int x, int y) const { return pixels_[std::size_t(y) * width_ + x]; }
    PlaneBytes& Bytes() { return pixels_; }
    const PlaneBytes& Bytes() const { return pixels_; }

    void Release() {
        PlaneBytes().swap(pixels_);
        width_ = height_ = 0;
    }

  private:
    PlaneBytes pixels_;
    int width_ = 0;
    int height_ = 0;
};

// Scratch planes of one resize. A plane given back keeps its memory, and a later Take of a plane
// no larger reuses it instead of asking the system for fresh pages (the first write into fresh
// memory costs a page fault per 4 KiB). Not thread-safe: one arena per resize.
class PlaneArena {
  public:
    // A plane of width x height with unspecified contents.
    ImagePlane Take(int width, int height);
    // A plane holding a copy of `plane`.
    ImagePlane Copy(const ImagePlane& plane);
    void Give(ImagePlane&& plane);

  private:
    std::vector<PlaneBytes> free_;
};

// Copies channel c of a BGR-like image with k bytes per pixel into a new plane, reporting
// 100 y / height after each row. Returns false (and an empty plane) on a stop request.
// `arena`, when given, supplies the plane's memory.
bool ExtractPlane(const std::uint8_t* first_row, std::ptrdiff_t stride, int c, int k, int width,
                  int height, CRSProgress* progress, ImagePlane& plane,
                  PlaneArena* arena = nullptr);

// Copies the plane into channel c of the destination rows, leaving the other channels alone.
bool StorePlane(std::uint8_t* first_row, std::ptrdiff_t stride, int c, int k,
                const ImagePlane& plane, CRSProgress* progress);

}  // namespace orm::engine
