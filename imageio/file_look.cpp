#include "imageio/file_look.h"

#include "imageio/image_file_types.h"
#include "imageio/native_path.h"

#include <QStringList>

#include <sys/stat.h>

#include <thread>

namespace orm {

namespace {

int64_t Nanoseconds(const timespec& t) {
    return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

int64_t NowNs() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return Nanoseconds(now);
}

// Sleeps for `span` in short slices, returning false as soon as a stop is requested.
bool SleepUnlessStopped(std::chrono::milliseconds span, const engine::StopToken* stop) {
    constexpr std::chrono::milliseconds kSlice{25};
    const auto end = std::chrono::steady_clock::now() + span;
    for (;;) {
        if (stop && stop->StopRequested())
            return false;
        const auto now = std::chrono::steady_clock::now();
        if (now >= end)
            return true;
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(kSlice, end - now));
    }
}

}  // namespace

int64_t FileLook::ModifiedSeconds() const {
    int64_t s = modifiedNs / 1000000000;
    if (modifiedNs < 0 && modifiedNs % 1000000000 != 0)
        --s;
    return s;
}

FileLook LookAt(const QString& path) {
    FileLook look;
    struct stat st {};
    if (::stat(NativePath(path).constData(), &st) != 0)
        return look;
    look.exists = true;
    look.isFile = S_ISREG(st.st_mode);
    look.size = int64_t(st.st_size);
    look.modifiedNs = Nanoseconds(st.st_mtim);
    look.changedNs = Nanoseconds(st.st_ctim);
    return look;
}

bool WaitUntilSettled(const QString& path, const SettleRule& rule, const engine::StopToken* stop,
                      FileLook* settled) {
    FileLook look = LookAt(path);
    if (!look.isFile)
        return false;
    const int64_t intervalNs = int64_t(std::chrono::nanoseconds(rule.interval).count());
    if (NowNs() - look.changedNs >= intervalNs) {
        if (settled)
            *settled = look;
        return true;
    }
    for (int i = 0; i < rule.attempts; ++i) {
        if (!SleepUnlessStopped(rule.interval, stop))
            return false;
        const FileLook again = LookAt(path);
        if (!again.isFile)
            return false;
        if (again == look) {
            if (settled)
                *settled = again;
            return true;
        }
        look = again;
    }
    return false;
}

QString SoundCompanion(const QString& imagePath) {
    static const QStringList kImages{QStringLiteral(".jpg"), QStringLiteral(".tif")};
    const QString extension = PathExtension(imagePath);
    if (!kImages.contains(extension, Qt::CaseInsensitive))
        return {};
    const QString stem = imagePath.chopped(extension.size());
    for (const char* sound : {".wav", ".WAV"}) {
        const QString candidate = stem + QLatin1String(sound);
        struct stat st {};
        if (::lstat(NativePath(candidate).constData(), &st) == 0 && S_ISREG(st.st_mode))
            return candidate;
    }
    return {};
}

}  // namespace orm
