#include "imageio/transparency.h"

#include "engine/alpha_resize.h"
#include "engine/parallel.h"
#include "imageio/image_loader.h"
#include "imageio/output_formats.h"
#include "imageio/qimage_views.h"

#include <cstdint>
#include <memory>

namespace orm {

namespace {

constexpr int kRowBand = 64;

// The pixels as four bytes each with alpha last, colours straight: 32-bit ARGB as it lies in
// memory on little-endian machines (blue first), any other format converted to RGBA (red first).
struct FourBytePixels {
    QImage image;  // null when the conversion ran out of memory
    bool blueFirst = false;

    engine::ConstQuadView View() const { return ConstQuadViewOf(image); }
};

FourBytePixels FourBytesOf(const QImage& image) {
    if (Q_BYTE_ORDER == Q_LITTLE_ENDIAN && image.format() == QImage::Format_ARGB32)
        return {image, true};
    if (image.format() == QImage::Format_RGBA8888)
        return {image, false};
    return {image.convertToFormat(QImage::Format_RGBA8888), false};
}

}  // namespace

bool HasTransparency(const QImage& image) {
    if (image.isNull() || !image.hasAlphaChannel())
        return false;
    const FourBytePixels pixels = FourBytesOf(image);
    if (pixels.image.isNull())
        return true;  // cannot tell: the alpha is kept rather than lost
    return engine::HasTranslucentPixel(pixels.View());
}

QImage CompositeOnWhite(const QImage& image) {
    return CompositeOver(image, qRgb(255, 255, 255));
}

QImage CompositeOver(const QImage& image, QRgb background) {
    const FourBytePixels pixels = FourBytesOf(image);
    if (pixels.image.isNull())
        return {};
    const QImage& from = pixels.image;
    QImage out(from.width(), from.height(), QImage::Format_BGR888);
    if (out.isNull())
        return {};
    out.setDotsPerMeterX(image.dotsPerMeterX());
    out.setDotsPerMeterY(image.dotsPerMeterY());
    const int w = from.width();
    const int blue = pixels.blueFirst ? 0 : 2, red = 2 - blue;
    const int under[3] = {qBlue(background), qGreen(background), qRed(background)};
    auto rows = [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const uchar* s = from.constScanLine(y);
            uchar* d = out.scanLine(y);
            for (int x = 0; x < w; ++x, s += 4, d += 3) {
                const int a = s[3], b = 255 - a;
                // 255 is odd: no ties to break
                d[0] = uchar((s[blue] * a + under[0] * b + 127) / 255);
                d[1] = uchar((s[1] * a + under[1] * b + 127) / 255);
                d[2] = uchar((s[red] * a + under[2] * b + 127) / 255);
            }
        }
    };
    engine::ParallelFor(from.height(), kRowBand, rows);
    return out;
}

bool OutputKeepsAlpha(const QString& path) {
    const OutputFormat* format = OutputFormatForPath(path);
    return format && format->keepsAlpha;
}

bool ResizesWithAlpha(const SourceImage& source, const QString& outputPath) {
    return source.transparent && !source.original.isNull() &&
           source.original.size() == source.image.size() && OutputKeepsAlpha(outputPath);
}

AlphaResizeResult ResizeSourceWithAlpha(const SourceImage& source, int dw, int dh,
                                        engine::ResizeAlgorithm algorithm, bool crop,
                                        engine::CRSProgress* progress, engine::Sampling sampling) {
    AlphaResizeResult result;
    // Red first whatever the source's order: the fast PNG writer takes the result as it is.
    const QImage& original = source.original;
    const FourBytePixels pixels{original.format() == QImage::Format_RGBA8888
                                    ? original
                                    : original.convertToFormat(QImage::Format_RGBA8888),
                                false};
    if (pixels.image.isNull()) {
        result.status = engine::ResizeStatus::OutOfMemory;
        return result;
    }
    engine::QuadResizeOutcome outcome =
        engine::ResizeWithAlpha(pixels.View(), dw, dh, algorithm, crop, progress, sampling);
    result.status = outcome.status;
    if (outcome.status != engine::ResizeStatus::Ok)
        return result;
    // The image takes the resized pixels over without a copy and frees them with itself.
    auto owner = std::make_unique<engine::QuadImage>(std::move(outcome.image));
    QImage image(
        owner->pixels.data(), owner->width, owner->height, owner->Stride(), QImage::Format_RGBA8888,
        [](void* p) { delete static_cast<engine::QuadImage*>(p); }, owner.get());
    if (image.isNull()) {
        result.status = engine::ResizeStatus::OutOfMemory;
        return result;
    }
    owner.release();
    result.image = std::move(image);
    return result;
}

}  // namespace orm
