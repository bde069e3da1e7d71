// Turning stored pictures upright by the eight EXIF orientations: exact tiny cases, and on larger
// odd-sized pictures (several tiles, padded rows, every pixel size) the group laws the turns obey.

#include "engine/orientation.h"
#include "engine/parallel.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace orm::engine {
namespace {

struct Picture {
    int width = 0, height = 0, bytesPerPixel = 1;
    std::ptrdiff_t stride = 0;
    std::vector<std::uint8_t> bytes;

    Picture(int w, int h, int n, int padding = 0)
        : width(w),
          height(h),
          bytesPerPixel(n),
          stride(std::ptrdiff_t(w) * n + padding),
          bytes(size_t(stride) * size_t(h), 0xEE) {}
    ConstByteImage View() const { return {bytes.data(), width, height, stride}; }
    ByteImage View() { return {bytes.data(), width, height, stride}; }
    // The pixel bytes only (row padding left out).
    std::vector<std::uint8_t> Pixels() const {
        std::vector<std::uint8_t> out;
        for (int y = 0; y < height; ++y)
            out.insert(out.end(), bytes.begin() + y * stride,
                       bytes.begin() + y * stride + std::ptrdiff_t(width) * bytesPerPixel);
        return out;
    }
};

Picture Oriented(const Picture& stored, int orientation, int padding = 3) {
    const bool swap = orientation >= 5 && orientation <= 8;
    Picture out(swap ? stored.height : stored.width, swap ? stored.width : stored.height,
                stored.bytesPerPixel, padding);
    OrientPixels(stored.View(), out.View(), stored.bytesPerPixel, orientation);
    return out;
}

Picture Random(int w, int h, int n, unsigned seed) {
    Picture p(w, h, n, 5);
    std::mt19937 rng(seed);
    for (auto& b : p.bytes) b = std::uint8_t(rng());
    return p;
}

TEST(Orientation, EachOfTheEightOnATinyPicture) {
    // Stored:  1 2 3
    //          4 5 6
    Picture stored(3, 2, 1);
    stored.bytes = {1, 2, 3, 4, 5, 6};
    const std::vector<std::vector<std::uint8_t>> expected = {
        {1, 2, 3, 4, 5, 6},  // 1 as stored
        {3, 2, 1, 6, 5, 4},  // 2 mirrored left-right
        {6, 5, 4, 3, 2, 1},  // 3 turned 180 degrees
        {4, 5, 6, 1, 2, 3},  // 4 mirrored top-bottom
        {1, 4, 2, 5, 3, 6},  // 5 transposed (2 wide, 3 high)
        {4, 1, 5, 2, 6, 3},  // 6 turned a quarter clockwise
        {6, 3, 5, 2, 4, 1},  // 7 transversed
        {3, 6, 2, 5, 1, 4},  // 8 turned a quarter anticlockwise
    };
    for (int o = 1; o <= 8; ++o) {
        const Picture upright = Oriented(stored, o);
        EXPECT_EQ(upright.width, o >= 5 ? 2 : 3) << "orientation " << o;
        EXPECT_EQ(upright.Pixels(), expected[size_t(o - 1)]) << "orientation " << o;
    }
    // Unknown values leave the picture as stored.
    EXPECT_EQ(Oriented(stored, 0).Pixels(), expected[0]);
    EXPECT_EQ(Oriented(stored, 9).Pixels(), expected[0]);
}

TEST(Orientation, TurnsComposeAndUndoOnLargeOddPictures) {
    // 131 x 67 spans three tiles across and two down, with padded rows on both sides; on one
    // thread and on several.
    const int inverse[9] = {0, 1, 2, 3, 4, 5, 8, 7, 6};
    for (int n : {1, 2, 3, 4, 6, 8}) {
        SetEngineThreadCount(n % 2 ? 1 : 3);
        ASSERT_TRUE(OrientPixelSizeSupported(n));
        const Picture stored = Random(131, 67, n, unsigned(n));
        const auto original = stored.Pixels();
        for (int o = 1; o <= 8; ++o)
            EXPECT_EQ(Oriented(Oriented(stored, o), inverse[o]).Pixels(), original)
                << "orientation " << o << ", " << n << " bytes per pixel";
        const Picture quarter = Oriented(stored, 6);
        EXPECT_EQ(Oriented(quarter, 6).Pixels(), Oriented(stored, 3).Pixels()) << n;
        EXPECT_EQ(Oriented(Oriented(quarter, 6), 6).Pixels(), Oriented(stored, 8).Pixels()) << n;
        // Mirroring the upright picture of 6 left-right gives the transposition (5); top-bottom
        // gives the transversion (7).
        EXPECT_EQ(Oriented(quarter, 2).Pixels(), Oriented(stored, 5).Pixels()) << n;
        EXPECT_EQ(Oriented(quarter, 4).Pixels(), Oriented(stored, 7).Pixels()) << n;
    }
    SetEngineThreadCount(0);
    EXPECT_FALSE(OrientPixelSizeSupported(5));
}

}  // namespace
}  // namespace orm::engine
