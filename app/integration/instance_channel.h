#pragma once
// One window per user and display: a second `ormensura FILES...` hands its files to the running
// window through a local socket and ends, as file managers start one process per file.
//
// The socket lives in the user's runtime folder ($XDG_RUNTIME_DIR, private to the user), named
// after the display, so two displays of one user (or two users) each have their own window. A
// socket left by a window that crashed answers nobody; it is replaced. A lock file beside it
// keeps two programs started at the same moment from both becoming the window.
//
// The message: the line "ormensura-open/1", then each absolute path as its bytes followed by a
// NUL, then one more NUL. The window answers "ok\n" once it has taken them.

#include <QByteArray>
#include <QObject>
#include <QProcessEnvironment>
#include <QStringList>

#include <memory>
#include <optional>

class QLocalServer;
class QLockFile;
class QTimer;

namespace orm::integration {

// The socket's path for the user and display of this environment: <runtime>/ormensura-<display>
// (characters other than letters, digits, '.', '-' and '_' of the display as '_'). Without
// XDG_RUNTIME_DIR a folder of the user's own below the temporary folder is made and used.
QString InstanceSocketPath(
    const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());

QByteArray EncodeHandedFiles(const QStringList& paths);
// The paths of a complete message; none while it is incomplete or when it is not one.
std::optional<QStringList> DecodeHandedFiles(const QByteArray& message);

class InstanceChannel : public QObject {
    Q_OBJECT
  public:
    explicit InstanceChannel(QString socketPath, QObject* parent = nullptr);
    ~InstanceChannel() override;

    // Hands the paths (made absolute here) to the window listening on the socket; true when it
    // took them. Waits at most timeoutMs in all. Needs no application object, so a second start
    // can hand its files over before it connects to the display.
    bool HandOver(const QStringList& paths, int timeoutMs = 1000);
    // Listens on the socket, replacing one that nobody answers; false when it cannot. Releases
    // the lock of HandOverOrLock.
    bool Listen();

    // Takes the lock file beside the socket (two programs started at the same moment agree
    // through it on which one listens), then hands the paths over: true when a running window
    // took them (this program has nothing more to do, the lock is released); otherwise the lock
    // is kept until Listen.
    bool HandOverOrLock(const QStringList& paths, int timeoutMs = 1000);
    // Both steps at once.
    bool HandOverOrListen(const QStringList& paths, int timeoutMs = 1000) {
        if (HandOverOrLock(paths, timeoutMs))
            return true;
        Listen();
        return false;
    }

    const QString& SocketPath() const { return path_; }

  signals:
    // Files handed by other launches. Those that arrive within a moment of each other (a file
    // manager starting one program per file) come in one signal.
    void filesReceived(const QStringList& paths);

  private:
    void Accept();

    QString path_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer* server_ = nullptr;
    QTimer* gather_ = nullptr;
    QStringList pending_;
};

}  // namespace orm::integration
