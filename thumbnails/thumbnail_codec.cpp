#include "thumbnails/thumbnail_codec.h"

#include "jpeg/minijpeg.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace orm {

namespace {

constexpr int kThumbQuality = 90;
constexpr uint16_t kThumbJpegDpi = 300;

}  // namespace

QByteArray CompressPicture(const QImage& picture) {
    if (picture.isNull() || picture.format() != QImage::Format_BGR888)
        return {};
    MiniJpeg::CoderParams params;
    params.width = picture.width();
    params.height = picture.height();
    params.colour = true;
    params.quality = kThumbQuality;
    params.subsample422 = false;        // luminance sampled 2 x 2
    params.singleQuantSegment = false;  // one DQT segment per table
    params.densityUnit = MiniJpeg::kDotsPerInch;
    params.xDensity = kThumbJpegDpi;
    params.yDensity = kThumbJpegDpi;
    try {
        MiniJpeg::MemorySink sink;
        auto coder = MiniJpeg::CreateCoder(sink, params);
        for (int y = picture.height() - 1; y >= 0; --y) coder->WriteLine(picture.constScanLine(y));
        if (!sink.committed())
            return {};
        const std::vector<uint8_t>& bytes = sink.data();
        return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    } catch (const MiniJpeg::Error&) {
        return {};
    } catch (const std::bad_alloc&) {
        return {};
    }
}

QImage DecompressPicture(const QByteArray& jpegData, int thumbWidth, int thumbHeight) {
    if (jpegData.isEmpty() || thumbWidth <= 0 || thumbHeight <= 0 || thumbWidth > kThumbBoxWidth ||
        thumbHeight > kThumbBoxHeight)
        return {};
    try {
        MiniJpeg::MemorySource source(reinterpret_cast<const uint8_t*>(jpegData.constData()),
                                      size_t(jpegData.size()));
        auto decoder = MiniJpeg::CreateDecoder(source);
        const MiniJpeg::ImageInfo& info = decoder->info();
        QImage picture(thumbWidth, thumbHeight, QImage::Format_BGR888);
        if (picture.isNull())
            return {};
        picture.fill(0);
        picture.setDotsPerMeterX(kThumbDotsPerMeter);
        picture.setDotsPerMeterY(kThumbDotsPerMeter);
        const int rows = std::min<int>(info.height, thumbHeight);
        const int columns = std::min<int>(info.width, thumbWidth);
        for (int i = 0; i < rows; ++i) {
            const uint8_t* line = decoder->ReadLine();
            uint8_t* out = picture.scanLine(thumbHeight - 1 - i);  // the bitmap's i-th memory row
            if (info.colour) {
                std::memcpy(out, line, size_t(columns) * 3);
            } else {  // a grey stream (not written by this program): each sample three times
                for (int x = 0; x < columns; ++x)
                    out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = line[x];
            }
        }
        return picture;
    } catch (const MiniJpeg::Error&) {
        return {};
    } catch (const std::bad_alloc&) {
        return {};
    }
}

void Compress(CPaletteItemImg& item) {
    if (item.jpegData.isEmpty() && !item.picture.isNull())
        item.jpegData = CompressPicture(item.picture);
}

QImage Decompress(const CPaletteItemImg& item) {
    if (!item.picture.isNull())
        return item.picture;
    return DecompressPicture(item.jpegData, item.thumbWidth, item.thumbHeight);
}

}  // namespace orm
