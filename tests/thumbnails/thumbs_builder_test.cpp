// The builder threads on real files: the order of work, replacing and stopping it, preliminary
// then final thumbnails, stale thumbnails, files still being written, several workers at once.

#include "test_support.h"
#include "thumbnail_test_support.h"

#include "thumbnails/thumbs_builder_threads.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <thread>

namespace orm {
namespace {

using namespace std::chrono_literals;

// Records every Update with whether the cached thumbnail was final at that moment; can hold the
// builder inside the first Update until released.
class Recorder {
  public:
    explicit Recorder(ThumbnailCache& cache, bool holdFirst = false)
        : cache_(cache), hold_(holdFirst) {}

    void Update(const QString& path) {
        const ThumbnailPtr item = cache_.Lock()->Find(path);
        std::unique_lock lock(mutex_);
        seen_.push_back(path);
        finals_.push_back(item && item->isFinal);
        changed_.notify_all();
        if (hold_ && seen_.size() == 1)
            changed_.wait(lock, [&] { return released_; });
    }
    void Release() {
        std::lock_guard lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }
    bool WaitForCount(size_t n) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 10s, [&] { return size_t(seen_.size()) >= n; });
    }
    QStringList Seen() {
        std::lock_guard lock(mutex_);
        return seen_;
    }
    std::vector<bool> Finals() {
        std::lock_guard lock(mutex_);
        return finals_;
    }

  private:
    ThumbnailCache& cache_;
    const bool hold_;
    std::mutex mutex_;
    std::condition_variable changed_;
    QStringList seen_;
    std::vector<bool> finals_;
    bool released_ = false;
};

class ThumbsBuilderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        cache = std::make_unique<ThumbnailCache>(dir.filePath(QStringLiteral("cache")));
    }
    // A builder with one worker per stage (so the order of work is the queue's) and short looks
    // at files still being written.
    std::unique_ptr<CThumbsBuilderThreads> Builder(int workers = 1,
                                                   std::chrono::milliseconds interval = 20ms,
                                                   int attempts = 8) {
        ThumbsBuilderOptions options;
        options.stage1Workers = workers;
        options.stage2Workers = workers;
        options.settle.interval = interval;
        options.settle.attempts = attempts;
        return std::make_unique<CThumbsBuilderThreads>(*cache, options);
    }
    QStringList Pngs(const QString& prefix, int n) {
        QStringList paths;
        for (int i = 0; i < n; ++i) {
            paths << dir.filePath(QStringLiteral("%1%2.png").arg(prefix).arg(i));
            test::WriteImage(paths.back(), test::TestPattern(40 + i, 30));
        }
        return paths;
    }
    ThumbnailPtr Cached(const QString& path) { return cache->Lock()->Find(path); }

    QTemporaryDir dir;
    std::unique_ptr<ThumbnailCache> cache;
};

TEST_F(ThumbsBuilderTest, PrioritizeMovesPathsToTheHeadOfTheQueue) {
    const QStringList p = Pngs(QStringLiteral("p"), 6);
    Recorder recorder(*cache, true);
    auto builder = Builder();
    const QMetaObject::Connection recorderHeard = test::Listen(*builder, recorder);
    builder->SetList(p);
    ASSERT_TRUE(recorder.WaitForCount(1));  // held inside the Update of p0
    EXPECT_EQ(builder->Pending(1), p);      // the path in work stays until it is handled
    builder->Prioritize({p[4], p[3], dir.filePath(QStringLiteral("elsewhere.png"))});
    EXPECT_EQ(builder->Pending(1),
              QStringList({p[4], p[3], dir.filePath(QStringLiteral("elsewhere.png")), p[0], p[1],
                           p[2], p[5]}));
    recorder.Release();
    ASSERT_TRUE(builder->WaitIdle(10s));
    // PNGs are final at once: stage 2 finds nothing to improve and tells nobody.
    EXPECT_EQ(recorder.Seen(), QStringList({p[0], p[4], p[3], p[1], p[2], p[5]}));
    EXPECT_EQ(recorder.Finals(), std::vector<bool>(6, true));
    QObject::disconnect(recorderHeard);
}

TEST_F(ThumbsBuilderTest, SetListReplacesTheWorkAndAnEmptyListStopsIt) {
    const QStringList a = Pngs(QStringLiteral("a"), 5), b = Pngs(QStringLiteral("b"), 2);
    for (const QStringList& next : {b, QStringList()}) {
        cache = std::make_unique<ThumbnailCache>(
            dir.filePath(QStringLiteral("cache%1").arg(next.size())));
        Recorder recorder(*cache, true);
        auto builder = Builder();
        const QMetaObject::Connection recorderHeard = test::Listen(*builder, recorder);
        builder->SetList(a);
        ASSERT_TRUE(recorder.WaitForCount(1));
        builder->SetList(next);
        EXPECT_EQ(builder->Pending(1), next);
        EXPECT_TRUE(builder->Pending(2).isEmpty());
        recorder.Release();
        ASSERT_TRUE(builder->WaitIdle(10s));
        EXPECT_EQ(recorder.Seen(), QStringList({a[0]}) + next);
        for (int i = 1; i < a.size(); ++i) EXPECT_FALSE(Cached(a[i])) << i;
        QObject::disconnect(recorderHeard);
    }
}

// Two browsers at once (the browse window and the batch basket): each one's list replaces only its
// own, the latest first, and a browser that goes withdraws its list alone.
TEST_F(ThumbsBuilderTest, ListsOfSeveralOwnersAreWorkedTogether) {
    const QStringList a = Pngs(QStringLiteral("a"), 4), b = Pngs(QStringLiteral("b"), 2);
    Recorder recorder(*cache, true);
    auto builder = Builder();
    const QMetaObject::Connection recorderHeard = test::Listen(*builder, recorder);
    const int folder = 0, basket = 0;  // two owners, told apart by address
    builder->SetListOf(&folder, a);
    ASSERT_TRUE(recorder.WaitForCount(1));  // held inside the Update of a0
    builder->SetListOf(&basket, b);
    EXPECT_EQ(builder->Pending(1), b + a);
    builder->SetListOf(&basket, {b[1]});
    EXPECT_EQ(builder->Pending(1), QStringList({b[1]}) + a);
    builder->SetListOf(&basket, {});
    EXPECT_EQ(builder->Pending(1), a);
    recorder.Release();
    ASSERT_TRUE(builder->WaitIdle(10s));
    for (const QString& path : a) EXPECT_TRUE(Cached(path)) << qPrintable(path);
    QObject::disconnect(recorderHeard);
}

TEST_F(ThumbsBuilderTest, CameraJpegIsPreliminaryAfterStage1AndFinalAfterStage2) {
    ORM_REQUIRE_CORPUS();
    const QString jpg = dir.filePath(QStringLiteral("camera.jpg"));
    ASSERT_TRUE(QFile::copy(test::CorpusFile("exiforg-fujifilm-finepix40i.jpg"), jpg));
    const QStringList png = Pngs(QStringLiteral("flat"), 1);
    Recorder recorder(*cache);
    auto builder = Builder();
    const QMetaObject::Connection recorderHeard = test::Listen(*builder, recorder);
    builder->SetList({jpg, png[0]});
    ASSERT_TRUE(builder->WaitIdle(20s));
    EXPECT_EQ(recorder.Seen(), QStringList({jpg, png[0], jpg}));
    EXPECT_EQ(recorder.Finals(), std::vector<bool>({false, true, true}));
    const ThumbnailPtr final = Cached(jpg);
    ASSERT_TRUE(final);
    EXPECT_EQ(final->imageWidth, 2400);
    EXPECT_TRUE(final->picture.isNull());  // held compressed
    EXPECT_FALSE(final->jpegData.isEmpty());

    // Listed again: nothing to do, nobody told.
    builder->SetList({jpg, png[0]});
    ASSERT_TRUE(builder->WaitIdle(20s));
    EXPECT_EQ(recorder.Seen().size(), 3);
    EXPECT_EQ(Cached(jpg), final);
    QObject::disconnect(recorderHeard);
}

TEST_F(ThumbsBuilderTest, AThumbnailIsRebuiltWhenItsFileChanges) {
    const QString path = Pngs(QStringLiteral("s"), 1)[0];
    test::SetModifiedTime(path, 1600000000);
    auto builder = Builder();
    builder->SetList({path});
    ASSERT_TRUE(builder->WaitIdle(10s));
    const ThumbnailPtr first = Cached(path);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->fileTime, 1600000000);
    EXPECT_EQ(first->imageWidth, 40);

    builder->SetList({path});
    ASSERT_TRUE(builder->WaitIdle(10s));
    EXPECT_EQ(Cached(path), first);

    test::WriteImage(path, test::TestPattern(90, 30));
    test::SetModifiedTime(path, 1600000100);
    builder->SetList({path});
    ASSERT_TRUE(builder->WaitIdle(10s));
    const ThumbnailPtr second = Cached(path);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->fileTime, 1600000100);
    EXPECT_EQ(second->imageWidth, 90);
}

TEST_F(ThumbsBuilderTest, AFileStillBeingWrittenIsWaitedForButNeverBuiltWhileItGrows) {
    const QStringList p = Pngs(QStringLiteral("w"), 3);
    // Appends a byte every 5 ms until `span` has passed or `stop` is set (the image stays
    // decodable: PNG readers stop at its end).
    auto grow = [](const QString& path, std::chrono::milliseconds span,
                   const std::atomic<bool>& stop) {
        return std::thread([path, span, &stop] {
            const auto end = std::chrono::steady_clock::now() + span;
            QFile f(path);
            if (!f.open(QIODevice::Append))
                return;
            while (!stop && std::chrono::steady_clock::now() < end) {
                f.write("x", 1);
                f.flush();
                std::this_thread::sleep_for(5ms);
            }
        });
    };
    std::atomic<bool> never{false};

    // Looks 50 ms apart, 8 of them: a file growing for longer is skipped and the list goes on;
    // one that stops growing within the looks is built.
    auto builder = Builder(1, 50ms);
    std::thread longWriter = grow(p[0], 1500ms, never);
    std::thread shortWriter = grow(p[1], 60ms, never);
    std::this_thread::sleep_for(10ms);
    builder->SetList(p);
    ASSERT_TRUE(builder->WaitIdle(10s));
    EXPECT_FALSE(Cached(p[0]));
    EXPECT_TRUE(Cached(p[1]));
    EXPECT_TRUE(Cached(p[2]));
    longWriter.join();
    shortWriter.join();
    builder->SetList({p[0]});
    ASSERT_TRUE(builder->WaitIdle(10s));
    EXPECT_TRUE(Cached(p[0]));

    // A new list ends the looks at once (here they could go on for 100 x 50 ms).
    builder = Builder(1, 50ms, 100);
    const QString more = Pngs(QStringLiteral("z"), 1)[0];
    std::atomic<bool> stop{false};
    std::thread writer = grow(more, 20s, stop);
    std::this_thread::sleep_for(10ms);
    builder->SetList({more});
    std::this_thread::sleep_for(100ms);
    const auto stopped = std::chrono::steady_clock::now();
    builder->SetList({});
    ASSERT_TRUE(builder->WaitIdle(10s));
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, 2s);
    stop = true;
    writer.join();
    EXPECT_FALSE(Cached(more));
}

TEST_F(ThumbsBuilderTest, SeveralWorkersBuildEveryFileOnce) {
    const QStringList p = Pngs(QStringLiteral("m"), 24);
    Recorder first(*cache), second(*cache);
    auto builder = Builder(3);
    const QMetaObject::Connection firstHeard = test::Listen(*builder, first);
    const QMetaObject::Connection secondHeard = test::Listen(*builder, second);
    builder->SetList(p);
    builder->Prioritize({p[20], p[21]});
    ASSERT_TRUE(builder->WaitIdle(20s));
    QObject::disconnect(secondHeard);
    QStringList seen = first.Seen();
    seen.sort();
    QStringList expected = p;
    expected.sort();
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(second.Seen().size(), p.size());
    for (const QString& path : p) EXPECT_TRUE(Cached(path)) << path.toStdString();

    // Once disconnected, nothing reaches the listener.
    const QStringList q = Pngs(QStringLiteral("n"), 2);
    builder->SetList(q);
    ASSERT_TRUE(builder->WaitIdle(20s));
    EXPECT_EQ(second.Seen().size(), p.size());
    EXPECT_EQ(first.Seen().size(), p.size() + 2);
    QObject::disconnect(firstHeard);

    // Destroying the builder in the middle of a list waits only for the files in work.
    builder->SetList(Pngs(QStringLiteral("late"), 12));
    builder.reset();
}

}  // namespace
}  // namespace orm
