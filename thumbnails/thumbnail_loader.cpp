#include "thumbnails/thumbnail_loader.h"

#include "engine/memory_budget.h"
#include "engine/pixel_view.h"
#include "engine/standard_modes.h"
#include "imageio/claimed_size_check.h"
#include "imageio/colour_profile.h"
#include "imageio/file_look.h"
#include "imageio/file_reader.h"
#include "imageio/heif_reader.h"
#include "imageio/image_file_types.h"
#include "imageio/image_loader.h"
#include "imageio/memory_needs.h"
#include "imageio/native_path.h"
#include "imageio/transparency.h"
#include "imageio/upright_image.h"
#include "metadata/byte_source.h"
#include "metadata/embedded_thumbnail.h"
#include "metadata/exif_orientation.h"
#include "metadata/image_depth.h"
#include "thumbnails/jpeg_eighth_decoder.h"
#include "thumbnails/shared_thumbnails.h"
#include "thumbnails/thumbnail_codec.h"

#include <QBuffer>
#include <QImageReader>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <mutex>

namespace orm {

namespace {

// Images this wide (by their metadata) are never decoded for a thumbnail.
constexpr int kMaxDecodedWidth = 12001;

// The EXIF segment of a JPEG lies near its start (an APP1 segment is at most 64 KiB); reading
// this much at once serves almost every camera file with one read.
constexpr qint64 kJpegPrefixBytes = 192 * 1024;

std::span<const uint8_t> Span(const QByteArray& b) {
    return {reinterpret_cast<const uint8_t*>(b.constData()), size_t(b.size())};
}

// The containers that may carry an embedded thumbnail, told by the file's first bytes (whatever
// its name says).
enum class Container { Jpeg, Tiff, Heif, Other };

Container ContainerOf(const QByteArray& head) {
    const auto* b = reinterpret_cast<const uint8_t*>(head.constData());
    if (head.size() >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF)
        return Container::Jpeg;
    if (head.startsWith(QByteArrayLiteral("II*\0")) || head.startsWith(QByteArrayLiteral("MM\0*")))
        return Container::Tiff;
    return IsHeifFile(head) ? Container::Heif : Container::Other;
}

// The first `maxBytes` bytes of a regular file (opened without blocking, so a pipe under an image
// name cannot hang the builder); empty when it is not a regular file or cannot be read.
QByteArray ReadFilePrefix(const QString& path, qint64 maxBytes) {
    const int fd =
        ::open(NativePath(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return {};
    QByteArray bytes;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        bytes.resize(qsizetype(std::min<qint64>(maxBytes, st.st_size)));
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + done, size_t(bytes.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += n;
        }
        bytes.truncate(done);
    }
    ::close(fd);
    return bytes;
}

// A bottom-up 24-bit DIB (header and rows) as a top-down Format_BGR888 picture.
QImage PictureFromDib(const EmbeddedThumbnail& thumb) {
    const int w = int(thumb.width), h = int(thumb.height);
    const size_t stride = DibStride(thumb.width);
    if (w <= 0 || h <= 0 || thumb.dib.size() < kDibHeaderSize + stride * size_t(h))
        return {};
    QImage picture(w, h, QImage::Format_BGR888);
    if (picture.isNull())
        return {};
    for (int y = 0; y < h; ++y)
        std::memcpy(picture.scanLine(y),
                    thumb.dib.data() + kDibHeaderSize + size_t(h - 1 - y) * stride, size_t(w) * 3);
    picture.setDotsPerMeterX(kThumbDotsPerMeter);
    picture.setDotsPerMeterY(kThumbDotsPerMeter);
    return picture;
}

// The embedded thumbnail of a JPEG or TIFF file, fitted into the box, with the image's full size
// as its tags give it (both as stored), and the file's EXIF Orientation. `prefix`: the file's
// first bytes.
EmbeddedThumbnail ReadEmbedded(const QString& path, const QByteArray& prefix, int64_t fileSize,
                               int& orientation) {
    const std::filesystem::path fsPath(NativePath(path).toStdString());
    // A picture that is turned a quarter afterwards is fitted into the turned box.
    auto box = [&] {
        const QSize b(kThumbBoxWidth, kThumbBoxHeight);
        return OrientationSwapsAxes(orientation) ? b.transposed() : b;
    };
    const Container container = ContainerOf(prefix);
    if (container == Container::Jpeg) {
        const MemoryByteSource first(Span(prefix));
        orientation = ReadExifOrientation(first);  // the EXIF segment lies near the start
        EmbeddedThumbnail found = ReadJpegExifThumbnail(first, box().width(), box().height());
        if (found.HasPicture() || fileSize <= prefix.size())
            return found;
        FileByteSource whole(fsPath);  // the thumbnail lies beyond the first bytes
        return whole.IsOpen() ? ReadJpegExifThumbnail(whole, box().width(), box().height()) : found;
    }
    if (container == Container::Tiff) {
        FileByteSource whole(fsPath);
        if (whole.IsOpen()) {
            orientation = ReadExifOrientation(whole);
            return ReadTiffThumbnail(whole, box().width(), box().height());
        }
    }
    return {};
}

// The decoded image as opaque blue-green-red bytes; transparent pixels are laid over white, as
// the preview shows them.
QImage ToOpaqueBgr(const QImage& image) {
    if (!image.hasAlphaChannel())
        return image.convertToFormat(QImage::Format_BGR888);
    return CompositeOnWhite(image);
}

// Fills a picture of the target size by nearest neighbour: source row = row x sh / th, source
// column = column x sw / tw.
QImage NearestNeighbour(const QImage& source, QSize target) {
    QImage out(target, QImage::Format_BGR888);
    if (out.isNull())
        return {};
    const int64_t sw = source.width(), sh = source.height();
    for (int y = 0; y < target.height(); ++y) {
        const uint8_t* in = source.constScanLine(int(y * sh / target.height()));
        uint8_t* o = out.scanLine(y);
        for (int x = 0; x < target.width(); ++x)
            std::memcpy(o + 3 * x, in + 3 * (x * sw / target.width()), 3);
    }
    return out;
}

// The decoded image reduced (or enlarged) to the thumbnail size with the high-quality bilinear
// mode; nearest neighbour when that cannot be done.
QImage ScaleToThumbnail(const QImage& bgr, QSize target) {
    QImage out(target, QImage::Format_BGR888);
    if (out.isNull())
        return {};
    try {
        const engine::ConstBgrView src(bgr.constBits(), bgr.width(), bgr.height(),
                                       bgr.bytesPerLine());
        const engine::BgrView dst{out.bits(), out.width(), out.height(), out.bytesPerLine()};
        engine::DrawStandardMode(src, dst, engine::StandardMode::HighQualityBilinear);
        return out;
    } catch (const std::bad_alloc&) {
        return NearestNeighbour(bgr, target);
    }
}

// The thumbnail a HEIF file carries (upright, as libheif decodes it) and the primary image's size;
// a null picture when it has none.
QImage ReadHeifEmbedded(const QString& path, CPaletteItemImg& item) {
    QByteArray bytes;
    if (!ReadWholeFile(path, bytes) || !IsHeifFile(bytes))
        return {};
    QSize full;
    const QImage thumbnail = DecodeHeifThumbnail(bytes, &full);
    if (full.width() > 0 && full.height() > 0) {
        item.imageWidth = full.width();
        item.imageHeight = full.height();
    }
    return thumbnail.isNull() ? QImage() : ToOpaqueBgr(thumbnail);
}

struct FullDecode {
    QImage bgr;
    QSize fullSize;
    int bitsPerPixel = 0;
};

// The size the thumbnail of a stored-size JPEG is decoded for (in the stored orientation): the fit
// of the size the item knows (the upright one, turned back), else of the stored size.
QSize StoredThumbnailSize(QSize stored, const CPaletteItemImg& item, int orientation) {
    const QSize known = UprightSize(QSize(item.imageWidth, item.imageHeight), orientation);
    const QSize basis = known.isEmpty() ? stored : known;
    return FitThumbnail(kThumbBoxWidth, kThumbBoxHeight, basis.width(), basis.height());
}

// A JPEG decoded at 1/8 from its DC coefficients (jpeg_eighth_decoder.h) when 1/8 keeps at least
// the thumbnail size in both directions. Decoded and Failed rewrite the scan's bytes.
EighthDecode DecodeJpegAtEighth(QByteArray& bytes, const CPaletteItemImg& item, int orientation,
                                FullDecode& out) {
    const std::span<uint8_t> file(reinterpret_cast<uint8_t*>(bytes.data()), size_t(bytes.size()));
    EighthImage eighth;
    const EighthDecode result = DecodeJpegEighth(file, eighth, [&](int w, int h) {
        const QSize thumb = StoredThumbnailSize(QSize(w, h), item, orientation);
        return w / 8 >= thumb.width() && h / 8 >= thumb.height() &&
               FitsInAvailableMemory(
                   2 * EstimatedDecodeBytes((w + 7) / 8, (h + 7) / 8, QImage::Format_BGR888));
    });
    if (result != EighthDecode::Decoded)
        return result;
    QImage picture(eighth.width, eighth.height, QImage::Format_BGR888);
    if (picture.isNull())
        return EighthDecode::Failed;
    for (int y = 0; y < eighth.height; ++y)
        std::memcpy(picture.scanLine(y), eighth.bgr.data() + size_t(y) * size_t(eighth.width) * 3,
                    size_t(eighth.width) * 3);
    out.fullSize = UprightSize(QSize(eighth.fileWidth, eighth.fileHeight), orientation);
    // As Qt's reader decodes them: grey to 8-bit grey, colour to 32-bit RGB.
    const QImage::Format readerFormat =
        eighth.grey ? QImage::Format_Grayscale8 : QImage::Format_RGB32;
    out.bitsPerPixel = ThumbnailBitsPerPixel(QImage(1, 1, readerFormat), "jpeg", bytes);
    out.bgr = UprightImage(picture, orientation);
    return out.bgr.isNull() ? EighthDecode::Failed : EighthDecode::Decoded;
}

// Decodes the whole file from memory; a JPEG is scaled while decoding when that keeps at least
// the thumbnail size in both directions (the rule of the batch's fast decoding), at 1/8 through
// the DC decoder when `fast` allows it. `rewritten`: the DC decoder gave up on a damaged scan
// after rewriting its bytes (the file must be read again for the ordinary decode).
std::optional<FullDecode> DecodeFull(QByteArray& bytes, const CPaletteItemImg& item, bool fast,
                                     bool& rewritten) {
    rewritten = false;
    if (IsTruncatedBmp(bytes) || ImplausibleSizeReason(bytes))
        return std::nullopt;
    FullDecode out;
    if (IsHeifFile(bytes)) {
        const QImage decoded = DecodeHeifImage(bytes);
        if (decoded.isNull())
            return std::nullopt;
        out.fullSize = decoded.size();
        out.bitsPerPixel = ThumbnailBitsPerPixel(decoded, "heif", bytes);
        out.bgr = ToOpaqueBgr(decoded);
        if (out.bgr.isNull())
            return std::nullopt;
        return out;
    }
    // The pixels as stored, turned upright once they are small.
    const int orientation = FileOrientation(bytes);
    if (fast && ContainerOf(bytes) == Container::Jpeg) {
        const EighthDecode eighth = DecodeJpegAtEighth(bytes, item, orientation, out);
        if (eighth == EighthDecode::Decoded)
            return out;
        if (eighth == EighthDecode::Failed) {
            rewritten = true;
            return std::nullopt;
        }
    }
    static std::once_flag limitRaised;  // a process-wide setting of Qt; set once, not per thread
    std::call_once(limitRaised, [] { QImageReader::setAllocationLimit(kImageAllocationLimitMb); });
    QByteArray shared = bytes;
    QBuffer buffer(&shared);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(false);
    const QByteArray format = reader.format();
    out.fullSize = reader.size();
    QSize decodeSize = out.fullSize;
    if (format == "jpeg" && out.fullSize.isValid()) {
        // The item knows the upright size; the decoder works on the stored one.
        const QSize thumb = StoredThumbnailSize(out.fullSize, item, orientation);
        const QSize scaled = ScaledJpegDecodeSize(out.fullSize, thumb);
        if (scaled.isValid()) {
            reader.setScaledSize(scaled);
            decodeSize = scaled;
        }
    }
    // Refused before decoding when it cannot fit in memory, with room for a second decode of
    // another builder thread at the same time.
    if (decodeSize.isValid() &&
        !FitsInAvailableMemory(2 * EstimatedDecodeBytes(decodeSize.width(), decodeSize.height(),
                                                        reader.imageFormat())))
        return std::nullopt;
    const QImage decoded = reader.read();
    if (decoded.isNull())
        return std::nullopt;
    if (!out.fullSize.isValid())
        out.fullSize = decoded.size();
    out.fullSize = UprightSize(out.fullSize, orientation);
    out.bitsPerPixel = ThumbnailBitsPerPixel(decoded, format, bytes);
    out.bgr = UprightImage(ToOpaqueBgr(decoded), orientation);
    if (out.bgr.isNull())
        return std::nullopt;
    return out;
}

// A thumbnail that a file manager made already (shared_thumbnails.h), used without reading the
// image: final when it holds at least the pixels of the thumbnail it stands for (or the whole
// image), otherwise preliminary like an embedded one.
bool UseSharedThumbnail(CPaletteItemImg& item, const QString& path, const FileLook& before) {
    const QSize box(kThumbBoxWidth, kThumbBoxHeight);
    const std::optional<SharedThumbnail> shared = ReadSharedThumbnail(
        AbsolutePath(path), before.size, before.ModifiedSeconds(), SharedThumbnailFolder(), box);
    if (!shared)
        return false;
    const QImage picture = ToOpaqueBgr(shared->picture);
    if (picture.isNull())
        return false;
    // Without the image's size (the thumbnail need not say it) the thumbnail is shown until
    // the image has been decoded.
    QSize image = shared->imageSize;
    const bool sizeKnown = image.isValid();
    if (!sizeKnown)
        image = picture.size();
    const QSize thumb = FitThumbnail(box.width(), box.height(), image.width(), image.height());
    item.imageWidth = image.width();
    item.imageHeight = image.height();
    item.thumbWidth = thumb.width();
    item.thumbHeight = thumb.height();
    item.picture = picture.size() == thumb ? picture : ScaleToThumbnail(picture, thumb);
    if (item.picture.isNull())
        return false;
    item.picture.setDotsPerMeterX(kThumbDotsPerMeter);
    item.picture.setDotsPerMeterY(kThumbDotsPerMeter);
    if (item.bitsPerPixel == 0)
        item.bitsPerPixel = 24;
    const bool enough = picture.width() >= thumb.width() || picture.height() >= thumb.height() ||
                        picture.size() == image;
    item.isFinal = sizeKnown && enough ? 1 : 0;
    Compress(item);
    return true;
}

// What loading one thumbnail came to: done (true or false) or, for the embedded step, not
// decided yet (the full image decides).
enum class Step { Failed, Done, FullImageNeeded };

// The embedded thumbnail (JPEG or TIFF EXIF, HEIF), made preliminary; records the image's size
// that the metadata tells on the way.
Step LoadEmbedded(CPaletteItemImg& item, const QString& path, const FileLook& before) {
    int orientation = kOrientationUpright;
    const QByteArray prefix = ReadFilePrefix(path, kJpegPrefixBytes);
    const EmbeddedThumbnail embedded = ReadEmbedded(path, prefix, before.size, orientation);
    // The sizes and the picture as the upright image has them.
    const bool swap = OrientationSwapsAxes(orientation);
    if (embedded.fullWidth)
        (swap ? item.imageHeight : item.imageWidth) =
            int32_t(std::min<uint32_t>(*embedded.fullWidth, INT32_MAX));
    if (embedded.fullHeight)
        (swap ? item.imageWidth : item.imageHeight) =
            int32_t(std::min<uint32_t>(*embedded.fullHeight, INT32_MAX));
    QImage picture;
    if (embedded.HasPicture()) {
        picture = UprightImage(PictureFromDib(embedded), orientation);
        if (picture.isNull())
            return Step::Failed;
    } else if (ContainerOf(prefix) == Container::Heif) {
        picture = ReadHeifEmbedded(path, item);
    }
    if (picture.isNull())
        return Step::FullImageNeeded;
    if (!(LookAt(path) == before))
        return Step::Failed;
    const QSize thumb =
        FitThumbnail(kThumbBoxWidth, kThumbBoxHeight, picture.width(), picture.height());
    item.thumbWidth = thumb.width();
    item.thumbHeight = thumb.height();
    item.picture = thumb == picture.size() ? picture : ScaleToThumbnail(picture, thumb);
    if (item.picture.isNull())
        return Step::Failed;
    if (item.bitsPerPixel == 0)
        item.bitsPerPixel = 24;
    item.isFinal = 0;
    Compress(item);
    return Step::Done;
}

// The thumbnail from the whole image, made final.
bool LoadFromFullImage(CPaletteItemImg& item, const QString& path, const FileLook& before) {
    if (item.imageWidth >= kMaxDecodedWidth)
        return false;
    QByteArray bytes;
    if (!ReadWholeFile(path, bytes))
        return false;
    // A file that changed while it was read is still being written: no thumbnail from it.
    if (!(LookAt(path) == before) || bytes.size() != before.size)
        return false;
    // Read before the DC decoder rewrites the scan (the profile lies in the headers before it).
    const QByteArray profile = FileColourProfile(bytes);
    bool rewritten = false;
    std::optional<FullDecode> decoded = DecodeFull(bytes, item, true, rewritten);
    if (rewritten) {
        // A damaged scan: the ordinary decode, which shows what can be shown, on a fresh copy.
        if (!ReadWholeFile(path, bytes) || !(LookAt(path) == before) || bytes.size() != before.size)
            return false;
        decoded = DecodeFull(bytes, item, false, rewritten);
    }
    bytes.clear();
    if (!decoded)
        return false;
    item.bitsPerPixel = decoded->bitsPerPixel;
    if (item.imageWidth == 0) {
        item.imageWidth = decoded->fullSize.width();
        item.imageHeight = decoded->fullSize.height();
    }
    const QSize thumb =
        FitThumbnail(kThumbBoxWidth, kThumbBoxHeight, item.imageWidth, item.imageHeight);
    item.thumbWidth = thumb.width();
    item.thumbHeight = thumb.height();
    QImage picture =
        decoded->bgr.size() == thumb ? decoded->bgr : ScaleToThumbnail(decoded->bgr, thumb);
    decoded.reset();
    if (picture.isNull())
        return false;
    ShowThroughProfile(picture, profile);  // as the preview shows the image
    picture.setDotsPerMeterX(kThumbDotsPerMeter);
    picture.setDotsPerMeterY(kThumbDotsPerMeter);
    item.picture = std::move(picture);
    item.isFinal = 1;
    Compress(item);
    return true;
}

bool LoadUnguarded(CPaletteItemImg& item, const QString& path, ThumbnailLoadMode mode) {
    const bool quick = mode == ThumbnailLoadMode::Quick;
    if (quick)
        item.picture = QImage();
    item.jpegData.clear();
    if (!IsSupportedImage(path))
        return false;
    const FileLook before = LookAt(path);
    if (!before.isFile)
        return false;

    if (!(mode == ThumbnailLoadMode::Full && item.isFinal)) {
        item.hasSound = SoundCompanion(path).isEmpty() ? 0 : 1;
        const QSize thumb = item.imageWidth == 0 ? QSize(kThumbBoxWidth, kThumbBoxHeight)
                                                 : FitThumbnail(kThumbBoxWidth, kThumbBoxHeight,
                                                                item.imageWidth, item.imageHeight);
        item.thumbWidth = thumb.width();
        item.thumbHeight = thumb.height();
    }
    if (quick && item.picture.isNull() && UseSharedThumbnail(item, path, before))
        return true;
    if (quick && item.picture.isNull()) {
        const Step step = LoadEmbedded(item, path, before);
        if (step != Step::FullImageNeeded)
            return step == Step::Done;
    }
    return LoadFromFullImage(item, path, before);
}

}  // namespace

QSize FitThumbnail(int boxWidth, int boxHeight, int64_t width, int64_t height) {
    if (width <= 0 || height <= 0)
        return QSize(10, 10);
    int64_t w, h;
    if (height * boxWidth < width * boxHeight) {
        w = boxWidth;
        h = height * boxWidth / width;
    } else {
        w = width * boxHeight / height;
        h = boxHeight;
    }
    return QSize(int(std::max<int64_t>(w, 1)), int(std::max<int64_t>(h, 1)));
}

int ThumbnailBitsPerPixel(const QImage& decoded, const QByteArray& readerFormat,
                          const QByteArray& fileBytes) {
    int bits = BitsPerPixelOf(decoded);
    bool storedByFile = false;
    if (readerFormat == "bmp" || readerFormat == "gif") {
        const MemoryByteSource source(Span(fileBytes));
        if (const std::optional<int> stored = ReadStoredBitsPerPixel(source)) {
            bits = *stored;
            storedByFile = true;
        }
    }
    if (bits > 32)
        return 48;  // 48- and 64-bit colour, with or without alpha
    if (bits == 32)
        return storedByFile && !decoded.hasAlphaChannel() ? 32 : 24;
    return bits;
}

QSize ScaledJpegDecodeSize(QSize fullSize, QSize thumbnail) {
    const int64_t w = fullSize.width(), h = fullSize.height();
    if (w <= 0 || h <= 0)
        return {};
    for (int m = 1; m < 8; ++m) {
        // libjpeg makes ceil(w m / 8) x ceil(h m / 8); asking for the sizes rounded down keeps
        // Qt's reader at m eighths (it takes ceil(8 / f) eighths for f = min(w / sw, h / sh)),
        // and costs at most a one-pixel rescale when a side is no multiple of 8.
        const int64_t sw = w * m / 8, sh = h * m / 8;
        if (sw < int64_t(thumbnail.width()) || sh < int64_t(thumbnail.height()))
            continue;
        const double f = std::min(double(w) / double(sw), double(h) / double(sh));
        if (int(std::ceil(8.0 / f)) != m)
            continue;
        return QSize(int(sw), int(sh));
    }
    return {};
}

bool LoadThumbnail(CPaletteItemImg& item, const QString& path, ThumbnailLoadMode mode) {
    try {
        return LoadUnguarded(item, path, mode);
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace orm
