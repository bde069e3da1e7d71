#include "metadata/output_metadata.h"

#include "metadata/tiff_tags.h"

#include "metadata/byte_order.h"
#include "metadata/png_chunks.h"
#include "metadata/tiff_reader.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <optional>

namespace orm {

using namespace tiff_tags;

namespace {

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
        case 0x0212:  // YCbCrSubSampling (the encoder chooses the output's)
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

constexpr uint32_t kExifCfaPattern = 0xA302;

// A colour filter array pattern starts with its columns and rows (two 16-bit numbers, written in
// either byte order by cameras) and holds a byte per cell after them. One that claims more cells
// than it holds is damaged; readers warn about it, so it is not copied.
bool CfaPatternFits(const QByteArray& value) {
    if (value.size() < 4)
        return false;
    const auto byte = [&](int i) { return uint32_t(uint8_t(value[i])); };
    const uint64_t cells = uint64_t(value.size()) - 4;
    const uint64_t little = uint64_t(byte(0) | byte(1) << 8) * (byte(2) | byte(3) << 8);
    const uint64_t big = uint64_t(byte(0) << 8 | byte(1)) * (byte(2) << 8 | byte(3));
    return little <= cells || big <= cells;
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
        else if ((mainIfd && item.id == kTagImageWidth) ||
                 (exifIfd && item.id == kPropPixelXDimension))
            out.items.push_back(SizeItem(item, outputSize.width()));
        else if ((mainIfd && item.id == kTagImageLength) ||
                 (exifIfd && item.id == kPropPixelYDimension))
            out.items.push_back(SizeItem(item, outputSize.height()));
        else if (mainIfd && item.id == kTagOrientation)  // the pixels written are upright
            out.items.push_back(MakeShortItem(item.id, 1, item.group));
        else if (mainIfd && IsEncodingTag(item.id))
            continue;
        else if (exifIfd && item.id == kExifCfaPattern && !CfaPatternFits(item.value))
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
    const QImage small = output.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                             .convertToFormat(QImage::Format_RGB888);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    if (!buffer.open(QIODevice::WriteOnly))
        return false;
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(kThumbnailQuality);
    if (!writer.write(small) || jpeg.isEmpty())
        return false;

    items.erase(
        std::remove_if(items.begin(), items.end(),
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

namespace {

// First-directory tags that describe the picture rather than how the source stored it.
bool IsTiffDescriptiveTag(uint32_t tag) {
    switch (tag) {
        case 0x0100:  // ImageWidth (the output's)
        case 0x0101:  // ImageLength
        case 0x010D:  // DocumentName
        case 0x010E:  // ImageDescription
        case 0x010F:  // Make
        case 0x0110:  // Model
        case 0x0112:  // Orientation
        case 0x011A:  // XResolution
        case 0x011B:  // YResolution
        case 0x011D:  // PageName
        case 0x0128:  // ResolutionUnit
        case 0x0131:  // Software
        case 0x0132:  // DateTime
        case 0x013B:  // Artist
        case 0x013C:  // HostComputer
        case 0x013E:  // WhitePoint
        case 0x013F:  // PrimaryChromaticities
        case 0x02BC:  // XMP
        case 0x8298:  // Copyright
        case 0x83BB:  // IPTC
        case kPropIccProfile:
            return true;
        default:
            return false;
    }
}

// The EXIF directory's tags of the standard (2.32), as TIFF readers know them.
constexpr uint16_t kExifStandardTags[] = {
    0x829A, 0x829D, 0x8822, 0x8824, 0x8827, 0x8828, 0x8830, 0x8831, 0x8832, 0x8833, 0x8834, 0x8835,
    0x9000, 0x9003, 0x9004, 0x9010, 0x9011, 0x9012, 0x9101, 0x9102, 0x9201, 0x9202, 0x9203, 0x9204,
    0x9205, 0x9206, 0x9207, 0x9208, 0x9209, 0x920A, 0x9214, 0x927C, 0x9286, 0x9290, 0x9291, 0x9292,
    0x9400, 0x9401, 0x9402, 0x9403, 0x9404, 0x9405, 0xA000, 0xA001, 0xA002, 0xA003, 0xA004, 0xA20B,
    0xA20C, 0xA20E, 0xA20F, 0xA210, 0xA214, 0xA215, 0xA217, 0xA300, 0xA301, 0xA302, 0xA401, 0xA402,
    0xA403, 0xA404, 0xA405, 0xA406, 0xA407, 0xA408, 0xA409, 0xA40A, 0xA40B, 0xA40C, 0xA420, 0xA430,
    0xA431, 0xA432, 0xA433, 0xA434, 0xA435, 0xA460, 0xA461, 0xA462, 0xA500,
};
constexpr uint16_t kExifGainControl = 0xA407;
constexpr uint16_t kGpsLastTag = 0x1F;

// ASCII tags whose length the standard fixes (with the terminating NUL), as TIFF readers check.
struct FixedText {
    ExifGroup group;
    uint16_t tag;
    int count;
};
constexpr FixedText kFixedTexts[] = {
    {ExifGroup::kImage, 0x0132, 20},  // DateTime "YYYY:MM:DD HH:MM:SS"
    {ExifGroup::kPhoto, 0x9003, 20}, {ExifGroup::kPhoto, 0x9004, 20},
    {ExifGroup::kPhoto, 0x9010, 7},  {ExifGroup::kPhoto, 0x9011, 7},
    {ExifGroup::kPhoto, 0x9012, 7},  {ExifGroup::kPhoto, 0xA420, 33},  // ImageUniqueID
    {ExifGroup::kGps, 0x01, 2},      {ExifGroup::kGps, 0x03, 2},
    {ExifGroup::kGps, 0x09, 2},      {ExifGroup::kGps, 0x0A, 2},
    {ExifGroup::kGps, 0x0C, 2},      {ExifGroup::kGps, 0x0E, 2},
    {ExifGroup::kGps, 0x10, 2},      {ExifGroup::kGps, 0x13, 2},
    {ExifGroup::kGps, 0x15, 2},      {ExifGroup::kGps, 0x17, 2},
    {ExifGroup::kGps, 0x19, 2},      {ExifGroup::kGps, 0x1D, 11},  // GPSDateStamp "YYYY:MM:DD"
};

// A text of a fixed-length tag cut to its length (a camera that wrote "2008:05:08 09:54:28" as
// the GPS date keeps "2008:05:08"); nothing when it is shorter than the standard's.
std::optional<PropertyItem> FitFixedText(const PropertyItem& item) {
    if (item.type != 2)
        return item;
    for (const FixedText& f : kFixedTexts) {
        if (f.group != item.group || f.tag != item.id)
            continue;
        QByteArray text = item.value;
        while (text.endsWith('\0')) text.chop(1);
        if (text.size() + 1 < f.count)
            return std::nullopt;
        return MakeAsciiItem(item.id, text.left(f.count - 1), item.group);
    }
    return item;
}

bool IsExifStandardTag(uint32_t tag) {
    return std::find(std::begin(kExifStandardTags), std::end(kExifStandardTags), tag) !=
           std::end(kExifStandardTags);
}

}  // namespace

PropertyItems TiffOutputItems(const PropertyItems& items) {
    PropertyItems out;
    for (const PropertyItem& given : items) {
        const std::optional<PropertyItem> fitted = FitFixedText(given);
        if (!fitted || given.count == 0)  // an entry without a value is refused
            continue;
        const PropertyItem& item = *fitted;
        switch (item.group) {
            case ExifGroup::kImage:
                if (IsTiffDescriptiveTag(item.id))
                    out.push_back(item);
                break;
            case ExifGroup::kPhoto: {
                if (!IsExifStandardTag(item.id) || item.id == kExifGainControl)
                    break;
                uint32_t size = 0;
                if ((item.id == kPropPixelXDimension || item.id == kPropPixelYDimension) &&
                    ItemNumber(item, size))
                    out.push_back(MakeLongItem(item.id, size, item.group));
                else
                    out.push_back(item);
                break;
            }
            case ExifGroup::kGps:
                if (item.id <= kGpsLastTag)
                    out.push_back(item);
                break;
            case ExifGroup::kMakerNote:
                out.push_back(item);
                break;
            case ExifGroup::kInterop:
            case ExifGroup::kThumbnail:
                break;
        }
    }
    return out;
}

QImage ThumbnailOfItems(const PropertyItems& items) {
    for (const PropertyItem& item : items)
        if (item.group == ExifGroup::kThumbnail && item.id == kPropThumbnailData)
            return QImage::fromData(item.value, "JPEG");
    return {};
}

bool AppendTiffThumbnailPage(QByteArray& tiffFile, const QImage& thumbnail) {
    if (thumbnail.isNull())
        return false;
    const MemoryByteSource source(
        std::span(reinterpret_cast<const uint8_t*>(tiffFile.constData()), size_t(tiffFile.size())));
    TiffReader tiff(source);
    if (!tiff.ReadHeader())
        return false;
    const uint32_t first = tiff.FirstDirectoryOffset();
    const auto dir = tiff.ReadDirectory(first);
    if (!dir || dir->nextOffset != 0)
        return false;
    const QImage rgb = thumbnail.convertToFormat(QImage::Format_RGB888);
    const uint32_t w = uint32_t(rgb.width()), h = uint32_t(rgb.height());
    const uint64_t pixelBytes = uint64_t(w) * h * 3;
    constexpr int kEntries = 14;
    // The strip, BitsPerSample's three values, two resolutions, the directory; even offsets.
    const uint64_t end =
        uint64_t(tiffFile.size()) + 1 + pixelBytes + 1 + 6 + 16 + 2 + 12 * kEntries + 4;
    if (end > 0xFFFFFFFFull)
        return false;

    const bool big = tiff.Order() == TiffByteOrder::kBig;
    auto append = [&](uint32_t v, int bytes) {
        uint8_t field[4];
        Store(field, v, bytes, big);
        tiffFile.append(reinterpret_cast<const char*>(field), bytes);
    };
    auto align = [&] {
        if (tiffFile.size() % 2)
            tiffFile.append('\0');
    };
    const qsizetype nextField = qsizetype(first) + 2 + 12 * qsizetype(dir->entries.size());

    align();
    const uint32_t stripAt = uint32_t(tiffFile.size());
    for (uint32_t y = 0; y < h; ++y)
        tiffFile.append(reinterpret_cast<const char*>(rgb.constScanLine(int(y))), qsizetype(w) * 3);
    align();
    const uint32_t bitsAt = uint32_t(tiffFile.size());
    append(8, 2), append(8, 2), append(8, 2);
    const uint32_t resolutionAt = uint32_t(tiffFile.size());
    append(72, 4), append(1, 4), append(72, 4), append(1, 4);
    const uint32_t directoryAt = uint32_t(tiffFile.size());

    append(kEntries, 2);
    auto entry = [&](uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
        append(tag, 2), append(type, 2), append(count, 4);
        if (type == kTiffShort && count == 1)
            append(value, 2), append(0, 2);  // a SHORT sits in the field's first two bytes
        else
            append(value, 4);
    };
    entry(0x00FE, kTiffLong, 1, 1);  // NewSubfileType: a reduced-resolution version
    entry(0x0100, kTiffLong, 1, w);
    entry(0x0101, kTiffLong, 1, h);
    entry(0x0102, kTiffShort, 3, bitsAt);
    entry(0x0103, kTiffShort, 1, 1);  // no compression
    entry(0x0106, kTiffShort, 1, 2);  // RGB
    entry(0x0111, kTiffLong, 1, stripAt);
    entry(0x0115, kTiffShort, 1, 3);
    entry(0x0116, kTiffLong, 1, h);
    entry(0x0117, kTiffLong, 1, uint32_t(pixelBytes));
    entry(0x011A, kTiffRational, 1, resolutionAt);
    entry(0x011B, kTiffRational, 1, resolutionAt + 8);
    entry(0x011C, kTiffShort, 1, 1);  // chunky
    entry(0x0128, kTiffShort, 1, 2);  // inch
    append(0, 4);

    for (int i = 0; i < 4; ++i)
        tiffFile[nextField + i] = char(uint8_t(directoryAt >> (big ? 8 * (3 - i) : 8 * i)));
    return true;
}

bool SetJfifDensity(QByteArray& jpegFile, double dpi) {
    constexpr qsizetype kHeaderBytes =
        18;  // SOI, APP0 marker and length, "JFIF\0", version, unit, densities
    if (jpegFile.size() < kHeaderBytes ||
        !jpegFile.startsWith(QByteArrayLiteral("\xFF\xD8\xFF\xE0")) ||
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
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    uint32_t c = 0xFFFFFFFFu;
    for (qsizetype i = 0; i < size; ++i) c = table[(c ^ uint8_t(data[i])) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

QByteArray BigEndian32Bytes(uint32_t v) {
    QByteArray out(4, '\0');
    StoreBe32(reinterpret_cast<uint8_t*>(out.data()), v);
    return out;
}

}  // namespace

bool NameIccProfileChunk(QByteArray& pngFile) {
    static const QByteArray kName("ICC Profile");
    const MemoryByteSource source(
        std::span(reinterpret_cast<const uint8_t*>(pngFile.constData()), size_t(pngFile.size())));
    PngChunkWalker walker(source);
    while (const std::optional<PngChunk> chunk = walker.Next()) {
        if (chunk->Is("IDAT"))
            return false;
        if (!chunk->Is("iCCP"))
            continue;
        const qsizetype pos = qsizetype(chunk->offset), length = qsizetype(chunk->length);
        if (length == 0 || pngFile[pos + 8] != '\0')
            return true;  // named already
        QByteArray data = kName + pngFile.mid(pos + 8, length);
        QByteArray named = BigEndian32Bytes(uint32_t(data.size())) + "iCCP" + data;
        named += BigEndian32Bytes(Crc32(named.constData() + 4, named.size() - 4));
        pngFile.replace(pos, 12 + length, named);  // the walk ends here: pngFile changed
        return true;
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
        Store(reinterpret_cast<uint8_t*>(tiffFile.data()) + at, value, bytes, big);
    };
    const TiffEntry* x = dir->Find(kPropXResolution);
    const TiffEntry* y = dir->Find(kPropYResolution);
    const TiffEntry* unit = dir->Find(kPropResolutionUnit);
    if (!x || !y || !unit || x->type != kTiffRational || y->type != kTiffRational ||
        unit->type != kTiffShort || x->count != 1 || y->count != 1 || unit->count != 1)
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
