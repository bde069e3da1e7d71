#include "document/folder_navigation.h"

#include "imageio/image_file_types.h"

#include <QDir>
#include <QFileInfo>

namespace orm {

std::optional<QString> FindNeighbourName(const QStringList& entries, const QString& reference,
                                         const QStringList& skip, StepDirection direction) {
    QStringList list;
    for (const QString& name : entries) {
        if (IsNavigableImage(name) && !skip.contains(name, Qt::CaseSensitive))
            list.append(name);
    }
    qsizetype at = -1;
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (list[i] == reference) {  // Linux names are case-sensitive
            at = i;
            break;
        }
    }
    if (at < 0 || list.size() < 2)
        return std::nullopt;
    const qsizetype n = list.size();
    const qsizetype next = direction == StepDirection::Next ? (at + 1) % n : (at + n - 1) % n;
    return list[next];
}

QStringList ListFolderFiles(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase);
}

std::optional<QString> FindNeighbourFile(const QString& referencePath, const QStringList& skipPaths,
                                         StepDirection direction) {
    const QFileInfo info(referencePath);
    const QDir dir = info.absoluteDir();
    QStringList skipNames;
    for (const QString& p : skipPaths) {
        const QFileInfo s(p);
        if (s.absoluteDir() == dir)
            skipNames.append(s.fileName());
    }
    const auto name =
        FindNeighbourName(ListFolderFiles(dir.path()), info.fileName(), skipNames, direction);
    if (!name)
        return std::nullopt;
    return dir.filePath(*name);
}

}  // namespace orm
