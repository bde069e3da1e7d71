#pragma once
// GIF encoding through giflib: a picture of 256 colours or fewer keeps them exactly, a richer one
// is quantised to a palette of 256 (gif_palette.h).

#include <QByteArray>
#include <QImage>
#include <QString>

namespace orm {

// The whole GIF file for the image; empty (with a reason in error) when it cannot be made.
QByteArray EncodeGif(const QImage& image, QString* error = nullptr);

}  // namespace orm
