#pragma once
// File names as the system gives them. Linux names are bytes, usually but not always UTF-8; Qt
// turns bytes that are not UTF-8 into U+FFFD, after which the file cannot be found again. Here
// each such byte becomes the lone surrogate U+DC80..U+DCFF (no UTF-8 text can produce one), so
// every name survives the trip through a QString and back byte for byte.
//
// The readers, the safe writer, the output naming and the command line go through these
// functions, never through QFile::encodeName/decodeName.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace orm {

// The bytes of a path for the system's calls.
QByteArray NativePath(const QString& path);

// A path from the system's bytes (argv, readdir, getcwd).
QString PathFromNative(QByteArrayView bytes);

// The byte that position i of a path stands for when it is not UTF-8, or -1 for text.
int EscapedByteAt(const QString& path, qsizetype i);

// Whether the path's bytes are UTF-8 (so the path shows as it is).
bool IsUtf8Path(const QString& path);

// Whether anything has this name: a file, a folder, a link (even one that points nowhere).
bool PathEntryExists(const QString& path);

// Whether the path is a folder (links followed).
bool IsFolder(const QString& path);

// Whether new files can be made in the folder; otherwise false with the system's reason
// ("Permission denied", "Read-only file system").
bool CanCreateFilesIn(const QString& folder, QString* reason = nullptr);

// The path made absolute against the current folder and cleaned ("a/../b" is "b"), without
// asking the file system about links.
QString AbsolutePath(const QString& path);

// The folder part of a path (without the trailing '/'): "." for a bare name, "/" for "/x".
QString FolderOf(const QString& path);

// The text of an errno value, as the system words it ("No space left on device").
QString SystemErrorText(int error);

}  // namespace orm
