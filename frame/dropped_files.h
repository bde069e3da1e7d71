#pragma once
// The image files a drop or the clipboard carries, as Linux file managers hand them over: a
// text/uri-list (drags, and copies in most file managers) or GNOME's x-special/gnome-copied-files
// ("copy" or "cut", then one URI per line). No widgets.

#include <QStringList>

class QMimeData;

namespace orm::gui {

// The image files of a folder, by name (case aside), without those of its sub-folders.
QStringList ImageFilesOfFolder(const QString& folder);

// The local files of the data, in order, each once; only those IsSupportedImage accepts. A folder
// stands for its own image files (ImageFilesOfFolder): a drop of a folder tree takes the images
// the user sees in it, not everything below.
QStringList DroppedImageFiles(const QMimeData* data);

}  // namespace orm::gui
