// One window per user and display: the hand-over message, the socket's name and a stale socket,
// and a second start of the real program handing its files to a window in this process.

#include "app/integration/instance_channel.h"
#include "imageio/native_path.h"
#include "settings/prompt.h"
#include "settings/settings_model.h"
#include "ui/main_frame.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace orm::integration {
namespace {

TEST(InstanceChannel, MessagesCarryEveryNameByteForByte) {
    const QString latin1 = PathFromNative(QByteArray("/p/caf\xe9 1.jpg"));
    const QStringList paths = {"/p/a b.jpg", latin1, "/p/new\nline.png"};
    const QByteArray message = EncodeHandedFiles(paths);
    EXPECT_EQ(DecodeHandedFiles(message), paths);
    EXPECT_EQ(DecodeHandedFiles(EncodeHandedFiles({})), QStringList{});
    // Cut anywhere before its end, a message is not complete yet.
    for (qsizetype n = 0; n < message.size(); ++n)
        EXPECT_FALSE(DecodeHandedFiles(message.left(n))) << n;
    EXPECT_FALSE(DecodeHandedFiles("GET / HTTP/1.0\r\n\r\n"));
    EXPECT_FALSE(DecodeHandedFiles(message + "extra"));
}

TEST(InstanceChannel, OneSocketPerUserAndDisplay) {
    QTemporaryDir runtime;
    QProcessEnvironment env;
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    env.insert("DISPLAY", ":1.0");
    EXPECT_EQ(InstanceSocketPath(env), runtime.path() + "/ormensura-_1.0");
    env.insert("WAYLAND_DISPLAY", "wayland-0");
    EXPECT_EQ(InstanceSocketPath(env), runtime.path() + "/ormensura-wayland-0");
    env.remove("XDG_RUNTIME_DIR");
    EXPECT_TRUE(InstanceSocketPath(env).startsWith(QDir::tempPath() + "/ormensura-"));
}

TEST(InstanceChannel, AStaleSocketIsReplacedAndTheFilesArrive) {
    QTemporaryDir runtime;
    const QString path = runtime.path() + "/ormensura-test";
    // A socket whose program ended without removing it: it exists, nobody answers.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray native = NativePath(path);
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    ASSERT_TRUE(QFileInfo::exists(path));

    InstanceChannel first(path);
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(first.HandOverOrListen({"/p/a.jpg"}));  // it listens now
    EXPECT_LT(clock.elapsed(), 1000);
    QSignalSpy received(&first, &InstanceChannel::filesReceived);
    // Two starts in a row (a file manager's one process per file) arrive as one list.
    QProcess second, third;
    for (QProcess* p : {&second, &third}) {
        p->setProgram(QCoreApplication::applicationFilePath());
        p->setArguments({"--gtest_filter=InstanceChannel.HandOverFromAnotherProcess"});
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ORM_TEST_HANDOVER_SOCKET", path);
        env.insert("ORM_TEST_HANDOVER_FILE", p == &second ? "/p/b.jpg" : "/p/c.jpg");
        p->setProcessEnvironment(env);
        p->start();
    }
    ASSERT_TRUE(received.wait(5000));
    QStringList all = received.first().first().toStringList();
    if (received.size() > 1)
        all += received.at(1).first().toStringList();
    all.sort();
    EXPECT_EQ(all, (QStringList{"/p/b.jpg", "/p/c.jpg"}));
    for (QProcess* p : {&second, &third}) {
        ASSERT_TRUE(p->state() == QProcess::NotRunning || p->waitForFinished(5000));
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardOutput().toStdString();
    }
}

// The other side of the test above, run in a process of its own.
TEST(InstanceChannel, HandOverFromAnotherProcess) {
    const QString socket = qEnvironmentVariable("ORM_TEST_HANDOVER_SOCKET");
    if (socket.isEmpty())
        GTEST_SKIP() << "run by AStaleSocketIsReplacedAndTheFilesArrive";
    InstanceChannel channel(socket);
    EXPECT_TRUE(channel.HandOver({qEnvironmentVariable("ORM_TEST_HANDOVER_FILE")}));
}

// The real program started while a window listens: it hands its files over and ends at once,
// and they join the window's batch as dropped files do.
TEST(InstanceChannel, ASecondStartJoinsTheBatchOfTheWindow) {
    QTemporaryDir dir;
    QStringList files;
    for (const char* name : {"a.png", "b.png", "c.png", "d d.png"}) {
        files << dir.filePath(name);
        QImage image(16, 12, QImage::Format_RGB32);
        image.fill(qRgb(200, 40, 10));
        ASSERT_TRUE(image.save(files.back()));
    }
    ScriptedPrompt prompt;
    SettingsModel settings;
    settings.SetPrompt(&prompt);
    gui::CMainFrame frame(settings, nullptr);
    frame.OpenCommandLineFiles(files.mid(0, 2));  // the first start: two files, a batch
    ASSERT_TRUE(QDir(dir.path()).mkpath("runtime"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", dir.filePath("runtime"));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("HOME", dir.path());
    env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    InstanceChannel channel(InstanceSocketPath(env));
    ASSERT_FALSE(channel.HandOverOrListen({}));
    QObject::connect(&channel, &InstanceChannel::filesReceived, &frame,
                     &gui::CMainFrame::OpenHandedFiles);

    QProcess second;
    second.setProcessEnvironment(env);
    second.setWorkingDirectory(dir.path());
    QElapsedTimer clock;
    clock.start();
    second.start(ORM_PROGRAM_PATH, {"c.png", files[3]});  // a relative name, from its own folder
    const QDeadlineTimer deadline(10000);
    while (second.state() != QProcess::NotRunning && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_EQ(second.state(), QProcess::NotRunning);
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
    EXPECT_LT(clock.elapsed(), 1000);
    while (frame.BatchEntries().count() < 4 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_EQ(frame.BatchEntries().count(), 4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(frame.BatchEntries().at(i).path, files[i]);
}

}  // namespace
}  // namespace orm::integration
