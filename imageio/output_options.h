#pragma once
// How outputs treat colour, metadata, transparency and file times beyond the resize itself.
// Every option is off by default, and then outputs are written exactly as without it.

#include "metadata/metadata_policy.h"

#include <QColor>
#include <QString>

#include <cstdint>
#include <ctime>
#include <optional>

namespace orm {

struct OutputOptions {
    MetadataPolicy strip = MetadataPolicy::Keep;
    // Colours converted from the source's profile to sRGB, which the output then carries.
    bool toSrgb = false;
    // The standard algorithms resize in linear light (engine/linear_light.h).
    bool linear = false;
    // Transparent pixels in outputs without alpha are laid over this colour.
    QRgb background = qRgb(255, 255, 255);
    // Outputs get their source's modification time.
    bool keepTime = false;

    // Whether an output may be the input file copied as it is (nothing to strip or convert).
    bool AllowsCopy() const { return strip == MetadataPolicy::Keep && !toSrgb; }
    bool operator==(const OutputOptions&) const = default;
};

// "#rrggbb" or a colour name ("white", "darkslategray"); nothing for other texts.
std::optional<QRgb> ParseBackgroundColour(const QString& text);
// "#rrggbb", lower case.
QString BackgroundColourText(QRgb colour);

// A file's modification time to the nanosecond; nothing when the file cannot be looked at.
std::optional<timespec> ModificationTime(const QString& path);
// Sets a file's modification time (not its access time); false on failure.
bool SetModificationTime(const QString& path, const timespec& time);

}  // namespace orm
