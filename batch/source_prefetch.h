#pragma once
// Reading and decoding the next files of a batch run while the current one is resized, encoded
// and written. A JPEG decoder uses one core, and decoding is most of a file's time: two files read
// at once beside the current file's resize keep both cores busy. The files read ahead are a
// queue in the run's order; each one is started only when its decoded pixels fit in the memory
// the system has beside what the current file still needs and what the other read aheads hold.
//
// A file read ahead is used only when it is still the file it was: same device, inode, size,
// modification and change times at its turn as before and after it was read. Otherwise (an
// earlier file's output replaced it, another program wrote it) and whenever the read ahead
// failed, the file is read again at its turn, so the run sees exactly what it would have seen
// reading file after file: the same pixels, the same errors, in the same order.

#include "engine/stop_token.h"
#include "imageio/image_loader.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <deque>
#include <future>
#include <optional>

namespace orm {

// What identifies the contents of a file between two looks at it.
struct FileIdentity {
    std::uint64_t device = 0, inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0, changedNs = 0;
    bool operator==(const FileIdentity&) const = default;
};
// The identity of the file at path (links followed); nothing when it cannot be looked at.
std::optional<FileIdentity> IdentityOf(const QString& path);

class SourcePrefetch {
  public:
    SourcePrefetch() = default;
    ~SourcePrefetch() { Discard(); }
    SourcePrefetch(const SourcePrefetch&) = delete;
    SourcePrefetch& operator=(const SourcePrefetch&) = delete;

    // Starts reading and decoding path, the run's entry `index`, on a thread of its own, after the
    // files already started (entries in increasing order). `reserved` bytes of memory stay free for
    // the file in progress: the read ahead gives up when the file's decoded pixels do not fit
    // beside them and the other read aheads.
    // A stop requested through `stop` (the run's token, which must outlive the read aheads)
    // before the decode begins drops the file without decoding it.
    void Start(size_t index, const QString& path, const DecodeLimit& limit, std::uint64_t reserved,
               const engine::StopToken* stop = nullptr);

    // Files started and not taken yet.
    size_t Pending() const { return slots_.size(); }
    // Whether entry `index` is being read ahead and is not ready yet: taking it would wait.
    bool StillReading(size_t index) const;
    // Memory the read aheads are about to take and do not use yet: a check of the file in
    // progress counts it beside what the system says is free.
    std::uint64_t InFlightBytes() const { return held_.load(); }

    // Entry `index` decoded, when it was started as path with this limit, its read ahead
    // succeeded and the file is still the one that was read; nothing otherwise (the caller reads
    // it itself). Read aheads of earlier entries are dropped. decodeMs is the time the decode
    // took on its thread, identity the file's as it was read. Waits for the read ahead in progress.
    std::optional<SourceImage> Take(size_t index, const QString& path, const DecodeLimit& limit,
                                    double* decodeMs,
                                    std::optional<FileIdentity>* identity = nullptr);

    // Waits for the read aheads in progress and drops them.
    void Discard();

  private:
    struct Result {
        std::optional<SourceImage> source;  // nothing: failed or gave up
        std::optional<FileIdentity> identity;
        double decodeMs = 0;
        std::uint64_t counted = 0;  // this file's share of held_
    };
    struct Slot {
        size_t index = 0;
        QString path;
        DecodeLimit limit;
        std::future<Result> result;
    };
    static Result Load(QString path, DecodeLimit limit, std::uint64_t reserved,
                       std::atomic<std::uint64_t>* held, const engine::StopToken* stop);
    Result Finish(Slot& slot);

    std::deque<Slot> slots_;
    // The bytes the read aheads in flight are about to take (file bytes, then decoded pixels as
    // estimated from their headers), until they are in use.
    std::atomic<std::uint64_t> held_{0};
};

}  // namespace orm
