#include "document/image_loader.h"

#include "document/byte_source.h"
#include "document/exif_properties.h"
#include "document/image_resolution.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include <new>
#include <span>

namespace orm {

int BitsPerPixelOf(const QImage& decoded) {
    switch (decoded.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
        return 1;
    case QImage::Format_Indexed8:
        return decoded.colorCount() <= 2 ? 1 : decoded.colorCount() <= 16 ? 4 : 8;
    case QImage::Format_Grayscale8:
    case QImage::Format_Alpha8:
        return 8;
    case QImage::Format_Grayscale16:
    case QImage::Format_RGB16:
    case QImage::Format_RGB555:
    case QImage::Format_RGB444:
    case QImage::Format_ARGB4444_Premultiplied:
        return 16;
    case QImage::Format_RGB32:
    case QImage::Format_RGB888:
    case QImage::Format_BGR888:
    case QImage::Format_RGB666:
        return 24;
    case QImage::Format_RGBX64:
    case QImage::Format_RGB30:
    case QImage::Format_BGR30:
        return 48;
    case QImage::Format_RGBA64:
    case QImage::Format_RGBA64_Premultiplied:
    case QImage::Format_RGBX16FPx4:
    case QImage::Format_RGBA16FPx4:
    case QImage::Format_RGBA16FPx4_Premultiplied:
    case QImage::Format_RGBX32FPx4:
    case QImage::Format_RGBA32FPx4:
    case QImage::Format_RGBA32FPx4_Premultiplied:
        return 64;
    default:
        return 32;
    }
}

std::optional<SourceImage> DecodeSourceImage(const QByteArray& fileBytes, QString* error) {
    try {
        QImageReader::setAllocationLimit(kImageAllocationLimitMb);
        QByteArray bytes = fileBytes;  // shares the data; QBuffer needs a non-const array
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        reader.setAutoTransform(false);  // the pixels as stored; the EXIF orientation is kept as an item
        QImage decoded = reader.read();
        if (decoded.isNull() || decoded.format() == QImage::Format_Invalid) {
            if (error)
                *error = reader.errorString();
            return std::nullopt;
        }

        SourceImage out;
        out.fileFormat = decoded.format();
        out.bitsPerPixel = BitsPerPixelOf(decoded);
        out.image = decoded.convertToFormat(QImage::Format_BGR888);
        if (out.image.isNull()) {
            if (error)
                *error = QStringLiteral("Out of memory");
            return std::nullopt;
        }
        const MemoryByteSource source(
            std::span(reinterpret_cast<const uint8_t*>(fileBytes.constData()), size_t(fileBytes.size())));
        const ImageResolution dpi = ReadImageResolution(source);
        out.dpiX = dpi.dpiX;
        out.dpiY = dpi.dpiY;
        out.properties = ReadPropertyItems(fileBytes);
        return out;
    } catch (const std::bad_alloc&) {
        if (error)
            *error = QStringLiteral("Out of memory");
        return std::nullopt;
    }
}

std::optional<SourceImage> LoadSourceImage(const QString& path, QString* error) {
    QByteArray bytes;
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            if (error)
                *error = file.errorString();
            return std::nullopt;
        }
        try {
            bytes = file.readAll();
        } catch (const std::bad_alloc&) {
            if (error)
                *error = QStringLiteral("Out of memory");
            return std::nullopt;
        }
        if (file.error() != QFileDevice::NoError) {
            if (error)
                *error = file.errorString();
            return std::nullopt;
        }
    }  // closed here: the image never keeps its file open
    return DecodeSourceImage(bytes, error);
}

}  // namespace orm
