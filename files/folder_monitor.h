#pragma once
// Watches the folder the browser shows and tells the browser when to read it again, so images
// that other programs add, remove, rename or rewrite show up without the user's help. The browse
// window also switches folders through it: `SetFolder` points the monitor at the picked folder
// and asks for the first read at once.
//
// The watch is an inotify descriptor read on the owner's thread (a socket notifier), not
// QFileSystemWatcher: QFileSystemWatcher watches a folder for names only, so a file copied in is
// seen once, when it is created empty, and never again once its bytes arrive. Here a writer
// closing a file (IN_CLOSE_WRITE) counts as a change as well.
//
// Bursts. The first change after `quiet` without any event is answered at once with a refresh
// and a read (the browser's "&Refresh", then "ID_BEGINREADFOLDER"). Changes that follow
// within a burst are gathered: a read happens when the folder has been still for `settle`, or at
// the latest `burstDelay` after the first change waiting for it, a delay that doubles with each
// read of the burst up to `longestBurstDelay`. A file manager copying 500 files in therefore
// reads the folder a handful of times, not 500, and a long copy still shows its progress.
//
// The browser pauses the monitor around its own file operations (the operation then refreshes
// the list itself); changes seen while paused are dropped. A watched folder that disappears ends
// the watch.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <chrono>
#include <memory>

class QSocketNotifier;

namespace orm {

// The watch of the browsed folder. While the browser changes files itself the watch is paused,
// so that its own changes do not read the folder again.
class IFolderWatch {
  public:
    virtual ~IFolderWatch() = default;
    virtual void Pause() = 0;
    virtual void Resume() = 0;
};

struct FolderMonitorTiming {
    std::chrono::milliseconds quiet{2000};
    std::chrono::milliseconds settle{250};
    std::chrono::milliseconds firstBurstDelay{500};
    std::chrono::milliseconds longestBurstDelay{8000};
    // After the last Resume, changes are still ignored this long.
    std::chrono::milliseconds resumeDelay{100};
};

class CFolderMonitor : public QObject, public IFolderWatch {
    Q_OBJECT
  public:
    explicit CFolderMonitor(FolderMonitorTiming timing = {}, QObject* parent = nullptr);
    ~CFolderMonitor() override;

    // Watches `folder` instead of the folder watched so far (an empty text watches nothing) and
    // asks for one read of it, whether or not it can be watched. One trailing '/' is dropped.
    void SetFolder(const QString& folder);
    // Ends the watch; the folder stays the browser's location.
    void StopWatching();

    // Around the browser's own file operations; nests. The last Resume drops the changes seen
    // so far and ignores changes for `resumeDelay` more.
    void Pause() override;
    void Resume() override;
    bool IsPaused() const { return pauses_ > 0; }

    const QString& Folder() const { return folder_; }
    bool IsWatching() const { return watch_ >= 0; }
    // Why the last SetFolder could not watch its folder ("No such file or directory"), or empty.
    const QString& WatchError() const { return watchError_; }

  signals:
    // Point the browser at `folder` (its location) and run ReadFolder.
    void readFolderRequested(const QString& folder);
    // Run ReloadList ("&Refresh"): the first change after a quiet time.
    void refreshRequested();
    // The watched folder was deleted or moved away; the watch has ended.
    void folderVanished(const QString& folder);

  private:
    void ReadEvents();
    void DrainEvents();
    void OnChange();
    void ReadDue();
    void Notify();
    void RemoveWatch();

    FolderMonitorTiming timing_;
    int inotify_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    int watch_ = -1;
    QString folder_;
    QString watchError_;
    int pauses_ = 0;
    bool quiet_ = true;
    bool pending_ = false;
    std::chrono::milliseconds burstDelay_;
    QTimer quietTimer_;
    QTimer settleTimer_;
    QTimer deadlineTimer_;
};

// Pauses a monitor for its lifetime; a null monitor is allowed.
class FolderMonitorPause {
  public:
    explicit FolderMonitorPause(CFolderMonitor* monitor) : monitor_(monitor) {
        if (monitor_)
            monitor_->Pause();
    }
    ~FolderMonitorPause() {
        if (monitor_)
            monitor_->Resume();
    }
    FolderMonitorPause(const FolderMonitorPause&) = delete;
    FolderMonitorPause& operator=(const FolderMonitorPause&) = delete;

  private:
    QPointer<CFolderMonitor> monitor_;
};

}  // namespace orm
