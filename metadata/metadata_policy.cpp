#include "metadata/metadata_policy.h"

#include "metadata/exif_properties.h"
#include "metadata/tiff_tags.h"

#include <exiv2/exiv2.hpp>

#include <algorithm>

namespace orm {

using namespace tiff_tags;

namespace {

constexpr uint32_t kTagXmp = 0x02BC;
constexpr uint32_t kTagArtist = 0x013B;
constexpr uint32_t kTagCopyright = 0x8298;
constexpr uint32_t kTagBodySerial = 0xA431;
constexpr uint32_t kTagLensSerial = 0xA435;
constexpr uint32_t kTagDngCameraSerial = 0xC62F;

bool NamesASerial(const std::string& name) {
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return lower.find("serial") != std::string::npos;
}

// A maker-note entry whose name, as exiv2 knows the camera's directory, is a serial number
// (SerialNumber, InternalSerialNumber, LensSerialNumber, SerialNO, ...).
bool IsMakerNoteSerial(const PropertyItem& item) {
    if (item.id > 0xFFFF || item.makerDirectory.isEmpty())
        return false;
    try {
        const Exiv2::ExifKey key(uint16_t(item.id), item.makerDirectory.toStdString());
        return NamesASerial(key.tagName());
    } catch (const std::exception&) {
        return false;
    }
}

bool RevealsLocation(const PropertyItem& item) {
    switch (item.group) {
        case ExifGroup::kGps:
            return true;
        case ExifGroup::kImage:
            return item.id == kTagGpsPointer || item.id == kTagDngCameraSerial;
        case ExifGroup::kPhoto:
            return item.id == kTagBodySerial || item.id == kTagLensSerial;
        case ExifGroup::kMakerNote:
            return IsMakerNoteSerial(item);
        case ExifGroup::kInterop:
        case ExifGroup::kThumbnail:
            return false;
    }
    return false;
}

bool KeptByAll(const PropertyItem& item) {
    if (item.group != ExifGroup::kImage)
        return false;
    switch (item.id) {
        case kPropIccProfile:
        case kPropXResolution:
        case kPropYResolution:
        case kPropResolutionUnit:
        case kTagOrientation:  // already 1: the saved pixels are upright
        case kTagCopyright:
        case kTagArtist:
            return true;
        default:
            return false;
    }
}

// The top-level XMP property a key names: "LocationShown" of
// "Xmp.Iptc4xmpExt.LocationShown[1]/Iptc4xmpExt:City".
std::string TopProperty(const Exiv2::Xmpdatum& d) {
    const std::string name = d.tagName();
    return name.substr(0, name.find_first_of("[/"));
}

bool IsXmpLocation(const Exiv2::Xmpdatum& d) {
    static const std::string kLocationNames[] = {
        "City",          "State",         "Country",         "CountryCode",
        "Location",      "LocationShown", "LocationCreated", "Sublocation",
        "ProvinceState", "CountryName",   "WorldRegion",
    };
    const std::string prefix = d.groupName();
    const std::string top = TopProperty(d);
    if ((prefix == "exif" || prefix == "exifEX") && top.rfind("GPS", 0) == 0)
        return true;
    if (NamesASerial(top))
        return true;
    if (prefix != "photoshop" && prefix != "Iptc4xmpCore" && prefix != "Iptc4xmpExt")
        return false;
    return std::find(std::begin(kLocationNames), std::end(kLocationNames), top) !=
           std::end(kLocationNames);
}

}  // namespace

QString MetadataPolicyName(MetadataPolicy policy) {
    switch (policy) {
        case MetadataPolicy::Keep:
            return QStringLiteral("none");
        case MetadataPolicy::Location:
            return QStringLiteral("location");
        case MetadataPolicy::All:
            return QStringLiteral("all");
    }
    return QStringLiteral("none");
}

std::optional<MetadataPolicy> ParseMetadataPolicy(const QString& word) {
    for (int i = 0; i < kMetadataPolicyCount; ++i)
        if (word == MetadataPolicyName(MetadataPolicy(i)))
            return MetadataPolicy(i);
    return std::nullopt;
}

std::optional<QByteArray> XmpWithoutLocation(const QByteArray& packet) {
    InitExiv2Once();
    try {
        Exiv2::XmpData xmp;
        if (Exiv2::XmpParser::decode(xmp, packet.toStdString()) != 0)
            return std::nullopt;
        for (auto it = xmp.begin(); it != xmp.end();)
            it = IsXmpLocation(*it) ? xmp.erase(it) : std::next(it);
        if (xmp.empty())
            return QByteArray();
        std::string out;
        if (Exiv2::XmpParser::encode(out, xmp, Exiv2::XmpParser::useCompactFormat) != 0)
            return std::nullopt;
        return QByteArray::fromStdString(out);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

void ApplyMetadataPolicy(PropertyItems& items, MetadataPolicy policy) {
    if (policy == MetadataPolicy::Keep)
        return;
    InitExiv2Once();
    if (policy == MetadataPolicy::All) {
        std::erase_if(items, [](const PropertyItem& item) { return !KeptByAll(item); });
        return;
    }
    std::erase_if(items, RevealsLocation);
    for (auto it = items.begin(); it != items.end();) {
        if (it->group != ExifGroup::kImage || it->id != kTagXmp) {
            ++it;
            continue;
        }
        const std::optional<QByteArray> kept = XmpWithoutLocation(it->value);
        if (!kept || kept->isEmpty()) {
            it = items.erase(it);
            continue;
        }
        it->value = *kept;
        it->count = uint32_t(kept->size());
        ++it;
    }
}

}  // namespace orm
