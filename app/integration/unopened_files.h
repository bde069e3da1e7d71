#pragma once
// Files named on the program's command line that it does not open (missing, a folder, not an
// image type it reads): a line for the terminal and a message for the window, never silence.

#include <QString>
#include <QStringList>

namespace orm::integration {

// Why the argument is not opened: "there is no such file", "it is a folder", or the image types
// that are opened.
QString UnopenedReason(const QString& argument);

// "ormensura: can't open <argument>: <reason>" for each argument, one per line.
QString UnopenedFilesLines(const QStringList& arguments);

// The window's message: "Can't open file\n<argument>!\n<Reason>." for each, separated by an empty
// line; empty when there are none.
QString UnopenedFilesMessage(const QStringList& arguments);

}  // namespace orm::integration
