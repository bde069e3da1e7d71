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

// The first `maxBytes` bytes of an input image file (the whole file when it is shorter; `whole`
// tells which), with the checks of ReadWholeFile: enough for the header of most image files.
bool ReadFileHead(const QString& path, QByteArray& bytes, std::int64_t maxBytes, bool* whole,
                  QString* error = nullptr);

// The kinds of files the program reads, each with its own cap on the bytes read: a name that
// stands for /dev/zero or a grown file must not make a reader allocate without end.
enum class ReadKind {
    Image,          // an input image (kMaxInputFileBytes)
    BatchList,      // a saved batch list
    SettingsFile,   // a saved settings file, a named settings entry
    SettingsStore,  // the program's own settings store
    CacheFile,      // a thumbnail cache index or folder file
    SmallText,      // colour scheme, registration record and other small text files
};
std::int64_t ReadLimit(ReadKind kind);

// ReadWholeFile with the cap of `kind`.
bool ReadWholeFile(const QString& path, QByteArray& bytes, QString* error, ReadKind kind);

// For readers that open the file themselves (the settings store, a document's first look): true
// when `path` opens without blocking as a regular file of at most the cap of `kind`; the file is
// not read. `missing` (when given) is set when the name does not exist, which is not an error
// for readers that start empty.
bool CheckRegularFile(const QString& path, ReadKind kind, QString* error = nullptr,
                      bool* missing = nullptr);

// Why a file of the given type (st_mode) is not read, or empty for a regular file.
QString NotARegularFileReason(unsigned mode);

}  // namespace orm
