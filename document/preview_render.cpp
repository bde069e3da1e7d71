#include "document/preview_render.h"

#include "engine/linear_light.h"
#include "engine/standard_modes.h"
#include "imageio/qimage_views.h"

#include <new>

namespace orm {

engine::StandardMode DrawModeForAlgorithm(engine::ResizeAlgorithm algorithm) {
    return engine::IsOwnAlgorithm(algorithm)
               ? engine::StandardMode::NearestNeighbor
               : engine::StandardMode(engine::AlgorithmIndex(algorithm));
}

QImage RenderStandardArea(const QImage& source, const PreviewArea& area, engine::StandardMode mode,
                          bool linear) {
    if (source.isNull() || source.format() != QImage::Format_BGR888 || area.isEmpty() ||
        !PixelRect{0, 0, source.width(), source.height()}.contains(area.source))
        return {};
    try {
        QImage out(area.target.width(), area.target.height(), QImage::Format_BGR888);
        if (out.isNull())
            return {};
        const engine::ConstBgrView whole = ConstBgrViewOf(source);
        const engine::BgrView to = BgrViewOf(out);
        const engine::ConstBgrView from =
            whole.Sub(area.source.left, area.source.top, area.source.width(), area.source.height());
        if (linear && mode != engine::StandardMode::NearestNeighbor) {
            const auto algorithm = engine::ResizeAlgorithm(int(mode));
            return engine::ResizeInLinearLight(from, to, engine::kBgrChannels, algorithm, false) ==
                           engine::ResizeStatus::Ok
                       ? out
                       : QImage();
        }
        engine::DrawStandardMode(from, to, mode);
        return out;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

}  // namespace orm
