#include "thumbnail_test_support.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QImageWriter>

#include <gtest/gtest.h>

#include <cmath>

namespace orm::test {

QImage TestPattern(int width, int height, QImage::Format format) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool square = x < width / 4 && y < height / 4;
            image.setPixel(
                x, y, square ? qRgb(250, 240, 30) : qRgb(255 * x / width, 255 * y / height, 60));
        }
    return image.convertToFormat(format);
}

void WriteImage(const QString& path, const QImage& image, int quality) {
    QImageWriter writer(path);
    writer.setQuality(quality);
    ASSERT_TRUE(writer.write(image))
        << path.toStdString() << ": " << writer.errorString().toStdString();
}

QByteArray JpegWithExifBlock(const QImage& image, const QByteArray& tiff) {
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(90);
    writer.write(image);
    QByteArray segment("\xFF\xE1", 2);
    const int length = 2 + 6 + int(tiff.size());
    segment.append(char(length >> 8));
    segment.append(char(length & 0xFF));
    segment.append(QByteArray("Exif\0\0", 6));
    segment.append(tiff);
    return jpeg.left(2) + segment + jpeg.mid(2);
}

double MeanDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.isNull())
        return 255;
    const QImage ca = a.convertToFormat(QImage::Format_RGB888);
    const QImage cb = b.convertToFormat(QImage::Format_RGB888);
    double sum = 0;
    for (int y = 0; y < ca.height(); ++y) {
        const uchar* pa = ca.constScanLine(y);
        const uchar* pb = cb.constScanLine(y);
        for (int i = 0; i < ca.width() * 3; ++i) sum += std::abs(int(pa[i]) - int(pb[i]));
    }
    return sum / (double(ca.width()) * ca.height() * 3);
}

void SetModifiedTime(const QString& path, int64_t seconds) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(QDateTime::fromSecsSinceEpoch(seconds),
                                 QFileDevice::FileModificationTime));
}

std::shared_ptr<CPaletteItemImg> SampleThumbnail(int64_t fileTime, const QByteArray& jpeg) {
    auto item = std::make_shared<CPaletteItemImg>();
    item->fileTime = fileTime;
    item->thumbWidth = kThumbBoxWidth;
    item->thumbHeight = 146;
    item->jpegData = jpeg;
    item->imageWidth = 5472;
    item->imageHeight = 3648;
    item->bitsPerPixel = 24;
    item->spare1 = 7;
    item->spare2 = 8;
    item->isFinal = 1;
    item->caption1 = QStringLiteral("one");
    item->caption2 = QStringLiteral("zwei \u00fc");
    item->ageTime = 1700000000;
    item->rects = {StoredRect{1, 2, 3, 4}};
    return item;
}

}  // namespace orm::test
