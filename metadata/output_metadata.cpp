#include "metadata/output_metadata.h"

#include "metadata/tiff_reader.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>

namespace orm {

namespace {

constexpr uint16_t kTagImageWidth = 0x0100;
constexpr uint16_t kTagImageLength = 0x0101;
constexpr uint16_t kResolutionUnitInch = 2;
constexpr int kThumbnailQuality = 75;
constexpr uint16_t kCompressionJpeg = 6;

// Tags of the main image's directory that describe how the source file stored its pixels; in
// another file they would be wrong (and in a TIFF they would break it).
bool IsEncodingTag(uint32_t tag) {
    switch (tag) {
    case 0x00FE:  // NewSubfileType
    case 0x00FF:  // SubfileType
    case 0x0102:  // BitsPerSample
    case 0x0103:  // Compression
    case 0x0106:  // PhotometricInterpretation
    case 0x010A:  // FillOrder
    case 0x0111:  // StripOffsets
    case 0x0115:  // SamplesPerPixel
    case 0x0116:  // RowsPerStrip
    case 0x0117:  // StripByteCounts
    case 0x011C:  // PlanarConfiguration
    case 0x013D:  // Predictor
    case 0x0140:  // ColorMap
    case 0x0142:  // TileWidth
    case 0x0143:  // TileLength
    case 0x0144:  // TileOffsets
    case 0x0145:  // TileByteCounts
    case 0x014A:  // SubIFDs
    case 0x0152:  // ExtraSamples
    case 0x0153:  // SampleFormat
    case 0x0201:  // JPEGInterchangeFormat
    case 0x0202:  // JPEGInterchangeFormatLength
        return true;
    default:
        return false;
    }
}

// A size item with the output's value, SHORT when the source used SHORT and it fits.
PropertyItem SizeItem(const PropertyItem& source, int value) {
    const uint32_t v = uint32_t(std::max(value, 0));
    if (source.type == 3 && v <= 0xFFFF)
        return MakeShortItem(source.id, uint16_t(v), source.group);
    return MakeLongItem(source.id, v, source.group);
}

void SetItem(PropertyItems& items, PropertyItem item) {
    for (PropertyItem& existing : items)
        if (existing.id == item.id && existing.group == item.group) {
            existing = std::move(item);
            return;
        }
    items.push_back(std::move(item));
}

}  // namespace

Rational DpiToRational(double dpi) {
    if (!std::isfinite(dpi) || dpi <= 0)
        return {96, 1};
    uint64_t den = std::floor(dpi) == dpi ? 1 : 1000;
    uint64_t num = uint64_t(std::llround(std::min(dpi * double(den), 4294967295.0)));
    if (num == 0)
        num = 1;
    const uint64_t g = std::gcd(num, den);
    return {uint32_t(num / g), uint32_t(den / g)};
}

OutputProperties BuildOutputProperties(const PropertyItems& source, QSize outputSize, double dpi) {
    OutputProperties out;
    const Rational r = DpiToRational(dpi);
    for (const PropertyItem& item : source) {
        if (item.group == ExifGroup::kThumbnail) {
            if (item.id == kPropThumbnailData)
                out.sourceHadThumbnail = true;
            out.items.push_back(item);
            continue;
        }
        const bool mainIfd = item.group == ExifGroup::kImage;
        const bool exifIfd = item.group == ExifGroup::kPhoto;
        if (mainIfd && (item.id == kPropXResolution || item.id == kPropYResolution))
            out.items.push_back(MakeRationalItem(item.id, r.numerator, r.denominator, item.group));
        else if (mainIfd && item.id == kPropResolutionUnit)
            out.items.push_back(MakeShortItem(item.id, kResolutionUnitInch, item.group));
        else if ((mainIfd && item.id == kTagImageWidth) || (exifIfd && item.id == kPropPixelXDimension))
            out.items.push_back(SizeItem(item, outputSize.width()));
        else if ((mainIfd && item.id == kTagImageLength) || (exifIfd && item.id == kPropPixelYDimension))
            out.items.push_back(SizeItem(item, outputSize.height()));
        else if (mainIfd && IsEncodingTag(item.id))
            continue;
        else
            out.items.push_back(item);
    }
    if (!source.empty())
        SetItem(out.items, MakeAsciiItem(kPropSoftware, QByteArray(kSoftwareText)));
    return out;
}

QSize RegeneratedThumbnailSize(QSize sourceSize) {
    return QSize(std::max(sourceSize.width() / 20, 2), std::max(sourceSize.height() / 20, 2));
}

bool ShouldRegenerateThumbnail(bool sourceHadThumbnail, QSize sourceSize) {
    return sourceHadThumbnail && sourceSize.width() > 200 && sourceSize.height() > 200;
}

bool SetRegeneratedThumbnail(PropertyItems& items, const QImage& output, QSize size) {
    if (output.isNull() || size.isEmpty())
        return false;
    const QImage small =
        output.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).convertToFormat(QImage::Format_RGB888);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    if (!buffer.open(QIODevice::WriteOnly))
        return false;
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(kThumbnailQuality);
    if (!writer.write(small) || jpeg.isEmpty())
        return false;

    items.erase(std::remove_if(items.begin(), items.end(),
                               [](const PropertyItem& i) { return i.group == ExifGroup::kThumbnail; }),
                items.end());
    const ExifGroup g = ExifGroup::kThumbnail;
    items.push_back(PropertyItem{kPropThumbnailData, 1, uint32_t(jpeg.size()), jpeg, g});
    items.push_back(MakeShortItem(kPropThumbnailCompression, kCompressionJpeg, g));
    items.push_back(MakeShortItem(kPropThumbnailWidth, uint16_t(size.width()), g));
    items.push_back(MakeShortItem(kPropThumbnailHeight, uint16_t(size.height()), g));
    items.push_back(MakeRationalItem(kPropThumbnailResolutionX, 1, 1, g));
    items.push_back(MakeRationalItem(kPropThumbnailResolutionY, 1, 1, g));
    return true;
}

bool AddThumbnailSizeItems(PropertyItems& items) {
    const PropertyItem* data = nullptr;
    bool hasWidth = false, hasHeight = false;
    for (const PropertyItem& item : items) {
        if (item.group != ExifGroup::kThumbnail)
            continue;
        if (item.id == kPropThumbnailData)
            data = &item;
        hasWidth = hasWidth || item.id == kPropThumbnailWidth;
        hasHeight = hasHeight || item.id == kPropThumbnailHeight;
    }
    if (!data || (hasWidth && hasHeight))
        return false;
    QByteArray jpeg = data->value;
    QBuffer buffer(&jpeg);
    if (!buffer.open(QIODevice::ReadOnly))
        return false;
    QImageReader reader(&buffer, "jpeg");
    const QSize size = reader.size();
    if (size.isEmpty() || size.width() > 0xFFFF || size.height() > 0xFFFF)
        return false;
    const ExifGroup g = ExifGroup::kThumbnail;
    if (!hasWidth)
        items.push_back(MakeShortItem(kPropThumbnailWidth, uint16_t(size.width()), g));
    if (!hasHeight)
        items.push_back(MakeShortItem(kPropThumbnailHeight, uint16_t(size.height()), g));
    return true;
}

bool SetJfifDensity(QByteArray& jpegFile, double dpi) {
    constexpr qsizetype kHeaderBytes = 18;  // SOI, APP0 marker and length, "JFIF\0", version, unit, densities
    if (jpegFile.size() < kHeaderBytes || !jpegFile.startsWith(QByteArrayLiteral("\xFF\xD8\xFF\xE0")) ||
        jpegFile.mid(6, 5) != QByteArrayLiteral("JFIF\0"))
        return false;
    if (!std::isfinite(dpi) || dpi <= 0)
        return false;
    uint8_t unit = 1;  // dots per inch
    double density = std::round(dpi);
    if (density > 0xFFFF) {
        unit = 2;  // dots per centimetre
        density = std::round(dpi / 2.54);
    }
    const uint16_t value = uint16_t(std::clamp(density, 1.0, double(0xFFFF)));
    jpegFile[13] = char(unit);
    for (int at : {14, 16}) {
        jpegFile[at] = char(uint8_t(value >> 8));
        jpegFile[at + 1] = char(uint8_t(value));
    }
    return true;
}

namespace {

uint32_t Crc32(const char* data, qsizetype size) {
    static const auto table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    uint32_t c = 0xFFFFFFFFu;
    for (qsizetype i = 0; i < size; ++i)
        c = table[(c ^ uint8_t(data[i])) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

uint32_t BigEndian32At(const QByteArray& bytes, qsizetype at) {
    return uint32_t(uint8_t(bytes[at])) << 24 | uint32_t(uint8_t(bytes[at + 1])) << 16 |
           uint32_t(uint8_t(bytes[at + 2])) << 8 | uint8_t(bytes[at + 3]);
}

QByteArray BigEndian32Bytes(uint32_t v) {
    QByteArray out(4, '\0');
    for (int i = 0; i < 4; ++i)
        out[i] = char(uint8_t(v >> (24 - 8 * i)));
    return out;
}

}  // namespace

bool NameIccProfileChunk(QByteArray& pngFile) {
    static const QByteArray kName("ICC Profile");
    qsizetype pos = 8;  // after the signature
    while (pos + 12 <= pngFile.size()) {
        const uint32_t length = BigEndian32At(pngFile, pos);
        if (length > uint32_t(pngFile.size() - pos - 12))
            return false;
        const QByteArray type = pngFile.mid(pos + 4, 4);
        if (type == "IDAT" || type == "IEND")
            return false;
        if (type == "iCCP") {
            if (length == 0 || pngFile[pos + 8] != '\0')
                return true;  // named already
            QByteArray data = kName + pngFile.mid(pos + 8, length);
            QByteArray chunk = BigEndian32Bytes(uint32_t(data.size())) + "iCCP" + data;
            chunk += BigEndian32Bytes(Crc32(chunk.constData() + 4, chunk.size() - 4));
            pngFile.replace(pos, 12 + qsizetype(length), chunk);
            return true;
        }
        pos += 12 + qsizetype(length);
    }
    return false;
}

bool SetTiffResolution(QByteArray& tiffFile, Rational dpi) {
    const MemoryByteSource source(
        std::span(reinterpret_cast<const uint8_t*>(tiffFile.constData()), size_t(tiffFile.size())));
    TiffReader tiff(source);
    if (!tiff.ReadHeader())
        return false;
    const auto dir = tiff.ReadDirectory(tiff.FirstDirectoryOffset());
    if (!dir)
        return false;
    const bool big = tiff.Order() == TiffByteOrder::kBig;
    auto put = [&](uint64_t at, uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            const int shift = big ? 8 * (bytes - 1 - i) : 8 * i;
            tiffFile[qsizetype(at) + i] = char(uint8_t(value >> shift));
        }
    };
    const TiffEntry* x = dir->Find(kPropXResolution);
    const TiffEntry* y = dir->Find(kPropYResolution);
    const TiffEntry* unit = dir->Find(kPropResolutionUnit);
    if (!x || !y || !unit || x->type != kTiffRational || y->type != kTiffRational || unit->type != kTiffShort ||
        x->count != 1 || y->count != 1 || unit->count != 1)
        return false;
    const auto xAt = tiff.ValueOffset(*x), yAt = tiff.ValueOffset(*y);
    if (!xAt || !yAt)
        return false;
    for (uint64_t at : {*xAt, *yAt}) {
        put(at, dpi.numerator, 4);
        put(at + 4, dpi.denominator, 4);
    }
    put(unit->fieldOffset, kResolutionUnitInch, 2);
    return true;
}

}  // namespace orm
