#include "imageio/safe_file_writer.h"

#include "imageio/native_path.h"

#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orm {

namespace {

constexpr int kTempNameAttempts = 100;

CommitResult Fail(QString* error, const QString& reason) {
    if (error)
        *error = reason;
    return CommitResult::Failed;
}

// ".NAME.XXXXXX" beside the target: hidden, and never an image name the program would list.
// The name part is cut (in bytes) so the whole stays within NAME_MAX: a target name of 248 to
// 255 bytes must not fail for its temporary name.
QByteArray TemporaryName(const QString& target) {
    const QString folder = FolderOf(target);
    QByteArray name = NativePath(target.mid(target.lastIndexOf(QLatin1Char('/')) + 1));
    static constexpr char kLetters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QByteArray suffix(6, 'x');
    for (char& c : suffix)
        c = kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters - 1))];
    constexpr qsizetype kNameRoom = NAME_MAX - 2 - 6;  // the two dots and the suffix
    if (name.size() > kNameRoom)
        name.truncate(kNameRoom);
    return NativePath(folder) + "/." + name + '.' + suffix;
}

// Gives the replaced file's owner, group and permissions to the new one. Changing the owner
// needs root; a user may still hand the file to one of their own groups. Failures are not
// errors: the file is then the writer's, as any new file would be.
void TakeOverOwnership(int fd, const QByteArray& target) {
    struct stat st {};
    if (::lstat(target.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return;
    if (::fchown(fd, st.st_uid, st.st_gid) != 0)
        (void)::fchown(fd, uid_t(-1), st.st_gid);
    // After chown, which may clear the set-user-ID bits.
    (void)::fchmod(fd, st.st_mode & 07777);
}

// Links the unnamed file of fd under name. Through /proc (any user may do this); where /proc is
// missing, AT_EMPTY_PATH (needs CAP_DAC_READ_SEARCH).
int LinkDescriptor(int fd, const QByteArray& name) {
    const QByteArray proc = "/proc/self/fd/" + QByteArray::number(fd);
    if (::linkat(AT_FDCWD, proc.constData(), AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW) == 0)
        return 0;
    if (errno != ENOENT || ::access("/proc/self/fd", F_OK) == 0)
        return -1;
    return ::linkat(fd, "", AT_FDCWD, name.constData(), AT_EMPTY_PATH);
}

}  // namespace

SafeFileWriter::SafeFileWriter(const QString& path, ExistingTarget existing)
    : path_(path), existing_(existing) {}

SafeFileWriter::~SafeFileWriter() {
    Discard();
}

bool SafeFileWriter::Open(QString* error) {
    Discard();
    failed_ = false;
    writeError_.clear();
    const QByteArray folder = NativePath(FolderOf(path_));
    fd_ = ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd_ >= 0) {
        unnamed_ = true;
        return true;
    }
    // File systems without unnamed files answer EOPNOTSUPP (old kernels EISDIR or EINVAL);
    // anything else (a missing or read-only folder) is the answer.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        Fail(error, SystemErrorText(errno));
        return false;
    }
    unnamed_ = false;
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
        tempName_ = TemporaryName(path_);
        fd_ = ::open(tempName_.constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOFOLLOW,
                     0666);
        if (fd_ >= 0)
            return true;
        if (errno != EEXIST)
            break;
    }
    const int saved = errno;
    tempName_.clear();
    Fail(error, SystemErrorText(saved));
    return false;
}

bool SafeFileWriter::Write(const char* data, qsizetype size, QString* error) {
    if (fd_ < 0) {
        Fail(error, QStringLiteral("the file is not open"));
        return false;
    }
    while (size > 0 && !failed_) {
        const ssize_t n = ::write(fd_, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // A write that makes no progress without an error is a full disk as well.
            failed_ = true;
            writeError_ = SystemErrorText(n < 0 ? errno : ENOSPC);
            break;
        }
        data += n;
        size -= n;
    }
    if (failed_)
        Fail(error, writeError_);
    return !failed_;
}

CommitResult SafeFileWriter::Commit(QString* error) {
    if (fd_ < 0)
        return Fail(error, QStringLiteral("the file is not open"));
    if (failed_) {
        const QString reason = writeError_;
        Discard();
        return Fail(error, reason);
    }
    const QByteArray target = NativePath(path_);
    if (existing_ == ExistingTarget::Replace)
        TakeOverOwnership(fd_, target);
    // Delayed allocation reports a full disk here rather than at write().
    if (::fsync(fd_) != 0) {
        const QString reason = SystemErrorText(errno);
        Discard();
        return Fail(error, reason);
    }
    const CommitResult result = unnamed_ ? LinkUnnamed(error) : MoveNamed(error);
    if (result == CommitResult::Written) {
        ::close(fd_);
        fd_ = -1;
        tempName_.clear();
    } else if (result == CommitResult::Failed) {
        Discard();
    }
    return result;
}

CommitResult SafeFileWriter::LinkUnnamed(QString* error) {
    const QByteArray target = NativePath(path_);
    if (existing_ == ExistingTarget::KeepExisting) {
        if (LinkDescriptor(fd_, target) == 0)
            return CommitResult::Written;
        return errno == EEXIST ? CommitResult::TargetExists : Fail(error, SystemErrorText(errno));
    }
    // A link cannot replace: name the file beside the target, then rename it over the target.
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
        const QByteArray temp = TemporaryName(path_);
        if (LinkDescriptor(fd_, temp) != 0) {
            if (errno == EEXIST)
                continue;
            return Fail(error, SystemErrorText(errno));
        }
        if (::rename(temp.constData(), target.constData()) == 0)
            return CommitResult::Written;
        const int saved = errno;
        ::unlink(temp.constData());
        return Fail(error, SystemErrorText(saved));
    }
    return Fail(error, SystemErrorText(EEXIST));
}

CommitResult SafeFileWriter::MoveNamed(QString* error) {
    const QByteArray target = NativePath(path_);
    if (existing_ == ExistingTarget::Replace) {
        if (::rename(tempName_.constData(), target.constData()) == 0)
            return CommitResult::Written;
        return Fail(error, SystemErrorText(errno));
    }
    if (::renameat2(AT_FDCWD, tempName_.constData(), AT_FDCWD, target.constData(),
                    RENAME_NOREPLACE) == 0)
        return CommitResult::Written;
    if (errno == EEXIST)
        return CommitResult::TargetExists;
    if (errno != EINVAL && errno != ENOSYS)
        return Fail(error, SystemErrorText(errno));
    // No RENAME_NOREPLACE here: a hard link fails on an existing name just as well.
    if (::link(tempName_.constData(), target.constData()) == 0) {
        ::unlink(tempName_.constData());
        return CommitResult::Written;
    }
    if (errno == EEXIST)
        return CommitResult::TargetExists;
    if (errno != EPERM && errno != EOPNOTSUPP)
        return Fail(error, SystemErrorText(errno));
    // A file system with neither (FAT): look, then rename. Another writer can slip in between;
    // nothing better exists there.
    if (PathEntryExists(path_))
        return CommitResult::TargetExists;
    if (::rename(tempName_.constData(), target.constData()) == 0)
        return CommitResult::Written;
    return Fail(error, SystemErrorText(errno));
}

void SafeFileWriter::SetTarget(const QString& path) {
    path_ = path;
}

void SafeFileWriter::Discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!unnamed_ && !tempName_.isEmpty())
        ::unlink(tempName_.constData());
    tempName_.clear();
}

bool WriteFileSafely(const QString& path, const QByteArray& data, QString* error) {
    return WriteFileSafely(path, data, ExistingTarget::Replace, error) == CommitResult::Written;
}

CommitResult WriteFileSafely(const QString& path, const QByteArray& data, ExistingTarget existing,
                             QString* error) {
    SafeFileWriter writer(path, existing);
    if (!writer.Open(error) || !writer.Write(data, error))
        return CommitResult::Failed;
    return writer.Commit(error);
}

}  // namespace orm
