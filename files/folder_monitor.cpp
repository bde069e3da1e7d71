#include "files/folder_monitor.h"

#include "imageio/native_path.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>

#include <sys/inotify.h>
#include <unistd.h>

namespace orm {
namespace {

// Names coming and going, a writer finishing a file, times and permissions changed (a copy
// that keeps the source's times ends with this), and the folder itself deleted or moved.
constexpr uint32_t kWatchMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                IN_CLOSE_WRITE | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF |
                                IN_ONLYDIR;

QString WithoutTrailingSlash(const QString& folder) {
    if (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        return folder.chopped(1);
    return folder;
}

}  // namespace

CFolderMonitor::CFolderMonitor(FolderMonitorTiming timing, QObject* parent)
    : QObject(parent), timing_(timing), burstDelay_(timing.firstBurstDelay) {
    inotify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (inotify_ >= 0) {
        notifier_ = std::make_unique<QSocketNotifier>(inotify_, QSocketNotifier::Read);
        connect(notifier_.get(), &QSocketNotifier::activated, this, &CFolderMonitor::ReadEvents);
    }
    quietTimer_.setSingleShot(true);
    settleTimer_.setSingleShot(true);
    deadlineTimer_.setSingleShot(true);
    connect(&quietTimer_, &QTimer::timeout, this, [this] {
        quiet_ = true;
        burstDelay_ = timing_.firstBurstDelay;
    });
    connect(&settleTimer_, &QTimer::timeout, this, &CFolderMonitor::ReadDue);
    connect(&deadlineTimer_, &QTimer::timeout, this, &CFolderMonitor::ReadDue);
}

CFolderMonitor::~CFolderMonitor() {
    notifier_.reset();
    if (inotify_ >= 0)
        ::close(inotify_);
}

void CFolderMonitor::SetFolder(const QString& folder) {
    RemoveWatch();
    folder_ = WithoutTrailingSlash(folder);
    watchError_.clear();
    pending_ = false;
    settleTimer_.stop();
    deadlineTimer_.stop();
    burstDelay_ = timing_.firstBurstDelay;
    quietTimer_.start(timing_.quiet);
    if (!folder_.isEmpty()) {
        if (inotify_ < 0) {
            watchError_ = SystemErrorText(EMFILE);
        } else {
            watch_ = ::inotify_add_watch(inotify_, NativePath(folder_).constData(), kWatchMask);
            if (watch_ < 0)
                watchError_ = SystemErrorText(errno);
        }
    }
    // A folder that cannot be watched is still read once.
    emit readFolderRequested(folder_);
}

void CFolderMonitor::StopWatching() {
    RemoveWatch();
    pending_ = false;
    settleTimer_.stop();
    deadlineTimer_.stop();
}

void CFolderMonitor::RemoveWatch() {
    if (watch_ >= 0) {
        ::inotify_rm_watch(inotify_, watch_);
        watch_ = -1;
    }
}

void CFolderMonitor::Pause() {
    ++pauses_;
}

void CFolderMonitor::Resume() {
    if (pauses_ == 0)
        return;
    if (pauses_ == 1) {
        // The kernel queues an event as the change is made: what the operation caused is in
        // the queue now and goes while the monitor is still paused.
        DrainEvents();
        pending_ = false;
        settleTimer_.stop();
        deadlineTimer_.stop();
    }
    QTimer::singleShot(timing_.resumeDelay, this, [this] {
        if (pauses_ > 0)
            --pauses_;
    });
}

void CFolderMonitor::DrainEvents() {
    if (inotify_ >= 0)
        ReadEvents();
}

void CFolderMonitor::ReadEvents() {
    alignas(inotify_event) char buffer[16 * 1024];
    bool changed = false;
    bool gone = false;
    for (;;) {
        const ssize_t n = ::read(inotify_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += ssize_t(sizeof(inotify_event)) + event->len;
            if (event->mask & IN_Q_OVERFLOW) {
                changed = true;
                continue;
            }
            // Events of a folder watched before are still queued after the switch.
            if (event->wd != watch_ || watch_ < 0)
                continue;
            if (event->mask & IN_IGNORED) {
                // The kernel ended the watch (the folder was deleted or its file system unmounted).
                watch_ = -1;
                gone = true;
                continue;
            }
            if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT))
                gone = true;
            changed = true;
        }
    }
    if (changed || gone)
        OnChange();
}

void CFolderMonitor::OnChange() {
    // Any event, paused or not, puts off the quiet time.
    quietTimer_.start(timing_.quiet);
    if (IsPaused())
        return;
    if (quiet_) {
        quiet_ = false;
        emit refreshRequested();
        Notify();
        return;
    }
    pending_ = true;
    settleTimer_.start(timing_.settle);
    if (!deadlineTimer_.isActive())
        deadlineTimer_.start(burstDelay_);
}

void CFolderMonitor::ReadDue() {
    settleTimer_.stop();
    deadlineTimer_.stop();
    if (!pending_ || IsPaused())
        return;
    pending_ = false;
    burstDelay_ = std::min(burstDelay_ * 2, timing_.longestBurstDelay);
    Notify();
}

void CFolderMonitor::Notify() {
    if (folder_.isEmpty() || IsFolder(folder_)) {
        emit readFolderRequested(folder_);
        return;
    }
    StopWatching();
    emit folderVanished(folder_);
}

}  // namespace orm
