#pragma once
// Reading and decoding the next file of a batch run while the current one is resized, encoded
// and written: the two cores are busy during the parts of a file that use one (decoding,
// encoding, writing). At most one file is read ahead, and only when its decoded pixels fit in the
// memory the system has beside what the current file still needs.
//
// A file read ahead is used only when it is still the file it was: same device, inode, size,
// modification and change times at its turn as before and after it was read. Otherwise (the
// current file's output replaced it, another program wrote it) and whenever the read ahead
// failed, the file is read again at its turn, so the run sees exactly what it would have seen
// reading file after file: the same pixels, the same errors, in the same order.

#include "imageio/image_loader.h"

#include <QString>

#include <cstdint>
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

    // Starts reading and decoding path on a thread of its own. `reserved` bytes of memory stay
    // free for the file in progress: the read ahead gives up when the file's decoded pixels do
    // not fit beside them. Replaces (after waiting for) a read ahead not taken.
    void Start(const QString& path, const DecodeLimit& limit, std::uint64_t reserved);

    // The decoded file when a read ahead of path with this limit succeeded and the file is still
    // the one that was read; nothing otherwise (the caller reads it itself). decodeMs is the
    // time the decode took on its thread. Waits for a read ahead in progress.
    std::optional<SourceImage> Take(const QString& path, const DecodeLimit& limit,
                                    double* decodeMs);

    // Waits for a read ahead in progress and drops it.
    void Discard();

  private:
    struct Result {
        std::optional<SourceImage> source;  // nothing: failed or gave up
        std::optional<FileIdentity> identity;
        double decodeMs = 0;
    };
    static Result Load(QString path, DecodeLimit limit, std::uint64_t reserved);

    QString path_;
    DecodeLimit limit_;
    std::future<Result> pending_;
};

}  // namespace orm
