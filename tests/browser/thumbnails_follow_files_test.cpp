// The thumbnail cache follows what the file operations report: copies and moves take their
// thumbnails along, a rename moves it, the Trash drops it.

#include "browser/thumbnails_follow_files.h"
#include "imageio/file_look.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace orm {
namespace {

class ThumbnailsFollowFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(from.isValid() && to.isValid() && cacheFolder.isValid());
        cache = std::make_unique<ThumbnailCache>(cacheFolder.path());
    }
    QString From(const QString& name) const { return from.filePath(name); }
    QString To(const QString& name) const { return to.filePath(name); }
    void Write(const QString& path) {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("bytes");
    }
    void Cache(const QString& path, int width = 0) {
        auto thumbnail = std::make_shared<CPaletteItemImg>();
        thumbnail->imageWidth = width;
        cache->Lock()->SetAt(path, thumbnail);
    }
    ThumbnailPtr Find(const QString& path) { return cache->Lock()->Find(path); }

    QTemporaryDir from, to, cacheFolder;
    std::unique_ptr<ThumbnailCache> cache;
};

TEST_F(ThumbnailsFollowFiles, CopiedAndMovedFilesTakeTheirThumbnailsAlong) {
    Write(From("a.jpg"));
    Write(From("b.jpg"));
    Cache(From("a.jpg"));
    Cache(From("b.jpg"));
    ThumbnailsFollow(*cache, CopyFiles({From("a.jpg")}, to.path()));
    ThumbnailsFollow(*cache, MoveFiles({From("b.jpg")}, to.path()));
    EXPECT_TRUE(Find(From("a.jpg")));
    EXPECT_TRUE(Find(To("a.jpg")));
    EXPECT_FALSE(Find(From("b.jpg")));
    EXPECT_TRUE(Find(To("b.jpg")));
}

TEST_F(ThumbnailsFollowFiles, ARenamedImageKeepsItsThumbnailWithTheNewTime) {
    Write(From("IMG_1.JPG"));
    Write(From("IMG_1.WAV"));
    Cache(From("IMG_1.JPG"), 640);
    ThumbnailsFollow(*cache, RenameFile(From("IMG_1.JPG"), QStringLiteral("beach.JPG")));
    EXPECT_FALSE(Find(From("IMG_1.JPG")));
    const ThumbnailPtr moved = Find(From("beach.JPG"));
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->imageWidth, 640);
    EXPECT_EQ(moved->fileTime, LookAt(From("beach.JPG")).ModifiedSeconds());
    EXPECT_FALSE(Find(From("beach.WAV")));
}

TEST_F(ThumbnailsFollowFiles, TheTrashDropsTheThumbnail) {
    Write(From("a.jpg"));
    Cache(From("a.jpg"));
    const FileOpReport report = TrashFiles({From("a.jpg")});
    ASSERT_TRUE(report.Succeeded()) << report.Failures().join("\n").toStdString();
    ThumbnailsFollow(*cache, report);
    EXPECT_FALSE(Find(From("a.jpg")));
}

}  // namespace
}  // namespace orm
