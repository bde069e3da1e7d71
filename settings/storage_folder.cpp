#include "settings/storage_folder.h"

#include <QDir>
#include <QStandardPaths>

namespace orm {

QString StorageFolder(const QString& subfolder, bool create) {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString path =
        QDir(base).filePath(QString::fromLatin1(kApplicationTitle) + QLatin1Char('/') + subfolder);
    if (create)
        QDir().mkpath(path);
    return path + QLatin1Char('/');
}

QString SettingsFolder(bool create) {
    return StorageFolder(QString::fromLatin1(kSettingsSubfolder), create);
}

QStringList FilesWithExtension(const QString& folder, const QString& extension) {
    const QString suffix = QLatin1Char('.') + extension.toLower();
    QStringList result;
    const QDir dir(folder);
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString& name : names) {
        if (name.size() > suffix.size() && name.toLower().endsWith(suffix))
            result.append(name);
    }
    return result;
}

bool HasSavedSettings() {
    return !FilesWithExtension(SettingsFolder(false), QString::fromLatin1(kSettingsExtension))
                .isEmpty();
}

}  // namespace orm
