#include "imageio/output_formats.h"

#include "imageio/image_file_types.h"

#include <QImageWriter>

#include <algorithm>
#include <array>

namespace orm {

namespace {

// kind, name, short name, alias, list text, filter name, extensions, MIME type, Qt name, own
// writer, quality, alpha, EXIF, ICC, largest side, encoder bytes per pixel, save dialog position.
constexpr std::array<OutputFormat, kOutputFormatCount> kFormats = {{
    {OutputKind::Jpeg, "JPEG", "jpg", "jpeg", "JPEG files (*.jpg)", "JPEG Files", ".jpg .jpeg .jpe",
     "image/jpeg", "jpeg", false, QualityUse::Lossy, false, true, true, 65535, 6, 0},
    {OutputKind::Tiff, "TIFF", "tif", "tiff", "TIFF files (*.tif)", "TIFF Files", ".tif .tiff",
     "image/tiff", "tiff", false, QualityUse::None, true, true, true, 0, 9, 1},
    {OutputKind::Bmp, "BMP", "bmp", "", "Bitmap files (*.bmp)", "Bitmap Files", ".bmp", "image/bmp",
     "bmp", false, QualityUse::None, false, false, false, 0, 7, 2},
    {OutputKind::Png, "PNG", "png", "", "PNG files (*.png)", "PNG Files", ".png", "image/png",
     "png", false, QualityUse::None, true, true, true, 0, 6, 4},
    // GIF: giflib writes it (Qt has no GIF writer); the writer keeps a copy, three planes and
    // the indices.
    {OutputKind::Gif, "GIF", "gif", "", "GIF files (*.gif)", "GIF Files", ".gif", "image/gif",
     "gif", true, QualityUse::None, false, false, false, 65535, 8, 3},
    // WebP: Qt's image formats plugin writes the pixels (Qt's RGB copy, libwebp's ARGB picture
    // and its YUV planes, the file); libwebp's muxer adds EXIF and the profile.
    {OutputKind::Webp, "WebP", "webp", "", "WebP files (*.webp)", "WebP Files", ".webp",
     "image/webp", "webp", false, QualityUse::LossyUpTo, true, true, true, 16383, 10, 5},
}};

QStringList Extensions(const OutputFormat& format) {
    return QString::fromLatin1(format.extensions).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

}  // namespace

std::span<const OutputFormat> OutputFormatTable() {
    return kFormats;
}

QString KeepFormatListText() {
    return QStringLiteral("Don't change");
}

const OutputFormat* OutputFormatAtIndex(int index) {
    if (index <= kKeepFormatIndex || index > static_cast<int>(kFormats.size()))
        return nullptr;
    return &kFormats[size_t(index - 1)];
}

int OutputFormatIndexByName(const QString& name) {
    if (name.compare(QLatin1String("keep"), Qt::CaseInsensitive) == 0)
        return kKeepFormatIndex;
    for (size_t i = 0; i < kFormats.size(); ++i) {
        const OutputFormat& f = kFormats[i];
        if (name.compare(QLatin1String(f.shortName), Qt::CaseInsensitive) == 0 ||
            (*f.alias && name.compare(QLatin1String(f.alias), Qt::CaseInsensitive) == 0))
            return static_cast<int>(i) + 1;
    }
    return -1;
}

QString OutputFormatNamesText() {
    QString text = QStringLiteral("keep");
    for (size_t i = 0; i < kFormats.size(); ++i)
        text += (i + 1 == kFormats.size() ? QStringLiteral(" or ") : QStringLiteral(", ")) +
                QLatin1String(kFormats[i].shortName);
    return text;
}

const OutputFormat* OutputFormatForPath(const QString& path) {
    const QString ext = PathExtension(path);
    if (ext.isEmpty())
        return nullptr;
    for (const OutputFormat& f : kFormats)
        if (Extensions(f).contains(ext, Qt::CaseInsensitive))
            return &f;
    return nullptr;
}

const OutputFormat* OutputFormatForMime(const QString& mimeType) {
    for (const OutputFormat& f : kFormats)
        if (mimeType == QLatin1String(f.mimeType))
            return &f;
    return nullptr;
}

const OutputFormat* OutputFormatForQtName(const char* qtName) {
    if (!qtName)
        return nullptr;
    for (const OutputFormat& f : kFormats)
        if (std::string_view(qtName) == f.qtName)
            return &f;
    return nullptr;
}

QString WrittenExtension(const OutputFormat& format) {
    return Extensions(format).value(0);
}

QString FilterPatterns(const OutputFormat& format) {
    QStringList patterns;
    for (const QString& ext : Extensions(format)) patterns << QLatin1Char('*') + ext;
    return patterns.join(QLatin1Char(' '));
}

QString SaveDialogFilter() {
    std::array<const OutputFormat*, kFormats.size()> order{};
    for (const OutputFormat& f : kFormats) order[size_t(f.saveDialogPosition)] = &f;
    QStringList filters;
    for (const OutputFormat* f : order)
        filters << QStringLiteral("%1 (%2)").arg(QLatin1String(f->filterName), FilterPatterns(*f));
    return filters.join(QStringLiteral(";;"));
}

QString WrittenFormatsText() {
    QString text;
    for (size_t i = 0; i < kFormats.size(); ++i) {
        const OutputFormat& f = kFormats[i];
        if (i > 0)
            text += i + 1 == kFormats.size() ? QStringLiteral(" and ") : QStringLiteral(", ");
        text += QStringLiteral("%1 (%2)").arg(QLatin1String(f.name), QLatin1String(f.extensions));
    }
    return text;
}

QString WrittenExtensionList() {
    QStringList all;
    for (const OutputFormat& f : kFormats) all << Extensions(f);
    const QString last = all.takeLast();
    return all.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

bool EncoderInstalled(const OutputFormat& format) {
    if (format.ownWriter)
        return true;
    return QImageWriter::supportedImageFormats().contains(QByteArray(format.qtName));
}

}  // namespace orm
