// Real JPEG files written by other programs (../shared/corpus, see its MANIFEST.md).

#include "jpeg_test_util.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace MiniJpeg;

namespace {

// The kinds this codec refuses: progressive, arithmetic, 12-bit, four components, cut short.
const std::vector<std::string> kRefused = {
    "exiv2-bug1026.jpg", "testimgp.jpg",        "truncated_jpeg.jpg",    "testimgari.jpg",
    "testorig12.jpg",    "pil_sample_cmyk.jpg", "olympus_truncated.jpg",
};

}  // namespace

TEST(JpegCorpus, BaselineFilesMatchTheirReferenceDecodes) {
    const std::string dir = jpegtest::CorpusDir();
    if (dir.empty())
        GTEST_SKIP() << "image corpus not found";
    int checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".jpg" ||
            std::find(kRefused.begin(), kRefused.end(), name) != kRefused.end())
            continue;
        SCOPED_TRACE(name);
        const std::string refPath = dir + "/" + entry.path().stem().string() + ".ref.ppm";
        auto ref = jpegtest::ReadPnm(refPath);
        ASSERT_TRUE(ref) << "no reference decode";
        ImageInfo info;
        jpegtest::Image out;
        ASSERT_NO_THROW(out = jpegtest::Decode(jpegtest::ReadFile(entry.path().string()), &info));
        if (info.colour == 0)
            *ref = jpegtest::FirstChannel(*ref);
        ASSERT_EQ(out.width, ref->width);
        ASSERT_EQ(out.height, ref->height);
        // The reference comes from another decoder with a more accurate inverse DCT.
        EXPECT_GT(jpegtest::Psnr(out, *ref), 35.0);
        ++checked;
    }
    EXPECT_GE(checked, 40);
}

TEST(JpegCorpus, RefusedKindsRaiseError) {
    const std::string dir = jpegtest::CorpusDir();
    if (dir.empty())
        GTEST_SKIP() << "image corpus not found";
    for (const std::string& name : kRefused) {
        const auto bytes = jpegtest::ReadFile(dir + "/" + name);
        ASSERT_FALSE(bytes.empty()) << name;
        EXPECT_THROW(jpegtest::Decode(bytes), Error) << name;
    }
}

TEST(JpegCorpus, DensityOfAJfifFile) {
    const std::string dir = jpegtest::CorpusDir();
    if (dir.empty())
        GTEST_SKIP() << "image corpus not found";
    // Every corpus file with JFIF reports a unit code 1..3; those without report 0.
    ImageInfo withJfif, without;
    jpegtest::Decode(jpegtest::ReadFile(dir + "/testorig.jpg"), &withJfif);
    jpegtest::Decode(jpegtest::ReadFile(dir + "/iptc.jpg"), &without);
    EXPECT_GE(withJfif.densityUnit, kAspectOnly);
    EXPECT_EQ(without.densityUnit, kNoJfif);
}
