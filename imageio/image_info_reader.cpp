#include "imageio/image_info_reader.h"

#include "imageio/image_loader.h"
#include "metadata/exif_properties.h"

#include <QFile>

namespace orm {

std::optional<ImageInfo> ReadImageInfo(const QString& path, QString* error) {
    QByteArray bytes;
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            if (error)
                *error = file.errorString();
            return std::nullopt;
        }
        bytes = file.readAll();
    }
    const std::optional<DecodedImage> decoded = DecodeImageBytes(bytes, error);
    if (!decoded)
        return std::nullopt;
    ImageInfo info;
    info.path = path;
    info.width = decoded->image.width();
    info.height = decoded->image.height();
    info.bitsPerPixel = decoded->bitsPerPixel;
    info.properties = BuildPropertyList(ReadPropertyItems(bytes));
    return info;
}

}  // namespace orm
