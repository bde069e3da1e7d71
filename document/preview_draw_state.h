#pragma once
// What the preview view does with its drawn picture on each paint: keep it, replace it by the
// document's exact result, keep it as the provisional picture of another own algorithm, or draw
// a new one; and when it asks the document for exact pixels.

#include "document/preview_geometry.h"
#include "engine/algorithm.h"

#include <optional>

namespace orm {

struct DrawnPicture {
    bool exists = false;
    PixelRect source;  // the source area the picture covers
    PixelRect target;  // where it lies in output pixels
    int outputWidth = 0;
    int outputHeight = 0;
    std::optional<engine::ResizeAlgorithm> algorithm;  // none before the first picture
    bool resultShown = false;  // the picture already holds the document's exact result
};

enum class DrawAction {
    Keep,               // same request, nothing new to show
    ShowResult,         // same request, the exact result has arrived
    KeepAsProvisional,  // same area and size, another own algorithm: the old picture stands in
    DrawNew,            // a new picture of the area
};

DrawAction DecideDraw(const DrawnPicture& drawn, const PixelRect& source, int outputWidth,
                      int outputHeight, engine::ResizeAlgorithm algorithm, bool documentHasResult);

// Own algorithms ask for exact pixels while there are none, unless the user is panning or
// operating a scroll bar.
bool ShouldRequestPreview(engine::ResizeAlgorithm algorithm, bool documentHasResult, bool panning,
                          bool scrolling);

}  // namespace orm
