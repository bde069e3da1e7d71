// The quality search under a file-size limit, long-edge entries, and the command line's options
// for several sizes, long edges, never-enlarge and the size limit.

#include "batch/batch_entry.h"
#include "cli/resize_options.h"
#include "pipeline/quality_search.h"

#include <QSize>

#include <gtest/gtest.h>

#include <vector>

namespace orm {
namespace {

// An encoder whose file at quality q has sizes[q] bytes; it counts its calls.
struct TableEncoder {
    std::vector<qint64> sizes;  // index 1..100
    int calls = 0;
    EncodeAtQuality Fn() {
        return [this](int q, QString*) {
            ++calls;
            return QByteArray(sizes.at(size_t(q)), 'x');
        };
    }
};

TEST(QualitySearch, FindsTheHighestFittingQualityInAtMostEightEncodes) {
    TableEncoder enc;
    enc.sizes.resize(101);
    for (int q = 1; q <= 100; ++q) enc.sizes[size_t(q)] = 1000 + 37 * q + (q * q) / 3;
    // Every limit from below quality 1 to above quality 100, each against the plain answer.
    for (qint64 limit = 1000; limit <= enc.sizes[100] + 10; limit += 7) {
        for (int highest : {100, 75, 1}) {
            int expected = 0;
            for (int q = 1; q <= highest; ++q)
                if (enc.sizes[size_t(q)] <= limit)
                    expected = q;
            enc.calls = 0;
            const QualitySearchResult r = FindQualityForSize(limit, highest, enc.Fn());
            ASSERT_EQ(r.quality, expected) << "limit " << limit << " highest " << highest;
            EXPECT_LE(r.encodes, kMaxQualitySearchEncodes);
            EXPECT_EQ(r.encodes, enc.calls);
            if (expected > 0) {
                EXPECT_EQ(r.bytes.size(), enc.sizes[size_t(expected)]);
            } else {
                EXPECT_TRUE(r.bytes.isEmpty());
                EXPECT_EQ(r.lowestSize, enc.sizes[1]);  // "even quality 1 gives N bytes"
            }
        }
    }
    // A file that fits at the highest quality takes one encode.
    enc.calls = 0;
    EXPECT_EQ(FindQualityForSize(1 << 30, 100, enc.Fn()).quality, 100);
    EXPECT_EQ(enc.calls, 1);
}

TEST(QualitySearch, WhateverTheSizesTheResultFitsAndAFailureEndsTheSearch) {
    // Sizes that go up and down with the quality: what is found still fits.
    TableEncoder enc;
    enc.sizes.resize(101);
    for (int q = 1; q <= 100; ++q) enc.sizes[size_t(q)] = 5000 + ((q * 7919) % 101) * 10;
    for (qint64 limit = 5000; limit < 6100; limit += 13) {
        const QualitySearchResult r = FindQualityForSize(limit, 100, enc.Fn());
        EXPECT_LE(r.encodes, kMaxQualitySearchEncodes);
        if (r.Fits())
            EXPECT_LE(r.bytes.size(), limit);
    }
    int calls = 0;
    const QualitySearchResult failed = FindQualityForSize(100, 100, [&calls](int, QString* error) {
        ++calls;
        *error = "disk on fire";
        return QByteArray();
    });
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(failed.Fits());
    EXPECT_EQ(failed.error, "disk on fire");
}

TEST(LongEdgeEntries, EachEntryGetsTheLongEdgeOnItsOwnLongerSide) {
    ResizeSettings s;
    s.longEdge = 1;
    s.width = 1200;
    s.height = 900;
    s.correction = int32_t(CorrectionMode::Crop);  // long edge keeps the aspect whatever it is
    BatchEntry landscape, portrait, unknown;
    ApplyCurrentSettings(landscape, s, ImageProbe{4000, 3000, 72});
    ApplyCurrentSettings(portrait, s, ImageProbe{2000, 3000, 72});
    ApplyCurrentSettings(unknown, s, std::nullopt);
    EXPECT_EQ(QSize(landscape.width, landscape.height), QSize(1200, 900));
    EXPECT_EQ(QSize(portrait.width, portrait.height), QSize(800, 1200));
    EXPECT_EQ(QSize(unknown.width, unknown.height), QSize(1200, 900));
}

}  // namespace
}  // namespace orm

namespace orm::cli {
namespace {

TEST(CliSizeOptions, SizesLongEdgesAndLimitsAreReadAndChecked) {
    ResizeCommandLine cmd;
    ASSERT_EQ(ParseResizeCommandLine(
                  {"a.jpg", "--size", "1920x1080", "--long-edge", "800", "--size", "320x240", "-r",
                   "--no-enlarge", "--max-bytes", "500k", "-o", "out/"},
                  cmd),
              QString());
    EXPECT_EQ(cmd.size.kind, SizeKind::Choices);
    EXPECT_EQ(cmd.size.choices,
              (std::vector<SizeChoice>{{1920, 1080, 0}, {0, 0, 800}, {320, 240, 0}}));
    EXPECT_TRUE(cmd.recursive);
    EXPECT_TRUE(cmd.output.noEnlarge);
    EXPECT_EQ(cmd.output.maxBytes, 500 * 1024);

    EXPECT_EQ(ParseByteSizeArg("500000"), 500000);
    EXPECT_EQ(ParseByteSizeArg("2M"), 2 * 1024 * 1024);
    EXPECT_EQ(ParseByteSizeArg("1.5MB"), 1536 * 1024);
    EXPECT_EQ(ParseByteSizeArg("64kB"), 64 * 1024);
    for (const char* bad : {"0", "-5", "k", "12q", "1.5", "", "9999999M"})
        EXPECT_FALSE(ParseByteSizeArg(bad)) << bad;

    for (const QStringList& bad :
         {QStringList{"a.jpg", "--size", "100"},
          {"a.jpg", "--size", "100.5x80"},
          {"a.jpg", "--size", "2x80"},
          {"a.jpg", "--long-edge", "2"},
          {"a.jpg", "--long-edge", "800", "--width", "100"},
          {"a.jpg", "--long-edge", "800", "--max-bytes", "lots"},
          // The quality of a PNG does not set its size.
          {"a.jpg", "--long-edge", "800", "--max-bytes", "1M", "--format", "png"}}) {
        ResizeCommandLine c;
        EXPECT_FALSE(ParseResizeCommandLine(bad, c).isEmpty()) << bad.join(' ').toStdString();
    }
    BatchCommandLine batch;
    ASSERT_EQ(ParseBatchCommandLine({"x.mnb", "--no-enlarge", "--max-bytes", "2M"}, batch),
              QString());
    EXPECT_TRUE(batch.output.noEnlarge);
    EXPECT_EQ(batch.output.maxBytes, 2 << 20);
}

TEST(CliSizeOptions, OneEntryPerSizeAndNoneTwiceForTheSameOutput) {
    SizeRequest size;
    size.kind = SizeKind::Choices;
    // 1600x1200 and 1600x1500 both fit a 4:3 image to 1600x1200; the long edge 800 is 800x600.
    size.choices = {{1600, 1200, 0}, {1600, 1500, 0}, {0, 0, 800}};
    const ImageProbe photo{4000, 3000, 72};
    std::vector<BatchEntry> entries = EntriesForInput("/p.jpg", size, photo, false);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(QSize(entries[0].width, entries[0].height), QSize(1600, 1200));
    EXPECT_EQ(QSize(entries[1].width, entries[1].height), QSize(800, 600));

    // Never enlarge: for a 640x480 image both sizes come to the image's own size, once.
    entries = EntriesForInput("/s.jpg", size, ImageProbe{640, 480, 72}, true);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(QSize(entries[0].width, entries[0].height), QSize(1600, 1200));
    // The long edge follows a portrait image.
    size.choices = {{0, 0, 800}};
    const BatchEntry portrait = EntryForInput("/q.jpg", size, ImageProbe{3000, 4000, 72});
    EXPECT_EQ(QSize(portrait.width, portrait.height), QSize(600, 800));
}

}  // namespace
}  // namespace orm::cli
