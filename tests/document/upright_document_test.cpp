// The open document of a photo held sideways: the size fields, the print size and the preview's
// source are those of the upright picture, for each of the eight EXIF orientations.

#include "document/cormensura_doc.h"
#include "oriented_files.h"
#include "settings/prompt.h"
#include "settings/resize_settings.h"
#include "test_environment.h"
#include "test_support.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace orm {
namespace {

TEST(UprightDocument, SizesAndPixelsAreTheUprightPictures) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ScriptedPrompt prompt;
    SettingsModel settings;
    settings.SetPrompt(&prompt);
    for (int o = 1; o <= 8; ++o) {
        SCOPED_TRACE("orientation " + std::to_string(o));
        const QString path = dir.filePath(QStringLiteral("o%1.jpg").arg(o));
        // 64 x 48 upright at 100 dpi across and 200 dpi down.
        test::WriteAll(path, test::MakeOrientedJpeg({QSize(64, 48), o}));
        CORMensuraDoc doc(settings);
        ASSERT_TRUE(doc.Open(path));
        EXPECT_EQ(doc.SourceWidth(), 64);
        EXPECT_EQ(doc.SourceHeight(), 48);
        EXPECT_EQ(settings.Resize().width, 64);
        EXPECT_EQ(settings.Resize().height, 48);
        EXPECT_DOUBLE_EQ(doc.SourceInfo().horizontalDpi, 100);
        EXPECT_TRUE(test::ShowsUprightPattern(doc.Source()->image));
    }
    EXPECT_TRUE(prompt.messages.isEmpty());
}

}  // namespace
}  // namespace orm
