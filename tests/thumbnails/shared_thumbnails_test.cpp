// Thumbnails a file manager shared (freedesktop rules), made by a script that follows those rules:
// shown before any decoding, and only while they belong to the file as it is now.

#include "thumbnails/shared_thumbnails.h"
#include "imageio/native_path.h"
#include "thumbnails/thumbnail_loader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace orm {
namespace {

constexpr QRgb kShared = qRgb(255, 0, 255);  // the thumbnails' colour; the photos are green

TEST(SharedThumbnails, UrisAndCandidatesFollowTheRules) {
    EXPECT_EQ(SharedThumbnailUri("/home/a/My Photos/b&c (1).jpg"),
              "file:///home/a/My%20Photos/b&c%20(1).jpg");
    EXPECT_EQ(SharedThumbnailUri(QString::fromUtf8("/p/\xC3\xA4.jpg")), "file:///p/%C3%A4.jpg");
    EXPECT_EQ(SharedThumbnailUri(PathFromNative(QByteArray("/p/\xE4.jpg"))), "file:///p/%E4.jpg");
    // The specification's own example name.
    const QStringList candidates =
        SharedThumbnailCandidates("/home/jens/photos/me.png", "/c", {220, 165});
    ASSERT_EQ(candidates.size(), 4);
    EXPECT_EQ(candidates[0], "/c/large/c6ee772d9e49320e97ec29a7eb5b1697.png");
    EXPECT_TRUE(candidates[1].startsWith("/c/x-large/"));
    EXPECT_TRUE(candidates[3].startsWith("/c/normal/"));
}

class SharedThumbnailFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!QFileInfo::exists("/usr/bin/python3"))
            GTEST_SKIP() << "no /usr/bin/python3";
        previous_ = qgetenv("XDG_CACHE_HOME");
        qputenv("XDG_CACHE_HOME", dir.filePath("cache").toUtf8());
    }
    void TearDown() override { qputenv("XDG_CACHE_HOME", previous_); }

    QString Photo(const QString& name, bool decodable = true) {
        const QString path = dir.filePath(name);
        if (decodable) {
            QImage image(300, 200, QImage::Format_RGB32);
            image.fill(qRgb(0, 200, 0));
            EXPECT_TRUE(image.save(path, "JPEG"));
        } else {
            QFile f(path);  // named like a photo, but no decoder can read it
            EXPECT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("not a photo at all");
        }
        return path;
    }
    // Runs the script over the specs; false when it could not run (no Pillow).
    bool MakeThumbnails(const QJsonArray& specs) {
        QFile spec(dir.filePath("spec.json"));
        EXPECT_TRUE(spec.open(QIODevice::WriteOnly));
        spec.write(QJsonDocument(specs).toJson());
        spec.close();
        QProcess script;
        script.start("/usr/bin/python3",
                     {QStringLiteral(ORM_TEST_SOURCE_DIR) + "/make_shared_thumbnails.py",
                      dir.filePath("cache"), spec.fileName()});
        EXPECT_TRUE(script.waitForFinished(60000));
        if (script.exitCode() != 0)
            ADD_FAILURE() << script.readAllStandardError().toStdString();
        return script.exitCode() == 0;
    }
    static QJsonObject Spec(const QString& path, const char* folder, int w, int h) {
        return QJsonObject{{"path", path},
                           {"folder", folder},
                           {"width", w},
                           {"height", h},
                           {"colour", QJsonArray{255, 0, 255}}};
    }

    QTemporaryDir dir;
    QByteArray previous_;
};

TEST_F(SharedThumbnailFolder, ShownWithoutDecodingAndOnlyWhileTheyFitTheFile) {
    const QString undecodable = Photo("cannot decode.jpg", false);
    const QString small = Photo(QString::fromUtf8("kleine \xC3\xA4.jpg"));
    const QString outdated = Photo("outdated.jpg"), resized = Photo("resized.jpg"),
                  other = Photo("other.jpg");
    QJsonObject big = Spec(undecodable, "large", 256, 192);
    big["image_size"] = QJsonArray{4000, 3000};
    QJsonObject old = Spec(outdated, "large", 256, 171);
    old["mtime_delta"] = -1;
    QJsonObject grown = Spec(resized, "large", 256, 171);
    grown["size_delta"] = 10;
    QJsonObject elsewhere = Spec(other, "large", 256, 171);
    elsewhere["uri"] = QString("file:///somewhere/else.jpg");
    if (!MakeThumbnails({big, Spec(small, "normal", 128, 85), old, grown, elsewhere}))
        return;

    // The photo cannot be decoded: the thumbnail comes from the shared cache alone, final,
    // with the image's size as the thumbnail states it.
    CPaletteItemImg item;
    ASSERT_TRUE(LoadThumbnail(item, undecodable, ThumbnailLoadMode::Quick));
    EXPECT_EQ(item.isFinal, 1);
    EXPECT_EQ(QSize(item.imageWidth, item.imageHeight), QSize(4000, 3000));
    ASSERT_EQ(item.picture.size(), QSize(220, 165));
    EXPECT_EQ(item.picture.pixel(110, 80), kShared);

    // Only a small one (normal, no image size): shown first, remade from the photo later.
    CPaletteItemImg preliminary;
    ASSERT_TRUE(LoadThumbnail(preliminary, small, ThumbnailLoadMode::Quick));
    EXPECT_EQ(preliminary.isFinal, 0);
    EXPECT_EQ(preliminary.picture.pixel(10, 10), kShared);

    // Another time, another size or another file's: the photo is decoded instead.
    for (const QString& path : {outdated, resized, other}) {
        CPaletteItemImg decoded;
        ASSERT_TRUE(LoadThumbnail(decoded, path, ThumbnailLoadMode::Quick)) << path.toStdString();
        EXPECT_NE(decoded.picture.pixel(10, 10), kShared) << path.toStdString();
        EXPECT_EQ(decoded.isFinal, 1);
    }
    // Nothing is written into the shared cache.
    EXPECT_EQ(QDir(dir.filePath("cache/thumbnails/large")).entryList(QDir::Files).size(), 4);

    // A damaged file in the cache (a chunk longer than the file, text without its end) is no
    // thumbnail; the photo is decoded.
    const QString damaged = Photo("damaged.jpg");
    const QString file =
        SharedThumbnailCandidates(damaged, dir.filePath("cache/thumbnails"), {220, 165}).first();
    QFile bad(file);
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write(QByteArray("\x89PNG\r\n\x1a\n\x00\x00\x00\x0dIHDR", 16) + QByteArray(13, '\0') +
              QByteArray(4, '\0') + QByteArray("\xff\xff\xff\xf0tEXtThumb", 13));
    bad.close();
    CPaletteItemImg fromPhoto;
    ASSERT_TRUE(LoadThumbnail(fromPhoto, damaged, ThumbnailLoadMode::Quick));
    EXPECT_NE(fromPhoto.picture.pixel(10, 10), kShared);
}

}  // namespace
}  // namespace orm
