// Fuzz target for the thumbnail cache files: the bytes are read as a folder file and as an index.
// What decodes has thumbnails that fit the box, decompresses to pictures of their size (or none),
// and encodes back to bytes that decode to the same entries.

#include "thumbnails/thumbnail_cache_files.h"
#include "thumbnails/thumbnail_codec.h"

#include <cstdlib>

namespace {

std::span<const uint8_t> Span(const QByteArray& b) {
    return {reinterpret_cast<const uint8_t*>(b.constData()), size_t(b.size())};
}

bool SameRecord(const orm::CPaletteItemImg& a, const orm::CPaletteItemImg& b) {
    return a.fileTime == b.fileTime && a.thumbWidth == b.thumbWidth &&
           a.thumbHeight == b.thumbHeight && a.jpegData == b.jpegData &&
           a.imageWidth == b.imageWidth && a.imageHeight == b.imageHeight &&
           a.bitsPerPixel == b.bitsPerPixel && a.spare1 == b.spare1 && a.spare2 == b.spare2 &&
           a.isFinal == b.isFinal && a.caption1 == b.caption1 && a.caption2 == b.caption2 &&
           a.ageTime == b.ageTime && a.reserved0 == b.reserved0 && a.reserved1 == b.reserved1 &&
           a.reserved6 == b.reserved6 && a.reservedByte == b.reservedByte && a.rects == b.rects;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orm;
    if (size > 1 << 16)
        return 0;
    const std::span<const uint8_t> bytes(data, size);
    if (const auto entries = DecodeFolderFile(bytes)) {
        for (const auto& [path, item] : *entries) {
            if (item->thumbWidth < 0 || item->thumbWidth > kThumbBoxWidth ||
                item->thumbHeight < 0 || item->thumbHeight > kThumbBoxHeight)
                std::abort();
            const QImage picture = Decompress(*item);
            if (!picture.isNull() && picture.size() != QSize(item->thumbWidth, item->thumbHeight))
                std::abort();
        }
        const auto back = DecodeFolderFile(Span(EncodeFolderFile(*entries)));
        if (!back || back->size() != entries->size())
            std::abort();
        for (size_t i = 0; i < back->size(); ++i)
            if ((*back)[i].first != (*entries)[i].first ||
                !SameRecord(*(*back)[i].second, *(*entries)[i].second))
                std::abort();
    }
    if (const auto index = DecodeIndexFile(bytes)) {
        const auto back = DecodeIndexFile(Span(EncodeIndexFile(*index)));
        if (!back || *back != *index)
            std::abort();
    }
    return 0;
}
