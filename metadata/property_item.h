#pragma once
// Metadata items of an image as (identifier, type, count, value bytes), the way the rest of the
// program sees EXIF: identifiers are the EXIF/TIFF tag numbers of the main image's directories
// (IFD0, EXIF, GPS, interoperability); the thumbnail directory (IFD1) uses the identifiers below.
// Values are stored little-endian whatever the file's byte order.
//
// A camera's maker note (tag 0x927C) holds offsets from its own place in the file, so its bytes
// cannot be copied into another layout. Besides the raw item, the entries of a maker note that
// exiv2 understands are items of their own (group kMakerNote, named by exiv2's directory name),
// from which a saved file gets a maker note laid out anew.

#include <QByteArray>

#include <cstdint>
#include <vector>

namespace orm {

enum class ExifGroup : uint8_t { kImage, kPhoto, kGps, kInterop, kThumbnail, kMakerNote };

// Identifiers of the thumbnail directory's items.
constexpr uint32_t kPropThumbnailData = 0x501B;         // the JPEG thumbnail's bytes
constexpr uint32_t kPropThumbnailCompression = 0x5023;  // IFD1 Compression
constexpr uint32_t kPropThumbnailWidth = 0x5013;        // IFD1 ImageWidth
constexpr uint32_t kPropThumbnailHeight = 0x5014;       // IFD1 ImageLength
constexpr uint32_t kPropThumbnailResolutionX = 0x502D;  // IFD1 XResolution
constexpr uint32_t kPropThumbnailResolutionY = 0x502E;  // IFD1 YResolution
constexpr uint32_t kPropThumbnailResolutionUnit = 0x5030;

// Tags of the main image that the saver treats specially.
constexpr uint32_t kPropXResolution = 0x011A;
constexpr uint32_t kPropYResolution = 0x011B;
constexpr uint32_t kPropResolutionUnit = 0x0128;
constexpr uint32_t kPropSoftware = 0x0131;
// The colour profile (ICC), type UNDEFINED: tag 34675 of a TIFF file, the APP2 "ICC_PROFILE"
// segments of a JPEG file, the iCCP chunk of a PNG file.
constexpr uint32_t kPropIccProfile = 0x8773;
constexpr uint32_t kPropPixelXDimension = 0xA002;
constexpr uint32_t kPropPixelYDimension = 0xA003;

struct PropertyItem {
    uint32_t id = 0;
    uint16_t type =
        0;  // EXIF types: 1 BYTE, 2 ASCII, 3 SHORT, 4 LONG, 5 RATIONAL, 7 UNDEFINED, ...
    uint32_t count = 0;
    QByteArray value;  // count values, little-endian
    ExifGroup group = ExifGroup::kImage;
    QByteArray
        makerDirectory;  // kMakerNote items: the directory as exiv2 names it ("Canon", "CanonCs")

    bool operator==(const PropertyItem&) const = default;
};

using PropertyItems = std::vector<PropertyItem>;

// Convenience constructors for items the saver writes.
PropertyItem MakeShortItem(uint32_t id, uint16_t value, ExifGroup group = ExifGroup::kImage);
PropertyItem MakeLongItem(uint32_t id, uint32_t value, ExifGroup group = ExifGroup::kImage);
PropertyItem MakeRationalItem(uint32_t id, uint32_t numerator, uint32_t denominator,
                              ExifGroup group = ExifGroup::kImage);
PropertyItem MakeAsciiItem(uint32_t id, const QByteArray& text,
                           ExifGroup group = ExifGroup::kImage);

// The first value of a SHORT or LONG item; false for other types or an empty value.
bool ItemNumber(const PropertyItem& item, uint32_t& out);

// The first item with this identifier outside the maker note (whose tags are numbered apart).
const PropertyItem* FindItem(const PropertyItems& items, uint32_t id);

}  // namespace orm
