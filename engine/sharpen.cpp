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

}  // namespace

bool SharpenPlane(ImagePlane& plane, int amount, CRSProgress* progress, PlaneArena* arena) {
    const int w = plane.Width(), h = plane.Height();
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
