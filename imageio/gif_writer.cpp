#include "imageio/gif_writer.h"

#include "imageio/gif_palette.h"

#include <gif_lib.h>

#include <new>
#include <vector>

namespace orm {

namespace {

constexpr int kMaxGifSide = 65535;

int AppendToBuffer(GifFileType* gif, const GifByteType* data, int length) {
    auto* out = static_cast<QByteArray*>(gif->UserData);
    out->append(reinterpret_cast<const char*>(data), length);
    return length;
}

void Fail(QString* error, const QString& reason) {
    if (error)
        *error = reason;
}

// Bits of a GIF colour table that holds n colours (tables have 2, 4, ..., 256 entries).
int TableBits(size_t n) {
    int bits = 1;
    while ((size_t(1) << bits) < n) ++bits;
    return bits;
}

}  // namespace

QByteArray EncodeGif(const QImage& image, QString* error) {
    if (image.isNull() || image.width() > kMaxGifSide || image.height() > kMaxGifSide) {
        Fail(error, QStringLiteral("GIF images are at most 65535 pixels wide and high"));
        return {};
    }
    std::optional<PalettePicture> picture = ToPalette(image);
    if (!picture) {
        Fail(error, QStringLiteral("the colours could not be quantised"));
        return {};
    }
    const int bits = TableBits(picture->palette.size());
    std::vector<GifColorType> table(size_t(1) << bits, GifColorType{0, 0, 0});
    for (size_t i = 0; i < picture->palette.size(); ++i)
        table[i] = {picture->palette[i].red, picture->palette[i].green, picture->palette[i].blue};
    ColorMapObject* map = GifMakeMapObject(int(table.size()), table.data());
    if (!map) {
        Fail(error, QStringLiteral("out of memory"));
        return {};
    }

    const int w = picture->width, h = picture->height;
    QByteArray out;
    int status = 0;
    GifFileType* gif = EGifOpen(&out, AppendToBuffer, &status);
    bool ok = gif != nullptr;
    ok = ok && EGifPutScreenDesc(gif, w, h, bits, 0, map) == GIF_OK;
    ok = ok && EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr) == GIF_OK;
    for (int y = 0; ok && y < h; ++y)
        ok = EGifPutLine(gif, picture->indices.data() + size_t(y) * w, w) == GIF_OK;
    if (gif && EGifCloseFile(gif, &status) == GIF_ERROR)
        ok = false;
    GifFreeMapObject(map);
    if (!ok) {
        const char* reason = GifErrorString(status);
        Fail(error, reason ? QString::fromUtf8(reason)
                           : QStringLiteral("the GIF file could not be written"));
        return {};
    }
    return out;
}

}  // namespace orm
