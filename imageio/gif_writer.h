#pragma once
// GIF encoding through giflib: the picture is quantised to a palette of at most 256 colours.

#include <QByteArray>
#include <QImage>
#include <QString>

namespace orm {

// The whole GIF file for the image; empty (with a reason in error) when it cannot be made.
QByteArray EncodeGif(const QImage& image, QString* error = nullptr);

}  // namespace orm
