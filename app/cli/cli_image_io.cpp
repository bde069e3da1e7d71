#include "cli/cli_image_io.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>

#include <cstring>
#include <new>

namespace orm::cli {

std::optional<engine::BgrImage> LoadBgrImage(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return std::nullopt;
    }
    QByteArray bytes = file.readAll();
    file.close();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader::setAllocationLimit(0);
    QImageReader reader(&buffer);
    QImage image = reader.read();
    if (image.isNull()) {
        *error = "can't read the image: " + reader.errorString();
        return std::nullopt;
    }
    engine::BgrImage bgr = BgrFromQImage(image);
    if (bgr.IsNull()) {
        *error = "not enough memory for this image";
        return std::nullopt;
    }
    return bgr;
}

engine::BgrImage BgrFromQImage(const QImage& image) {
    try {
        // Transparent pixels are laid on white before the alpha is dropped.
        QImage flat = image;
        if (image.hasAlphaChannel()) {
            flat = QImage(image.size(), QImage::Format_RGB32);
            flat.fill(Qt::white);
            QPainter painter(&flat);
            painter.drawImage(0, 0, image);
        }
        const QImage converted = flat.convertToFormat(QImage::Format_BGR888);
        if (converted.isNull())
            return {};
        engine::BgrImage bgr(converted.width(), converted.height());
        for (int y = 0; y < converted.height(); ++y)
            std::memcpy(bgr.Row(y), converted.constScanLine(y), std::size_t(bgr.Width()) * 3);
        return bgr;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

QImage QImageFromBgr(const engine::BgrImage& image) {
    QImage q(image.Width(), image.Height(), QImage::Format_BGR888);
    if (q.isNull())
        return q;
    for (int y = 0; y < image.Height(); ++y)
        std::memcpy(q.scanLine(y), image.Row(y), std::size_t(image.Width()) * 3);
    return q;
}

bool SaveBgrImage(const engine::BgrImage& image, const QString& path, QString* error) {
    const QImage q = QImageFromBgr(image);
    if (q.isNull()) {
        *error = "not enough memory to write the image";
        return false;
    }
    const QByteArray format = QFileInfo(path).suffix().toLower().toLatin1();
    if (!QImageWriter::supportedImageFormats().contains(format)) {
        *error = "unknown image format '" + QString::fromLatin1(format) + "'";
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    QImageWriter writer(&file, format);
    if (!writer.write(q)) {
        *error = writer.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

}  // namespace orm::cli
