#include "engine/image_plane.h"

#include "engine/progress.h"

#include <new>

namespace orm::engine {

BgrImage::BgrImage(int width, int height) {
    if (width <= 0 || height <= 0)
        return;
    const std::size_t bytes = std::size_t(width) * std::size_t(height) * kBgrChannels;
    pixels_.resize(bytes);
    width_ = width;
    height_ = height;
}

ImagePlane::ImagePlane(int width, int height) {
    if (width <= 0 || height <= 0)
        return;
    pixels_.resize(std::size_t(width) * std::size_t(height));
    width_ = width;
    height_ = height;
}

bool ExtractPlane(const std::uint8_t* first_row, std::ptrdiff_t stride, int c, int k, int width,
                  int height, CRSProgress* progress, ImagePlane& plane) {
    plane = ImagePlane(width, height);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* src = first_row + y * stride + c;
        std::uint8_t* dst = plane.Row(y);
        for (int x = 0; x < width; ++x)
            dst[x] = src[x * k];
        if (!Report(progress, 100 * y / height)) {
            plane.Release();
            return false;
        }
    }
    return true;
}

bool StorePlane(std::uint8_t* first_row, std::ptrdiff_t stride, int c, int k,
                const ImagePlane& plane, CRSProgress* progress) {
    const int width = plane.Width();
    const int height = plane.Height();
    for (int y = 0; y < height; ++y) {
        std::uint8_t* dst = first_row + y * stride + c;
        const std::uint8_t* src = plane.Row(y);
        for (int x = 0; x < width; ++x)
            dst[x * k] = src[x];
        if (!Report(progress, 100 * y / height))
            return false;
    }
    return true;
}

}  // namespace orm::engine
