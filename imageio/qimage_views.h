#pragma once
// The engine's views of a QImage's pixels, without a copy: the one place that turns an image
// into (first row, width, height, stride). Each checks the image's layout: a view of pixels laid
// out otherwise would read them wrongly, so a null image or one of another format gives an empty
// view, which the engine refuses (its width is 0).

#include "engine/alpha_resize.h"
#include "engine/orientation.h"
#include "engine/pixel_view.h"

#include <QImage>

namespace orm {

// 24-bit BGR rows (QImage::Format_BGR888).
inline engine::ConstBgrView ConstBgrViewOf(const QImage& image) {
    if (image.format() != QImage::Format_BGR888)
        return {};
    return {image.constBits(), image.width(), image.height(), image.bytesPerLine()};
}
inline engine::BgrView BgrViewOf(QImage& image) {
    if (image.format() != QImage::Format_BGR888)
        return {};
    return {image.bits(), image.width(), image.height(), image.bytesPerLine()};
}

// Four bytes a pixel, alpha last (RGBA8888, or ARGB32 as it lies in memory on little-endian
// machines); the order of the colours is the caller's to know.
inline bool HasQuadLayout(const QImage& image) {
    return image.depth() == 32 && image.hasAlphaChannel() &&
           (image.format() == QImage::Format_RGBA8888 ||
            (Q_BYTE_ORDER == Q_LITTLE_ENDIAN && image.format() == QImage::Format_ARGB32));
}
inline engine::ConstQuadView ConstQuadViewOf(const QImage& image) {
    if (!HasQuadLayout(image))
        return {};
    return {image.constBits(), image.width(), image.height(), image.bytesPerLine()};
}

// Whole bytes a pixel, any such format (the orientation turns them as they are).
inline engine::ConstByteImage ConstByteViewOf(const QImage& image) {
    if (image.isNull() || image.depth() % 8 != 0)
        return {};
    return {image.constBits(), image.width(), image.height(), image.bytesPerLine()};
}
inline engine::ByteImage ByteViewOf(QImage& image) {
    if (image.isNull() || image.depth() % 8 != 0)
        return {};
    return {image.bits(), image.width(), image.height(), image.bytesPerLine()};
}

}  // namespace orm
