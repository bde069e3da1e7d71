#pragma once
// The thumbnail cache kept in step with what a file operation did: thumbnails follow the files
// that were copied, moved or renamed, and those of files moved to the Trash are dropped. The
// browser, the folder tree and the batch list call it with the report of each operation.

#include "files/file_operations.h"
#include "thumbnails/thumbnail_cache.h"

namespace orm {

void ThumbnailsFollow(ThumbnailCache& cache, const FileOpReport& report);

}  // namespace orm
