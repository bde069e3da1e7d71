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

bool ReadWholeFile(const QString& path, QByteArray& bytes, QString* error, std::int64_t limit) {
    bytes.clear();
    // O_NONBLOCK: opening a pipe without a writer (or a device that waits for a carrier) returns
    // at once instead of hanging; fstat then refuses it. A regular file ignores the flag.
    int fd = -1;
    do {
        fd = ::open(NativePath(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return Fail(error, SystemErrorText(errno));
    const Descriptor file(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return Fail(error, SystemErrorText(errno));
    if (const QString why = NotARegularFileReason(st.st_mode); !why.isEmpty())
        return Fail(error, why);
    if (st.st_size > limit)
        return Fail(error, QStringLiteral("the file is too large: %1 bytes; at most %2 are read")
                               .arg(std::int64_t(st.st_size))
                               .arg(SizeText(limit)));
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
            const ssize_t n = ::read(fd, bytes.data() + done, size_t(bytes.size() - done));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
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

}  // namespace orm
