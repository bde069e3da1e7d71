#include "test_environment.h"

#include "settings/storage_folder.h"

#include <QDir>

namespace orm::test {

void ClearStorage() {
    QDir(StorageFolder(QString::fromLatin1(kSettingsSubfolder), false)).removeRecursively();
    QDir(StorageFolder(QString::fromLatin1(kBatchesSubfolder), false)).removeRecursively();
}

}  // namespace orm::test
