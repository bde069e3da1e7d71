#include "settings/colour_scheme.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace orm {
namespace {

TEST(ColourScheme, ValuesKeepTheLowEightBits) {
    QColor c;
    ASSERT_TRUE(ParseColourValue("300, 20, 10", c));
    EXPECT_EQ(c, QColor(44, 20, 10));
    ASSERT_TRUE(ParseColourValue("-1,256,  7", c));
    EXPECT_EQ(c, QColor(255, 0, 7));
    // A number far beyond any integer still keeps just its low bits (10^30 mod 256 = 0).
    ASSERT_TRUE(ParseColourValue("1000000000000000000000000000000, 1, 2", c));
    EXPECT_EQ(c, QColor(0, 1, 2));
    for (const char* bad : {"", "1, 2", "a, b, c", "1 2 3", "1,,2,3"})
        EXPECT_FALSE(ParseColourValue(bad, c)) << bad;
}

TEST(ColourScheme, ReadsTheBrowserSectionAndKeepsDefaultsElsewhere) {
    const ColourScheme s = ParseColourScheme(
        "[OTHER]\nTEXT COLOR=1, 2, 3\n"
        "[browser]\r\n"
        "; comment\r\n"
        "Text Color = 300, 20, 10\r\n"
        "BORDER COLOR=garbage\r\n"
        "DETAILS TAB COLOR=9,8,7\r\n"
        "TEXT COLOR=5, 5, 5\r\n");
    EXPECT_EQ(s.text, QColor(44, 20, 10));
    EXPECT_EQ(s.detailsTab, QColor(9, 8, 7));
    EXPECT_EQ(s.border, ColourScheme().border);
    EXPECT_EQ(s.selectedText, QColor(255, 0, 0));
    EXPECT_EQ(s.background, QColor(203, 219, 244));
}

TEST(ColourScheme, MissingFileGivesDefaultsAndTheShippedFileMatchesThem) {
    EXPECT_EQ(LoadColourScheme("/nonexistent/Res/resourses.ini"), ColourScheme());
    EXPECT_EQ(LoadColourScheme(ORM_SOURCE_RES_DIR "/resourses.ini"), ColourScheme());
    QTemporaryDir dir;
    QFile f(dir.filePath("resourses.ini"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[BROWSER]\nSELECTED BORDER COLOR=1, 2, 3\n");
    f.close();
    ColourScheme expected;
    expected.selectedBorder = QColor(1, 2, 3);
    EXPECT_EQ(LoadColourScheme(f.fileName()), expected);
}

}  // namespace
}  // namespace orm
