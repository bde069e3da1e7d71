#pragma once
// Reading a whole input file without hanging and without running away. A name can stand for a
// named pipe, a device, a socket or a folder as easily as for a file, and opening a pipe blocks
// until someone writes to it. Every reader of users' files therefore opens without blocking,
// accepts only a regular file, and reads at most kMaxInputFileBytes.

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace orm {

// The largest input file read (2 GiB).
inline constexpr std::int64_t kMaxInputFileBytes = std::int64_t(2) << 30;

// The whole file into bytes; false with a reason for the user when the name is not a regular
// file ("it is a named pipe (FIFO)", "it is a folder", ...), when it is larger than `limit`
// ("the file is too large: N bytes; at most 2 GiB are read"), or when reading fails.
bool ReadWholeFile(const QString& path, QByteArray& bytes, QString* error = nullptr,
                   std::int64_t limit = kMaxInputFileBytes);

// Why a file of the given type (st_mode) is not read, or empty for a regular file.
QString NotARegularFileReason(unsigned mode);

}  // namespace orm
