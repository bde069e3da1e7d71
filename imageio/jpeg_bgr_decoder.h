#pragma once
// JPEG files decoded straight into the 24-bit BGR rows the engine works on, with libjpeg-turbo
// (the library behind Qt's JPEG reader, with the same settings, so the pixels are the same).
// One buffer instead of Qt's 32-bit image and its converted copy, and the decoder's warnings
// belong to this decode alone: a file that ends early is known as such.

#include <QByteArray>
#include <QImage>
#include <QString>

#include <optional>

namespace orm {

struct JpegBgrImage {
    QImage image;                                      // Format_BGR888
    QSize fileSize;                                    // the size the file states
    QImage::Format fileFormat = QImage::Format_RGB32;  // what Qt's reader would have made
    bool endedEarly = false;                           // data was missing: that part is grey
};

enum class JpegDecodeOutcome {
    Decoded,
    NotHandled,  // not a JPEG, or one this path leaves to Qt's reader (CMYK, a damaged header)
    Refused,     // the pixels cannot fit in memory: error holds "Not enough memory to open ..."
};

// Decodes the bytes when they are a JPEG this path handles. With a minimum size the decoder
// shrinks the image by 2, 4 or 8 (the most that keeps both sides at least that large; its
// reduced inverse DCT does far less work than a full decode). With cover, the minimum is the box
// at the file's aspect that covers it.
JpegDecodeOutcome DecodeJpegToBgr(const QByteArray& fileBytes, JpegBgrImage& out,
                                  QString* error = nullptr, QSize minimum = {}, bool cover = false);

// The shrink factor (1, 2, 4 or 8) for a w x h JPEG whose decode must stay at least minimum.
int JpegShrinkFactor(int width, int height, QSize minimum);

}  // namespace orm
