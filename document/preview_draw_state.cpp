#include "document/preview_draw_state.h"

#include "document/preview_store.h"

namespace orm {

DrawAction DecideDraw(const DrawnPicture& drawn, const PixelRect& source, int outputWidth,
                      int outputHeight, ResizeAlgorithm algorithm, bool documentHasResult) {
    const bool sameArea = drawn.exists && drawn.source == source &&
                          drawn.outputWidth == outputWidth && drawn.outputHeight == outputHeight;
    if (sameArea && drawn.algorithm == algorithm) {
        if (IsOwnAlgorithm(algorithm) && documentHasResult && !drawn.resultShown)
            return DrawAction::ShowResult;
        return DrawAction::Keep;
    }
    if (sameArea && IsOwnAlgorithm(algorithm))
        return DrawAction::KeepAsProvisional;
    return DrawAction::DrawNew;
}

bool ShouldRequestPreview(ResizeAlgorithm algorithm, bool documentHasResult, bool panning,
                          bool scrolling) {
    return IsOwnAlgorithm(algorithm) && !documentHasResult && !panning && !scrolling;
}

}  // namespace orm
