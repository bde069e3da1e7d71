#include "imageio/image_info_reader.h"

#include "imageio/file_metadata.h"
#include "imageio/file_reader.h"
#include "imageio/image_loader.h"
#include "imageio/upright_image.h"
#include "metadata/byte_source.h"
#include "metadata/image_depth.h"
#include "metadata/image_resolution.h"
#include "metadata/tag_names.h"

#include <vector>

namespace orm {

namespace {

// The depth from the header alone; 0 when only the decoded image can tell (palettes count their
// colours, and some readers name their format only once they have decoded).
int HeaderBitsPerPixel(const ImageHeader& header) {
    if (header.type == "gif")
        return 8;
    switch (header.format) {
        case QImage::Format_Invalid:
        case QImage::Format_Mono:
        case QImage::Format_MonoLSB:
        case QImage::Format_Indexed8:
            return 0;
        default:
            return BitsPerPixelOf(header.format, 0);
    }
}

}  // namespace

std::optional<ImageInfo> ReadImageInfo(const QString& path, QString* error) {
    QByteArray bytes;
    if (!ReadWholeFile(path, bytes, error))
        return std::nullopt;
    if (IsTruncatedBmp(bytes)) {
        if (error)
            *error = QStringLiteral("The file is truncated");
        return std::nullopt;
    }
    const std::optional<ImageHeader> header = ReadImageHeader(bytes, error);
    if (!header)
        return std::nullopt;
    ImageInfo info;
    info.path = path;
    // The depth the file stores, else what the reader's header says.
    const MemoryByteSource source(
        std::span(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())));
    info.bitsPerPixel = ReadStoredBitsPerPixel(source).value_or(HeaderBitsPerPixel(*header));
    if (info.bitsPerPixel != 0 && header->size.width() > 0 && header->size.height() > 0) {
        info.width = header->size.width();
        info.height = header->size.height();
    } else {
        const std::optional<DecodedImage> decoded = DecodeImageBytes(bytes, error);
        if (!decoded)
            return std::nullopt;
        const QSize upright = UprightSize(decoded->image.size(), FileOrientation(bytes));
        info.width = upright.width();
        info.height = upright.height();
        info.bitsPerPixel = decoded->bitsPerPixel;
    }
    info.properties = BuildPropertyList(ReadFileProperties(bytes));
    // The orientation the pixels are turned by: a tag the loader cannot reach (in a truncated
    // directory) turns nothing, and is not reported as a turn.
    const QString upright = FormatTagValue(0x0112, uint32_t(FileOrientation(bytes)));
    for (InfoProperty& p : info.properties)
        if (p.name == QLatin1String("Orientation"))
            p.value = upright;
    std::erase_if(info.properties, [](const InfoProperty& p) { return p.value.isEmpty(); });
    if (ReadFileResolution(bytes).outOfRange)
        info.note = QStringLiteral(
                        "The resolution the file states is outside %1 to %2 dpi; %3 dpi "
                        "is used")
                        .arg(kMinFileDpi)
                        .arg(kMaxFileDpi)
                        .arg(kDefaultDpi);
    return info;
}

}  // namespace orm
