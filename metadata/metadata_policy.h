#pragma once
// What of the source's metadata an output keeps: everything (the default), everything but where
// and with what camera the picture was taken, or only what the picture needs to show right.

#include "metadata/property_item.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace orm {

enum class MetadataPolicy : int32_t {
    Keep = 0,      // every item as the saver writes it
    Location = 1,  // no GPS items, no location in the XMP packet, no serial numbers
    All = 2,       // only the colour profile, Orientation 1, resolution, copyright and artist
};
inline constexpr int kMetadataPolicyCount = 3;

// "none", "location", "all" (the command line's words) and back; nothing for other words.
QString MetadataPolicyName(MetadataPolicy policy);
std::optional<MetadataPolicy> ParseMetadataPolicy(const QString& word);

// Applies the policy to the items an output is about to carry (output_metadata.h):
// - Location removes the GPS directory, the body and lens serial numbers of the EXIF directory
//   (and a DNG's camera serial number), every maker-note entry named a serial number, and from
//   an XMP packet its GPS properties, its location properties (city, state, country, sublocation,
//   location shown and created) and its serial numbers. A packet that cannot be parsed is
//   removed rather than written with what it may hold.
// - All keeps the colour profile, the resolution (X/YResolution, ResolutionUnit), Orientation
//   (1), Copyright and Artist; the thumbnail, the maker note and "Software" go with the rest.
void ApplyMetadataPolicy(PropertyItems& items, MetadataPolicy policy);

// The XMP packet without its location and serial-number properties; nothing when it cannot be
// parsed, an empty text when nothing is left.
std::optional<QByteArray> XmpWithoutLocation(const QByteArray& packet);

}  // namespace orm
