#pragma once
// One entry of the batch list: an input image with its own target size, resolution, algorithm
// and correction mode, and how an entry takes the current resize settings.

#include "settings/resize_settings.h"

#include <QSize>
#include <QString>

#include <cstdint>
#include <optional>

namespace orm {

// The entry's target: its size is 0 x 0 until one has been given.
struct BatchEntry : ResizeTarget {
    BatchEntry() : ResizeTarget{.width = 0, .height = 0} {}

    QString path;
    int32_t selected = 0;

    bool HasTargetSize() const { return width != 0 && height != 0; }
    // A size an output image can be made at: both sides 1..kMaxPixels.
    bool HasUsableSize() const {
        return width >= 1 && height >= 1 && width <= kMaxPixels && height <= kMaxPixels;
    }
    bool operator==(const BatchEntry&) const = default;
};

// A new entry: empty path, not selected, 0 x 0, the settings' resolution, algorithm (with its
// sampling) and correction mode.
BatchEntry NewBatchEntry(const ResizeSettings& current, const QString& path = {});

// What applying settings needs of an entry's image: its size and horizontal resolution.
struct ImageProbe {
    int32_t width = 0;
    int32_t height = 0;
    double dpiX = 96;
};

// The head of a file read for its header: nearly every image's header is in it (a JPEG's frame
// follows its EXIF block of at most 64 KB a segment).
inline constexpr std::int64_t kHeaderProbeBytes = 512 * 1024;

// Reads the size and the stated resolution of an image file without decoding its pixels
// (falling back to a full decode for formats whose header gives no size). None, with the reason
// in error, when the file is not an image the program reads (or not a regular file).
std::optional<ImageProbe> ProbeImage(const QString& path, QString* error = nullptr);

// Current-settings mode: in long-edge mode the long edge fitted to the image (size_rules.h);
// otherwise percent of the image (rounded half up) when percent input is on and
// both percents are positive; the current box when the image is unknown or the correction is not
// Keep aspect; otherwise the current box fitted to the image's aspect (integers, at least 3).
// Resolution, algorithm (with its sampling) and correction come from the settings.
void ApplyCurrentSettings(BatchEntry& entry, const ResizeSettings& current,
                          const std::optional<ImageProbe>& image);
// Own-size mode: with a known image, its own size and resolution; algorithm and correction from
// the settings in any case.
void ApplyOwnSize(BatchEntry& entry, const ResizeSettings& current,
                  const std::optional<ImageProbe>& image);

// Never enlarge: whether the entry's target enlarges a source of this size (size_rules.h: no
// side smaller, one larger), and the entry with the source's size as its target.
bool EnlargesSource(const BatchEntry& entry, QSize source);
BatchEntry AtSourceSize(BatchEntry entry, QSize source);

}  // namespace orm
