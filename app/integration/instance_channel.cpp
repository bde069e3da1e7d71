#include "app/integration/instance_channel.h"

#include "imageio/native_path.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QPointer>
#include <QTimer>

#include <cerrno>
#include <cstring>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace orm::integration {

namespace {

constexpr char kMagic[] = "ormensura-open/1\n";
constexpr char kAnswer[] = "ok\n";
// A message larger than this is no message of ours (some hundred thousand long paths).
constexpr qsizetype kMaxMessage = 64 * 1024 * 1024;
// How long handed files are gathered before they are passed on together.
constexpr int kGatherMs = 250;

QString DisplayName(const QProcessEnvironment& env) {
    QString display = env.value(QStringLiteral("WAYLAND_DISPLAY"));
    if (display.isEmpty())
        display = env.value(QStringLiteral("DISPLAY"));
    if (display.isEmpty())
        display = QStringLiteral("none");
    for (QChar& c : display)
        if (!c.isLetterOrNumber() && c != QLatin1Char('.') && c != QLatin1Char('-') &&
            c != QLatin1Char('_'))
            c = QLatin1Char('_');
    return display;
}

}  // namespace

QString InstanceSocketPath(const QProcessEnvironment& env) {
    QString folder = env.value(QStringLiteral("XDG_RUNTIME_DIR"));
    if (folder.isEmpty() || !QDir(folder).exists()) {
        // A folder only this user may enter, so nobody else can listen in its place.
        folder = QDir::tempPath() + QStringLiteral("/ormensura-%1").arg(::getuid());
        QDir().mkpath(folder);
        QFile::setPermissions(
            folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    return folder + QStringLiteral("/ormensura-") + DisplayName(env);
}

QByteArray EncodeHandedFiles(const QStringList& paths) {
    QByteArray message(kMagic);
    for (const QString& path : paths) {
        const QByteArray bytes = NativePath(path);
        if (bytes.isEmpty() || bytes.contains('\0'))
            continue;
        message += bytes;
        message += '\0';
    }
    message += '\0';
    return message;
}

std::optional<QStringList> DecodeHandedFiles(const QByteArray& message) {
    const QByteArray magic(kMagic);
    if (!message.startsWith(magic) || !message.endsWith('\0'))
        return std::nullopt;
    QStringList paths;
    qsizetype start = magic.size();
    while (start < message.size()) {
        const qsizetype end = message.indexOf('\0', start);
        if (end == start)  // the empty path that ends the message
            return end + 1 == message.size() ? std::optional(paths) : std::nullopt;
        paths.append(PathFromNative(QByteArrayView(message).sliced(start, end - start)));
        start = end + 1;
    }
    return std::nullopt;
}

InstanceChannel::InstanceChannel(QString socketPath, QObject* parent)
    : QObject(parent), path_(std::move(socketPath)) {}

InstanceChannel::~InstanceChannel() {
    if (server_)
        server_->close();  // removes the socket file
}

bool InstanceChannel::HandOver(const QStringList& paths, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    QStringList absolute;
    for (const QString& path : paths) absolute.append(AbsolutePath(path));
    const QByteArray name = NativePath(path_);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (name.size() >= qsizetype(sizeof address.sun_path))
        return false;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    // Waits for the socket to become ready for `events`; false at the deadline.
    const auto ready = [&](short events) {
        for (;;) {
            const int left = timeoutMs - int(clock.elapsed());
            pollfd p{fd, events, 0};
            const int n = ::poll(&p, 1, std::max(left, 0));
            if (n > 0)
                return true;
            if (n == 0 || errno != EINTR)
                return false;
        }
    };
    bool taken = false;
    // A socket nobody listens on (a window that crashed) refuses at once.
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ||
        (errno == EAGAIN && ready(POLLOUT))) {
        const QByteArray message = EncodeHandedFiles(absolute);
        qsizetype sent = 0;
        while (sent < message.size() && ready(POLLOUT)) {
            const ssize_t n =
                ::send(fd, message.constData() + sent, size_t(message.size() - sent), MSG_NOSIGNAL);
            if (n < 0 && errno != EINTR && errno != EAGAIN)
                break;
            sent += std::max<ssize_t>(n, 0);
        }
        QByteArray answer;
        while (sent == message.size() && answer.size() < qsizetype(sizeof kAnswer - 1) &&
               ready(POLLIN)) {
            char buffer[16];
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN))
                break;
            answer.append(buffer, std::max<ssize_t>(n, 0));
        }
        taken = answer.startsWith(kAnswer);
    }
    ::close(fd);
    return taken;
}

bool InstanceChannel::Listen() {
    if (server_)
        return true;
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // Nobody answered on the socket (HandOver failed), so a file there is left from a window
    // that ended without closing it.
    QLocalServer::removeServer(path_);
    if (!server_->listen(path_)) {
        delete server_;
        server_ = nullptr;
        lock_.reset();
        return false;
    }
    connect(server_, &QLocalServer::newConnection, this, &InstanceChannel::Accept);
    gather_ = new QTimer(this);
    gather_->setSingleShot(true);
    gather_->setInterval(kGatherMs);
    lock_.reset();  // from now on another start finds this window
    connect(gather_, &QTimer::timeout, this, [this] {
        // Also without files: a start without files brings the window to the front.
        emit filesReceived(std::exchange(pending_, {}));
    });
    return true;
}

bool InstanceChannel::HandOverOrLock(const QStringList& paths, int timeoutMs) {
    lock_ = std::make_unique<QLockFile>(path_ + QStringLiteral(".lock"));
    lock_->setStaleLockTime(10000);
    // Another program deciding at this moment holds the lock for a fraction of a second.
    lock_->tryLock(timeoutMs);
    if (HandOver(paths, timeoutMs)) {
        lock_.reset();
        return true;
    }
    return false;
}

void InstanceChannel::Accept() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto* buffer = new QByteArray;
        connect(socket, &QObject::destroyed, this, [buffer] { delete buffer; });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, buffer] {
            *buffer += socket->readAll();
            if (buffer->size() > kMaxMessage) {
                socket->abort();
                return;
            }
            const std::optional<QStringList> paths = DecodeHandedFiles(*buffer);
            if (!paths)
                return;  // more to come
            buffer->clear();
            socket->write(kAnswer);
            socket->disconnectFromServer();
            pending_ += *paths;
            gather_->start();
        });
    }
}

}  // namespace orm::integration
