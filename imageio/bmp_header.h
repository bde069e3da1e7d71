#pragma once
// BMP files whose info header is 52 or 56 bytes long (the 40-byte header followed by the red,
// green and blue masks, and in the 56-byte one the alpha mask). Other programs write them for
// bit-field and alpha pixels; Qt's reader knows only headers of 12, 40, 64, 108 and 124 bytes.
// Such a header is widened to the 108-byte one, which holds the same fields in the same places
// followed by the colour-space fields (here: sRGB), and the pixels are moved up behind it.

#include <QByteArray>

#include <optional>

namespace orm {

// The file with its 52- or 56-byte info header widened to 108 bytes; nothing for every other
// file.
std::optional<QByteArray> WithWidenedBmpHeader(const QByteArray& fileBytes);

}  // namespace orm
