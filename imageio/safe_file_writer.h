#pragma once
// Writing a file safely: the bytes go to a temporary file in the target's folder, which replaces
// the target (by rename) only when it is complete and flushed. A failure leaves an existing
// target as it was and no temporary file behind. An existing target's permissions are kept.

#include <QByteArray>
#include <QSaveFile>
#include <QString>

#include <memory>

namespace orm {

// Writes data to path safely; on failure returns false and, when error is given, a reason.
bool WriteFileSafely(const QString& path, const QByteArray& data, QString* error = nullptr);

// For writers that stream: write into Device(), then Commit(). Destroying the writer without a
// successful Commit() removes the temporary file.
class SafeFileWriter {
public:
    explicit SafeFileWriter(const QString& path);
    ~SafeFileWriter();
    SafeFileWriter(const SafeFileWriter&) = delete;
    SafeFileWriter& operator=(const SafeFileWriter&) = delete;

    bool Open(QString* error = nullptr);
    QIODevice& Device();
    bool Commit(QString* error = nullptr);
    void Discard();

private:
    std::unique_ptr<QSaveFile> file_;
};

}  // namespace orm
