#include "engine/image_plane.h"

#include "engine/parallel.h"
#include "engine/progress.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace orm::engine {

BgrImage::BgrImage(int width, int height) {
    if (width <= 0 || height <= 0)
        return;
    const std::size_t bytes = std::size_t(width) * std::size_t(height) * kBgrChannels;
    pixels_.resize(bytes, 0);
    width_ = width;
    height_ = height;
}

BgrImage BgrImage::Uninitialised(int width, int height) {
    BgrImage image;
    if (width <= 0 || height <= 0)
        return image;
    image.pixels_.resize(std::size_t(width) * std::size_t(height) * kBgrChannels);
    image.width_ = width;
    image.height_ = height;
    return image;
}

ImagePlane::ImagePlane(int width, int height) {
    if (width <= 0 || height <= 0)
        return;
    pixels_.resize(std::size_t(width) * std::size_t(height), 0);
    width_ = width;
    height_ = height;
}

ImagePlane::ImagePlane(PlaneBytes&& bytes, int width, int height) : pixels_(std::move(bytes)) {
    if (width <= 0 || height <= 0) {
        pixels_.clear();
        return;
    }
    pixels_.resize(std::size_t(width) * std::size_t(height));
    width_ = width;
    height_ = height;
}

PlaneBytes ImagePlane::TakeBytes() {
    PlaneBytes bytes = std::move(pixels_);
    pixels_ = PlaneBytes();
    width_ = height_ = 0;
    return bytes;
}

ImagePlane PlaneArena::Take(int width, int height) {
    const std::size_t need = std::size_t(std::max(width, 0)) * std::size_t(std::max(height, 0));
    // The smallest free buffer that holds the plane, else the largest (which then grows).
    int best = -1;
    for (int i = 0; i < int(free_.size()); ++i) {
        const std::size_t cap = free_[i].capacity();
        if (best < 0) {
            best = i;
            continue;
        }
        const std::size_t best_cap = free_[best].capacity();
        const bool fits = cap >= need, best_fits = best_cap >= need;
        if ((fits && (!best_fits || cap < best_cap)) || (!fits && !best_fits && cap > best_cap))
            best = i;
    }
    PlaneBytes bytes;
    if (best >= 0) {
        bytes = std::move(free_[best]);
        free_.erase(free_.begin() + best);
        if (bytes.capacity() < need)
            PlaneBytes().swap(bytes);  // too small: let it go before the new one is made
    }
    return ImagePlane(std::move(bytes), width, height);
}

ImagePlane PlaneArena::Copy(const ImagePlane& plane) {
    ImagePlane copy = Take(plane.Width(), plane.Height());
    std::copy(plane.Bytes().begin(), plane.Bytes().end(), copy.Bytes().begin());
    return copy;
}

void PlaneArena::Give(ImagePlane&& plane) {
    PlaneBytes bytes = plane.TakeBytes();
    if (bytes.capacity() > 0)
        free_.push_back(std::move(bytes));
}

namespace {
constexpr int kCopyBand = 16;  // rows per band of the channel copies
}

bool ExtractPlane(const std::uint8_t* first_row, std::ptrdiff_t stride, int c, int k, int width,
                  int height, CRSProgress* progress, ImagePlane& plane, PlaneArena* arena) {
    plane = arena != nullptr ? arena->Take(width, height) : ImagePlane(width, height);
    const bool done = ParallelRows(
        height, kCopyBand, progress != nullptr,
        [&](int y0, int y1) {
            for (int y = y0; y < y1; ++y) {
                const std::uint8_t* src = first_row + y * stride + c;
                std::uint8_t* dst = plane.Row(y);
                for (int x = 0; x < width; ++x)
                    dst[x] = src[x * k];
            }
        },
        [&](int y) { return Report(progress, 100 * y / height); });
    if (!done) {
        if (arena != nullptr)
            arena->Give(std::move(plane));
        plane.Release();
    }
    return done;
}

bool StorePlane(std::uint8_t* first_row, std::ptrdiff_t stride, int c, int k,
                const ImagePlane& plane, CRSProgress* progress) {
    const int width = plane.Width();
    const int height = plane.Height();
    return ParallelRows(
        height, kCopyBand, progress != nullptr,
        [&](int y0, int y1) {
            for (int y = y0; y < y1; ++y) {
                std::uint8_t* dst = first_row + y * stride + c;
                const std::uint8_t* src = plane.Row(y);
                for (int x = 0; x < width; ++x)
                    dst[x * k] = src[x];
            }
        },
        [&](int y) { return Report(progress, 100 * y / height); });
}

}  // namespace orm::engine
