#include "ui/dropped_files.h"

#include "imageio/image_file_types.h"

#include <QMimeData>
#include <QUrl>

namespace orm::gui {
namespace {

QList<QUrl> GnomeCopiedFiles(const QMimeData* data) {
    static const QString kFormat = QStringLiteral("x-special/gnome-copied-files");
    QList<QUrl> urls;
    if (!data->hasFormat(kFormat))
        return urls;
    const QList<QByteArray> lines = data->data(kFormat).split('\n');
    // The first line says "copy" or "cut"; either way the files are only read.
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        if (!line.isEmpty())
            urls << QUrl::fromEncoded(line);
    }
    return urls;
}

}  // namespace

QStringList DroppedImageFiles(const QMimeData* data) {
    QStringList files;
    if (!data)
        return files;
    QList<QUrl> urls = data->urls();
    if (urls.isEmpty())
        urls = GnomeCopiedFiles(data);
    for (const QUrl& url : urls) {
        if (!url.isLocalFile())
            continue;
        const QString path = url.toLocalFile();
        if (IsSupportedImage(path) && !files.contains(path))
            files << path;
    }
    return files;
}

}  // namespace orm::gui
