#include "engine/parallel.h"
#include "engine/plane_filters.h"
#include "engine/progress.h"
#include "engine/simd.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace orm::engine {

namespace {

// Inner pixels x = 1 .. w - 2 of one row. The integer quotient (100 P - a m) / (100 - a) is taken
// as a float division truncated toward zero, which is exact here: the numerator is an integer of
// magnitude below 2^15 (exact in a float), and a quotient that is not whole lies at least
// 1 / (100 - a) >= 0.01 from the next integer, far more than half a float step (2^-9 at 25500),
// so the correctly rounded float quotient truncates to the integer quotient.
ORM_KERNEL void SharpenRowBody(const std::uint8_t* above, const std::uint8_t* row,
                               const std::uint8_t* below, int w, int amount, std::uint8_t* out) {
    const float divisor = float(100 - amount);
    for (int x = 1; x < w - 1; ++x) {
        const int sum = above[x - 1] + above[x] + above[x + 1] + row[x - 1] + row[x] + row[x + 1] +
                        below[x - 1] + below[x] + below[x + 1];
        const int mean = sum / 9;
        const int numerator = 100 * row[x] - amount * mean;
        int v = int(float(numerator) / divisor);
        v = v < 0 ? 0 : v;
        v = v > 255 ? 255 : v;
        out[x] = std::uint8_t(v);
    }
}
ORM_DISPATCH3(SharpenRow, SharpenRowBody)

// The centred form of inner pixels: (900 P - a S) / (9 (100 - a)) rounded to nearest, halves up,
// S the block's sum. Taken as float(numerator) / float(divisor) + 0.5, truncated: the numerator
// (magnitude below 2^18) and divisor are exact in a float; an exact half is representable, so a
// tie comes out exact; any other quotient lies at least 1 / 900 from a tie, far more than the
// two roundings (each below 2^-24 x 512). Negative values (truncated toward zero instead of down)
// clamp to 0 either way.
ORM_KERNEL void SharpenRowCentredBody(const std::uint8_t* above, const std::uint8_t* row,
                                      const std::uint8_t* below, int w, int amount,
                                      std::uint8_t* out) {
    const float divisor = float(9 * (100 - amount));
    for (int x = 1; x < w - 1; ++x) {
        const int sum = above[x - 1] + above[x] + above[x + 1] + row[x - 1] + row[x] + row[x + 1] +
                        below[x - 1] + below[x] + below[x + 1];
        const int numerator = 900 * row[x] - amount * sum;
        int v = int(float(numerator) / divisor + 0.5f);
        v = v < 0 ? 0 : v;
        v = v > 255 ? 255 : v;
        out[x] = std::uint8_t(v);
    }
}
ORM_DISPATCH3(SharpenRowCentred, SharpenRowCentredBody)

// One pixel of the centred form with its block clamped to the plane (the outermost pixels).
std::uint8_t SharpenEdgePixel(const ImagePlane& plane, int x, int y, int amount) {
    const int w = plane.Width(), h = plane.Height();
    int sum = 0;
    for (int j = -1; j <= 1; ++j)
        for (int i = -1; i <= 1; ++i)
            sum += plane.At(std::clamp(x + i, 0, w - 1), std::clamp(y + j, 0, h - 1));
    const int numerator = 900 * plane.At(x, y) - amount * sum;
    const int v = int(float(numerator) / float(9 * (100 - amount)) + 0.5f);
    return std::uint8_t(std::clamp(v, 0, 255));
}

void SharpenEdges(const ImagePlane& plane, int amount, ImagePlane& out) {
    const int w = plane.Width(), h = plane.Height();
    for (int y = 0; y < h; ++y) {
        const bool whole = y == 0 || y == h - 1;
        for (int x = 0; x < w; x += whole ? 1 : std::max(1, w - 1))
            out.At(x, y) = SharpenEdgePixel(plane, x, y, amount);
    }
}

bool SharpenCentred(ImagePlane& plane, int amount, CRSProgress* progress, PlaneArena* arena) {
    const int w = plane.Width(), h = plane.Height();
    ImagePlane result = arena != nullptr ? arena->Take(w, h) : ImagePlane(w, h);
    const bool done = ParallelRows(
        std::max(0, h - 2), 16, progress != nullptr,
        [&](int i0, int i1) {
            for (int y = i0 + 1; y < i1 + 1; ++y)
                SharpenRowCentred(static_cast<const std::uint8_t*>(plane.Row(y - 1)),
                                  static_cast<const std::uint8_t*>(plane.Row(y)),
                                  static_cast<const std::uint8_t*>(plane.Row(y + 1)), w, amount,
                                  result.Row(y));
        },
        [&](int i) { return Report(progress, 100 * (i + 1) / (h - 1)); });
    if (done) {
        SharpenEdges(plane, amount, result);
        std::swap(plane, result);
    }
    if (arena != nullptr)
        arena->Give(std::move(result));
    return done;
}

}  // namespace

bool SharpenPlane(ImagePlane& plane, int amount, CRSProgress* progress, PlaneArena* arena,
                  Sampling sampling) {
    const int w = plane.Width(), h = plane.Height();
    if (sampling == Sampling::Centred && w > 0 && h > 0)
        return SharpenCentred(plane, amount, progress, arena);
    if (w < 3 || h < 3) {
        // No inner pixels; the row reports of a taller plane still make their sweep.
        for (int y = 1; y < h - 1; ++y)
            if (!Report(progress, 100 * y / (h - 1)))
                return false;
        return true;
    }
    // Reads come from `plane` only; the result replaces it once complete.
    ImagePlane result = arena != nullptr ? arena->Take(w, h) : ImagePlane(w, h);
    std::memcpy(result.Row(0), plane.Row(0), std::size_t(w));
    std::memcpy(result.Row(h - 1), plane.Row(h - 1), std::size_t(w));
    const bool done = ParallelRows(
        h - 2, 16, progress != nullptr,
        [&](int i0, int i1) {
            for (int y = i0 + 1; y < i1 + 1; ++y) {
                std::uint8_t* out = result.Row(y);
                out[0] = plane.Row(y)[0];
                out[w - 1] = plane.Row(y)[w - 1];
                SharpenRow(static_cast<const std::uint8_t*>(plane.Row(y - 1)),
                           static_cast<const std::uint8_t*>(plane.Row(y)),
                           static_cast<const std::uint8_t*>(plane.Row(y + 1)), w, amount, out);
            }
        },
        [&](int i) { return Report(progress, 100 * (i + 1) / (h - 1)); });
    if (done)
        std::swap(plane, result);
    if (arena != nullptr)
        arena->Give(std::move(result));
    return done;
}

}  // namespace orm::engine
