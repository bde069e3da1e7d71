#pragma once
// One thumbnail as the browser and the thumbnail cache hold it. `CPaletteItem` is the bare record
// a cell draws when its file has no thumbnail yet; `CPaletteItemImg` is a thumbnail made from an
// image file, the object the cache stores and writes to its files.
//
// A thumbnail in the cache is never changed once it is stored: the builder replaces it with a new
// object, so a reader holding a shared pointer may use it after the cache lock is released.

#include <QByteArray>
#include <QImage>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace orm {

// The thumbnail box and the cell at zoom 100.
constexpr int kThumbBoxWidth = 220;
constexpr int kThumbBoxHeight = 165;
constexpr int kThumbCellWidth = 232;
constexpr int kThumbCellHeight = 197;

// A rectangle as the framework stores it (right and bottom outside the rectangle).
struct StoredRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const StoredRect&) const = default;
};

class CPaletteItem {
  public:
    int64_t fileTime = 0;     // last write time of the image file (seconds since 1970, UTC)
    int32_t imageWidth = -1;  // full size of the image; 0: not read yet (-1 in a bare item)
    int32_t imageHeight = -1;
    int32_t bitsPerPixel = -1;
    int64_t ageTime = 0;     // reference time of the start-up clean-up; nothing here sets it
    int32_t thumbWidth = 0;  // the fit of the image into the box
    int32_t thumbHeight = 0;
    int32_t spare1 = 0;  // stored and copied, not interpreted
    int32_t spare2 = 0;
    QString caption1;  // when either is non-empty the cell draws both
    QString caption2;
    int32_t boxWidth = kThumbBoxWidth;
    int32_t boxHeight = kThumbBoxHeight;
    int32_t cellWidth = kThumbCellWidth;
    int32_t cellHeight = kThumbCellHeight;
    int32_t hasSound = 0;  // a same-named .wav lies next to a .jpg or .tif image (not stored)
    int32_t isFinal = 0;   // 1: made from the full image; 0: from an embedded thumbnail
    int32_t reserved0 = 0;
    int32_t reserved1 = -1, reserved2 = -1, reserved3 = -1, reserved4 = -1, reserved5 = -1,
            reserved6 = -1;
    bool reservedByte = false;
    std::vector<StoredRect> rects;  // stored, empty in this program
    QByteArray jpegData;            // the compressed thumbnail (MiniJpeg), or empty
    // The decoded thumbnail: 24-bit, blue-green-red bytes (Format_BGR888), thumbWidth x
    // thumbHeight, 72 dpi; or null. Implicitly shared, like the reference-counted picture it
    // stands for.
    QImage picture;

    bool HasData() const { return !picture.isNull() || !jpegData.isEmpty(); }
};

class CPaletteItemImg : public CPaletteItem {
  public:
    CPaletteItemImg() {
        imageWidth = 0;
        imageHeight = 0;
        bitsPerPixel = 0;
    }
};

using ThumbnailPtr = std::shared_ptr<const CPaletteItemImg>;

// The thumbnail of a copied file: image size, bits per pixel, spares, thumbnail size, captions and
// the compressed data of `source`, with the new file's time and no decoded picture.
std::shared_ptr<CPaletteItemImg> CopyThumbnail(const CPaletteItemImg& source, int64_t newFileTime);

}  // namespace orm
