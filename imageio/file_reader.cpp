#include "imageio/file_reader.h"

#include "imageio/native_path.h"

#include <algorithm>
#include <cerrno>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orm {

namespace {

bool Fail(QString* error, const QString& reason) {
    if (error)
        *error = reason;
    return false;
}

QString SizeText(std::int64_t limit) {
    if (limit % (std::int64_t(1) << 30) == 0)
        return QStringLiteral("%1 GiB").arg(limit >> 30);
    return QStringLiteral("%1 bytes").arg(limit);
}

// Closes the descriptor on every way out.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

}  // namespace

QString NotARegularFileReason(unsigned mode) {
    if (S_ISREG(mode))
        return {};
    if (S_ISDIR(mode))
        return QStringLiteral("it is a folder, not a file");
    if (S_ISFIFO(mode))
        return QStringLiteral("it is a named pipe (FIFO), not a file");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("it is a device, not a file");
    if (S_ISSOCK(mode))
        return QStringLiteral("it is a socket, not a file");
    return QStringLiteral("it is not a regular file");
}

// Opens `path` for reading without blocking and checks that it is a regular file within
// `limit`; -1 with the reason otherwise (errno kept in `err`).
static int OpenRegularFile(const QString& path, std::int64_t limit, QString* error, struct stat& st,
                           int* err = nullptr) {
    // O_NONBLOCK: opening a pipe without a writer (or a device that waits for a carrier) returns
    // at once instead of hanging; fstat then refuses it. A regular file ignores the flag.
    int fd = -1;
    do {
        fd = ::open(NativePath(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (err)
            *err = errno;
        Fail(error, SystemErrorText(errno));
        return -1;
    }
    QString why;
    if (::fstat(fd, &st) != 0)
        why = SystemErrorText(errno);
    else if (why = NotARegularFileReason(st.st_mode); why.isEmpty() && st.st_size > limit)
        why = QStringLiteral("the file is too large: %1 bytes; at most %2 are read")
                  .arg(std::int64_t(st.st_size))
                  .arg(SizeText(limit));
    if (why.isEmpty())
        return fd;
    ::close(fd);
    Fail(error, why);
    return -1;
}

// read(2), again when a signal interrupted it.
static ssize_t ReadRetrying(int fd, char* data, size_t size) {
    ssize_t n;
    do {
        n = ::read(fd, data, size);
    } while (n < 0 && errno == EINTR);
    return n;
}

std::int64_t ReadLimit(ReadKind kind) {
    switch (kind) {
        case ReadKind::Image:
            return kMaxInputFileBytes;
        case ReadKind::BatchList:
            return std::int64_t(64) << 20;
        case ReadKind::SettingsFile:
            // Only the format's first bytes are used, but a longer file still reads as a
            // settings file (as it always has); the cap only stops a runaway source.
            return std::int64_t(16) << 20;
        case ReadKind::SettingsStore:
            return std::int64_t(16) << 20;
        case ReadKind::CacheFile:
            return std::int64_t(512) << 20;
        case ReadKind::SmallText:
            break;
    }
    return std::int64_t(1) << 20;
}

bool ReadWholeFile(const QString& path, QByteArray& bytes, QString* error, ReadKind kind) {
    return ReadWholeFile(path, bytes, error, ReadLimit(kind));
}

bool CheckRegularFile(const QString& path, ReadKind kind, QString* error, bool* missing) {
    struct stat st {};
    int err = 0;
    const int fd = OpenRegularFile(path, ReadLimit(kind), error, st, &err);
    if (missing)
        *missing = fd < 0 && err == ENOENT;
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

bool ReadWholeFile(const QString& path, QByteArray& bytes, QString* error, std::int64_t limit) {
    bytes.clear();
    struct stat st {};
    const int fd = OpenRegularFile(path, limit, error, st);
    if (fd < 0)
        return false;
    const Descriptor file(fd);
    try {
        bytes.resize(qsizetype(st.st_size));
        qsizetype done = 0;
        for (;;) {
            if (done == bytes.size()) {
                // The file may have grown since fstat: read on, within the limit.
                if (done >= limit) {
                    char probe = 0;
                    if (::read(fd, &probe, 1) > 0)
                        return Fail(error, QStringLiteral("the file is too large: more than %1")
                                               .arg(SizeText(limit)));
                    break;
                }
                bytes.resize(qsizetype(std::min<std::int64_t>(limit, std::int64_t(done) + 65536)));
            }
            const ssize_t n = ReadRetrying(fd, bytes.data() + done, size_t(bytes.size() - done));
            if (n < 0) {
                const int saved = errno;
                bytes.clear();
                return Fail(error, SystemErrorText(saved));
            }
            if (n == 0)
                break;
            done += n;
        }
        bytes.truncate(done);
    } catch (const std::bad_alloc&) {
        bytes.clear();
        return Fail(error, QStringLiteral("Not enough memory to read the file"));
    }
    return true;
}

bool ReadFileHead(const QString& path, QByteArray& bytes, std::int64_t maxBytes, bool* whole,
                  QString* error) {
    bytes.clear();
    struct stat st {};
    const int fd = OpenRegularFile(path, kMaxInputFileBytes, error, st);
    if (fd < 0)
        return false;
    const Descriptor file(fd);
    bytes.resize(qsizetype(std::clamp<std::int64_t>(st.st_size, 0, maxBytes)));
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ReadRetrying(fd, bytes.data() + done, size_t(bytes.size() - done));
        if (n <= 0) {
            if (n == 0)
                break;
            bytes.clear();
            return Fail(error, SystemErrorText(errno));
        }
        done += n;
    }
    bytes.truncate(done);
    *whole = std::int64_t(st.st_size) <= done;
    return true;
}

}  // namespace orm
