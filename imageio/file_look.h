#pragma once
// Whether a file is still being written. Linux has no share modes, so a writer cannot be seen
// by failing to open the file; instead a file whose size or times change between two looks an
// interval apart (500 ms) is taken to be still in writing. A file whose last change (its status
// change time, which the kernel sets on every write and nobody can set back) lies an interval or
// more in the past needs no second look.

#include "engine/stop_token.h"

#include <QString>

#include <chrono>
#include <cstdint>

namespace orm {

struct FileLook {
    bool exists = false;
    bool isFile = false;
    int64_t size = 0;
    int64_t modifiedNs = 0;  // last write time, nanoseconds since 1970 (UTC)
    int64_t changedNs = 0;   // last status change time

    int64_t ModifiedSeconds() const;  // whole seconds, rounded down
    bool operator==(const FileLook&) const = default;
};

FileLook LookAt(const QString& path);

// A sound annotation: the same-named ".wav" (or ".WAV") regular file next to a .jpg or .tif image
// (extension case ignored), or empty.
QString SoundCompanion(const QString& imagePath);

struct SettleRule {
    std::chrono::milliseconds interval{500};
    int attempts = 8;  // looks after the first, an interval apart
};

// Waits until the file stops changing: true with its settled status in `settled`; false when it
// is not a regular file, still changes after `attempts` looks, or `stop` is requested meanwhile.
bool WaitUntilSettled(const QString& path, const SettleRule& rule, const engine::StopToken* stop,
                      FileLook* settled = nullptr);

}  // namespace orm
