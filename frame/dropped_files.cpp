#include "frame/dropped_files.h"

#include "browser/file_clipboard.h"
#include "imageio/image_file_types.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

namespace orm::gui {

QStringList ImageFilesOfFolder(const QString& folder) {
    QStringList files;
    const QDir dir(folder);
    for (const QFileInfo& info : dir.entryInfoList(QDir::Files | QDir::Readable)) {
        if (IsSupportedImage(info.absoluteFilePath()))
            files << info.absoluteFilePath();
    }
    // By name, case aside, as the browser sorts them.
    std::stable_sort(files.begin(), files.end(), [](const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    return files;
}

QStringList DroppedImageFiles(const QMimeData* data) {
    QStringList files;
    QSet<QString> seen;
    auto add = [&](const QString& path) {
        if (!seen.contains(path)) {
            seen.insert(path);
            files << path;
        }
    };
    for (const QString& path : FilesOfMimeData(data).paths) {
        if (QFileInfo(path).isDir()) {
            for (const QString& file : ImageFilesOfFolder(path)) add(file);
        } else if (IsSupportedImage(path)) {
            add(path);
        }
    }
    return files;
}

}  // namespace orm::gui
