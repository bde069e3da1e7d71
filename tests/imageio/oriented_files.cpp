#include "oriented_files.h"

#include "metadata/exif_properties.h"
#include "metadata/property_item.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include <QTransform>

#include <cmath>
#include <cstdlib>

namespace orm::test {

namespace {

constexpr QRgb kQuadrants[4] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255),
                                qRgb(255, 255, 255)};

QByteArray Jpeg(const QImage& image, int quality) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    writer.write(image);
    return bytes;
}

QImage Quarter(const QImage& i, int degrees) {
    return i.transformed(QTransform().rotate(degrees));
}

}  // namespace

QImage UprightPattern(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    const int hw = size.width() / 2, hh = size.height() / 2;
    QPainter p(&image);
    p.fillRect(0, 0, hw, hh, QColor(kQuadrants[0]));
    p.fillRect(hw, 0, size.width() - hw, hh, QColor(kQuadrants[1]));
    p.fillRect(0, hh, hw, size.height() - hh, QColor(kQuadrants[2]));
    p.fillRect(hw, hh, size.width() - hw, size.height() - hh, QColor(kQuadrants[3]));
    return image;
}

QImage StoredPicture(const QImage& upright, int orientation) {
    // Each is the inverse of what the orientation does to the stored picture.
    switch (orientation) {
        case 2:
            return upright.mirrored(true, false);
        case 3:
            return upright.mirrored(true, true);
        case 4:
            return upright.mirrored(false, true);
        case 5:
            return Quarter(upright, 90).mirrored(true, false);  // the transposition
        case 6:
            return Quarter(upright, 270);
        case 7:
            return Quarter(upright, 90).mirrored(false, true);  // the transversion
        case 8:
            return Quarter(upright, 90);
        default:
            return upright;
    }
}

QByteArray MakeOrientedJpeg(const OrientedJpeg& made) {
    const bool swap = made.orientation >= 5 && made.orientation <= 8;
    QByteArray file = Jpeg(StoredPicture(UprightPattern(made.upright), made.orientation), 95);
    PropertyItems items = {
        MakeAsciiItem(0x010F, "Orient Test"),
        MakeShortItem(0x0112, uint16_t(made.orientation)),
        // The stored picture's size, as cameras state it.
        MakeLongItem(0xA002, uint32_t(swap ? made.upright.height() : made.upright.width()),
                     ExifGroup::kPhoto),
        MakeLongItem(0xA003, uint32_t(swap ? made.upright.width() : made.upright.height()),
                     ExifGroup::kPhoto),
    };
    if (made.thumbnail) {
        const QSize small(std::max(made.upright.width() / 8, 40),
                          std::max(made.upright.height() / 8, 30));
        const QByteArray thumb = Jpeg(StoredPicture(UprightPattern(small), made.orientation), 95);
        items.push_back(PropertyItem{
            kPropThumbnailData, 1, uint32_t(thumb.size()), thumb, ExifGroup::kThumbnail, {}});
        items.push_back(MakeShortItem(kPropThumbnailCompression, 6, ExifGroup::kThumbnail));
    }
    WritePropertyItems(file, items);
    // The JFIF density in dots per inch, for the stored directions.
    const double x = swap ? made.dpiY : made.dpiX, y = swap ? made.dpiX : made.dpiY;
    if (file.size() > 18 && file.mid(6, 5) == QByteArray("JFIF\0", 5)) {
        file[13] = 1;
        file[14] = char(int(x) >> 8), file[15] = char(int(x) & 0xFF);
        file[16] = char(int(y) >> 8), file[17] = char(int(y) & 0xFF);
    }
    return file;
}

::testing::AssertionResult ShowsUprightPattern(const QImage& picture, int tolerance) {
    if (picture.isNull())
        return ::testing::AssertionFailure() << "no picture";
    const int w = picture.width(), h = picture.height();
    const QPoint centres[4] = {
        {w / 4, h / 4}, {3 * w / 4, h / 4}, {w / 4, 3 * h / 4}, {3 * w / 4, 3 * h / 4}};
    for (int i = 0; i < 4; ++i) {
        const QRgb have = picture.pixel(centres[i]), want = kQuadrants[i];
        const int d =
            std::max({std::abs(qRed(have) - qRed(want)), std::abs(qGreen(have) - qGreen(want)),
                      std::abs(qBlue(have) - qBlue(want))});
        if (d > tolerance)
            return ::testing::AssertionFailure()
                   << w << "x" << h << " picture: quadrant " << i << " is #" << std::hex
                   << (have & 0xFFFFFF) << ", not #" << (want & 0xFFFFFF);
    }
    return ::testing::AssertionSuccess();
}

}  // namespace orm::test
