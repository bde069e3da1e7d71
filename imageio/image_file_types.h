#pragma once
// Which files are images to the program: the types it reads, by extension. What it writes is
// the table of output formats (output_formats.h); every written format is read as well.

#include <QString>
#include <QStringList>

namespace orm {

// The extension of a path: from the last dot of its file name ("" when there is none).
QString PathExtension(const QString& path);

// The extensions of the image files the program opens, lower case with the dot: those of every
// written format (output_formats.h), then the types only read: .heic .heif .avif (libheif).
const QStringList& ImageFileExtensions();

// Command line, Open dialog, drops, browser and batch list: the extension is one of
// ImageFileExtensions(), case ignored.
bool IsSupportedImage(const QString& path);

// The Open dialog's filters: all types read, then each written format, then the types only read.
QString OpenDialogFilter();

// Next/previous file in a folder: the same extensions without .gif (GIF files are skipped).
bool IsNavigableImage(const QString& fileName);

// The extension an output keeps from its input when its format is not changed: the input's own,
// except for the types that are read but not written (HEIF and AVIF photos), which become JPEG
// files (".jpg").
QString KeptOutputExtension(const QString& inputExtension);

}  // namespace orm
