#include "metadata/embedded_thumbnail.h"

#include "metadata/tiff_tags.h"

#include "metadata/exif_locator.h"
#include "metadata/tiff_reader.h"

#include <cstring>

namespace orm {

using namespace tiff_tags;

namespace {

// Tags of the thumbnail reader.

constexpr uint32_t kCompressionNone = 1;
constexpr uint32_t kCompressionJpeg = 6;

// An embedded thumbnail larger than this is not a thumbnail; refusing it keeps a damaged file
// from making the reader load a whole photo into memory.
constexpr uint64_t kMaxThumbnailBytes = 32u << 20;

// Box sizes beyond this are a caller's mistake; they would only make huge bitmaps.
constexpr uint32_t kMaxBoxSide = 1u << 14;

constexpr uint32_t kPixelsPerMetre72Dpi = 2835;

// What the directories say about the thumbnail.
struct ThumbnailTags {
    std::optional<uint32_t> width, height, compression, offset, length;
};

// Width of the full image from a first or EXIF directory: 0x0100, else 0xA002.
void NoteFullSize(const TiffReader& tiff, const TiffDirectory& dir, EmbeddedThumbnail& out) {
    for (uint16_t tag : {kTagImageWidth, kTagPixelXDimension})
        if (const auto v = tiff.Number(dir, tag)) {
            out.fullWidth = *v;
            break;
        }
    for (uint16_t tag : {kTagImageLength, kTagPixelYDimension})
        if (const auto v = tiff.Number(dir, tag)) {
            out.fullHeight = *v;
            break;
        }
}

// Thumbnail fields of the second directory; offset and length found earlier stay unless this
// directory gives them.
void NoteThumbnailTags(const TiffReader& tiff, const TiffDirectory& dir, ThumbnailTags& tags) {
    if (const auto v = tiff.Number(dir, kTagImageWidth))
        tags.width = v;
    if (const auto v = tiff.Number(dir, kTagImageLength))
        tags.height = v;
    if (const auto v = tiff.Number(dir, kTagCompression))
        tags.compression = v;
    for (uint16_t tag : {kTagStripOffsets, kTagJpegOffset})
        if (const auto v = tiff.Number(dir, tag)) {
            tags.offset = v;
            break;
        }
    for (uint16_t tag : {kTagStripByteCounts, kTagJpegLength})
        if (const auto v = tiff.Number(dir, tag)) {
            tags.length = v;
            break;
        }
}

class MemoryRgbLines final : public RgbLineSource {
  public:
    MemoryRgbLines(std::vector<uint8_t> rgb, uint32_t width, uint32_t height)
        : rgb_(std::move(rgb)), width_(width), height_(height) {}
    uint32_t Width() const override { return width_; }
    uint32_t Height() const override { return height_; }
    const uint8_t* NextLine() override {
        if (next_ >= height_)
            return nullptr;
        return rgb_.data() + size_t(next_++) * width_ * 3;
    }

  private:
    std::vector<uint8_t> rgb_;
    uint32_t width_, height_;
    uint32_t next_ = 0;
};

void PutU16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

// Decodes the thumbnail data the tags point at and fits it into the box.
void BuildResult(const ByteSource& tiffBlock, const ThumbnailTags& tags, uint32_t boxWidth,
                 uint32_t boxHeight, EmbeddedThumbnail& out) {
    if (!tags.offset || !tags.length || !tags.compression)
        return;
    if (*tags.length > kMaxThumbnailBytes)
        return;
    std::vector<uint8_t> data;
    if (!ReadBlock(tiffBlock, *tags.offset, *tags.length, data))
        return;

    std::unique_ptr<RgbLineSource> picture;
    if (*tags.compression == kCompressionJpeg) {
        picture = OpenJpegLines(data);
    } else if (*tags.compression == kCompressionNone) {
        const uint64_t w = tags.width.value_or(0), h = tags.height.value_or(0);
        if (w == 0 || h == 0 || w * h * 3 != data.size())
            return;
        picture = std::make_unique<MemoryRgbLines>(std::move(data), uint32_t(w), uint32_t(h));
    }
    if (!picture)
        return;

    const FittedSize fitted = FitIntoBox(boxWidth, boxHeight, picture->Width(), picture->Height());
    if (fitted.width == 0 || fitted.height == 0)
        return;
    auto dib = BuildThumbnailDib(*picture, fitted);
    if (!dib)
        return;
    out.dib = std::move(*dib);
    out.width = fitted.width;
    out.height = fitted.height;
}

bool BoxUsable(uint32_t boxWidth, uint32_t boxHeight) {
    return boxWidth > 0 && boxHeight > 0 && boxWidth <= kMaxBoxSide && boxHeight <= kMaxBoxSide;
}

}  // namespace

FittedSize FitIntoBox(uint32_t boxWidth, uint32_t boxHeight, uint32_t width, uint32_t height) {
    if (boxWidth == 0 || boxHeight == 0 || width == 0 || height == 0)
        return {};
    const uint64_t bw = boxWidth, bh = boxHeight, w = width, h = height;
    FittedSize f;
    if (bh * w > bw * h) {
        f.width = boxWidth;
        f.height = uint32_t(bw * h / w);
    } else {
        f.width = uint32_t(bh * w / h);
        f.height = boxHeight;
    }
    if (f.width == 0)
        f.width = 1;
    if (f.height == 0)
        f.height = 1;
    return f;
}

uint32_t DibStride(uint32_t width) {
    return uint32_t((uint64_t(width) + 1) * 3 / 4 * 4);
}

std::optional<std::vector<uint8_t>> BuildThumbnailDib(RgbLineSource& picture, FittedSize size) {
    const uint32_t W = picture.Width(), H = picture.Height();
    if (W == 0 || H == 0 || size.width == 0 || size.height == 0)
        return std::nullopt;
    const uint32_t stride = DibStride(size.width);
    const uint64_t imageBytes = uint64_t(stride) * size.height;
    std::vector<uint8_t> dib(kDibHeaderSize + imageBytes, 0);

    uint8_t* h = dib.data();
    PutU32(h + 0, kDibHeaderSize);
    PutU32(h + 4, size.width);
    PutU32(h + 8, size.height);  // positive: rows run bottom-up
    PutU16(h + 12, 1);           // planes
    PutU16(h + 14, 24);          // bits per pixel
    PutU32(h + 16, 0);           // no compression
    PutU32(h + 20, uint32_t(imageBytes));
    PutU32(h + 24, kPixelsPerMetre72Dpi);
    PutU32(h + 28, kPixelsPerMetre72Dpi);
    PutU32(h + 32, 0);
    PutU32(h + 36, 0);

    std::vector<uint32_t> column(size.width);
    for (uint32_t k = 0; k < size.width; ++k) column[k] = uint32_t(uint64_t(k) * W / size.width);

    // Output row j (0 at the bottom) takes source row (height - j - 1) x H / height. Walking
    // the output from its top row, the source rows never decrease, so the source is read once,
    // top to bottom, and only as far as the last row needed.
    uint32_t sourceRow = 0;
    const uint8_t* line = picture.NextLine();
    if (!line)
        return std::nullopt;
    for (uint32_t top = 0; top < size.height; ++top) {
        const uint32_t want = uint32_t(uint64_t(top) * H / size.height);
        while (sourceRow < want) {
            line = picture.NextLine();
            if (!line)
                return std::nullopt;
            ++sourceRow;
        }
        const uint32_t j = size.height - 1 - top;
        uint8_t* dst = dib.data() + kDibHeaderSize + size_t(j) * stride;
        for (uint32_t k = 0; k < size.width; ++k) {
            const uint8_t* px = line + size_t(column[k]) * 3;
            dst[3 * k + 0] = px[2];
            dst[3 * k + 1] = px[1];
            dst[3 * k + 2] = px[0];
        }
    }
    return dib;
}

EmbeddedThumbnail ReadJpegExifThumbnail(const ByteSource& file, uint32_t boxWidth,
                                        uint32_t boxHeight) {
    EmbeddedThumbnail out;
    const uint64_t segment = FindExifSegment(file);
    if (segment == 0)
        return out;
    // Length field (2 bytes), identifier "Exif\0\0" (6 bytes), then the TIFF structure, whose
    // offsets count from its byte-order mark and are checked against the rest of the file.
    const uint64_t tiffStart = segment + 2 + 6;
    if (!file.Contains(tiffStart, 8))
        return out;
    SubByteSource block(file, tiffStart, file.Size() - tiffStart);
    TiffReader tiff(block);
    if (!tiff.ReadHeader())
        return out;

    const auto first = tiff.ReadDirectory(tiff.FirstDirectoryOffset());
    if (!first)
        return out;
    NoteFullSize(tiff, *first, out);
    ThumbnailTags tags;
    tags.offset = tiff.Number(*first, kTagJpegOffset);
    tags.length = tiff.Number(*first, kTagJpegLength);
    const auto exifOffset = tiff.Number(*first, kTagExifPointer);
    if (first->nextOffset == 0)
        return out;

    if (exifOffset && *exifOffset != 0)
        if (const auto exif = tiff.ReadDirectory(*exifOffset))
            NoteFullSize(tiff, *exif, out);

    const auto second = tiff.ReadDirectory(first->nextOffset);
    if (!second)
        return out;
    NoteThumbnailTags(tiff, *second, tags);
    if (BoxUsable(boxWidth, boxHeight))
        BuildResult(block, tags, boxWidth, boxHeight, out);
    return out;
}

EmbeddedThumbnail ReadTiffThumbnail(const ByteSource& file, uint32_t boxWidth, uint32_t boxHeight) {
    EmbeddedThumbnail out;
    if (FindExifDirectory(file) == 0)
        return out;
    TiffReader tiff(file);
    if (!tiff.ReadHeader())
        return out;
    const auto first = tiff.ReadDirectory(tiff.FirstDirectoryOffset());
    if (!first)
        return out;
    out.fullWidth = tiff.Number(*first, kTagImageWidth);
    out.fullHeight = tiff.Number(*first, kTagImageLength);
    if (first->nextOffset == 0)
        return out;
    const auto second = tiff.ReadDirectory(first->nextOffset);
    if (!second)
        return out;
    ThumbnailTags tags;
    NoteThumbnailTags(tiff, *second, tags);
    if (BoxUsable(boxWidth, boxHeight))
        BuildResult(file, tags, boxWidth, boxHeight, out);
    return out;
}

EmbeddedThumbnail ReadJpegExifThumbnail(const std::filesystem::path& path, uint32_t boxWidth,
                                        uint32_t boxHeight) {
    if (!HasExtension(path, ".jpg"))
        return {};
    FileByteSource file(path);
    if (!file.IsOpen())
        return {};
    return ReadJpegExifThumbnail(file, boxWidth, boxHeight);
}

EmbeddedThumbnail ReadTiffThumbnail(const std::filesystem::path& path, uint32_t boxWidth,
                                    uint32_t boxHeight) {
    if (!HasExtension(path, ".tif"))
        return {};
    FileByteSource file(path);
    if (!file.IsOpen())
        return {};
    return ReadTiffThumbnail(file, boxWidth, boxHeight);
}

}  // namespace orm
