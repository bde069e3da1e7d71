#pragma once
// Pictures of a preview area made on the user-interface thread: the standard modes drawn
// directly, the nearest-neighbour provisional picture of the own algorithms, and the conversion
// of engine images to and from QImage.

#include "document/preview_geometry.h"

#include <QImage>

namespace orm {

// The view's picture mode for an algorithm: 0-4 draw with that mode, 5-7 with nearest neighbour
// (their provisional picture).
int DrawModeForAlgorithm(int algorithm);

// The source area (of a Format_BGR888 source) resized to the target size with standard mode
// 0..4. Null when the area lies outside the source or memory runs out.
QImage RenderStandardArea(const QImage& source, const PreviewArea& area, int mode);

}  // namespace orm
