// The command line's options and the sizes they give each input.

#include "cli/cli_batch_reporter.h"
#include "cli/resize_options.h"
#include "cli/resize_run.h"
#include "imageio/native_path.h"

#include <gtest/gtest.h>

namespace orm::cli {
namespace {

ResizeCommandLine Parse(const QStringList& args, QString* error = nullptr) {
    ResizeCommandLine cmd;
    const QString e = ParseResizeCommandLine(args, cmd);
    if (error)
        *error = e;
    else
        EXPECT_TRUE(e.isEmpty()) << e.toStdString();
    return cmd;
}

ImageProbe Probe(int w, int h, double dpi = 72) {
    return ImageProbe{w, h, dpi};
}

TEST(CliOptions, EveryValueIsCheckedAndBadOnesAreNamed) {
    for (const QStringList& bad : {QStringList{"a.jpg", "--width", "2"},
                                   {"a.jpg", "--width", "abc"},
                                   {"a.jpg", "--percent", "0"},
                                   {"a.jpg", "--print", "4x"},
                                   {"a.jpg", "--paper", "A9"},
                                   {"a.jpg", "--screen", "huge"},
                                   {"a.jpg", "--width", "10", "--percent", "50"},
                                   {"a.jpg", "--algorithm", "8"},
                                   {"a.jpg", "--width", "10", "--quality", "101"},
                                   {"a.jpg", "--width", "10", "--format", "avif"},
                                   {"a.jpg", "--width", "10", "--overwrite", "maybe"},
                                   {"a.jpg", "--width", "10", "--bogus"},
                                   {"a.jpg"},
                                   {"--width", "10"},
                                   {"a.jpg", "--width", "10", "-o", "x", "--same-folder"},
                                   {"a.jpg", "--width", "10", "--units", "mm"},
                                   {"a.jpg", "--settings", "NoSuchSettings"},
                                   {"a.jpg", "--dpi", "0"}}) {
        QString error;
        Parse(bad, &error);
        EXPECT_FALSE(error.isEmpty()) << bad.join(' ').toStdString();
    }
}

TEST(CliOptions, ValuesAreRead) {
    const ResizeCommandLine cmd = Parse({"a.jpg",        "b.png",       "--percent",
                                         "50x25",        "--algorithm", "smart for natural scenes",
                                         "--correction", "crop",        "--dpi",
                                         "150",          "-o",          "out",
                                         "--new-name",   "--format",    "PNG",
                                         "--quality",    "90",          "--overwrite",
                                         "unique",       "--dry-run",   "-q",
                                         "--timings"});
    EXPECT_EQ(cmd.inputs, (QStringList{"a.jpg", "b.png"}));
    EXPECT_EQ(cmd.size.kind, SizeKind::Percent);
    EXPECT_EQ(cmd.size.percentWidth, 50);
    EXPECT_EQ(cmd.size.percentHeight, 25);
    EXPECT_EQ(cmd.size.algorithm, ResizeAlgorithm(6));
    EXPECT_EQ(cmd.size.correction, 1);
    EXPECT_EQ(cmd.size.dpi, 150);
    EXPECT_EQ(cmd.output.output, "out");
    EXPECT_TRUE(cmd.output.newName);
    EXPECT_EQ(cmd.output.format, 4);
    EXPECT_EQ(cmd.output.quality, 90);
    EXPECT_EQ(cmd.output.overwrite, OverwriteMethod::Unique);
    EXPECT_TRUE(cmd.output.dryRun && cmd.output.quiet && cmd.output.timings);
    EXPECT_FALSE(cmd.output.fastDecode);

    // --fast-decode reaches the run's settings; without it every file is decoded in full.
    const ResizeCommandLine fast = Parse({"a.jpg", "--width", "10", "-o", "out/", "--fast-decode"});
    EXPECT_TRUE(fast.output.fastDecode);
    EXPECT_EQ(PlanOutput(fast.output, 1, nullptr).settings.fastDecode, 1);
    EXPECT_EQ(PlanOutput(cmd.output, 2, nullptr).settings.fastDecode, 0);
}

TEST(CliOptions, DoubleDashEndsTheOptions) {
    const ResizeCommandLine cmd =
        Parse({"--width", "10", "--", "-leading.jpg", "--help", "--", "b.jpg"});
    EXPECT_EQ(cmd.inputs, (QStringList{"-leading.jpg", "--help", "--", "b.jpg"}));
    QString error;
    Parse({"-leading.jpg", "--width", "10"}, &error);
    EXPECT_TRUE(error.startsWith("unknown option -leading.jpg")) << error.toStdString();
    EXPECT_TRUE(Parse({"-", "--width", "10"}).inputs == QStringList{"-"});  // a lone dash is a name

    BatchCommandLine batch;
    EXPECT_TRUE(ParseBatchCommandLine({"-o", "out/", "--accept-damaged", "--", "-list.mnb"}, batch)
                    .isEmpty());
    EXPECT_EQ(batch.batch, "-list.mnb");
    EXPECT_TRUE(batch.output.acceptDamaged);
}

TEST(CliOptions, DryRunPathsAreEscapedOneEntryPerLine) {
    EXPECT_EQ(EscapedPath("/in/plain name.jpg"), "/in/plain name.jpg");
    EXPECT_EQ(EscapedPath("/in/a\tb\nc\rd\\e\x01.jpg"), "/in/a\\tb\\nc\\rd\\\\e\\x01.jpg");
    EXPECT_EQ(EscapedPath(PathFromNative("/in/n\xffm.jpg")), "/in/n\\xffm.jpg");
    EXPECT_EQ(EscapedPath(PathFromNative("/in/\xf0\x9f\x93\xb7.jpg")),
              QString::fromUtf8("/in/\xf0\x9f\x93\xb7.jpg"));
    BatchEntry entry;
    entry.path = "/in/tab\there.png";
    entry.width = 4;
    entry.height = 3;
    entry.dpi = 72;
    OutputPath out;
    out.path = "/out/new\nline.png";
    EXPECT_EQ(DryRunLine(entry, out).split('\t').size(), 5);
    EXPECT_FALSE(DryRunLine(entry, out).contains('\n'));
}

TEST(CliOptions, ADamagedInputFailsTheRunUnlessAccepted) {
    BatchRunSummary summary;
    summary.written = 2;
    summary.damaged = 1;
    EXPECT_EQ(ExitStatusOf(summary), kExitInputFailed);
    EXPECT_EQ(ExitStatusOf(summary, true), kExitOk);
    summary.cancelled = true;
    EXPECT_EQ(ExitStatusOf(summary, true), kExitStopped);
}

TEST(CliSizes, OneSideLetsTheOtherFollowTheAspect) {
    const SizeRequest w = Parse({"a", "--width", "800"}).size;
    BatchEntry e = EntryForInput("a", w, Probe(1600, 1200, 300));
    EXPECT_EQ(e.width, 800);
    EXPECT_EQ(e.height, 600);
    EXPECT_EQ(e.dpi, 300.0f);  // the source's own
    EXPECT_EQ(e.algorithm, ResizeAlgorithm(4));
    EXPECT_EQ(e.centred, 0);
    const SizeRequest h = Parse({"a", "--height", "100", "--dpi", "96"}).size;
    e = EntryForInput("a", h, Probe(1600, 1200, 300));
    EXPECT_EQ(e.width, 133);
    EXPECT_EQ(e.height, 100);
    EXPECT_EQ(e.dpi, 96.0f);
    // --centred goes with the entry's algorithm.
    e = EntryForInput("a", Parse({"a", "--width", "800", "--algorithm", "6", "--centred"}).size,
                      Probe(400, 300, 300));
    EXPECT_EQ(e.algorithm, ResizeAlgorithm(6));
    EXPECT_EQ(e.centred, 1);
    EXPECT_EQ(e.sampling(), engine::Sampling::Centred);
}

TEST(CliSizes, BoxPercentPrintPaperAndScreen) {
    BatchEntry e = EntryForInput("a", Parse({"a", "--width", "800", "--height", "800"}).size,
                                 Probe(1200, 1600));
    EXPECT_EQ(e.width, 600);
    EXPECT_EQ(e.height, 800);
    e = EntryForInput(
        "a", Parse({"a", "--width", "800", "--height", "800", "--correction", "none"}).size,
        Probe(1200, 1600));
    EXPECT_EQ(e.width, 800);
    EXPECT_EQ(e.correction, 2);
    e = EntryForInput("a", Parse({"a", "--percent", "50"}).size, Probe(101, 101));
    EXPECT_EQ(e.width, 51);
    EXPECT_EQ(e.height, 51);
    // 2 x 1 inches at 300 dpi, correction none.
    e = EntryForInput("a",
                      Parse({"a", "--print", "2x1", "--dpi", "300", "--correction", "none"}).size,
                      Probe(10, 10));
    EXPECT_EQ(e.width, 600);
    EXPECT_EQ(e.height, 300);
    e = EntryForInput("a",
                      Parse({"a", "--print", "25.4x50.8", "--units", "mm", "--dpi", "100",
                             "--correction", "none"})
                          .size,
                      Probe(10, 10));
    EXPECT_EQ(e.width, 100);
    EXPECT_EQ(e.height, 200);
    // A4 on a landscape 3000 x 2000 image at 300 dpi, keep aspect: 297 x 198 mm.
    e = EntryForInput("a", Parse({"a", "--paper", "a4 (210x297 mm)", "--dpi", "300"}).size,
                      Probe(3000, 2000));
    EXPECT_EQ(e.width, 3507);
    EXPECT_EQ(e.height, 2338);
    e = EntryForInput("a", Parse({"a", "--screen", "HD (1920x1080)"}).size, Probe(4000, 3000));
    EXPECT_EQ(e.width, 1440);
    EXPECT_EQ(e.height, 1080);
}

}  // namespace
}  // namespace orm::cli
