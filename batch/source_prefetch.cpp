#include "batch/source_prefetch.h"

#include "imageio/file_reader.h"
#include "imageio/memory_needs.h"
#include "imageio/native_path.h"

#include <algorithm>
#include <chrono>
#include <new>
#include <utility>

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

SourcePrefetch::Result SourcePrefetch::Load(QString path, DecodeLimit limit, std::uint64_t reserved,
                                            std::atomic<std::uint64_t>* held,
                                            const engine::StopToken* stop) {
    Result result;
    const auto start = std::chrono::steady_clock::now();
    const std::optional<FileIdentity> before = IdentityOf(path);
    if (!before)
        return result;
    // What this read ahead will take is counted in `held` from before it takes it until the
    // memory is really in use (and the system's figures show it): two read aheads starting
    // together each see the other's share.
    auto fits = [&](std::uint64_t more) {
        const std::uint64_t inFlight = held->fetch_add(more);  // this file's earlier share too
        result.counted += more;
        return FitsInAvailableMemory(inFlight + more + reserved);
    };
    auto giveUp = [&] {
        held->fetch_sub(std::exchange(result.counted, 0));
        return std::move(result);
    };
    try {
        // The file's bytes first: a large file is not read when they do not fit.
        if (!fits(std::uint64_t(std::max<std::int64_t>(before->size, 0))))
            return giveUp();
        QByteArray bytes;
        if (!ReadWholeFile(path, bytes) || (stop && stop->StopRequested()))
            return giveUp();
        // The decoded pixels beside what the file in progress still needs and the other read
        // aheads; the decoder checks its own share again.
        const std::optional<ImageHeader> header = ReadImageHeader(bytes);
        if (!header || !header->size.isValid() ||
            !fits(
                EstimatedDecodeBytes(header->size.width(), header->size.height(), header->format)))
            return giveUp();
        std::optional<SourceImage> source = DecodeSourceImage(bytes, nullptr, limit);
        // Decoded: the pixels are in use now, and the system's figures show them.
        held->fetch_sub(std::exchange(result.counted, 0));
        if (!source || IdentityOf(path) != before)
            return result;
        result.source = std::move(source);
        result.identity = before;
    } catch (const std::bad_alloc&) {
        giveUp();
        return Result{};
    }
    result.decodeMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    return result;
}

void SourcePrefetch::Start(size_t index, const QString& path, const DecodeLimit& limit,
                           std::uint64_t reserved, const engine::StopToken* stop) {
    slots_.push_back({index, path, limit,
                      std::async(std::launch::async, &SourcePrefetch::Load, path, limit, reserved,
                                 &held_, stop)});
}

bool SourcePrefetch::StillReading(size_t index) const {
    for (const Slot& slot : slots_)
        if (slot.index == index)
            return slot.result.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
    return false;
}

SourcePrefetch::Result SourcePrefetch::Finish(Slot& slot) {
    Result result = slot.result.get();
    held_.fetch_sub(result.counted);
    return result;
}

std::optional<SourceImage> SourcePrefetch::Take(size_t index, const QString& path,
                                                const DecodeLimit& limit, double* decodeMs,
                                                std::optional<FileIdentity>* identity) {
    while (!slots_.empty() && slots_.front().index < index) {
        Finish(slots_.front());
        slots_.pop_front();
    }
    if (slots_.empty() || slots_.front().index != index)
        return std::nullopt;
    const bool same = slots_.front().path == path && slots_.front().limit == limit;
    Result result = Finish(slots_.front());
    slots_.pop_front();
    if (!same || !result.source || !result.identity || IdentityOf(path) != result.identity)
        return std::nullopt;
    if (decodeMs)
        *decodeMs = result.decodeMs;
    if (identity)
        *identity = result.identity;
    return std::move(result.source);
}

void SourcePrefetch::Discard() {
    for (Slot& slot : slots_) Finish(slot);
    slots_.clear();
}

}  // namespace orm
