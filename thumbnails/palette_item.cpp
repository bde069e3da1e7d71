#include "thumbnails/palette_item.h"

namespace orm {

std::shared_ptr<CPaletteItemImg> CopyThumbnail(const CPaletteItemImg& source, int64_t newFileTime) {
    auto copy = std::make_shared<CPaletteItemImg>();
    copy->fileTime = newFileTime;
    copy->imageWidth = source.imageWidth;
    copy->imageHeight = source.imageHeight;
    copy->bitsPerPixel = source.bitsPerPixel;
    copy->spare1 = source.spare1;
    copy->spare2 = source.spare2;
    copy->thumbWidth = source.thumbWidth;
    copy->thumbHeight = source.thumbHeight;
    copy->caption1 = source.caption1;
    copy->caption2 = source.caption2;
    copy->jpegData = source.jpegData;
    return copy;
}

}  // namespace orm
