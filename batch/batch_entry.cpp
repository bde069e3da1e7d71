#include "batch/batch_entry.h"

#include "imageio/file_metadata.h"
#include "imageio/file_reader.h"
#include "imageio/image_loader.h"
#include "settings/size_math.h"
#include "settings/size_rules.h"

#include <algorithm>

namespace orm {

BatchEntry NewBatchEntry(const ResizeSettings& current, const QString& path) {
    BatchEntry e;
    e.path = path;
    e.dpi = current.dpi;
    e.algorithm = current.algorithm;
    e.correction = current.correction;
    e.centred = current.centred;
    return e;
}

std::optional<ImageProbe> ProbeImage(const QString& path, QString* error) {
    // The head of the file holds the header of nearly every image (a JPEG's frame follows its
    // EXIF block of at most 64 KB a segment); only a file whose header is not there (a TIFF with
    // its directory at the end) is read whole. Adding a hundred photos reads megabytes, not
    // gigabytes.
    QByteArray bytes;
    bool whole = false;
    if (!ReadFileHead(path, bytes, kHeaderProbeBytes, &whole, error))
        return std::nullopt;
    if (!whole) {
        if (const std::optional<ImageHeader> header = ReadImageHeader(bytes);
            header && header->size.width() > 0 && header->size.height() > 0) {
            ImageProbe probe;
            probe.width = header->size.width();
            probe.height = header->size.height();
            probe.dpiX = ReadUprightResolution(bytes).dpiX;
            return probe;
        }
        if (!ReadWholeFile(path, bytes, error))
            return std::nullopt;
    }
    const std::optional<ImageHeader> header = ReadImageHeader(bytes, error);
    if (!header)
        return std::nullopt;
    ImageProbe probe;
    if (header->size.width() > 0 && header->size.height() > 0) {
        probe.width = header->size.width();
        probe.height = header->size.height();
    } else {
        const std::optional<SourceImage> decoded = DecodeSourceImage(bytes, error);
        if (!decoded)
            return std::nullopt;
        probe.width = decoded->width();
        probe.height = decoded->height();
    }
    probe.dpiX = ReadUprightResolution(bytes).dpiX;
    return probe;
}

namespace {

int32_t AtLeastMin(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, kMinPixels, kMaxPixels));
}

int32_t PercentOf(int32_t pixels, double percent) {
    const double v = pixels * percent / 100.0 + 0.5;
    return AtLeastMin(static_cast<int64_t>(std::min(v, double(kMaxPixels))));
}

}  // namespace

void ApplyCurrentSettings(BatchEntry& entry, const ResizeSettings& current,
                          const std::optional<ImageProbe>& image) {
    const bool imageKnown = image && image->width > 0 && image->height > 0;
    if (current.longEdge != 0 && imageKnown) {
        const PixelSize size = LongEdgeSize(LongEdgeOf(current), image->width, image->height);
        entry.width = size.width;
        entry.height = size.height;
    } else if (current.inPercent != 0 && current.percentWidth > 0 && current.percentHeight > 0 &&
               imageKnown) {
        entry.width = PercentOf(image->width, current.percentWidth);
        entry.height = PercentOf(image->height, current.percentHeight);
    } else if (!imageKnown ||
               current.correction != static_cast<int32_t>(CorrectionMode::KeepAspect)) {
        entry.width = current.width;
        entry.height = current.height;
    } else {
        SourceImageInfo src;
        src.present = true;
        src.width = image->width;
        src.height = image->height;
        int64_t w = current.width, h = current.height;
        FitBoxToSource(w, h, src);
        entry.width = AtLeastMin(w);
        entry.height = AtLeastMin(h);
    }
    entry.dpi = current.dpi;
    entry.algorithm = current.algorithm;
    entry.correction = current.correction;
    entry.centred = current.centred;
}

void ApplyOwnSize(BatchEntry& entry, const ResizeSettings& current,
                  const std::optional<ImageProbe>& image) {
    if (image && image->width > 0 && image->height > 0) {
        entry.width = image->width;
        entry.height = image->height;
        entry.dpi = static_cast<float>(image->dpiX);
    }
    entry.algorithm = current.algorithm;
    entry.correction = current.correction;
    entry.centred = current.centred;
}

bool EnlargesSource(const BatchEntry& entry, QSize source) {
    return IsEnlargement(entry.width, entry.height, source.width(), source.height());
}

BatchEntry AtSourceSize(BatchEntry entry, QSize source) {
    entry.width = source.width();
    entry.height = source.height();
    return entry;
}

}  // namespace orm
