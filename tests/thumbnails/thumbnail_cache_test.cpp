// The cache in memory and on disk: lookups that read a folder's file, insertion with spilling of
// other folders, the save at shutdown and the start-up, in a temporary cache folder.

#include "thumbnail_test_support.h"

#include "thumbnails/thumbnail_cache.h"
#include "thumbnails/thumbnail_cache_files.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace orm {
namespace {

class ThumbnailCacheTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        cacheFolder = root.filePath(QStringLiteral("cache/ORIMGBRW_PBN"));
        oldFile = root.filePath(QStringLiteral("cache/ORIMGBRW_SMRMB"));
    }
    // An existing (empty) image file in a sub-folder of the temporary root.
    QString Image(const QString& relative) {
        const QString path = root.filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        return path;
    }
    static ThumbnailPtr Thumb(const char* tag) {
        return test::SampleThumbnail(1000, QByteArray(tag));
    }
    static std::vector<FolderFileEntry> ReadEntries(const QString& file) {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        const QByteArray bytes = f.readAll();
        auto entries = DecodeFolderFile(
            {reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())});
        return entries ? *entries : std::vector<FolderFileEntry>{};
    }

    QTemporaryDir root;
    QString cacheFolder;
    QString oldFile;
};

TEST_F(ThumbnailCacheTest, FolderKeysKeepTheTrailingSlashAndLetterCase) {
    EXPECT_EQ(ThumbnailFolderKey(QStringLiteral("/a/Photos/x.jpg")), QStringLiteral("/a/Photos/"));
    EXPECT_EQ(ThumbnailFolderKey(QStringLiteral("/x.jpg")), QStringLiteral("/"));
    CMapStringToObPlus cache(cacheFolder);
    cache.Load(oldFile);
    cache.SetAt(QStringLiteral("/a/Photos/x.jpg"), Thumb("upper"));
    cache.SetAt(QStringLiteral("/a/photos/x.jpg"), Thumb("lower"));
    EXPECT_EQ(cache.size(), 2);
    EXPECT_EQ(cache.folderIndex().size(), 2);
    EXPECT_EQ(cache.Find(QStringLiteral("/a/Photos/x.jpg"))->jpegData, QByteArray("upper"));
    EXPECT_EQ(cache.Find(QStringLiteral("/a/photos/X.jpg")), nullptr);
}

TEST_F(ThumbnailCacheTest, ThumbnailsSurviveARestartAndAreReadWhenTheirFolderIsAskedFor) {
    const QString a1 = Image(QStringLiteral("A/one.jpg")), a2 = Image(QStringLiteral("A/two.jpg"));
    const QString b1 = Image(QStringLiteral("B/one.jpg"));
    const QString gone = Image(QStringLiteral("A/gone.jpg"));
    {
        CMapStringToObPlus cache(cacheFolder);
        cache.Load(oldFile);
        cache.StartupCleanup(2000000000);
        for (const QString& p : {a1, a2, b1, gone})
            cache.SetAt(p, test::SampleThumbnail(42, p.toUtf8()));
        ASSERT_TRUE(QFile::remove(gone));
        cache.Shutdown();
        EXPECT_EQ(cache.size(), 0);
    }
    CMapStringToObPlus cache(cacheFolder);
    cache.Load(oldFile);
    ASSERT_EQ(cache.folderIndex().size(), 2);
    EXPECT_EQ(cache.size(), 0);  // nothing is read before it is asked for
    const QString fileA = cache.folderIndex().value(ThumbnailFolderKey(a1));
    EXPECT_EQ(QFileInfo(fileA).path(), cacheFolder);
    EXPECT_TRUE(QFileInfo(fileA).fileName().startsWith(QStringLiteral("FLD")));

    const ThumbnailPtr t = cache.Lookup(a2);
    ASSERT_TRUE(t);
    EXPECT_EQ(cache.lastLoadedFile(), fileA);
    EXPECT_EQ(cache.size(), 2);  // A's two thumbnails; the one of the deleted file was dropped
    EXPECT_EQ(t->jpegData, a2.toUtf8());
    EXPECT_EQ(t->fileTime, 42);
    EXPECT_EQ(t->caption2, QStringLiteral("zwei \u00fc"));
    EXPECT_FALSE(cache.Lookup(gone));
    EXPECT_TRUE(cache.Lookup(b1));
    EXPECT_EQ(cache.size(), 3);

    // A damaged folder file reads as empty: its thumbnails are simply not cached.
    CMapStringToObPlus again(cacheFolder);
    again.Load(oldFile);
    QFile damaged(fileA);
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("\x05\x00garbage", 9);
    damaged.close();
    EXPECT_FALSE(again.Lookup(a1));
    EXPECT_TRUE(again.lastLoadedFile().isEmpty());
}

TEST_F(ThumbnailCacheTest, TheOwnerOpensOnceAndTheDestructorSavesAnOpenedCache) {
    const QString a = Image(QStringLiteral("pics/a.jpg"));
    {
        ThumbnailCache cache(cacheFolder);
        cache.Open(oldFile);
        EXPECT_TRUE(cache.IsOpen());
        cache.Lock()->SetAt(a, Thumb("a"));
        cache.Open(oldFile);  // a second Open reads nothing over what memory holds
        EXPECT_EQ(cache.Lock()->size(), 1);
    }
    {
        ThumbnailCache cache(cacheFolder);
        EXPECT_FALSE(cache.Lock()->Lookup(a));  // not opened: no index, no folder file
        cache.Open(oldFile);
        ASSERT_TRUE(cache.Lock()->Lookup(a));
        EXPECT_EQ(cache.Lock()->Lookup(a)->jpegData, QByteArray("a"));
        cache.Lock()->RemoveKey(a);
        cache.Close();
        EXPECT_FALSE(cache.IsOpen());
    }
    // A cache that was never opened writes nothing when it goes.
    const QString b = Image(QStringLiteral("other/b.jpg"));
    {
        ThumbnailCache cache(cacheFolder);
        cache.Lock()->SetAt(b, Thumb("b"));
    }
    ThumbnailCache again(cacheFolder);
    again.Open(oldFile);
    EXPECT_TRUE(again.Lock()->Lookup(a));  // taken from memory only: its folder file stays
    EXPECT_FALSE(again.Lock()->Lookup(b));
}

TEST_F(ThumbnailCacheTest, InsertingAnotherFoldersThumbnailAt3000SpillsWholeFolders) {
    CMapStringToObPlus cache(cacheFolder);
    cache.Load(oldFile);
    for (int i = 0; i < 3000; ++i) cache.SetAt(QStringLiteral("/A/%1.jpg").arg(i), Thumb("a"));
    const QString fileA = cache.folderIndex().value(QStringLiteral("/A/"));
    EXPECT_EQ(QFileInfo(fileA).size(), 0);

    // One more of A: the current folder is never spilled.
    cache.SetAt(QStringLiteral("/A/extra.jpg"), Thumb("a"));
    EXPECT_EQ(cache.size(), 3001);
    EXPECT_EQ(QFileInfo(fileA).size(), 0);

    // One of B: the group of A, once opened, takes every entry of A.
    cache.SetAt(QStringLiteral("/B/1.jpg"), Thumb("b"));
    EXPECT_EQ(cache.size(), 1);
    EXPECT_EQ(ReadEntries(fileA).size(), 3001u);
    EXPECT_FALSE(cache.Find(QStringLiteral("/A/7.jpg")));
}

TEST_F(ThumbnailCacheTest, SpillingStopsBelow2000AndMergesWithTheFolderFile) {
    CMapStringToObPlus cache(cacheFolder);
    cache.Load(oldFile);
    // Oldest first: 600 of each of C, D, E, F, G (3000), then one of H.
    for (const char* folder : {"C", "D", "E", "F", "G"})
        for (int i = 0; i < 600; ++i)
            cache.SetAt(QStringLiteral("/%1/%2.jpg").arg(QLatin1String(folder)).arg(i),
                        Thumb(folder));
    const QString fileC = cache.folderIndex().value(QStringLiteral("/C/"));
    QFile::remove(fileC);
    {  // C's file already holds an entry that is not in memory, and one that is.
        QFile f(fileC);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(EncodeFolderFile({{QStringLiteral("/C/old.jpg"), Thumb("old")},
                                  {QStringLiteral("/C/1.jpg"), Thumb("stale")}}));
    }
    cache.SetAt(QStringLiteral("/H/1.jpg"), Thumb("h"));
    // C and D are spilled (3000 -> 2400 -> 1800); at E fewer than 2000 remain, so the walk stops.
    EXPECT_EQ(cache.size(), 1801);
    EXPECT_FALSE(cache.Find(QStringLiteral("/D/5.jpg")));
    EXPECT_TRUE(cache.Find(QStringLiteral("/E/5.jpg")));
    const auto entries = ReadEntries(fileC);
    ASSERT_EQ(entries.size(), 601u);
    int fromMemory = 0;
    for (const auto& [path, item] : entries) fromMemory += item->jpegData == QByteArray("C");
    EXPECT_EQ(fromMemory, 600);  // the file's copy of /C/1.jpg gave way to memory's
}

TEST_F(ThumbnailCacheTest, AFolderSpilledAfterItsFileWasReadIsReadAgain) {
    const QString x1 = Image(QStringLiteral("X/1.jpg")), x2 = Image(QStringLiteral("X/2.jpg"));
    const QString y1 = Image(QStringLiteral("Y/1.jpg")), y2 = Image(QStringLiteral("Y/2.jpg"));
    const ThumbnailCacheLimits small{3, 2, int64_t(1) << 30};
    {
        CMapStringToObPlus cache(cacheFolder, small);
        cache.Load(oldFile);
        cache.SetAt(x1, Thumb("x1"));
        cache.SetAt(x2, Thumb("x2"));
        cache.Shutdown();
    }
    CMapStringToObPlus cache(cacheFolder, small);
    cache.Load(oldFile);
    ASSERT_TRUE(cache.Lookup(x1));  // reads X's file
    cache.SetAt(y1, Thumb("y1"));
    cache.SetAt(y2, Thumb("y2"));  // three in memory: X goes back to its file
    EXPECT_FALSE(cache.Find(x1));
    const ThumbnailPtr back = cache.Lookup(x2);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->jpegData, QByteArray("x2"));
}

TEST_F(ThumbnailCacheTest, ShutdownDropsFilesOfVanishedFoldersAndKeepsTheFolderSmall) {
    const QString a = Image(QStringLiteral("A/one.jpg")), b = Image(QStringLiteral("B/one.jpg"));
    ThumbnailCacheLimits limits;
    limits.folderBytes = 30000;
    {
        CMapStringToObPlus cache(cacheFolder, limits);
        cache.Load(oldFile);
        cache.SetAt(a, test::SampleThumbnail(1, QByteArray(20000, 'a')));
        cache.Shutdown();
    }
    QString fileA, fileB;
    {
        CMapStringToObPlus cache(cacheFolder, limits);
        cache.Load(oldFile);
        fileA = cache.folderIndex().value(ThumbnailFolderKey(a));
        ASSERT_TRUE(QFileInfo::exists(fileA));
        QThread::msleep(20);  // B's file is written later than A's
        cache.SetAt(b, test::SampleThumbnail(1, QByteArray(20000, 'b')));
        fileB = cache.folderIndex().value(ThumbnailFolderKey(b));
        cache.Shutdown();  // 40 KB > 30 KB: the oldest file (A's) goes, with its index entry
    }
    EXPECT_FALSE(QFileInfo::exists(fileA));
    EXPECT_TRUE(QFileInfo::exists(fileB));
    {
        CMapStringToObPlus cache(cacheFolder, limits);
        cache.Load(oldFile);
        EXPECT_FALSE(cache.folderIndex().contains(ThumbnailFolderKey(a)));
        EXPECT_TRUE(cache.Lookup(b));
        ASSERT_TRUE(QDir(root.filePath(QStringLiteral("B"))).removeRecursively());
        cache.Shutdown();
    }
    EXPECT_FALSE(QFileInfo::exists(fileB));
    CMapStringToObPlus cache(cacheFolder, limits);
    cache.Load(oldFile);
    EXPECT_TRUE(cache.folderIndex().isEmpty());
}

TEST_F(ThumbnailCacheTest, AnIndexNamingOtherFilesIsNotFollowed) {
    const QString victim = Image(QStringLiteral("precious/notes.txt"));
    {
        QFile v(victim);
        ASSERT_TRUE(v.open(QIODevice::WriteOnly));
        v.write("keep me");
    }
    ASSERT_TRUE(QDir().mkpath(cacheFolder));
    QFile index(cacheFolder + QStringLiteral("/ORIMGBRWS.IND"));
    ASSERT_TRUE(index.open(QIODevice::WriteOnly));
    index.write(EncodeIndexFile(
        {{QStringLiteral("/nowhere/"), victim},
         {ThumbnailFolderKey(victim), victim},
         {QStringLiteral("/nowhere/either/"), cacheFolder + QStringLiteral("/../x/FLD1.tmp")}}));
    index.close();
    CMapStringToObPlus cache(cacheFolder);
    cache.Load(oldFile);
    EXPECT_TRUE(cache.folderIndex().isEmpty());
    cache.SetAt(Image(QStringLiteral("precious/pic.jpg")), Thumb("p"));
    cache.Shutdown();
    QFile v(victim);
    ASSERT_TRUE(v.open(QIODevice::ReadOnly));
    EXPECT_EQ(v.readAll(), QByteArray("keep me"));
}

TEST_F(ThumbnailCacheTest, CacheFilesThatArePipesOrDevicesReadAsAbsent) {
    // /dev/zero would grow the reader's memory without end; a pipe would block start-up.
    const QString pic = Image(QStringLiteral("A/pic.jpg"));
    const QString index = cacheFolder + QStringLiteral("/ORIMGBRWS.IND");
    const QString folderFile = cacheFolder + QStringLiteral("/FLD1.tmp");
    ASSERT_TRUE(QDir().mkpath(cacheFolder));
    QElapsedTimer timer;
    timer.start();
    for (const char* kind : {"device", "pipe"}) {
        QFile::remove(index);
        if (QString(kind) == "device")
            ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), index));
        else
            ASSERT_EQ(::mkfifo(QFile::encodeName(index).constData(), 0600), 0);
        CMapStringToObPlus cache(cacheFolder);
        cache.Load(oldFile);
        EXPECT_TRUE(cache.folderIndex().isEmpty()) << kind;
    }
    // An index naming a folder file that is a device.
    QFile::remove(index);
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), folderFile));
    QFile written(index);
    ASSERT_TRUE(written.open(QIODevice::WriteOnly));
    written.write(EncodeIndexFile({{ThumbnailFolderKey(pic), folderFile}}));
    written.close();
    CMapStringToObPlus cache(cacheFolder);
    cache.Load(oldFile);
    EXPECT_FALSE(cache.Find(pic));
    EXPECT_LT(timer.elapsed(), 10000);
}

TEST_F(ThumbnailCacheTest, OlderSingleFileIsReadOnlyWhenTheCacheFolderIsMissing) {
    const QString fresh = Image(QStringLiteral("A/fresh.jpg")),
                  old = Image(QStringLiteral("A/old.jpg"));
    auto freshItem = test::SampleThumbnail(1, "f");
    freshItem->ageTime = 1000 * 86400;
    auto oldItem = test::SampleThumbnail(1, "o");
    oldItem->ageTime = 1000 * 86400 - 31 * 86400;
    QDir().mkpath(QFileInfo(oldFile).path());
    QFile single(oldFile);
    ASSERT_TRUE(single.open(QIODevice::WriteOnly));
    single.write(EncodeFolderFile(
        {{fresh, freshItem}, {old, oldItem}, {QStringLiteral("/missing.jpg"), freshItem}}));
    single.close();

    CMapStringToObPlus cache(cacheFolder);
    cache.Load(oldFile);
    EXPECT_TRUE(QFileInfo(cacheFolder).isDir());
    EXPECT_EQ(cache.size(), 3);
    cache.StartupCleanup(1000 * 86400 + 3600);
    EXPECT_EQ(cache.size(), 1);  // 31 days old and the missing file dropped
    EXPECT_TRUE(cache.Find(fresh));

    CMapStringToObPlus later(cacheFolder);
    later.Load(oldFile);  // the folder exists now: the single file is not read again
    EXPECT_EQ(later.size(), 0);
}

}  // namespace
}  // namespace orm
