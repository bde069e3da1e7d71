#pragma once
// Writing a file safely: the bytes go to a temporary file in the target's folder, which takes
// the target's name only when it is complete and on disk. A failure leaves an existing target as
// it was and no temporary file behind.
//
// - The temporary file has no name while it is written (O_TMPFILE), so a process killed at any
//   moment leaves nothing behind; on file systems without unnamed files it is a hidden
//   ".NAME.XXXXXX" beside the target, removed on failure.
// - The target is never followed through a link: the result is a regular file at the named path
//   (a link there is replaced itself, never the file it points to).
// - Replacing keeps the replaced file's permissions and, where the system allows it (as root),
//   its owner and group.
// - With KeepExisting the commit never replaces anything: whatever appeared under the name in
//   the meantime (a file, a link, a folder) makes it report TargetExists, atomically (linkat or
//   renameat2 with RENAME_NOREPLACE). The data stays ready to be committed under another name.

#include <QByteArray>
#include <QString>

namespace orm {

enum class ExistingTarget {
    Replace,       // an existing target is replaced by the complete new file
    KeepExisting,  // an existing target is left alone and the commit reports it
};

enum class CommitResult {
    Written,
    TargetExists,  // KeepExisting only: the name is taken; nothing was written there
    Failed,
};

class SafeFileWriter {
  public:
    explicit SafeFileWriter(const QString& path, ExistingTarget existing = ExistingTarget::Replace);
    ~SafeFileWriter();  // discards what was not committed
    SafeFileWriter(const SafeFileWriter&) = delete;
    SafeFileWriter& operator=(const SafeFileWriter&) = delete;

    // Creates the temporary file; false with the system's reason.
    bool Open(QString* error = nullptr);
    // Appends bytes; false with the system's reason ("No space left on device").
    bool Write(const char* data, qsizetype size, QString* error = nullptr);
    bool Write(const QByteArray& data, QString* error = nullptr) {
        return Write(data.constData(), data.size(), error);
    }
    // Flushes the file to disk and gives it the target's name.
    CommitResult Commit(QString* error = nullptr);
    // Another name in the same folder for the next Commit (after TargetExists).
    void SetTarget(const QString& path);
    const QString& Target() const { return path_; }
    // Drops the temporary file.
    void Discard();

  private:
    CommitResult LinkUnnamed(QString* error);
    CommitResult MoveNamed(QString* error);

    QString path_;
    ExistingTarget existing_;
    int fd_ = -1;
    bool unnamed_ = false;  // O_TMPFILE; otherwise tempName_ holds the temporary file's path
    QByteArray tempName_;
    bool failed_ = false;  // a write failed: nothing may be committed
    QString writeError_;
};

// Writes data to path safely (replacing an existing file); false with a reason in error.
bool WriteFileSafely(const QString& path, const QByteArray& data, QString* error = nullptr);

// The same with a choice about an existing target.
CommitResult WriteFileSafely(const QString& path, const QByteArray& data, ExistingTarget existing,
                             QString* error = nullptr);

}  // namespace orm
