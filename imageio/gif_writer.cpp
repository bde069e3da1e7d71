#include "imageio/gif_writer.h"

#include <gif_lib.h>

#include <vector>

namespace orm {

namespace {

constexpr int kMaxGifSide = 65535;
constexpr int kPaletteSize = 256;

int AppendToBuffer(GifFileType* gif, const GifByteType* data, int length) {
    auto* out = static_cast<QByteArray*>(gif->UserData);
    out->append(reinterpret_cast<const char*>(data), length);
    return length;
}

void Fail(QString* error, const QString& reason) {
    if (error)
        *error = reason;
}

}  // namespace

QByteArray EncodeGif(const QImage& image, QString* error) {
    if (image.isNull() || image.width() > kMaxGifSide || image.height() > kMaxGifSide) {
        Fail(error, QStringLiteral("GIF images are at most 65535 pixels wide and high"));
        return {};
    }
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    const int w = rgb.width(), h = rgb.height();
    const size_t pixels = size_t(w) * size_t(h);
    std::vector<GifByteType> red(pixels), green(pixels), blue(pixels), indices(pixels);
    for (int y = 0; y < h; ++y) {
        const uchar* line = rgb.constScanLine(y);
        for (int x = 0; x < w; ++x) {
            const size_t i = size_t(y) * w + x;
            red[i] = line[3 * x];
            green[i] = line[3 * x + 1];
            blue[i] = line[3 * x + 2];
        }
    }
    int colours = kPaletteSize;
    std::vector<GifColorType> palette(kPaletteSize);
    if (GifQuantizeBuffer(unsigned(w), unsigned(h), &colours, red.data(), green.data(), blue.data(),
                          indices.data(), palette.data()) == GIF_ERROR) {
        Fail(error, QStringLiteral("the colours could not be quantised"));
        return {};
    }
    ColorMapObject* map = GifMakeMapObject(kPaletteSize, palette.data());
    if (!map) {
        Fail(error, QStringLiteral("out of memory"));
        return {};
    }

    QByteArray out;
    int status = 0;
    GifFileType* gif = EGifOpen(&out, AppendToBuffer, &status);
    bool ok = gif != nullptr;
    ok = ok && EGifPutScreenDesc(gif, w, h, 8, 0, map) == GIF_OK;
    ok = ok && EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr) == GIF_OK;
    for (int y = 0; ok && y < h; ++y)
        ok = EGifPutLine(gif, indices.data() + size_t(y) * w, w) == GIF_OK;
    if (gif && EGifCloseFile(gif, &status) == GIF_ERROR)
        ok = false;
    GifFreeMapObject(map);
    if (!ok) {
        const char* reason = GifErrorString(status);
        Fail(error, reason ? QString::fromUtf8(reason) : QStringLiteral("the GIF file could not be written"));
        return {};
    }
    return out;
}

}  // namespace orm
