#pragma once
// Files on the clipboard and in drags, as Linux file managers exchange them: "text/uri-list"
// (file:// URIs), GNOME's "x-special/gnome-copied-files" ("copy" or "cut", then one URI a line)
// and KDE's "application/x-kde-cutselection" ("1" when cut). Files, Dolphin, Thunar and Nemo
// paste what the browser copies, and the browser pastes what they copy or cut. File names that
// are not UTF-8 travel as their bytes, percent-encoded.

#include "files/file_operations.h"

#include <QString>
#include <QStringList>
#include <Qt>

#include <memory>

class QClipboard;
class QMimeData;

namespace orm {

enum class ClipboardAction { Copy, Cut };

struct TransferredFiles {
    QStringList paths;  // local files, in order, each once
    bool cut = false;   // the giver wants them moved
};

// The MIME data of the files (for the clipboard or a drag): the three formats and the paths as
// plain text.
std::unique_ptr<QMimeData> MakeFilesMimeData(const QStringList& paths, ClipboardAction action);
// The local files of the data, with the giver's wish; URIs of other machines are left out.
TransferredFiles FilesOfMimeData(const QMimeData* data);
// Whether the data holds local files (what "&Paste" and a drop need).
bool HasFiles(const QMimeData* data);

// A file URI for a path, and back (empty for anything but a local file).
QByteArray FileUri(const QString& path);
QString PathOfFileUri(const QByteArray& uri);

// "&Paste": copies the clipboard's files into the folder, or moves them when they were cut; a
// successful move empties the clipboard. The caller refreshes the list afterwards.
FileOpReport PasteFiles(QClipboard& clipboard, const QString& folder,
                        const FileOpContext& context = {});

// What a drop of `files` on `folder` does: copy with Ctrl, move with Shift, otherwise move when
// the first file lies on the folder's file system and copy when not. IgnoreAction without files.
Qt::DropAction DropActionFor(const QStringList& files, const QString& folder,
                             Qt::KeyboardModifiers modifiers);

}  // namespace orm
