#include "tool_files.h"

#include "imageio/file_reader.h"
#include "imageio/native_path.h"
#include "imageio/safe_file_writer.h"

namespace minijpeg {

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
    // The program's reader: a regular file only (a pipe or a device would hang or never end),
    // at most 2 GiB.
    QByteArray data;
    QString why;
    if (!orm::ReadWholeFile(
            orm::PathFromNative(QByteArrayView(path.data(), qsizetype(path.size()))), data, &why)) {
        error = why.toStdString();
        return false;
    }
    bytes.assign(data.begin(), data.end());
    return true;
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes,
                    std::string& error) {
    // The program's safe writer: complete or not at all, nothing left behind.
    QString why;
    const QByteArray data(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    if (!orm::WriteFileSafely(
            orm::PathFromNative(QByteArrayView(path.data(), qsizetype(path.size()))), data, &why)) {
        error = why.toStdString();
        return false;
    }
    return true;
}

}  // namespace minijpeg
