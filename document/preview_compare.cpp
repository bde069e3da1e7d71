#include "document/preview_compare.h"

#include "engine/standard_modes.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace orm {

QImage RenderNearestOutputArea(const QImage& given, const OutputMapping& mapping,
                               const PixelRect& target) {
    if (given.isNull() || !mapping.valid() || target.isEmpty() ||
        given.width() != mapping.sourceWidth() || given.height() != mapping.sourceHeight())
        return {};
    try {
        const QImage source = given.depth() == 24 || given.depth() == 32
                                  ? given
                                  : given.convertToFormat(QImage::Format_RGB32);
        // The whole source goes to the intermediate (the output itself without crop); the
        // output sits in it at the mapping's offset. The engine's own index tables keep this
        // identical to its nearest-neighbour resize.
        const int iw = mapping.intermediateWidth(), ih = mapping.intermediateHeight();
        const auto columns =
            engine::MakeAxisFilter(engine::StandardMode::NearestNeighbor, source.width(), iw);
        const auto rows =
            engine::MakeAxisFilter(engine::StandardMode::NearestNeighbor, source.height(), ih);
        QImage out(target.width(), target.height(), source.format());
        if (out.isNull())
            return {};
        const int bpp = source.depth() / 8;
        for (int y = 0; y < out.height(); ++y) {
            const int iy = std::clamp(target.top + y + mapping.offsetY(), 0, ih - 1);
            const uchar* from = source.constScanLine(rows.index[iy]);
            uchar* to = out.scanLine(y);
            for (int x = 0; x < out.width(); ++x, to += bpp) {
                const int ix = std::clamp(target.left + x + mapping.offsetX(), 0, iw - 1);
                std::memcpy(to, from + columns.index[ix] * bpp, bpp);
            }
        }
        return out;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

}  // namespace orm
