#include "file_test_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace orm::test {

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList NamesIn(const QString& folder) {
    QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                               QDir::NoDotAndDotDot);
    names.sort();
    return names;
}

std::unique_ptr<QTemporaryDir> FolderOnOtherFileSystem(const QString& near, QString* reason) {
    struct stat a {
    }, b{};
    if (::stat("/dev/shm", &b) != 0 || ::stat(QFile::encodeName(near).constData(), &a) != 0) {
        *reason = QStringLiteral("no /dev/shm");
        return nullptr;
    }
    if (a.st_dev == b.st_dev) {
        *reason = QStringLiteral("/dev/shm is on the file system of the test folder");
        return nullptr;
    }
    auto dir = std::make_unique<QTemporaryDir>(QStringLiteral("/dev/shm/orm-test-XXXXXX"));
    if (!dir->isValid()) {
        *reason = QStringLiteral("/dev/shm is not writable");
        return nullptr;
    }
    return dir;
}

}  // namespace orm::test
