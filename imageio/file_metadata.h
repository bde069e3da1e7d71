#pragma once
// What an image file says about itself besides its pixels, whatever its format: the EXIF items
// (with the colour profile) and the resolution. HEIF files through libheif (heif_reader.h), the
// others through exiv2 and the own resolution reader.

#include "metadata/image_resolution.h"
#include "metadata/property_item.h"

#include <QByteArray>

namespace orm {

// The file's items in directory order; empty when it has none or they cannot be read.
PropertyItems ReadFileProperties(const QByteArray& fileBytes);

// The resolution exactly as the file states it, in the directions of the stored pixels (a HEIF
// file's from its Exif block); 96 x 96 when it states none.
ImageResolution ReadFileResolution(const QByteArray& fileBytes);

// The same in the directions of the upright picture: on a quarter turn (EXIF Orientation 5 to 8)
// the horizontal resolution is the file's vertical one.
ImageResolution ReadUprightResolution(const QByteArray& fileBytes);

}  // namespace orm
