#pragma once
// Pictures of a preview area made on the user-interface thread: the standard modes drawn
// directly, the nearest-neighbour provisional picture of the own algorithms, and the conversion
// of engine images to and from QImage.

#include "document/preview_geometry.h"
#include "engine/algorithm.h"
#include "engine/standard_modes.h"

#include <QImage>

namespace orm {

// The view's picture mode for an algorithm: the standard ones draw with their own mode, the own
// ones with nearest neighbour (their provisional picture).
engine::StandardMode DrawModeForAlgorithm(engine::ResizeAlgorithm algorithm);

// The source area (of a Format_BGR888 source) resized to the target size with a standard mode,
// in linear light when asked (as outputs are with that option; nearest neighbour picks samples
// and has no light to average). Null when the area lies outside the source or memory runs out.
QImage RenderStandardArea(const QImage& source, const PreviewArea& area, engine::StandardMode mode,
                          bool linear = false);

}  // namespace orm
