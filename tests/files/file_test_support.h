#pragma once
// Helpers of the file operation, clipboard and monitor tests: files with known bytes, folder
// listings that show hidden files too, and a folder on a second file system.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace orm::test {

// Writes the bytes (making the folder); fails the test when it cannot.
void WriteBytes(const QString& path, const QByteArray& bytes);
QByteArray ReadBytes(const QString& path);
// The names in the folder, hidden ones included, sorted.
QStringList NamesIn(const QString& folder);
// A temporary folder on another file system than `near` (in /dev/shm), or null with the reason.
std::unique_ptr<QTemporaryDir> FolderOnOtherFileSystem(const QString& near, QString* reason);

}  // namespace orm::test
