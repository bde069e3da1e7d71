#include "imageio/image_file_types.h"

#include "imageio/output_formats.h"

#include <QFileInfo>

namespace orm {

namespace {

// The types that are read but not written, and the extension their outputs take instead.
struct ReadOnlyType {
    const char* filterName;  // the Open dialog's filter, before its patterns
    const char* extensions;  // space-separated, lower case
    const char* writtenAs;
};
constexpr ReadOnlyType kReadOnlyTypes[] = {
    // HEIF photos of phones and AV1 images, read with libheif.
    {"HEIF Files", ".heic .heif .avif", ".jpg"},
};

QString Patterns(const QStringList& extensions) {
    QStringList patterns;
    for (const QString& ext : extensions) patterns << QLatin1Char('*') + ext;
    return patterns.join(QLatin1Char(' '));
}

// Written formats that next/previous steps over (the program skips animations' first frames).
bool SkippedByNavigation(const OutputFormat& format) {
    return format.kind == OutputKind::Gif;
}

QStringList Split(const char* extensions) {
    return QString::fromLatin1(extensions).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

}  // namespace

QString PathExtension(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot);
}

const QStringList& ImageFileExtensions() {
    static const QStringList extensions = [] {
        QStringList all;
        for (const OutputFormat& f : OutputFormatTable()) all << Split(f.extensions);
        for (const ReadOnlyType& t : kReadOnlyTypes) all << Split(t.extensions);
        return all;
    }();
    return extensions;
}

bool IsSupportedImage(const QString& path) {
    const QString ext = PathExtension(path);
    return !ext.isEmpty() && ImageFileExtensions().contains(ext, Qt::CaseInsensitive);
}

bool IsNavigableImage(const QString& fileName) {
    if (!IsSupportedImage(fileName))
        return false;
    const OutputFormat* format = OutputFormatForPath(fileName);
    return !format || !SkippedByNavigation(*format);
}

QString OpenDialogFilter() {
    QString filter =
        QStringLiteral("All Supported Files (%1);;").arg(Patterns(ImageFileExtensions())) +
        SaveDialogFilter();
    for (const ReadOnlyType& t : kReadOnlyTypes)
        filter += QStringLiteral(";;%1 (%2)")
                      .arg(QLatin1String(t.filterName), Patterns(Split(t.extensions)));
    return filter;
}

QString KeptOutputExtension(const QString& inputExtension) {
    for (const ReadOnlyType& t : kReadOnlyTypes)
        if (Split(t.extensions).contains(inputExtension, Qt::CaseInsensitive))
            return QString::fromLatin1(t.writtenAs);
    return inputExtension;
}

}  // namespace orm
