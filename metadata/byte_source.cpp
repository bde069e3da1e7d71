#include "metadata/byte_source.h"

#include <algorithm>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orm {

bool MemoryByteSource::Read(uint64_t offset, std::span<uint8_t> out) const {
    if (!Contains(offset, out.size()))
        return false;
    if (!out.empty())
        std::memcpy(out.data(), bytes_.data() + offset, out.size());
    return true;
}

FileByteSource::FileByteSource(const std::filesystem::path& path) {
    // Without blocking, and regular files only: a pipe or a device under an image's name would
    // hang the reader or never end.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return;
    }
    file_ = ::fdopen(fd, "rb");
    if (!file_) {
        ::close(fd);
        return;
    }
    if (fseeko(file_, 0, SEEK_END) != 0) {
        std::fclose(file_);
        file_ = nullptr;
        return;
    }
    const off_t end = ftello(file_);
    if (end < 0) {
        std::fclose(file_);
        file_ = nullptr;
        return;
    }
    size_ = static_cast<uint64_t>(end);
}

FileByteSource::~FileByteSource() {
    if (file_)
        std::fclose(file_);
}

bool FileByteSource::Read(uint64_t offset, std::span<uint8_t> out) const {
    if (!file_ || !Contains(offset, out.size()))
        return false;
    if (out.empty())
        return true;
    if (fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0)
        return false;
    return std::fread(out.data(), 1, out.size(), file_) == out.size();
}

SubByteSource::SubByteSource(const ByteSource& parent, uint64_t offset, uint64_t length)
    : parent_(parent), offset_(offset), length_(0) {
    // Clamp the window to the parent so Size() never promises bytes that are not there.
    if (parent.Contains(offset, 0))
        length_ = std::min(length, parent.Size() - offset);
}

bool SubByteSource::Read(uint64_t offset, std::span<uint8_t> out) const {
    if (!Contains(offset, out.size()))
        return false;
    return parent_.Read(offset_ + offset, out);
}

bool ReadBlock(const ByteSource& source, uint64_t offset, uint64_t length,
               std::vector<uint8_t>& out) {
    if (!source.Contains(offset, length))
        return false;
    out.resize(static_cast<size_t>(length));
    return source.Read(offset, out);
}

}  // namespace orm
