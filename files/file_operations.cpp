#include "files/file_operations.h"

#include "files/folder_monitor.h"
#include "imageio/file_look.h"
#include "imageio/file_reader.h"
#include "imageio/image_file_types.h"
#include "imageio/native_path.h"
#include "imageio/safe_file_writer.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orm {
namespace {

constexpr int kMostNumberedNames = 10000;
constexpr qsizetype kCopyBlock = qsizetype(1) << 20;

QString FileNameOf(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString JoinPath(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

bool Lstat(const QString& path, struct stat& st) {
    return ::lstat(NativePath(path).constData(), &st) == 0;
}

// The path with every link resolved; empty when it does not exist.
QString RealPath(const QString& path) {
    std::unique_ptr<char, decltype(&std::free)> real(
        ::realpath(NativePath(path).constData(), nullptr), &std::free);
    return real ? PathFromNative(real.get()) : QString();
}

bool IsInside(const QString& path, const QString& folder) {
    return path == folder ||
           path.startsWith(folder == QLatin1String("/") ? folder : folder + QLatin1Char('/'));
}

QString ErrorText(int error) {
    return SystemErrorText(error);
}

void KeepTimesAndMode(const QString& path, const struct stat& source) {
    const QByteArray native = NativePath(path);
    const timespec times[2] = {source.st_atim, source.st_mtim};
    (void)::utimensat(AT_FDCWD, native.constData(), times, AT_SYMLINK_NOFOLLOW);
    if (!S_ISLNK(source.st_mode))
        (void)::chmod(native.constData(), source.st_mode & 0777);
}

// Makes the folder's entries durable (the name of a file just linked into it).
bool SyncFolder(const QString& folder, QString* error) {
    const int fd = ::open(NativePath(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        if (error)
            *error = ErrorText(errno);
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    ::close(fd);
    return true;
}

// Removes a file, a link or a whole folder, never following a link.
bool RemoveTree(const QString& path, QString* error) {
    const QByteArray native = NativePath(path);
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0) {
        if (errno == ENOENT)
            return true;
        *error = ErrorText(errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        if (::unlink(native.constData()) == 0)
            return true;
        *error = ErrorText(errno);
        return false;
    }
    DIR* dir = ::opendir(native.constData());
    if (!dir) {
        *error = ErrorText(errno);
        return false;
    }
    QStringList children;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArrayView name(entry->d_name);
        if (name != "." && name != "..")
            children << JoinPath(path, PathFromNative(name));
    }
    ::closedir(dir);
    for (const QString& child : children) {
        if (!RemoveTree(child, error))
            return false;
    }
    if (::rmdir(native.constData()) == 0)
        return true;
    *error = ErrorText(errno);
    return false;
}

// Renames without replacing. EEXIST when the name is taken.
int RenameNoReplace(const QString& from, const QString& to, bool isFolder) {
    const QByteArray a = NativePath(from), b = NativePath(to);
    if (::renameat2(AT_FDCWD, a.constData(), AT_FDCWD, b.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without RENAME_NOREPLACE: a hard link fails on a taken name as well.
    if (!isFolder) {
        if (::link(a.constData(), b.constData()) == 0) {
            ::unlink(a.constData());
            return 0;
        }
        if (errno != EPERM && errno != EOPNOTSUPP)
            return errno;
    }
    // Neither (FAT): look, then rename; nothing better exists there.
    if (PathEntryExists(to))
        return EEXIST;
    return ::rename(a.constData(), b.constData()) == 0 ? 0 : errno;
}

// One run of an operation: the progress state and the copy buffer.
class Transfer {
  public:
    explicit Transfer(const FileOpContext& context) : context_(context) {}

    FileOpProgress progress;
    bool cancelled = false;

    bool Tick() {
        if (!cancelled && context_.progress && !context_.progress(progress))
            cancelled = true;
        return !cancelled;
    }

    // Copies `source` (its lstat in st) into `folder` as `name`; with `numbered`, a taken name
    // gives way to the next numbered one, otherwise it is an error. Everything or nothing.
    bool CopyEntry(const QString& source, const struct stat& st, const QString& folder,
                   const QString& name, bool numbered, QString* created, QString* error) {
        if (S_ISREG(st.st_mode))
            return CopyFile(source, st, folder, name, numbered, created, error);
        if (S_ISLNK(st.st_mode))
            return CopyLink(source, folder, name, numbered, created, error);
        if (S_ISDIR(st.st_mode))
            return CopyFolder(source, st, folder, name, numbered, created, error);
        *error = NotARegularFileReason(st.st_mode);
        return false;
    }

  private:
    bool CopyFile(const QString& source, const struct stat& st, const QString& folder,
                  const QString& name, bool numbered, QString* created, QString* error) {
        // Without blocking and without following a link: the name was checked to be a regular
        // file, and what is opened must still be that file.
        const int in =
            ::open(NativePath(source).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (in < 0) {
            *error = ErrorText(errno);
            return false;
        }
        struct stat opened {};
        if (::fstat(in, &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_ino != st.st_ino ||
            opened.st_dev != st.st_dev) {
            ::close(in);
            *error = QStringLiteral("the file changed while it was opened");
            return false;
        }
        SafeFileWriter writer(JoinPath(folder, name), ExistingTarget::KeepExisting);
        bool ok = writer.Open(error);
        progress.bytesDone = 0;
        progress.bytesTotal = opened.st_size;
        buffer_.resize(kCopyBlock);
        while (ok) {
            const ssize_t n = ::read(in, buffer_.data(), size_t(buffer_.size()));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                *error = ErrorText(errno);
                ok = false;
            } else if (n == 0) {
                break;
            } else {
                ok = writer.Write(buffer_.constData(), n, error);
                progress.bytesDone += n;
                ok = ok && Tick();
            }
        }
        ::close(in);
        if (!ok)
            return false;  // the writer drops its unnamed file
        for (int n = 1;; ++n) {
            const CommitResult result = writer.Commit(error);
            if (result == CommitResult::Written)
                break;
            if (result == CommitResult::Failed)
                return false;
            if (!numbered || n >= kMostNumberedNames) {
                *error = ErrorText(EEXIST);
                return false;
            }
            writer.SetTarget(JoinPath(folder, NumberedName(name, n + 1)));
        }
        *created = writer.Target();
        KeepTimesAndMode(*created, st);
        return true;
    }

    bool CopyLink(const QString& source, const QString& folder, const QString& name, bool numbered,
                  QString* created, QString* error) {
        QByteArray target(PATH_MAX, '\0');
        const ssize_t length =
            ::readlink(NativePath(source).constData(), target.data(), size_t(target.size()));
        if (length < 0 || length >= target.size()) {
            *error = ErrorText(length < 0 ? errno : ENAMETOOLONG);
            return false;
        }
        target.truncate(length);
        for (int n = 1; n <= kMostNumberedNames; ++n) {
            const QString path = JoinPath(folder, n == 1 ? name : NumberedName(name, n));
            if (::symlink(target.constData(), NativePath(path).constData()) == 0) {
                *created = path;
                return true;
            }
            if (errno != EEXIST || !numbered)
                break;
        }
        *error = ErrorText(errno);
        return false;
    }

    bool CopyFolder(const QString& source, const struct stat& st, const QString& folder,
                    const QString& name, bool numbered, QString* created, QString* error) {
        QString made;
        for (int n = 1; n <= kMostNumberedNames; ++n) {
            const QString path = JoinPath(folder, n == 1 ? name : NumberedName(name, n, true));
            // Private while it fills; it takes the source's permissions at the end.
            if (::mkdir(NativePath(path).constData(), 0700) == 0) {
                made = path;
                break;
            }
            if (errno != EEXIST || !numbered)
                break;
        }
        if (made.isEmpty()) {
            *error = ErrorText(errno);
            return false;
        }
        QString childError;
        const bool ok = CopyChildren(source, made, &childError) && SyncFolder(made, &childError);
        if (!ok) {
            QString ignored;
            RemoveTree(made, &ignored);
            *error = childError;
            return false;
        }
        KeepTimesAndMode(made, st);
        *created = made;
        return true;
    }

    bool CopyChildren(const QString& source, const QString& made, QString* error) {
        DIR* dir = ::opendir(NativePath(source).constData());
        if (!dir) {
            *error = source + QStringLiteral(": ") + ErrorText(errno);
            return false;
        }
        QStringList names;
        while (const dirent* entry = ::readdir(dir)) {
            const QByteArrayView name(entry->d_name);
            if (name != "." && name != "..")
                names << PathFromNative(name);
        }
        ::closedir(dir);
        for (const QString& name : names) {
            const QString child = JoinPath(source, name);
            struct stat st {};
            QString created, reason;
            if (!Lstat(child, st)) {
                *error = child + QStringLiteral(": ") + ErrorText(errno);
                return false;
            }
            if (!CopyEntry(child, st, made, name, false, &created, &reason)) {
                // The deepest failure names its file; the folders around it pass it on.
                *error = S_ISDIR(st.st_mode) ? reason : child + QStringLiteral(": ") + reason;
                return false;
            }
        }
        return true;
    }

    const FileOpContext& context_;
    QByteArray buffer_;
};

// Moves `source` into `folder`: a rename on one file system, else a copy that is made durable
// before the source goes. Returns the new path; `error` may be set with a result (the source
// could not be removed after a complete copy).
QString MoveEntry(Transfer& transfer, const QString& source, const struct stat& st,
                  const QString& folder, QString* error) {
    const QString name = FileNameOf(source);
    const bool isFolder = S_ISDIR(st.st_mode);
    for (int n = 1; n <= kMostNumberedNames; ++n) {
        const QString target = JoinPath(folder, n == 1 ? name : NumberedName(name, n, isFolder));
        const int result = RenameNoReplace(source, target, isFolder);
        if (result == 0)
            return target;
        if (result == EEXIST)
            continue;
        if (result != EXDEV) {
            *error = ErrorText(result);
            return {};
        }
        QString created;
        if (!transfer.CopyEntry(source, st, folder, name, true, &created, error))
            return {};
        // The copy's data is on disk (the writer synced it); its name must be as well before
        // the source goes.
        if (!SyncFolder(folder, error)) {
            QString ignored;
            RemoveTree(created, &ignored);
            return {};
        }
        QString reason;
        if (!RemoveTree(source, &reason))
            *error = QStringLiteral("copied to %1, but the original could not be removed: %2")
                         .arg(created, reason);
        return created;
    }
    *error = ErrorText(EEXIST);
    return {};
}

QString StemOf(const QString& name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.left(dot) : name;
}

}  // namespace

bool FileOpReport::Succeeded() const {
    if (cancelled)
        return false;
    for (const FileOpEntry& entry : entries) {
        if (!entry.Done())
            return false;
    }
    return true;
}

QStringList FileOpReport::Failures() const {
    QStringList failures;
    for (const FileOpEntry& entry : entries) {
        if (!entry.error.isEmpty())
            failures << entry.source + QStringLiteral(": ") + entry.error;
    }
    return failures;
}

QStringList FileOpReport::Results() const {
    QStringList results;
    for (const FileOpEntry& entry : entries) {
        if (entry.Done())
            results << entry.result;
    }
    return results;
}

std::vector<FilePathChange> FileOpReport::FileChanges() const {
    std::vector<FilePathChange> changes;
    if (op == FileOp::Delete)
        return changes;
    for (const FileOpEntry& entry : entries) {
        if (!entry.isFolder && !entry.result.isEmpty() && entry.result != entry.source)
            changes.push_back({entry.source, entry.result});
    }
    return changes;
}

QStringList FileOpReport::Trashed() const {
    QStringList trashed;
    if (op != FileOp::Delete)
        return trashed;
    for (const FileOpEntry& entry : entries) {
        if (entry.Done())
            trashed << entry.source;
    }
    return trashed;
}

QString NumberedName(const QString& fileName, int n, bool isFolder) {
    const QString number = QStringLiteral(" (%1)").arg(n);
    const qsizetype dot = isFolder ? -1 : fileName.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return fileName + number;
    return fileName.left(dot) + number + fileName.mid(dot);
}

QString FileNameProblem(const QString& name) {
    if (name.isEmpty())
        return QStringLiteral("the name is empty");
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("\"%1\" cannot be a name").arg(name);
    if (name.contains(QLatin1Char('/')) || name.contains(QChar(0)))
        return QStringLiteral("a name cannot contain \"/\"");
    if (NativePath(name).size() > NAME_MAX)
        return ErrorText(ENAMETOOLONG);
    return {};
}

bool SameFileSystem(const QString& source, const QString& folder) {
    struct stat a {
    }, b{};
    return Lstat(source, a) && ::stat(NativePath(folder).constData(), &b) == 0 &&
           a.st_dev == b.st_dev;
}

bool MoveToTrash(const QString& path, QString* whereInTrash, QString* error) {
    // Qt 6.4 moves the file into "files/" of the working folder, and reports success, when the
    // user's data folder (which holds the Trash) does not exist yet.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (!data.isEmpty())
        QDir().mkpath(data);
    QString trashed;
    if (!QFile::moveToTrash(path, &trashed)) {
        if (error) {
            *error = PathEntryExists(path) ? QStringLiteral("the Trash cannot take it")
                                           : ErrorText(ENOENT);
        }
        return false;
    }
    if (QDir::isRelativePath(trashed)) {
        // Not a Trash: bring it back.
        const QString stray = QDir::current().absoluteFilePath(trashed);
        (void)::rename(NativePath(stray).constData(), NativePath(path).constData());
        QFile::remove(QDir::current().absoluteFilePath(
            QStringLiteral("info/") + FileNameOf(trashed) + QStringLiteral(".trashinfo")));
        if (error)
            *error = QStringLiteral("the Trash cannot take it");
        return false;
    }
    if (whereInTrash)
        *whereInTrash = trashed;
    return true;
}

FileOpReport RunFileOperation(FileOp op, const QStringList& sources, const QString& targetFolder,
                              const FileOpContext& context) {
    FileOpReport report;
    report.op = op;
    struct Source {
        QString path;
        struct stat st;
    };
    std::vector<Source> existing;
    for (const QString& path : sources) {
        Source source{path, {}};
        if (Lstat(path, source.st))
            existing.push_back(source);
        else
            report.missing << path;
    }
    if (existing.empty())
        return report;

    FolderMonitorPause pause(context.monitor);
    Transfer transfer(context);
    transfer.progress.fileCount = int(existing.size());
    const QString folder = op == FileOp::Delete ? QString() : RealPath(targetFolder);
    for (size_t i = 0; i < existing.size(); ++i) {
        const Source& source = existing[i];
        transfer.progress.fileIndex = int(i);
        transfer.progress.current = source.path;
        transfer.progress.bytesDone = transfer.progress.bytesTotal = 0;
        if (!transfer.Tick())
            break;
        const bool isFolder = S_ISDIR(source.st.st_mode);
        FileOpEntry entry{source.path, {}, {}, isFolder};
        if (op == FileOp::Delete) {
            MoveToTrash(source.path, &entry.result, &entry.error);
            report.entries.push_back(entry);
            continue;
        }
        if (folder.isEmpty() || !IsFolder(folder)) {
            entry.error = QStringLiteral("%1 is not a folder").arg(targetFolder);
        } else if (isFolder && IsInside(folder, RealPath(source.path))) {
            entry.error = QStringLiteral("a folder cannot go into itself");
        } else if (op == FileOp::Move && RealPath(FolderOf(source.path)) == folder) {
            entry.result = source.path;  // already there
        } else if (op == FileOp::Move) {
            entry.result = MoveEntry(transfer, source.path, source.st, folder, &entry.error);
        } else {
            transfer.CopyEntry(source.path, source.st, folder, FileNameOf(source.path), true,
                               &entry.result, &entry.error);
        }
        if (transfer.cancelled && entry.result.isEmpty()) {
            report.cancelled = true;
            break;
        }
        report.entries.push_back(entry);
    }
    report.cancelled = report.cancelled || transfer.cancelled;
    return report;
}

FileOpReport RenameFile(const QString& path, const QString& newName, const FileOpContext& context) {
    FileOpReport report;
    report.op = FileOp::Rename;
    struct stat st {};
    if (!Lstat(path, st)) {
        report.missing << path;
        return report;
    }
    FileOpEntry entry{path, {}, FileNameProblem(newName)};
    const QString folder = FolderOf(path);
    const QString newPath = JoinPath(folder, newName);
    if (!entry.error.isEmpty() || newPath == path) {
        entry.result = entry.error.isEmpty() ? path : QString();
        report.entries.push_back(entry);
        return report;
    }
    const bool isFolder = S_ISDIR(st.st_mode);
    entry.isFolder = isFolder;
    const QString sound = isFolder ? QString() : SoundCompanion(path);
    FolderMonitorPause pause(context.monitor);
    if (const int result = RenameNoReplace(path, newPath, isFolder)) {
        entry.error = result == EEXIST ? QStringLiteral("\"%1\" already exists").arg(newName)
                                       : ErrorText(result);
        report.entries.push_back(entry);
        return report;
    }
    entry.result = newPath;
    if (!sound.isEmpty()) {
        const QString newSound = JoinPath(folder, StemOf(newName) + PathExtension(sound));
        if (newSound != sound) {
            if (const int result = RenameNoReplace(sound, newSound, false)) {
                // Both or neither: the image takes its old name back.
                const int back = RenameNoReplace(newPath, path, false);
                const QString reason =
                    result == EEXIST
                        ? QStringLiteral("\"%1\" already exists").arg(FileNameOf(newSound))
                        : ErrorText(result);
                entry.error = QStringLiteral("its sound file cannot follow: %1").arg(reason);
                if (back == 0)
                    entry.result.clear();
                report.entries.push_back(entry);
                return report;
            }
        }
        report.entries.push_back(entry);
        report.entries.push_back(FileOpEntry{sound, newSound, {}});
    } else {
        report.entries.push_back(entry);
    }
    return report;
}

}  // namespace orm
