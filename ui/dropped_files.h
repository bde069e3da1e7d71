#pragma once
// The image files a drop or the clipboard carries, as Linux file managers hand them over: a
// text/uri-list (drags, and copies in most file managers) or GNOME's x-special/gnome-copied-files
// ("copy" or "cut", then one URI per line). No widgets.

#include <QStringList>

class QMimeData;

namespace orm::gui {

// The local files of the data, in order, each once; only those IsSupportedImage accepts.
QStringList DroppedImageFiles(const QMimeData* data);

}  // namespace orm::gui
