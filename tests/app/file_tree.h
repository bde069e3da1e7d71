#pragma once
// Small file helpers of the desktop tests, and a snapshot of a folder tree to compare before and
// after registration.

#include <QByteArray>
#include <QString>

#include <map>
#include <string>

namespace orm::test {

// Every folder and file under root by relative path: a folder as "<dir>", a file as its bytes
// (with "+x" appended when it is executable).
using FileTree = std::map<std::string, std::string>;
FileTree Snapshot(const QString& root);

// Writes a file, making its folders.
void WriteFile(const QString& path, const QByteArray& bytes);
QByteArray ReadFile(const QString& path);

}  // namespace orm::test
