// ResizeImage: dispatch, ratio flag, crop, progress arithmetic, cancellation and failures.

#include "engine/resize_image.h"
#include "engine/memory_budget.h"
#include "engine/progress.h"
#include "engine/standard_modes.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace orm::engine {
namespace {

BgrImage Gradient(int w, int h) {
    BgrImage img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            img.Row(y)[3 * x] = std::uint8_t(x);
            img.Row(y)[3 * x + 1] = std::uint8_t(y);
            img.Row(y)[3 * x + 2] = std::uint8_t((x * 7 + y * 3) & 255);
        }
    return img;
}

bool SameImages(const BgrImage& a, const BgrImage& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height())
        return false;
    for (int y = 0; y < a.Height(); ++y)
        if (std::memcmp(a.Row(y), b.Row(y), std::size_t(a.Width()) * 3) != 0)
            return false;
    return true;
}

TEST(ResizeImage, RatioFlag) {
    EXPECT_EQ(RatioFlag(200, 200, 100, 100), 1);
    EXPECT_EQ(RatioFlag(150, 150, 100, 100), 2);
    EXPECT_EQ(RatioFlag(50, 50, 100, 100), 2);  // 0.5 is not whole
    EXPECT_EQ(RatioFlag(300, 100, 100, 100), 1);
}

TEST(ResizeImage, CropCoversThenCutsTheCentre) {
    int tw = 0, th = 0;
    CoverSize(400, 300, 200, 200, tw, th);
    EXPECT_EQ(tw, 266);
    EXPECT_EQ(th, 200);
    CoverSize(300, 400, 200, 200, tw, th);
    EXPECT_EQ(tw, 200);
    EXPECT_EQ(th, 266);

    // Nearest neighbour at the same height keeps the columns, so the crop's offset is visible.
    const BgrImage src = Gradient(266, 200);
    ResizeOutcome out =
        ResizeImage(src.View(), 200, 200, ResizeAlgorithm::NearestNeighbor, true, nullptr);
    ASSERT_EQ(out.status, ResizeStatus::Ok);
    ASSERT_EQ(out.image.Width(), 200);
    EXPECT_EQ(out.image.Row(0)[0], 33);
    EXPECT_EQ(out.image.Row(0)[3 * 199], 232);

    BgrImage tall = Gradient(200, 266);
    out = ResizeImage(tall.View(), 200, 200, ResizeAlgorithm::NearestNeighbor, true, nullptr);
    EXPECT_EQ(out.image.Row(0)[1], 33);
    EXPECT_EQ(out.image.Row(199)[1], 232);
}

TEST(ResizeImage, EveryAlgorithmAndCorrectionGivesTheTargetSize) {
    const BgrImage src = Gradient(41, 29);
    for (int algorithm = 0; algorithm < kAlgorithmCount; ++algorithm)
        for (bool crop : {false, true})
            for (auto [w, h] : {std::pair{90, 60}, {20, 20}, {41, 29}, {7, 50}}) {
                ResizeOutcome out = ResizeImage(src.View(), w, h, Alg(algorithm), crop, nullptr);
                ASSERT_EQ(out.status, ResizeStatus::Ok) << AlgorithmName(Alg(algorithm));
                EXPECT_EQ(out.image.Width(), w);
                EXPECT_EQ(out.image.Height(), h);
            }
}

// A sink that records the overall positions it announces.
class RecordingSink : public CRSProgress {
  public:
    using CRSProgress::CRSProgress;
    std::vector<int> positions;

  protected:
    void PositionChanged(int position) override { positions.push_back(position); }
};

TEST(ResizeImage, ProgressCountsSweepsAndAnnouncesChangedPositionsOnly) {
    RecordingSink sink;
    sink.passes = 2;
    for (int v : {0, 40, 80, 0, 50, 50}) EXPECT_EQ(sink.ReportProgress(v), 1);
    // The first 0 and the repeated 50 announce nothing; the drop to 0 starts the second sweep.
    EXPECT_EQ(sink.positions, (std::vector<int>{20, 40, 50, 75}));
    EXPECT_EQ(sink.position(), 75);
    EXPECT_EQ(SweepPosition(3, 2, 99), 33 * 2 + 33);
}

TEST(ResizeImage, AStopRequestLeavesNoResultAndTheDestinationUnchanged) {
    const BgrImage src = Gradient(60, 40);
    StopToken stop;
    stop.RequestStop();
    CRSProgress sink(&stop);
    for (int algorithm : {5, 6, 7}) {
        ResizeOutcome out = ResizeImage(src.View(), 150, 100, Alg(algorithm), false, &sink);
        EXPECT_EQ(out.status, ResizeStatus::Cancelled);
        EXPECT_TRUE(out.image.IsNull());

        BgrImage dst = Gradient(150, 100);
        const BgrImage before = dst;
        EXPECT_EQ(ResizeImageInto(src.View(), dst.View(), Alg(algorithm), true, &sink),
                  ResizeStatus::Cancelled);
        EXPECT_TRUE(SameImages(before, dst));
    }
}

TEST(ResizeImage, OneJobsStopLeavesAnotherJobRunning) {
    // Two jobs with their own tokens: stopping the first never stops the second, and a resize
    // never clears a token it was given.
    const BgrImage src = Gradient(60, 40);
    StopToken first, second;
    CRSProgress firstSink(&first), secondSink(&second);
    first.RequestStop();
    EXPECT_EQ(ResizeImage(src.View(), 150, 100, Alg(6), false, &secondSink).status,
              ResizeStatus::Ok);
    EXPECT_EQ(ResizeImage(src.View(), 150, 100, Alg(6), false, &firstSink).status,
              ResizeStatus::Cancelled);
    EXPECT_TRUE(first.StopRequested());
    EXPECT_FALSE(second.StopRequested());
}

TEST(ResizeImage, AbsurdSizesAndBadInputFailCleanly) {
    const BgrImage src = Gradient(8, 8);
    EXPECT_EQ(ResizeImage(src.View(), 2000000000, 2000000000, Alg(4), false, nullptr).status,
              ResizeStatus::OutOfMemory);
#ifndef __SANITIZE_ADDRESS__  // AddressSanitizer aborts on a failed allocation instead of throwing
    EXPECT_EQ(ResizeImage(src.View(), 1000000, 1000000, Alg(6), false, nullptr).status,
              ResizeStatus::OutOfMemory);
#endif
    EXPECT_EQ(ResizeImage(src.View(), 0, 10, Alg(4), false, nullptr).status,
              ResizeStatus::InvalidInput);
    EXPECT_EQ(ResizeImage(src.View(), 10, 10, Alg(8), false, nullptr).status,
              ResizeStatus::InvalidInput);
    EXPECT_EQ(ResizeImage(ConstBgrView(), 10, 10, Alg(1), false, nullptr).status,
              ResizeStatus::InvalidInput);
}

TEST(ResizeImage, ResizesThatCannotFitInMemoryAreRefusedBeforeAllocating) {
    // Linux would grant the buffers and kill the process while writing them: the resize compares
    // its need with what the system has and reports out of memory instead.
    const BgrImage src = Gradient(100, 100);
    SetAvailableMemoryOverride(1000000);
    for (int algorithm : {4, 6}) {
        EXPECT_EQ(ResizeImage(src.View(), 1000, 1000, Alg(algorithm), false, nullptr).status,
                  ResizeStatus::OutOfMemory);
        BgrImage dst = Gradient(1000, 1000);
        const BgrImage before = dst;
        EXPECT_EQ(ResizeImageInto(src.View(), dst.View(), Alg(algorithm), true, nullptr),
                  ResizeStatus::OutOfMemory);
        EXPECT_TRUE(SameImages(before, dst));
    }
    SetAvailableMemoryOverride(100000000);
    EXPECT_EQ(ResizeImage(src.View(), 1000, 1000, Alg(6), false, nullptr).status, ResizeStatus::Ok);
    SetAvailableMemoryOverride(0);
    EXPECT_GT(AvailableMemoryBytes(), 0u);  // read from the system

    // The estimate: the target image, and for the own algorithms the source plane and three
    // planes of the largest working size; a crop adds the cut-out copy.
    EXPECT_EQ(EstimatedResizeBytes(100, 100, 200, 200, 200, 200, Alg(4), false), 3u * 40000);
    EXPECT_EQ(EstimatedResizeBytes(100, 100, 200, 200, 200, 200, Alg(6), false),
              3u * 40000 + 10000 + 3u * 40000);
    EXPECT_EQ(EstimatedResizeBytes(100, 100, 200, 200, 150, 200, Alg(4), true),
              3u * 40000 + 3u * 30000);
}

// A control group's limit, read from a fake cgroup folder as the system lays it out.
TEST(MemoryBudget, AControlGroupsLimitBindsAndNoLimitIsNone) {
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / ("orm-cgroup-" + std::to_string(::getpid()));
    fs::remove_all(root);
    auto write = [&](const char* dir, const char* file, const std::string& text) {
        fs::create_directories(root / dir);
        std::ofstream(root / dir / file) << text;
    };
    constexpr std::uint64_t GiB = std::uint64_t(1) << 30;
    // v2: 8 GiB limit, 7 GiB used of which 512 MiB inactive page cache: 1.5 GiB left.
    write("v2", "memory.max", "8589934592\n");
    write("v2", "memory.current", "7516192768\n");
    write("v2", "memory.stat", "anon 123\ninactive_file 536870912\nactive_file 9\n");
    write("v2max", "memory.max", "max\n");
    write("v2max", "memory.current", "7516192768\n");
    write("v2full", "memory.max", "1073741824\n");
    write("v2full", "memory.current", "2147483648\n");
    // v1: 4 GiB own limit, a parent's 2 GiB binds; 1 GiB used, 256 MiB of it cache.
    write("v1", "memory.limit_in_bytes", "4294967296\n");
    write("v1", "memory.usage_in_bytes", "1073741824\n");
    write("v1", "memory.stat",
          "cache 5\nhierarchical_memory_limit 2147483648\ntotal_inactive_file 268435456\n");
    write("v1none", "memory.limit_in_bytes", "9223372036854771712\n");
    write("v1none", "memory.usage_in_bytes", "1073741824\n");
    const std::pair<const char*, std::uint64_t> cases[] = {
        {"v2", GiB + GiB / 2}, {"v2max", 0},  // no limit
        {"v2full", 1},                        // over the limit: nothing left, but known
        {"v1", GiB + GiB / 4}, {"v1none", 0}, {"missing", 0},
    };
    for (const auto& [dir, expected] : cases)
        EXPECT_EQ(CgroupAvailableBytes((root / dir).string()), expected) << dir;
    fs::remove_all(root);

    // The process's own folders are listed from /proc/self/cgroup and all exist or are skipped.
    for (const std::string& folder : OwnCgroupFolders())
        EXPECT_EQ(folder.rfind("/sys/fs/cgroup", 0), 0u) << folder;
}

TEST(ResizeImage, AbsurdCropAspectsDoNotOverflow) {
    int tw = 0, th = 0;
    CoverSize(1, 100000, 100000, 3, tw, th);
    EXPECT_EQ(tw, 100000);
    EXPECT_EQ(th, INT_MAX);
    const BgrImage src = Gradient(1, 100);
    EXPECT_EQ(ResizeImage(src.View(), 100000, 3, Alg(4), true, nullptr).status,
              ResizeStatus::OutOfMemory);
}

TEST(ResizeImage, AlgorithmIndicesAndNames) {
    EXPECT_EQ(AlgorithmFromIndex(7), ResizeAlgorithm::AdvancedNatural);
    EXPECT_FALSE(AlgorithmFromIndex(8).has_value());
    EXPECT_FALSE(AlgorithmFromIndex(-1).has_value());
    for (int i = 0; i < kAlgorithmCount; ++i) EXPECT_EQ(IsOwnAlgorithm(Alg(i)), i >= 5) << i;
    EXPECT_STREQ(AlgorithmName(Alg(0)), "Nearest Neighbor");
    EXPECT_STREQ(AlgorithmName(Alg(4)), "High Quality Bicubic");
    EXPECT_STREQ(AlgorithmName(Alg(7)), "Advanced for Natural Scenes");
}

}  // namespace
}  // namespace orm::engine
