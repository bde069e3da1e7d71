#pragma once
// Quoting a program path for the command lines that desktops and file managers run.

#include <QString>

namespace orm::integration {

// One argument of a desktop entry's Exec key, as written in the file: plain when it holds no
// reserved character, otherwise in double quotes with " ` $ \ escaped; then the file's own
// escaping (a backslash doubled) and '%' doubled. Empty when the text cannot be written there
// (a control character such as a line feed).
QString DesktopExecArgument(const QString& argument);

// The text as one word of a POSIX shell: in single quotes, a quote written as '\''.
QString ShellQuoted(const QString& text);

// Whether the text can stand in a desktop entry's value (or a script line): no control characters.
bool FitsInDesktopEntry(const QString& text);

}  // namespace orm::integration
