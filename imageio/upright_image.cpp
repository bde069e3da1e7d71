#include "imageio/upright_image.h"

#include "engine/orientation.h"
#include "engine/pixel_view.h"
#include "imageio/heif_reader.h"
#include "imageio/qimage_views.h"
#include "metadata/byte_source.h"
#include "metadata/exif_orientation.h"
#include "metadata/tiff_tags.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageWriter>
#include <QTransform>

#include <span>
#include <utility>

namespace orm {

namespace {

using tiff_tags::kTagOrientation;
constexpr int kThumbnailQuality = 75;

bool Turns(int orientation) {
    return orientation >= 2 && orientation <= 8;
}

// An image of the format whose pixels live in one of the engine's large blocks when it is large
// (a batch turns photo after photo of much the same size). Throws std::bad_alloc.
QImage NewImage(QSize size, QImage::Format format, int depth) {
    const qsizetype stride = (qsizetype(size.width()) * depth + 31) / 32 * 4;
    const std::size_t bytes = std::size_t(stride) * std::size_t(size.height());
    if (bytes < engine::kLargeBlock)
        return QImage(size, format);
    void* block = engine::AllocateLarge(bytes);
    return QImage(
        static_cast<uchar*>(block), size.width(), size.height(), stride, format,
        [](void* p) { engine::FreeLarge(p, 0); }, block);
}

// Pixels smaller than a byte (1-bit pictures): Qt's own mirror and quarter turns.
QImage TurnedByQt(const QImage& stored, int orientation) {
    auto quarter = [](const QImage& i, int degrees) {
        return i.transformed(QTransform().rotate(degrees), Qt::FastTransformation);
    };
    switch (orientation) {
        case 2:
            return stored.mirrored(true, false);
        case 3:
            return stored.mirrored(true, true);
        case 4:
            return stored.mirrored(false, true);
        case 5:
            return quarter(stored, 90).mirrored(true, false);
        case 6:
            return quarter(stored, 90);
        case 7:
            return quarter(stored, 90).mirrored(false, true);
        case 8:
            return quarter(stored, 270);
        default:
            return stored;
    }
}

void CopyDescription(const QImage& from, QImage& to, bool swapAxes) {
    to.setColorTable(from.colorTable());
    to.setColorSpace(from.colorSpace());
    to.setDotsPerMeterX(swapAxes ? from.dotsPerMeterY() : from.dotsPerMeterX());
    to.setDotsPerMeterY(swapAxes ? from.dotsPerMeterX() : from.dotsPerMeterY());
    for (const QString& key : from.textKeys()) to.setText(key, from.text(key));
}

void SetShortValue(PropertyItem& item, uint16_t value) {
    item = MakeShortItem(item.id, value, item.group);
}

}  // namespace

int FileOrientation(const QByteArray& fileBytes) {
    if (IsHeifFile(fileBytes))
        return kOrientationUpright;
    const MemoryByteSource source(std::span(reinterpret_cast<const uint8_t*>(fileBytes.constData()),
                                            size_t(fileBytes.size())));
    return ReadExifOrientation(source);
}

QSize UprightSize(QSize stored, int orientation) {
    return OrientationSwapsAxes(orientation) ? stored.transposed() : stored;
}

DecodeLimit StoredDecodeLimit(DecodeLimit upright, int orientation) {
    if (OrientationSwapsAxes(orientation))
        std::swap(upright.minWidth, upright.minHeight);
    return upright;
}

QImage UprightImage(const QImage& stored, int orientation) {
    if (!Turns(orientation) || stored.isNull())
        return stored;
    const int depth = stored.depth();
    if (depth % 8 != 0 || !engine::OrientPixelSizeSupported(depth / 8))
        return TurnedByQt(stored, orientation);
    QImage upright = NewImage(UprightSize(stored.size(), orientation), stored.format(), depth);
    if (upright.isNull())
        return {};
    CopyDescription(stored, upright, OrientationSwapsAxes(orientation));
    engine::OrientPixels(ConstByteViewOf(stored), ByteViewOf(upright), depth / 8, orientation);
    return upright;
}

bool TurnSourceUpright(SourceImage& source, int orientation) {
    if (Turns(orientation)) {
        QImage image = UprightImage(source.image, orientation);
        if (image.isNull())
            return false;
        source.image = std::move(image);  // the stored pixels are released here
        if (!source.original.isNull()) {
            QImage original = UprightImage(source.original, orientation);
            if (original.isNull())
                return false;
            source.original = std::move(original);
        }
        if (OrientationSwapsAxes(orientation)) {
            source.fileSize.transpose();
            std::swap(source.dpiX, source.dpiY);
        }
    }
    TurnItemsUpright(source.properties, orientation);
    return true;
}

void TurnItemsUpright(PropertyItems& items, int orientation) {
    PropertyItem* thumbnail = nullptr;
    for (PropertyItem& item : items) {
        if (item.group == ExifGroup::kImage && item.id == kTagOrientation)
            SetShortValue(item, kOrientationUpright);
        else if (item.group == ExifGroup::kThumbnail && item.id == kPropThumbnailData)
            thumbnail = &item;
    }
    if (!thumbnail || !Turns(orientation))
        return;
    const QImage stored = QImage::fromData(thumbnail->value, "JPEG");
    const QImage upright = UprightImage(stored, orientation);
    if (upright.isNull())
        return;  // an unreadable thumbnail stays as it was
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    if (!buffer.open(QIODevice::WriteOnly))
        return;
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(kThumbnailQuality);
    if (!writer.write(upright) || jpeg.isEmpty())
        return;
    thumbnail->value = jpeg;
    thumbnail->count = uint32_t(jpeg.size());
    for (PropertyItem& item : items) {
        if (item.group != ExifGroup::kThumbnail)
            continue;
        if (item.id == kPropThumbnailWidth)
            SetShortValue(item, uint16_t(upright.width()));
        else if (item.id == kPropThumbnailHeight)
            SetShortValue(item, uint16_t(upright.height()));
    }
}

}  // namespace orm
