#pragma once
// Helpers of the thumbnail tests: small image files written by Qt, JPEGs with an EXIF block,
// pictures compared by their mean difference.

#include "thumbnails/palette_item.h"
#include "thumbnails/thumbs_builder_threads.h"

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>

namespace orm::test {

// A picture with a horizontal and a vertical gradient and a bright square near the top left, so
// flips and exchanged colour channels show.
QImage TestPattern(int width, int height, QImage::Format format = QImage::Format_RGB32);

// Writes the image in the format of the file's extension; fails the test when it cannot.
void WriteImage(const QString& path, const QImage& image, int quality = 90);

// A JPEG of the image (Qt's encoder) with an EXIF APP1 segment holding `tiff` right after SOI.
QByteArray JpegWithExifBlock(const QImage& image, const QByteArray& tiff);

// Mean absolute difference per channel sample of two pictures of the same size (any formats);
// 255 when the sizes differ.
double MeanDifference(const QImage& a, const QImage& b);

// Sets the file's last write time to `seconds` since 1970.
void SetModifiedTime(const QString& path, int64_t seconds);

// A thumbnail record with every stored field set to a distinct value.
std::shared_ptr<CPaletteItemImg> SampleThumbnail(int64_t fileTime, const QByteArray& jpeg);

// Hears the builder's thumbnailReady where it is emitted (a direct connection): the listener's
// Update(path) runs on the builder thread that made the thumbnail and holds it meanwhile.
// Disconnect the result when done.
template <class Listener>
QMetaObject::Connection Listen(CThumbsBuilderThreads& builder, Listener& listener) {
    return QObject::connect(
        &builder, &CThumbsBuilderThreads::thumbnailReady, &builder,
        [&listener](const QString& path) { listener.Update(path); }, Qt::DirectConnection);
}

}  // namespace orm::test
