#pragma once
// The "before" picture of the comparison: the source scaled to the output size with nearest
// neighbour, so each output pixel shows the one source pixel it comes from. It covers the same
// output area as the resized preview and follows the same geometry (Crop mode: the source scaled
// to cover the output, the centre shown), so switching between the two moves nothing.

#include "document/preview_geometry.h"

#include <QImage>

namespace orm {

// The part `target` (output pixels, as an area's target) of the whole source scaled to the output
// with nearest neighbour: pixel for pixel what a nearest-neighbour resize of the whole image
// gives there. Same format as a 24- or 32-bit source; other sources come out as RGB32. Null for
// an empty target, an invalid mapping, a source of another size than the mapping's, or when
// memory runs out.
QImage RenderNearestOutputArea(const QImage& source, const OutputMapping& mapping,
                               const PixelRect& target);

}  // namespace orm
