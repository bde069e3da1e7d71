#include "engine/orientation.h"

#include "engine/parallel.h"

#include <algorithm>
#include <cstring>

namespace orm::engine {

namespace {

// Square tiles of the upright picture: on a quarter turn a tile reads a square of the stored one,
// whose rows stay in the cache (64 rows of 64 pixels of up to 8 bytes: 32 KiB).
constexpr int kTile = 64;

// Where upright pixel (x, y) lies in the stored picture, in bytes: base + x stepX + y stepY.
struct Walk {
    std::ptrdiff_t base = 0;
    std::ptrdiff_t stepX = 0;
    std::ptrdiff_t stepY = 0;
};

Walk WalkFor(const ConstByteImage& s, int n, int orientation) {
    // The stored coordinates of upright (x, y): sx = ax x + bx y + cx, sy = ay x + by y + cy.
    int ax = 1, bx = 0, cx = 0, ay = 0, by = 1, cy = 0;
    const int lastX = s.width - 1, lastY = s.height - 1;
    switch (orientation) {
        case 2:
            ax = -1, cx = lastX;
            break;
        case 3:
            ax = -1, cx = lastX, by = -1, cy = lastY;
            break;
        case 4:
            by = -1, cy = lastY;
            break;
        case 5:
            ax = 0, bx = 1, ay = 1, by = 0;
            break;
        case 6:
            ax = 0, bx = 1, ay = -1, by = 0, cy = lastY;
            break;
        case 7:
            ax = 0, bx = -1, cx = lastX, ay = -1, by = 0, cy = lastY;
            break;
        case 8:
            ax = 0, bx = -1, cx = lastX, ay = 1, by = 0;
            break;
        default:
            break;
    }
    return {std::ptrdiff_t(cx) * n + std::ptrdiff_t(cy) * s.stride,
            std::ptrdiff_t(ax) * n + std::ptrdiff_t(ay) * s.stride,
            std::ptrdiff_t(bx) * n + std::ptrdiff_t(by) * s.stride};
}

template <int N>
void OrientRows(const ConstByteImage& s, const ByteImage& d, const Walk& walk, int y0, int y1) {
    for (int ty = y0; ty < y1; ty += kTile) {
        const int tyEnd = std::min(ty + kTile, y1);
        for (int tx = 0; tx < d.width; tx += kTile) {
            const int count = std::min(kTile, d.width - tx);
            for (int y = ty; y < tyEnd; ++y) {
                const std::uint8_t* in = s.data + walk.base + std::ptrdiff_t(tx) * walk.stepX +
                                         std::ptrdiff_t(y) * walk.stepY;
                std::uint8_t* out = d.data + std::ptrdiff_t(y) * d.stride + std::ptrdiff_t(tx) * N;
                for (int i = 0; i < count; ++i, in += walk.stepX, out += N) std::memcpy(out, in, N);
            }
        }
    }
}

template <int N>
void OrientAll(const ConstByteImage& s, const ByteImage& d, int orientation) {
    const Walk walk = WalkFor(s, N, orientation);
    auto band = [&](int begin, int end) { OrientRows<N>(s, d, walk, begin, end); };
    ParallelFor(d.height, kTile, band);
}

}  // namespace

bool OrientPixelSizeSupported(int bytesPerPixel) {
    switch (bytesPerPixel) {
        case 1:
        case 2:
        case 3:
        case 4:
        case 6:
        case 8:
            return true;
        default:
            return false;
    }
}

void OrientPixels(const ConstByteImage& stored, const ByteImage& upright, int bytesPerPixel,
                  int orientation) {
    if (orientation < 1 || orientation > 8)
        orientation = 1;
    switch (bytesPerPixel) {
        case 1:
            OrientAll<1>(stored, upright, orientation);
            break;
        case 2:
            OrientAll<2>(stored, upright, orientation);
            break;
        case 3:
            OrientAll<3>(stored, upright, orientation);
            break;
        case 4:
            OrientAll<4>(stored, upright, orientation);
            break;
        case 6:
            OrientAll<6>(stored, upright, orientation);
            break;
        case 8:
            OrientAll<8>(stored, upright, orientation);
            break;
        default:
            break;
    }
}

}  // namespace orm::engine
