#include "test_environment.h"

#include "batch/source_prefetch.h"
#include "engine/memory_budget.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace orm {
namespace {

class Prefetch : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        test::WriteImage(Path("a.png"), 30, 20);
        test::WriteImage(Path("b.png"), 40, 10);
    }
    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir dir;
    SourcePrefetch prefetch;
};

TEST_F(Prefetch, FilesAreTakenInTheRunsOrderAndOnlyForTheirOwnEntry) {
    prefetch.Start(1, Path("a.png"), {}, 0);
    prefetch.Start(3, Path("b.png"), {}, 0);
    prefetch.Start(4, Path("a.png"), {}, 0);
    EXPECT_EQ(prefetch.Pending(), 3u);
    // Entry 0 was never read ahead: nothing, and the later read aheads stay.
    EXPECT_FALSE(prefetch.Take(0, Path("a.png"), {}, nullptr));
    double ms = -1;
    const std::optional<SourceImage> a = prefetch.Take(1, Path("a.png"), {}, &ms);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->image.size(), QSize(30, 20));
    EXPECT_GE(ms, 0);
    // Entry 2 was skipped by the run; entry 3 is still there.
    EXPECT_FALSE(prefetch.Take(2, Path("b.png"), {}, nullptr));
    const std::optional<SourceImage> b = prefetch.Take(3, Path("b.png"), {}, nullptr);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->image.size(), QSize(40, 10));
    // An entry asked for as another file or with another limit is read at its turn.
    EXPECT_FALSE(prefetch.Take(4, Path("b.png"), {}, nullptr));
    EXPECT_EQ(prefetch.Pending(), 0u);
    prefetch.Start(5, Path("a.png"), {}, 0);
    EXPECT_FALSE(prefetch.Take(5, Path("a.png"), DecodeLimit{10, 10, false}, nullptr));
    // Taking a later entry drops the earlier ones not taken.
    prefetch.Start(6, Path("a.png"), {}, 0);
    prefetch.Start(7, Path("b.png"), {}, 0);
    EXPECT_TRUE(prefetch.Take(7, Path("b.png"), {}, nullptr));
    EXPECT_EQ(prefetch.Pending(), 0u);
}

TEST_F(Prefetch, NothingIsDecodedAfterTheRunStopped) {
    engine::StopToken stop;
    stop.RequestStop();
    prefetch.Start(1, Path("a.png"), {}, 0, &stop);
    EXPECT_FALSE(prefetch.Take(1, Path("a.png"), {}, nullptr));
}

TEST_F(Prefetch, AFileIsReadAheadOnlyWhenItFitsBesideWhatTheFileInProgressNeeds) {
    test::WriteImage(Path("big.png"), 1000, 1000);
    // About what its decode takes (32-bit pixels and the file), with room for one such file only.
    const std::uint64_t one = 4u * 1000 * 1000 + std::uint64_t(QFileInfo(Path("big.png")).size());
    engine::SetAvailableMemoryOverride(one + one / 2);
    prefetch.Start(1, Path("big.png"), {}, one);
    const bool besideAnother = prefetch.Take(1, Path("big.png"), {}, nullptr).has_value();
    prefetch.Start(2, Path("big.png"), {}, 0);
    const bool alone = prefetch.Take(2, Path("big.png"), {}, nullptr).has_value();
    engine::SetAvailableMemoryOverride(0);
    EXPECT_FALSE(besideAnother);
    EXPECT_TRUE(alone);
}

TEST_F(Prefetch, AFileThatIsMissingOrNoImageIsReadAgainAtItsTurn) {
    QFile text(Path("c.png"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a picture");
    text.close();
    prefetch.Start(1, Path("missing.png"), {}, 0);
    prefetch.Start(2, Path("c.png"), {}, 0);
    EXPECT_FALSE(prefetch.Take(1, Path("missing.png"), {}, nullptr));
    EXPECT_FALSE(prefetch.Take(2, Path("c.png"), {}, nullptr));
}

}  // namespace
}  // namespace orm
