// The open document of a photo held sideways: the size fields, the print size and what Resize and
// Save writes are those of the upright picture, for each of the eight EXIF orientations.

#include "document/cormensura_doc.h"
#include "oriented_files.h"
#include "settings/prompt.h"
#include "settings/resize_settings.h"
#include "test_environment.h"
#include "test_support.h"

#include <QImageReader>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace orm {
namespace {

TEST(UprightDocument, SizesAndSavedPixelsAreTheUprightPictures) {
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

        settings.Resize().width = 32;
        settings.Resize().height = 24;
        const QString out = dir.filePath(QStringLiteral("out%1.jpg").arg(o));
        ASSERT_TRUE(doc.ResizeAndSave(out));
        QImageReader reader(out);
        reader.setAutoTransform(false);  // the pixels as written
        EXPECT_TRUE(test::ShowsUprightPattern(reader.read()));
    }
    EXPECT_TRUE(prompt.messages.isEmpty());
}

}  // namespace
}  // namespace orm
