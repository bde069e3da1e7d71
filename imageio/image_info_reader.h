#pragma once
// Reads a file's image-info record: its decoded size and depth and its property list.

#include "metadata/image_info.h"

#include <QString>

#include <optional>

namespace orm {

// Decodes the file and builds its info; nothing (with a reason) when it cannot be decoded.
std::optional<ImageInfo> ReadImageInfo(const QString& path, QString* error = nullptr);

}  // namespace orm
