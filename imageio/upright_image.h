#pragma once
// Decoded pictures turned upright by their file's EXIF Orientation (metadata/exif_orientation.h),
// and what turns with them: the size the file states, the resolution (its two directions change
// places on a quarter turn), the Orientation item (1 from then on) and the embedded thumbnail.
// Everything after loading sees the upright picture only.

#include "imageio/image_loader.h"
#include "metadata/property_item.h"

#include <QByteArray>
#include <QImage>
#include <QSize>

namespace orm {

// The orientation the loader applies to a file's pixels: the EXIF Orientation, except for HEIF
// files, whose decoder applies the file's own transformations.
int FileOrientation(const QByteArray& fileBytes);

// The picture turned upright: a new image in the same format (palette kept), the same image for
// orientation 1 or an unknown one, null when there is no memory for the turned copy. Every pixel
// is copied exactly.
QImage UprightImage(const QImage& stored, int orientation);

// The size of the upright picture of a stored one.
QSize UprightSize(QSize stored, int orientation);

// The decode minimum of the stored picture for a minimum of the upright one.
DecodeLimit StoredDecodeLimit(DecodeLimit upright, int orientation);

// Turns a loaded source upright: its pixels and the copy in the file's own format, the size the
// file states, the resolution, and its items (TurnItemsUpright). False when memory runs out.
bool TurnSourceUpright(SourceImage& source, int orientation);

// The items of an upright picture: Orientation becomes 1, and an embedded JPEG thumbnail is turned
// like the picture (encoded again at quality 75, its size items following).
void TurnItemsUpright(PropertyItems& items, int orientation);

}  // namespace orm
