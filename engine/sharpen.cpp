#include "engine/plane_filters.h"
#include "engine/progress.h"

#include <algorithm>
#include <cstdint>

namespace orm::engine {

bool SharpenPlane(ImagePlane& plane, int amount, CRSProgress* progress) {
    const int w = plane.Width(), h = plane.Height();
    if (w < 3 || h < 3) {
        // No inner pixels; the row reports of a taller plane still make their sweep.
        for (int y = 1; y < h - 1; ++y)
            if (!Report(progress, 100 * y / (h - 1)))
                return false;
        return true;
    }
    ImagePlane result = plane;  // reads come from `plane` only
    const int divisor = 100 - amount;
    for (int y = 1; y < h - 1; ++y) {
        const std::uint8_t* above = plane.Row(y - 1);
        const std::uint8_t* row = plane.Row(y);
        const std::uint8_t* below = plane.Row(y + 1);
        std::uint8_t* out = result.Row(y);
        for (int x = 1; x < w - 1; ++x) {
            const int sum = above[x - 1] + above[x] + above[x + 1] + row[x - 1] + row[x] +
                            row[x + 1] + below[x - 1] + below[x] + below[x + 1];
            const int mean = sum / 9;
            const int v = (100 * row[x] - amount * mean) / divisor;
            out[x] = std::uint8_t(std::clamp(v, 0, 255));
        }
        if (!Report(progress, 100 * y / (h - 1)))
            return false;
    }
    plane = std::move(result);
    return true;
}

}  // namespace orm::engine
