#pragma once
// BMP files whose info header is 52 or 56 bytes long (the 40-byte header followed by the red,
// green and blue masks, and in the 56-byte one the alpha mask). Other programs write them for
// bit-field and alpha pixels; Qt's reader knows only headers of 12, 40, 64, 108 and 124 bytes.
// Such a header is widened to the 108-byte one, which holds the same fields in the same places
// followed by the colour-space fields (here: sRGB), and the pixels are moved up behind it.

#include <QByteArray>
#include <QImage>

#include <optional>

namespace orm {

// The file with its 52- or 56-byte info header widened to 108 bytes; nothing for every other
// file.
std::optional<QByteArray> WithWidenedBmpHeader(const QByteArray& fileBytes);

// The widths in bits of the red, green, blue and alpha fields (0: none) of a 16-bit BMP (5-5-5
// without bit fields, or its masks); nothing for other files and for masks that are not runs of
// bits of 1 to 8.
struct BmpFieldWidths {
    int red = 0, green = 0, blue = 0, alpha = 0;
};
std::optional<BmpFieldWidths> SixteenBitBmpFields(const QByteArray& fileBytes);

// Qt's reader widens an n-bit field by multiplying it with 256 / 2^n, so 5-bit 31 becomes 248
// and a 1-bit alpha 128. This spreads such a decoded image's fields over the whole range as
// other readers do (v * 255 / (2^n - 1), rounded): 31 is 255. RGB32 and ARGB32 images only.
void SpreadBmpFields(QImage& image, const BmpFieldWidths& widths);

}  // namespace orm
