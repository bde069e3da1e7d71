#include "files/folder_monitor.h"

#include "file_test_support.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

namespace orm {
namespace {

using namespace std::chrono_literals;

// Shorter times than the program's, for the tests that do not count reads.
FolderMonitorTiming Quick() {
    FolderMonitorTiming timing;
    timing.quiet = 150ms;
    timing.settle = 40ms;
    timing.firstBurstDelay = 80ms;
    timing.longestBurstDelay = 300ms;
    timing.resumeDelay = 30ms;
    return timing;
}

// Waits for the spy to hold `count` signals; false after five seconds.
bool WaitFor(QSignalSpy& spy, int count) {
    for (int round = 0; spy.size() < count && round < 50; ++round) spy.wait(100);
    return spy.size() >= count;
}

class FolderMonitorTest : public ::testing::Test {
  protected:
    QString File(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

TEST_F(FolderMonitorTest, PickingAFolderReadsItAtOnceWatchableOrNot) {
    CFolderMonitor monitor(Quick());
    QSignalSpy reads(&monitor, &CFolderMonitor::readFolderRequested);
    monitor.SetFolder(dir.path() + "/");
    ASSERT_EQ(reads.size(), 1);
    EXPECT_EQ(reads[0][0].toString(), dir.path());
    EXPECT_TRUE(monitor.IsWatching());

    monitor.SetFolder(File("missing"));
    ASSERT_EQ(reads.size(), 2);
    EXPECT_EQ(reads[1][0].toString(), File("missing"));
    EXPECT_FALSE(monitor.IsWatching());
    EXPECT_FALSE(monitor.WatchError().isEmpty());
}

TEST_F(FolderMonitorTest, AFileCopiedInIsReadAgainOnceItsBytesAreThere) {
    CFolderMonitor monitor(Quick());
    QList<qint64> sizes;  // the new file's size at each read
    QObject::connect(&monitor, &CFolderMonitor::readFolderRequested,
                     [&] { sizes << QFileInfo(File("copy.jpg")).size(); });
    QSignalSpy reads(&monitor, &CFolderMonitor::readFolderRequested);
    monitor.SetFolder(dir.path());

    // A copy as cp makes it: the name first, the bytes later, then the file is closed.
    const int fd =
        ::open(QFile::encodeName(File("copy.jpg")).constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(WaitFor(reads, 2));
    ASSERT_EQ(::write(fd, QByteArray(100, 'x').constData(), 100), 100);
    ::close(fd);
    ASSERT_TRUE(WaitFor(reads, 3));
    EXPECT_EQ(sizes.last(), 100);
}

TEST_F(FolderMonitorTest, FiveHundredFilesCopiedInAreReadAHandfulOfTimes) {
    CFolderMonitor monitor;  // the program's times
    int lastCount = 0;
    QObject::connect(&monitor, &CFolderMonitor::readFolderRequested,
                     [&] { lastCount = int(QDir(dir.path()).entryList(QDir::Files).size()); });
    monitor.SetFolder(dir.path());
    QSignalSpy reads(&monitor, &CFolderMonitor::readFolderRequested);
    QSignalSpy refreshes(&monitor, &CFolderMonitor::refreshRequested);

    std::atomic<bool> done = false;
    std::thread copier([&] {
        for (int i = 0; i < 500; ++i) {
            test::WriteBytes(File(QStringLiteral("IMG_%1.JPG").arg(i, 4, 10, QLatin1Char('0'))),
                             QByteArray(64, 'j'));
            std::this_thread::sleep_for(1ms);
        }
        done = true;
    });
    for (int round = 0; round < 300 && !(done && lastCount == 500); ++round) reads.wait(100);
    copier.join();
    EXPECT_EQ(lastCount, 500);
    RecordProperty("reads", int(reads.size()));
    EXPECT_GE(reads.size(), 2);
    EXPECT_LE(reads.size(), 8);
    EXPECT_EQ(refreshes.size(), 1);  // the first change after a quiet time
}

TEST_F(FolderMonitorTest, OwnOperationsWhilePausedCauseNoRead) {
    CFolderMonitor monitor(Quick());
    monitor.SetFolder(dir.path());
    QSignalSpy reads(&monitor, &CFolderMonitor::readFolderRequested);

    // As the browser pastes: pause, change the folder, resume, with no event handled between.
    monitor.Pause();
    test::WriteBytes(File("pasted.jpg"), "pasted");
    ASSERT_TRUE(QFile::rename(File("pasted.jpg"), File("renamed.jpg")));
    monitor.Resume();
    EXPECT_TRUE(monitor.IsPaused());
    EXPECT_FALSE(reads.wait(400));
    EXPECT_FALSE(monitor.IsPaused());

    // Nested pauses: changes are ignored until the last Resume.
    monitor.Pause();
    monitor.Pause();
    monitor.Resume();
    test::WriteBytes(File("during.jpg"), "x");
    EXPECT_FALSE(reads.wait(300));
    monitor.Resume();
    EXPECT_FALSE(reads.wait(300));

    test::WriteBytes(File("outside.jpg"), "outside");
    EXPECT_TRUE(WaitFor(reads, 1));
}

TEST_F(FolderMonitorTest, AWatchedFolderThatIsDeletedEndsTheWatch) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("shown"));
    CFolderMonitor monitor(Quick());
    monitor.SetFolder(File("shown"));
    QSignalSpy reads(&monitor, &CFolderMonitor::readFolderRequested);
    QSignalSpy vanished(&monitor, &CFolderMonitor::folderVanished);
    ASSERT_TRUE(QDir(File("shown")).removeRecursively());
    ASSERT_TRUE(WaitFor(vanished, 1));
    EXPECT_EQ(vanished[0][0].toString(), File("shown"));
    EXPECT_FALSE(monitor.IsWatching());
    EXPECT_EQ(reads.size(), 0);
    EXPECT_EQ(monitor.Folder(), File("shown"));
}

}  // namespace
}  // namespace orm
