#pragma once
// Images with transparent pixels: found at load, shown and written over white where the output
// has no alpha, resized with their alpha where it has.
//
// A source with transparency keeps two pictures (image_loader.h): `image`, its pixels laid over
// white in 24-bit colour (what the preview shows and what JPEG, BMP and GIF outputs are resized
// from), and `original`, the decoded pixels with their alpha, from which PNG, TIFF and WebP
// outputs are resized (colours weighted by alpha, engine/alpha_resize.h). An image whose alpha
// is 255 everywhere is opaque: it takes exactly the path of an image without alpha.

#include "engine/algorithm.h"
#include "engine/resize_image.h"

#include <QImage>
#include <QString>

namespace orm {

struct SourceImage;
namespace engine {
class CRSProgress;
}

// Whether the image has an alpha channel with a value below 255 somewhere.
bool HasTransparency(const QImage& image);

// The image laid over white, as 24-bit colour (Format_BGR888): each colour becomes
// round((c a + 255 (255 - a)) / 255). Null when memory runs out.
QImage CompositeOnWhite(const QImage& image);
// The same over another colour: round((c a + b (255 - a)) / 255) with b the background's.
QImage CompositeOver(const QImage& image, QRgb background);

// Whether an output file keeps alpha, by its path's extension (output_formats.h).
bool OutputKeepsAlpha(const QString& path);

// Whether a resize of the source for this output path goes through its alpha.
bool ResizesWithAlpha(const SourceImage& source, const QString& outputPath);

struct AlphaResizeResult {
    engine::ResizeStatus status = engine::ResizeStatus::InvalidInput;
    QImage image;  // Format_RGBA8888, straight colours; null unless status is Ok
};

// The source's pixels with their alpha (`original`), resized to dw x dh with the algorithm,
// crop flag and sampling as ResizeImage takes them.
AlphaResizeResult ResizeSourceWithAlpha(const SourceImage& source, int dw, int dh,
                                        engine::ResizeAlgorithm algorithm, bool crop,
                                        engine::CRSProgress* progress,
                                        engine::Sampling sampling = engine::Sampling::Documented);

}  // namespace orm
