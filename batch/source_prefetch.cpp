#include "batch/source_prefetch.h"

#include "imageio/file_reader.h"
#include "imageio/memory_needs.h"
#include "imageio/native_path.h"

#include <chrono>
#include <new>

#include <sys/stat.h>

namespace orm {

std::optional<FileIdentity> IdentityOf(const QString& path) {
    struct stat st {};
    if (::stat(NativePath(path).constData(), &st) != 0)
        return std::nullopt;
    FileIdentity id;
    id.device = st.st_dev;
    id.inode = st.st_ino;
    id.size = st.st_size;
    id.modifiedNs = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    id.changedNs = std::int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return id;
}

SourcePrefetch::Result SourcePrefetch::Load(QString path, DecodeLimit limit,
                                            std::uint64_t reserved) {
    Result result;
    const auto start = std::chrono::steady_clock::now();
    const std::optional<FileIdentity> before = IdentityOf(path);
    if (!before)
        return result;
    try {
        QByteArray bytes;
        if (!ReadWholeFile(path, bytes))
            return result;
        // The decoded pixels beside what the file in progress still needs; the decoder checks
        // its own share again.
        const std::optional<ImageHeader> header = ReadImageHeader(bytes);
        if (!header || !header->size.isValid())
            return result;
        const std::uint64_t decode =
            EstimatedDecodeBytes(header->size.width(), header->size.height(), header->format) +
            std::uint64_t(bytes.size());
        if (!FitsInAvailableMemory(decode + reserved))
            return result;
        std::optional<SourceImage> source = DecodeSourceImage(bytes, nullptr, limit);
        if (!source || IdentityOf(path) != before)
            return result;
        result.source = std::move(source);
        result.identity = before;
    } catch (const std::bad_alloc&) {
        return Result{};
    }
    result.decodeMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    return result;
}

void SourcePrefetch::Start(const QString& path, const DecodeLimit& limit, std::uint64_t reserved) {
    Discard();
    path_ = path;
    limit_ = limit;
    pending_ = std::async(std::launch::async, &SourcePrefetch::Load, path, limit, reserved);
}

std::optional<SourceImage> SourcePrefetch::Take(const QString& path, const DecodeLimit& limit,
                                                double* decodeMs) {
    if (!pending_.valid() || path != path_ || !(limit == limit_)) {
        Discard();
        return std::nullopt;
    }
    Result result = pending_.get();
    path_.clear();
    if (!result.source || !result.identity || IdentityOf(path) != result.identity)
        return std::nullopt;
    if (decodeMs)
        *decodeMs = result.decodeMs;
    return std::move(result.source);
}

void SourcePrefetch::Discard() {
    if (pending_.valid())
        pending_.wait();
    pending_ = {};
    path_.clear();
}

}  // namespace orm
