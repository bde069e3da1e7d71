// Entries taking the current settings or their image's own size, and the list operations.

#include "test_environment.h"

#include "batch/batch_list.h"

#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace orm {
namespace {

ImageProbe Probe(int w, int h, double dpi = 72) {
    return ImageProbe{w, h, dpi};
}

ResizeSettings Box(int w, int h, CorrectionMode c) {
    ResizeSettings s;
    s.width = w;
    s.height = h;
    s.correction = static_cast<int32_t>(c);
    s.dpi = 150;
    s.algorithm = ResizeAlgorithm(6);
    return s;
}

TEST(ApplySettings, KeepAspectFitsTheBoxOtherModesTakeIt) {
    struct Case {
        int iw, ih;
        CorrectionMode mode;
        int w, h;
    };
    for (const Case& c : {Case{1600, 1200, CorrectionMode::KeepAspect, 800, 600},
                          Case{1200, 1600, CorrectionMode::KeepAspect, 600, 800},
                          Case{1600, 1200, CorrectionMode::Crop, 800, 800},
                          Case{1200, 1600, CorrectionMode::None, 800, 800},
                          Case{10000, 2, CorrectionMode::KeepAspect, 800, 3}}) {
        BatchEntry e;
        ApplyCurrentSettings(e, Box(800, 800, c.mode), Probe(c.iw, c.ih));
        EXPECT_EQ(e.width, c.w) << c.iw << "x" << c.ih;
        EXPECT_EQ(e.height, c.h) << c.iw << "x" << c.ih;
        EXPECT_EQ(e.dpi, 150.0f);
        EXPECT_EQ(e.algorithm, ResizeAlgorithm(6));
        EXPECT_EQ(e.correction, static_cast<int32_t>(c.mode));
    }
    // An image that cannot be opened gets the box as it is.
    BatchEntry e;
    ApplyCurrentSettings(e, Box(800, 700, CorrectionMode::KeepAspect), std::nullopt);
    EXPECT_EQ(e.width, 800);
    EXPECT_EQ(e.height, 700);
}

TEST(ApplySettings, PercentRoundsHalfUp) {
    ResizeSettings s = Box(640, 480, CorrectionMode::KeepAspect);
    s.inPercent = 1;
    s.percentWidth = 50;
    s.percentHeight = 50;
    BatchEntry e;
    ApplyCurrentSettings(e, s, Probe(101, 101));
    EXPECT_EQ(e.width, 51);
    EXPECT_EQ(e.height, 51);
    s.percentWidth = 25;
    s.percentHeight = 200;
    ApplyCurrentSettings(e, s, Probe(1000, 99));
    EXPECT_EQ(e.width, 250);
    EXPECT_EQ(e.height, 198);
    // A zero percent falls back to the box, fitted with Keep aspect.
    s.percentHeight = 0;
    ApplyCurrentSettings(e, s, Probe(1000, 1000));
    EXPECT_EQ(e.width, 480);
    EXPECT_EQ(e.height, 480);
}

TEST(ApplySettings, OwnSizeTakesTheImagesSizeAndResolution) {
    BatchEntry e = NewBatchEntry(Box(800, 800, CorrectionMode::KeepAspect), "/x.jpg");
    ApplyOwnSize(e, Box(800, 800, CorrectionMode::Crop), Probe(1600, 1200, 300));
    EXPECT_EQ(e.width, 1600);
    EXPECT_EQ(e.height, 1200);
    EXPECT_EQ(e.dpi, 300.0f);
    EXPECT_EQ(e.correction, 1);
    // Without an image only algorithm and correction change.
    BatchEntry f = NewBatchEntry(Box(800, 800, CorrectionMode::KeepAspect), "/y.jpg");
    ApplyOwnSize(f, Box(800, 800, CorrectionMode::None), std::nullopt);
    EXPECT_EQ(f.width, 0);
    EXPECT_EQ(f.correction, 2);
}

TEST(ProbeImage, ReadsSizeAndStatedResolutionOfRealFiles) {
    QTemporaryDir dir;
    test::WriteImage(dir.filePath("a.jpg"), 160, 120, 300);
    const auto probe = ProbeImage(dir.filePath("a.jpg"));
    ASSERT_TRUE(probe);
    EXPECT_EQ(probe->width, 160);
    EXPECT_EQ(probe->height, 120);
    EXPECT_DOUBLE_EQ(probe->dpiX, 300);
    EXPECT_FALSE(ProbeImage(dir.filePath("missing.jpg")));
    QFile junk(dir.filePath("junk.jpg"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not an image at all");
    junk.close();
    EXPECT_FALSE(ProbeImage(dir.filePath("junk.jpg")));

    // Files longer than the head that is read: a JPEG (its header in the head) and a TIFF whose
    // directory follows the pixels (read whole).
    QImage noise(1500, 1000, QImage::Format_RGB888);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width() * 3; ++x)
            noise.scanLine(y)[x] = uchar((x * 7919 + y * 104729) % 251);
    noise.setDotsPerMeterX(4724);  // 120 dpi
    noise.setDotsPerMeterY(4724);
    for (const char* name : {"big.jpg", "big.tif"}) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        ASSERT_TRUE(noise.save(path, nullptr, 100));
        ASSERT_GT(QFileInfo(path).size(), 512 * 1024) << name;
        const auto big = ProbeImage(path);
        ASSERT_TRUE(big) << name;
        EXPECT_EQ(big->width, 1500) << name;
        EXPECT_EQ(big->height, 1000) << name;
        EXPECT_NEAR(big->dpiX, 120, 0.1) << name;
    }
}

class BatchListOps : public ::testing::Test {
  protected:
    void SetUp() override {
        test::WriteImage(dir.filePath("wide.jpg"), 160, 120, 300);
        test::WriteImage(dir.filePath("tall.png"), 120, 160);
    }
    QString Path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

TEST_F(BatchListOps, DuplicatesAreComparedExactlyAndAskBeforeAdding) {
    BatchList list;
    ScriptedPrompt prompt({false, true});
    const ResizeSettings s = Box(80, 80, CorrectionMode::KeepAspect);
    EXPECT_EQ(list.AddFiles({Path("wide.jpg")}, s, true, prompt), 1);
    // Linux names are case-sensitive: WIDE.JPG is another file, added without a question.
    test::WriteImage(dir.filePath("WIDE.JPG"), 160, 120, 300);
    EXPECT_EQ(list.AddFiles({Path("WIDE.JPG")}, s, true, prompt), 1);
    EXPECT_TRUE(prompt.questions.isEmpty());
    list.SetSelected(1, true);
    list.RemoveSelected();
    EXPECT_EQ(list.AddFiles({Path("wide.jpg")}, s, true, prompt), 0);  // No
    ASSERT_EQ(prompt.questions.size(), 1);
    EXPECT_EQ(prompt.questions[0], BatchList::DuplicateQuestion(Path("wide.jpg")));
    EXPECT_TRUE(prompt.questions[0].startsWith("File\n"));
    EXPECT_TRUE(prompt.questions[0].endsWith(
        "\nis already selected for batch.\nDo you want have multiple copies of this file?"));
    EXPECT_EQ(list.count(), 1);
    EXPECT_EQ(list.AddFiles({Path("wide.jpg")}, s, true, prompt), 1);  // Yes
    EXPECT_EQ(list.count(), 2);
    EXPECT_EQ(list.at(1).width, 80);
    EXPECT_EQ(list.at(1).height, 60);
}

TEST_F(BatchListOps, NewEntriesTakeTheirOwnSizeWhenApplyToNewIsOff) {
    BatchList list;
    ScriptedPrompt prompt;
    list.AddFiles({Path("wide.jpg"), Path("not-an-image.txt")},
                  Box(80, 80, CorrectionMode::KeepAspect), false, prompt);
    ASSERT_EQ(list.count(), 2);  // any file is accepted; it fails at run time
    EXPECT_EQ(list.at(0).width, 160);
    EXPECT_EQ(list.at(0).height, 120);
    EXPECT_EQ(list.at(0).dpi, 300.0f);
    EXPECT_FALSE(list.at(1).HasTargetSize());
}

TEST_F(BatchListOps, ReplaceApplyAndRemove) {
    BatchList list;
    // Files of a command line are sized as added files are: "Apply to new" fits the box, else
    // each keeps its own size (an entry without a size would write nothing).
    list.ReplaceWithPaths({Path("wide.jpg"), Path("gone.jpg"), Path("tall.png")},
                          Box(80, 80, CorrectionMode::KeepAspect), false);
    ASSERT_EQ(list.count(), 2);  // the missing file is dropped
    EXPECT_TRUE(list.at(0).HasTargetSize());
    EXPECT_NE(list.at(1).height, 80);
    list.ReplaceWithPaths({Path("wide.jpg"), Path("gone.jpg"), Path("tall.png")},
                          Box(50, 50, CorrectionMode::None), true);
    EXPECT_EQ(list.at(0).width, 50);
    EXPECT_EQ(list.at(1).height, 50);
    list.SetSelected(1, true);
    list.ApplyToSelected(Box(80, 80, CorrectionMode::KeepAspect));
    EXPECT_EQ(list.at(0).width, 50);
    EXPECT_EQ(list.at(1).width, 60);
    EXPECT_EQ(list.at(1).height, 80);
    list.ApplyToAll(Box(40, 40, CorrectionMode::None));
    EXPECT_EQ(list.at(0).width, 40);
    EXPECT_EQ(list.at(1).height, 40);
    EXPECT_EQ(list.SelectedCount(), 1);
    EXPECT_EQ(list.RemoveSelected(), 1);
    ASSERT_EQ(list.count(), 1);
    EXPECT_EQ(list.at(0).path, Path("wide.jpg"));
}

}  // namespace
}  // namespace orm
