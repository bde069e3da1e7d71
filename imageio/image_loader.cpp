#include "imageio/image_loader.h"

#include "imageio/bmp_header.h"
#include "imageio/claimed_size_check.h"
#include "imageio/codec_messages.h"
#include "imageio/damage_check.h"
#include "imageio/file_metadata.h"
#include "imageio/file_reader.h"
#include "imageio/gif_data_check.h"
#include "imageio/heif_reader.h"
#include "imageio/jpeg_bgr_decoder.h"
#include "imageio/memory_needs.h"
#include "imageio/png_transparency_key.h"
#include "imageio/tiff_samples.h"
#include "imageio/transparency.h"
#include "imageio/upright_image.h"
#include "metadata/byte_source.h"
#include "metadata/image_depth.h"

#include <QBuffer>
#include <QImageReader>

#include <new>
#include <span>

namespace orm {

namespace {

// A reader over the bytes (which the caller keeps alive), the pixels as stored: the orientation
// stays an EXIF item.
class BufferReader {
  public:
    explicit BufferReader(const QByteArray& fileBytes) : bytes_(fileBytes), buffer_(&bytes_) {
        RouteCodecMessages();
        QImageReader::setAllocationLimit(kImageAllocationLimitMb);
        buffer_.open(QIODevice::ReadOnly);
        reader_.setDevice(&buffer_);
        reader_.setAutoTransform(false);
    }
    QImageReader& operator*() { return reader_; }
    QImageReader* operator->() { return &reader_; }

  private:
    QByteArray bytes_;  // shares the caller's data; QBuffer wants a non-const array
    QBuffer buffer_;
    QImageReader reader_;
};

}  // namespace

int BitsPerPixelOf(const QImage& decoded) {
    return BitsPerPixelOf(decoded.format(), decoded.colorCount());
}

int BitsPerPixelOf(QImage::Format format, int colorCount) {
    switch (format) {
        case QImage::Format_Mono:
        case QImage::Format_MonoLSB:
            return 1;
        case QImage::Format_Indexed8:
            return colorCount <= 2 ? 1 : colorCount <= 16 ? 4 : 8;
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

bool TwentyFourBitsHold(QImage::Format format) {
    return format == QImage::Format_RGB32 || format == QImage::Format_RGB888 ||
           format == QImage::Format_BGR888;
}

bool IsTruncatedBmp(const QByteArray& fileBytes) {
    const auto* b = reinterpret_cast<const uint8_t*>(fileBytes.constData());
    const qsizetype size = fileBytes.size();
    if (size < 26 || b[0] != 'B' || b[1] != 'M')
        return false;
    auto le16 = [&](int at) { return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8; };
    auto le32 = [&](int at) { return le16(at) | le16(at + 2) << 16; };
    const uint32_t pixelsAt = le32(10);
    const uint32_t headerSize = le32(14);
    int64_t width = 0, height = 0;
    uint32_t bits = 0, compression = 0;
    if (headerSize == 12) {  // OS/2 1.x
        width = le16(18);
        height = le16(20);
        bits = le16(24);
    } else if (headerSize >= 40 && size >= 34) {
        width = int32_t(le32(18));
        height = int32_t(le32(22));
        bits = le16(28);
        compression = le32(30);
    } else {
        return false;
    }
    if (compression != 0 && compression != 3)  // run-length and embedded streams have no fixed size
        return false;
    if (width <= 0 || bits == 0)
        return false;
    const int64_t rowBytes = (width * bits + 31) / 32 * 4;
    const int64_t need = int64_t(pixelsAt) + rowBytes * (height < 0 ? -height : height);
    return size < need;
}

namespace {

// A PNG chunk ahead of the pixels that claims more than the file holds: refused before libpng
// allocates what it claims.
constexpr char kChunkPastEnd[] = "The file is damaged: a chunk runs past the end of the file";

}  // namespace

std::optional<ImageHeader> ReadImageHeader(const QByteArray& fileBytes, QString* error) {
    if (HasPngChunkPastEnd(fileBytes)) {
        if (error)
            *error = QString::fromLatin1(kChunkPastEnd);
        return std::nullopt;
    }
    if (IsHeifFile(fileBytes)) {
        const std::optional<HeifInfo> heif = ReadHeifInfo(fileBytes, error);
        if (!heif)
            return std::nullopt;
        return ImageHeader{heif->size, heif->format, QByteArrayLiteral("heif")};
    }
    BufferReader reader(WithWidenedBmpHeader(fileBytes).value_or(fileBytes));
    ImageHeader header;
    header.type = reader->format();
    if (header.type.isEmpty()) {
        if (error)
            *error = reader->errorString();
        return std::nullopt;
    }
    header.size = UprightSize(reader->size(), FileOrientation(fileBytes));
    header.format = reader->imageFormat();
    return header;
}

std::optional<DecodedImage> DecodeImageBytes(const QByteArray& fileBytes, QString* error) {
    auto fail = [&](const QString& reason) -> std::optional<DecodedImage> {
        if (error)
            *error = reason;
        return std::nullopt;
    };
    if (IsTruncatedBmp(fileBytes))
        return fail(QStringLiteral("The file is truncated"));
    if (HasPngChunkPastEnd(fileBytes))
        return fail(QString::fromLatin1(kChunkPastEnd));
    if (GifLacksImageData(fileBytes))
        return fail(QStringLiteral("The file holds no image data"));
    if (const std::optional<QString> implausible = ImplausibleSizeReason(fileBytes))
        return fail(*implausible);
    if (IsHeifFile(fileBytes)) {
        DecodedImage out;
        HeifInfo info;
        out.image = DecodeHeifImage(fileBytes, error, &info);
        if (out.image.isNull())
            return std::nullopt;
        out.bitsPerPixel = info.bitsPerPixel;
        return out;
    }
    // A 16-bit PNG's transparent key is applied here, not by Qt's reader (png_transparency_key.h).
    const std::optional<PngSixteenBitKey> key = FindPngSixteenBitKey(fileBytes);
    BufferReader reader(key ? WithoutKeyChunk(fileBytes, *key)
                            : WithWidenedBmpHeader(fileBytes).value_or(fileBytes));
    // A top-down BMP states a negative height; the decoded image has the positive one.
    const QSize size = reader->size();
    if (size.width() > 0 && size.height() != 0 &&
        !FitsInAvailableMemory(
            EstimatedDecodeBytes(size.width(), size.height(), reader->imageFormat())))
        return fail(NotEnoughMemoryToOpenText(size.width(), size.height()));
    DecodedImage out;
    out.image = PrefersOwnTiffReader(fileBytes) ? DecodeTiffSamples(fileBytes) : reader->read();
    // Samples Qt's TIFF reader does not take (floating point, 32-bit integers, grey with alpha).
    if (out.image.isNull() && reader->format() == "tiff") {
        QString reason;
        out.image = DecodeTiffSamples(fileBytes, &reason);
        if (out.image.isNull())
            return fail(reason);
    }
    if (out.image.isNull() || out.image.format() == QImage::Format_Invalid)
        return fail(reader->errorString());
    if (const std::optional<BmpFieldWidths> fields = SixteenBitBmpFields(fileBytes))
        SpreadBmpFields(out.image, *fields);
    if (key) {
        out.image = ApplyPngKey(out.image, *key);
        if (out.image.isNull())
            return fail(QStringLiteral("Not enough memory"));
    }
    // The depth the file stores (Qt hands a 4-bit palette TIFF or an RGB565 bitmap out as 32-bit
    // pixels, and GIF frames too); the decoded format's for files whose header is not read here.
    const MemoryByteSource source(std::span(reinterpret_cast<const uint8_t*>(fileBytes.constData()),
                                            size_t(fileBytes.size())));
    out.bitsPerPixel = ReadStoredBitsPerPixel(source).value_or(BitsPerPixelOf(out.image));
    return out;
}

namespace {

// Decodes with Qt's readers and converts to 24-bit BGR, in place where Qt can (32- and 64-bit
// colour): one copy of the pixels, not two.
bool DecodeWithQt(const QByteArray& fileBytes, SourceImage& out, QString* error) {
    std::optional<DecodedImage> decoded = DecodeImageBytes(fileBytes, error);
    if (!decoded)
        return false;
    out.fileFormat = decoded->image.format();
    out.bitsPerPixel = decoded->bitsPerPixel;
    // The decoded image stays beside the 24-bit one when those do not hold its pixels exactly
    // (the conversion below then makes a new buffer instead of converting in place).
    if (!TwentyFourBitsHold(out.fileFormat))
        out.original = decoded->image;
    out.transparent = HasTransparency(decoded->image);
    if (out.transparent)
        decoded->image = CompositeOnWhite(decoded->image);
    else
        decoded->image.convertTo(QImage::Format_BGR888);
    out.image = std::move(decoded->image);
    if (out.image.isNull() || out.image.format() != QImage::Format_BGR888) {
        if (error)
            *error = QStringLiteral("Not enough memory");
        return false;
    }
    return true;
}

}  // namespace

std::optional<SourceImage> DecodeSourceImage(const QByteArray& fileBytes, QString* error,
                                             const DecodeLimit& limit) {
    try {
        // A claim the bytes cannot hold is refused before the JPEG decoder allocates its pixels
        // (the other formats are checked on their way through DecodeImageBytes).
        const std::optional<QString> implausible =
            fileBytes.startsWith("\xFF\xD8") ? ImplausibleSizeReason(fileBytes) : std::nullopt;
        if (implausible) {
            if (error)
                *error = *implausible;
            return std::nullopt;
        }
        SourceImage out;
        JpegBgrImage jpeg;
        const int orientation = FileOrientation(fileBytes);
        const DecodeLimit stored = StoredDecodeLimit(limit, orientation);
        switch (DecodeJpegToBgr(fileBytes, jpeg, error, QSize(stored.minWidth, stored.minHeight),
                                stored.cover)) {
            case JpegDecodeOutcome::Refused:
                return std::nullopt;
            case JpegDecodeOutcome::Decoded:
                out.fileSize = jpeg.fileSize;
                out.image = std::move(jpeg.image);
                out.fileFormat = jpeg.fileFormat;
                out.bitsPerPixel = BitsPerPixelOf(jpeg.fileFormat, 0);
                if (jpeg.endedEarly)
                    out.damage = kMissingPartGrey;
                break;
            case JpegDecodeOutcome::NotHandled:
                if (!DecodeWithQt(fileBytes, out, error))
                    return std::nullopt;
                out.fileSize = out.image.size();
                break;
        }
        const MemoryByteSource source(std::span(
            reinterpret_cast<const uint8_t*>(fileBytes.constData()), size_t(fileBytes.size())));
        out.bitsPerPixel = ReadStoredBitsPerPixel(source).value_or(out.bitsPerPixel);
        const ImageResolution dpi = ReadFileResolution(fileBytes);
        out.dpiX = dpi.dpiX;
        out.dpiY = dpi.dpiY;
        out.properties = ReadFileProperties(fileBytes);
        if (out.damage.isEmpty())
            out.damage = DamageDescription(fileBytes);
        if (!TurnSourceUpright(out, orientation)) {
            if (error)
                *error = QStringLiteral("Not enough memory");
            return std::nullopt;
        }
        return out;
    } catch (const std::bad_alloc&) {
        if (error)
            *error = QStringLiteral("Not enough memory");
        return std::nullopt;
    }
}

std::optional<SourceImage> LoadSourceImage(const QString& path, QString* error,
                                           const DecodeLimit& limit) {
    QByteArray bytes;
    if (!ReadWholeFile(path, bytes, error))
        return std::nullopt;  // the file is closed: the image never keeps its file open
    return DecodeSourceImage(bytes, error, limit);
}

}  // namespace orm
