#include "document/preview_compare.h"

#include "engine/standard_modes.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

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
        // Byte offsets of the source column under every output column, computed once.
        std::vector<int> from(out.width());
        for (int x = 0; x < out.width(); ++x)
            from[x] =
                columns.index[std::clamp(target.left + x + mapping.offsetX(), 0, iw - 1)] * bpp;
        const qsizetype rowBytes = qsizetype(out.width()) * bpp;
        int lastRow = -1;
        for (int y = 0; y < out.height(); ++y) {
            const int row = rows.index[std::clamp(target.top + y + mapping.offsetY(), 0, ih - 1)];
            uchar* to = out.scanLine(y);
            if (row == lastRow) {  // enlarging: the row above is the same row of the source
                std::memcpy(to, out.constScanLine(y - 1), rowBytes);
                continue;
            }
            lastRow = row;
            const uchar* line = source.constScanLine(row);
            for (int x = 0; x < out.width(); ++x, to += bpp) std::memcpy(to, line + from[x], bpp);
        }
        return out;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

}  // namespace orm
