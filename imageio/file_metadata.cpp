#include "imageio/file_metadata.h"

#include "imageio/heif_reader.h"
#include "imageio/upright_image.h"
#include "metadata/byte_source.h"
#include "metadata/exif_orientation.h"
#include "metadata/exif_properties.h"

#include <algorithm>
#include <span>
#include <utility>

namespace orm {

namespace {

MemoryByteSource SourceOf(const QByteArray& bytes) {
    return MemoryByteSource(
        std::span(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())));
}

}  // namespace

PropertyItems ReadFileProperties(const QByteArray& fileBytes) {
    if (!IsHeifFile(fileBytes))
        return ReadPropertyItems(fileBytes);
    const HeifMetadata meta = ReadHeifMetadata(fileBytes);
    // The Exif block is a TIFF structure: exiv2 reads it as it reads a TIFF file's directories.
    PropertyItems items = meta.exif.isEmpty() ? PropertyItems{} : ReadPropertyItems(meta.exif);
    if (!meta.iccProfile.isEmpty() && !FindItem(items, kPropIccProfile)) {
        PropertyItem profile;
        profile.id = kPropIccProfile;
        profile.type = 7;  // UNDEFINED
        profile.count = uint32_t(meta.iccProfile.size());
        profile.value = meta.iccProfile;
        // With the first directory's items, where a JPEG's profile is listed too.
        const auto firstOther = std::find_if(items.begin(), items.end(), [](const PropertyItem& i) {
            return i.group != ExifGroup::kImage;
        });
        items.insert(firstOther, std::move(profile));
    }
    return items;
}

ImageResolution ReadFileResolution(const QByteArray& fileBytes) {
    if (!IsHeifFile(fileBytes))
        return ReadImageResolution(SourceOf(fileBytes));
    const QByteArray exif = ReadHeifMetadata(fileBytes).exif;
    return exif.isEmpty() ? ImageResolution{} : ReadImageResolution(SourceOf(exif));
}

ImageResolution ReadUprightResolution(const QByteArray& fileBytes) {
    ImageResolution r = ReadFileResolution(fileBytes);
    if (OrientationSwapsAxes(FileOrientation(fileBytes)))
        std::swap(r.dpiX, r.dpiY);
    return r;
}

}  // namespace orm
