#include "ui/dropped_files.h"

#include "browser/file_clipboard.h"
#include "imageio/image_file_types.h"

namespace orm::gui {

QStringList DroppedImageFiles(const QMimeData* data) {
    QStringList files;
    for (const QString& path : FilesOfMimeData(data).paths) {
        if (IsSupportedImage(path))
            files << path;
    }
    return files;
}

}  // namespace orm::gui
