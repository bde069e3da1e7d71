#pragma once
// Listing the image files of a folder for the browser: which files count, and one pass over the
// folder that reads each file's facts with the listing (one status call per entry).

#include "browser/browser_item.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace orm {

// Whether the browser lists a file of this name: the five short extensions (.jpg .tif .gif .bmp
// .png) and the long and newer spellings (.jpeg .jpe .tiff .webp .heic .heif .avif), any case.
// The same rule decides which files the thumbnail builder makes thumbnails of.
bool BrowserListsFile(const QString& path);

struct ScannedFile {
    QString path;
    FileFacts facts;
};

struct FolderScanOptions {
    // Files of this many bytes or fewer are left out (a folder scan skips files of 15 bytes or
    // less: no image file is that small); -1 keeps every size.
    int64_t maxSkippedSize = -1;
};

// The regular files (links to them included) of `folder` that the browser lists, in the order
// the file system gives them. Folders, devices and pipes are never listed whatever their name.
// A folder that cannot be read yields an empty list, and `failure` (when given) the system's
// reason ("Permission denied"); it is emptied when the folder was read.
std::vector<ScannedFile> ScanFolder(const QString& folder, const FolderScanOptions& options = {},
                                    QString* failure = nullptr);

}  // namespace orm
