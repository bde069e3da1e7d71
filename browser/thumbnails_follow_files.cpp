#include "browser/thumbnails_follow_files.h"

namespace orm {

void ThumbnailsFollow(ThumbnailCache& cache, const FileOpReport& report) {
    for (const FilePathChange& change : report.FileChanges())
        ThumbnailFollowsFile(cache, change.from, change.to);
    const QStringList trashed = report.Trashed();
    if (trashed.isEmpty())
        return;
    auto map = cache.Lock();
    for (const QString& path : trashed) map->RemoveKey(path);
}

}  // namespace orm
