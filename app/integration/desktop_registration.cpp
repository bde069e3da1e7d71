#include "app/integration/desktop_registration.h"

#include "app/integration/file_manager_entries.h"
#include "app/integration/registration_record.h"
#include "imageio/safe_file_writer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace orm::integration {
namespace {

constexpr qint64 kMaxActionFileBytes = 4 << 20;

QByteArray ReadSmallFile(const QString& path, bool* ok = nullptr) {
    QFile file(path);
    const bool opened = file.open(QIODevice::ReadOnly) && file.size() <= kMaxActionFileBytes;
    if (ok)
        *ok = opened;
    return opened ? file.readAll() : QByteArray();
}

bool IsOurs(const QString& path) {
    return CarriesRegisterMarker(ReadSmallFile(path));
}

constexpr QFile::Permissions kExecutable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                           QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                           QFile::ExeOther;

// Writes a marked file unless a file of the user's is in the way; notes it and any folder made.
bool WriteEntry(const QString& path, const QByteArray& bytes, bool executable,
                RegistrationRecord& record, QStringList& written) {
    if (bytes.isEmpty())
        return false;
    if (QFileInfo(path).isSymLink() || (QFileInfo::exists(path) && !IsOurs(path)))
        return false;
    if (!record.MakeFolders(QFileInfo(path).path()) || !WriteFileSafely(path, bytes))
        return false;
    if (executable)
        QFile::setPermissions(path, kExecutable);
    record.NoteFile(path, bytes);
    written << path;
    return true;
}

// Thunar keeps all custom actions in one file. One that exists and is not ours stays as it is;
// a new one starts from the system's default actions, so they stay in the menu.
void WriteThunarAction(const UserPlaces& places, const RegistrationPaths& paths,
                       const QString& programPath, const QString& icon,
                       const RegistrationRecord& previous, RegistrationRecord& record,
                       QStringList& written) {
    if (!QFileInfo(paths.thunarFolder).isDir())
        return;
    if (QFileInfo(paths.thunarActions).isSymLink())
        return;
    if (QFileInfo::exists(paths.thunarActions) && !previous.Unchanged(paths.thunarActions))
        return;
    QByteArray defaults;
    for (const QString& dir : places.configDirs) {
        bool ok = false;
        defaults = ReadSmallFile(QDir(dir).filePath(QStringLiteral("Thunar/uca.xml")), &ok);
        if (ok)
            break;
    }
    const QByteArray bytes = ThunarActionFile(defaults, programPath, icon);
    if (bytes.isEmpty() || !WriteFileSafely(paths.thunarActions, bytes))
        return;
    record.NoteFile(paths.thunarActions, bytes);
    written << paths.thunarActions;
}

// Removes our action from Thunar's file: the whole file when it is as we wrote it, else only our
// action (Thunar rewrote it with the user's own actions).
void RemoveThunarAction(const RegistrationPaths& paths, const RegistrationRecord& record,
                        QStringList& removed) {
    if (!record.FileEntry(paths.thunarActions) || !QFileInfo::exists(paths.thunarActions))
        return;
    if (record.Unchanged(paths.thunarActions)) {
        if (QFile::remove(paths.thunarActions))
            removed << paths.thunarActions;
        return;
    }
    bool ok = false;
    const QByteArray current = ReadSmallFile(paths.thunarActions, &ok);
    const QByteArray without = WithoutThunarAction(current);
    if (ok && without != current && WriteFileSafely(paths.thunarActions, without))
        removed << paths.thunarActions;
}

}  // namespace

UserPlaces CurrentUserPlaces() {
    UserPlaces places;
    places.dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    places.configHome = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    places.configDirs = QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
    places.configDirs.removeAll(places.configHome);
    return places;
}

RegistrationPaths PathsFor(const UserPlaces& places) {
    const QDir data(places.dataHome);
    const QDir config(places.configHome);
    const QString script = QString::fromLatin1(kResizeActionName);
    RegistrationPaths p;
    p.launcher = data.filePath(QStringLiteral("applications/ormensura.desktop"));
    p.serviceMenu = data.filePath(QStringLiteral("kio/servicemenus/ormensura-resize.desktop"));
    p.nautilusScript = data.filePath(QStringLiteral("nautilus/scripts/") + script);
    p.nemoScript = data.filePath(QStringLiteral("nemo/scripts/") + script);
    p.thunarFolder = config.filePath(QStringLiteral("Thunar"));
    p.thunarActions = config.filePath(QStringLiteral("Thunar/uca.xml"));
    p.record = data.filePath(QStringLiteral("ORVEN Mensura/registered-files"));
    return p;
}

QString ProgramIcon(const QString& programPath) {
    const QDir programDir = QFileInfo(programPath).absoluteDir();
    for (const QString& candidate :
         {QStringLiteral("../share/icons/hicolor/scalable/apps/ormensura.svg"),
          QStringLiteral("ormensura.svg")}) {
        const QString path = QDir::cleanPath(programDir.filePath(candidate));
        if (QFileInfo(path).isFile())
            return path;
    }
    return QStringLiteral("ormensura");
}

QStringList RegisterProgram(const UserPlaces& places, const QString& programPath,
                            ProgramVersion version) {
    QStringList written;
    if (places.dataHome.isEmpty())
        return written;
    const RegistrationPaths paths = PathsFor(places);
    const RegistrationRecord previous = RegistrationRecord::Load(paths.record);
    RegistrationRecord record;
    // The record's own folder first, so that removal takes it back last.
    if (!record.MakeFolders(QFileInfo(paths.record).path()))
        return written;
    if (record.MakeFolders(PluginFolder(places.dataHome)) &&
        WriteDescriptor(places.dataHome, programPath, version))
        written << QDir(PluginFolder(places.dataHome)).filePath(DescriptorFileName(version));

    const QString icon = ProgramIcon(programPath);
    WriteEntry(paths.launcher, LauncherEntry(programPath, icon), false, record, written);
    WriteEntry(paths.serviceMenu, ServiceMenuEntry(programPath, icon), true, record, written);
    WriteEntry(paths.nautilusScript, FileManagerScript(programPath), true, record, written);
    WriteEntry(paths.nemoScript, FileManagerScript(programPath), true, record, written);
    if (!places.configHome.isEmpty())
        WriteThunarAction(places, paths, programPath, icon, previous, record, written);

    record.Merge(previous);
    record.Save(paths.record);
    return written;
}

QStringList UnregisterProgram(const UserPlaces& places, ProgramVersion version) {
    QStringList removed;
    if (places.dataHome.isEmpty())
        return removed;
    if (DeleteDescriptor(places.dataHome, version))
        removed << QDir(PluginFolder(places.dataHome)).filePath(DescriptorFileName(version));
    const RegistrationPaths paths = PathsFor(places);
    const RegistrationRecord record = RegistrationRecord::Load(paths.record);

    // Our marked files, whether or not the record names them.
    QStringList marked{paths.launcher, paths.serviceMenu, paths.nautilusScript, paths.nemoScript};
    for (const RegistrationRecord::Entry& e : record.Entries())
        if (!e.folder && e.path != paths.thunarActions && !marked.contains(e.path))
            marked << e.path;
    for (const QString& path : marked) {
        const QFileInfo info(path);
        if (info.isFile() && !info.isSymLink() && IsOurs(path) && QFile::remove(path))
            removed << path;
    }
    if (!places.configHome.isEmpty())
        RemoveThunarAction(paths, record, removed);

    // The folders registration made, deepest first, each only when nothing else is in it.
    QFile::remove(paths.record);
    const QList<RegistrationRecord::Entry>& entries = record.Entries();
    for (auto it = entries.crbegin(); it != entries.crend(); ++it)
        if (it->folder)
            QDir().rmdir(it->path);
    return removed;
}

}  // namespace orm::integration
