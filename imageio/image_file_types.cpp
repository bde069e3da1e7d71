#include "imageio/image_file_types.h"

#include <QFileInfo>
#include <QImageWriter>

#include <vector>

namespace orm {

namespace {

struct KnownEncoder {
    const char* mimeType;
    const char* qtFormat;  // nullptr: written with giflib
};

// The encoders the program knows, in a fixed order.
constexpr KnownEncoder kEncoders[] = {
    {"image/bmp", "bmp"},   {"image/jpeg", "jpeg"}, {"image/gif", nullptr},
    {"image/tiff", "tiff"}, {"image/png", "png"},
};

}  // namespace

QString PathExtension(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot);
}

bool IsSupportedImage(const QString& path) {
    const QString ext = PathExtension(path).toLower();
    return ext.size() >= 4 && QStringLiteral(".tif;.gif;.bmp;.jpg;.png").contains(ext);
}

bool IsNavigableImage(const QString& fileName) {
    const QString ext = PathExtension(fileName);
    for (const char* e : {".jpg", ".tif", ".bmp", ".png"})
        if (ext.compare(QLatin1String(e), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QString MimeTypeForOutputPath(const QString& path) {
    const QString ext = PathExtension(path).toUpper();
    if (ext == QLatin1String(".JPG"))
        return QStringLiteral("image/jpeg");
    if (ext == QLatin1String(".BMP"))
        return QStringLiteral("image/bmp");
    if (ext == QLatin1String(".GIF"))
        return QStringLiteral("image/gif");
    if (ext == QLatin1String(".TIF"))
        return QStringLiteral("image/tiff");
    if (ext == QLatin1String(".PNG"))
        return QStringLiteral("image/png");
    return {};
}

ImageEncoder FindEncoderForMime(const QString& mimeType) {
    const QList<QByteArray> installed = QImageWriter::supportedImageFormats();
    int index = 0;
    for (const KnownEncoder& e : kEncoders) {
        const bool available = !e.qtFormat || installed.contains(QByteArray(e.qtFormat));
        if (!available)
            continue;
        if (mimeType == QLatin1String(e.mimeType))
            return ImageEncoder{index, mimeType, e.qtFormat ? QByteArray(e.qtFormat) : QByteArray()};
        ++index;
    }
    return {};
}

}  // namespace orm
