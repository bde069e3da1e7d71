#pragma once
// Reads a file's image-info record: its size (of the upright picture) and depth and its property
// list (as the file states it, Orientation included). The pixels are decoded only when the header
// cannot tell the depth (palette images count their colours).

#include "metadata/image_info.h"

#include <QString>

#include <optional>

namespace orm {

// The file's info; nothing (with a reason) when it is not an image the program reads.
std::optional<ImageInfo> ReadImageInfo(const QString& path, QString* error = nullptr);

}  // namespace orm
