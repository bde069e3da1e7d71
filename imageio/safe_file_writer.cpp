#include "imageio/safe_file_writer.h"

namespace orm {

SafeFileWriter::SafeFileWriter(const QString& path) : file_(std::make_unique<QSaveFile>(path)) {
    // Never fall back to writing the target in place.
    file_->setDirectWriteFallback(false);
}

SafeFileWriter::~SafeFileWriter() {
    Discard();
}

bool SafeFileWriter::Open(QString* error) {
    if (file_->open(QIODevice::WriteOnly))
        return true;
    if (error)
        *error = file_->errorString();
    return false;
}

QIODevice& SafeFileWriter::Device() {
    return *file_;
}

bool SafeFileWriter::Commit(QString* error) {
    if (!file_->isOpen()) {
        if (error)
            *error = QStringLiteral("the file is not open");
        return false;
    }
    // QSaveFile flushes and syncs the temporary file, then renames it over the target; on any
    // failure it removes the temporary file and leaves the target alone.
    if (file_->commit())
        return true;
    if (error)
        *error = file_->errorString();
    return false;
}

void SafeFileWriter::Discard() {
    if (file_->isOpen()) {
        file_->cancelWriting();
        file_->commit();  // after cancelWriting() this only removes the temporary file
    }
}

bool WriteFileSafely(const QString& path, const QByteArray& data, QString* error) {
    SafeFileWriter writer(path);
    if (!writer.Open(error))
        return false;
    if (writer.Device().write(data) != data.size()) {
        if (error)
            *error = writer.Device().errorString();
        return false;
    }
    return writer.Commit(error);
}

}  // namespace orm
