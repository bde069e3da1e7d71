// ormensura-cli resize with several sizes, long edges, folders walked with -r, never-enlarge and a
// file-size limit: run as a process on real files, the outputs read back with ImageMagick's
// identify.

#include "test_environment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace orm {
namespace {

using Result = test::ProgramRun;

class CliSizeRuns : public ::testing::Test {
  protected:
    void SetUp() override {
        if (QString(ORM_CLI_PATH).isEmpty())
            GTEST_SKIP() << "ormensura-cli is not built";
        if (QString(ORM_CORPUS_DIR).isEmpty())
            GTEST_SKIP() << "no image corpus";
        if (!QFileInfo(kIdentify).isExecutable())
            GTEST_SKIP() << "no identify";
        ASSERT_TRUE(QDir(dir.path()).mkpath("out"));
        ASSERT_TRUE(QDir(dir.path()).mkpath("home"));
    }
    static QString Corpus(const QString& name) { return QString(ORM_CORPUS_DIR) + "/" + name; }
    QString Path(const QString& name) const { return dir.path() + "/" + name; }
    QString Out(const QString& name = {}) const { return Path("out/" + name); }

    Result Run(const QStringList& args) {
        return test::RunProgram(ORM_CLI_PATH, args, Path("home"));
    }
    // "WxH TYPE" as identify reads the file.
    static QString Identify(const QString& path) {
        QProcess p;
        p.start(kIdentify, {"-format", "%wx%h %m", path});
        p.waitForFinished(30000);
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    }
    // Every file below a folder, relative to it, sorted.
    static QStringList FilesBelow(const QString& folder) {
        QStringList files;
        const QDir root(folder);
        std::function<void(const QString&)> walk = [&](const QString& path) {
            const QDir d(path);
            for (const QFileInfo& f :
                 d.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden))
                f.isDir() && !f.isSymLink() ? walk(f.filePath())
                                            : files.append(root.relativeFilePath(f.filePath()));
        };
        walk(folder);
        files.sort();
        return files;
    }
    static void Copy(const QString& from, const QString& to) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(to).path()));
        ASSERT_TRUE(QFile::copy(from, to)) << to.toStdString();
    }

    static constexpr const char* kIdentify = "/usr/bin/identify";
    QTemporaryDir dir;
};

TEST_F(CliSizeRuns, SeveralSizesAndLongEdgesWriteOneFileEachToldApartByTheSuffix) {
    // FurnaceCreekInn.jpg is 400x300, Konica_Minolta_DiMAGE_Z3.jpg 70x100 (portrait).
    const Result r =
        Run({"resize", Corpus("FurnaceCreekInn.jpg"), Corpus("Konica_Minolta_DiMAGE_Z3.jpg"),
             "--size", "200x200", "--long-edge", "60", "-o", Out(), "-q"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(FilesBelow(Out()), (QStringList{"FurnaceCreekInn_RESIZED_TO_200x150.jpg",
                                              "FurnaceCreekInn_RESIZED_TO_60x45.jpg",
                                              "Konica_Minolta_DiMAGE_Z3_RESIZED_TO_140x200.jpg",
                                              "Konica_Minolta_DiMAGE_Z3_RESIZED_TO_42x60.jpg"}));
    EXPECT_EQ(Identify(Out("FurnaceCreekInn_RESIZED_TO_200x150.jpg")), "200x150 JPEG");
    EXPECT_EQ(Identify(Out("FurnaceCreekInn_RESIZED_TO_60x45.jpg")), "60x45 JPEG");
    EXPECT_EQ(Identify(Out("Konica_Minolta_DiMAGE_Z3_RESIZED_TO_42x60.jpg")), "42x60 JPEG");
    EXPECT_EQ(Identify(Out("Konica_Minolta_DiMAGE_Z3_RESIZED_TO_140x200.jpg")), "140x200 JPEG");
}

TEST_F(CliSizeRuns, AFolderWithRKeepsItsTreeAndLeavesHiddenLinkedAndOutputFilesOut) {
    const QString in = Path("in");
    Copy(Corpus("FurnaceCreekInn.jpg"), in + "/a.jpg");
    Copy(Corpus("hopper.gif"), in + "/sub/deep/c.gif");
    Copy(Corpus("Reagan.jpg"), in + "/sub/b.jpg");
    Copy(Corpus("Reagan.jpg"), in + "/.hidden/d.jpg");
    Copy(Corpus("Reagan.jpg"), in + "/sub/.e.jpg");
    Copy(Corpus("Reagan.jpg"), in + "/small/old.jpg");  // the output folder, inside the input
    QFile notes(in + "/notes.txt");
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("not an image");
    notes.close();
    ASSERT_TRUE(QFile::link(in + "/sub", in + "/link"));

    // Without -r a folder is refused.
    const Result refused = Run({"resize", in, "--width", "50", "-o", in + "/small/"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_TRUE(refused.err.contains("give -r")) << refused.err.toStdString();

    // The dry run plans the tree and makes nothing.
    const Result dry =
        Run({"resize", in, "-r", "--width", "50", "-o", in + "/small/", "--dry-run"});
    ASSERT_EQ(dry.status, 0) << dry.err.toStdString();
    EXPECT_EQ(dry.out.count('\n'), 3) << dry.out.toStdString();
    EXPECT_TRUE(dry.out.contains("\t" + in + "/small/sub/deep/c.gif\t50x50\t"));
    EXPECT_FALSE(QFileInfo::exists(in + "/small/sub"));

    const Result r = Run({"resize", in, "-r", "--width", "50", "-o", in + "/small/", "-q"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(FilesBelow(in + "/small"),
              (QStringList{"a.jpg", "old.jpg", "sub/b.jpg", "sub/deep/c.gif"}));
    EXPECT_EQ(Identify(in + "/small/a.jpg"), "50x37 JPEG");
    EXPECT_EQ(Identify(in + "/small/sub/b.jpg"), "50x32 JPEG");
    EXPECT_EQ(Identify(in + "/small/sub/deep/c.gif"), "50x50 GIF");
}

TEST_F(CliSizeRuns, NeverEnlargePlansAndCopiesAtTheSourceSize) {
    // Reagan.jpg is 200x130; the run itself is tested with the runner.
    const QString source = Corpus("Reagan.jpg");
    const QStringList args{"resize", source, "--long-edge", "400", "--no-enlarge", "-o", Out()};
    EXPECT_EQ(Run(args + QStringList{"--dry-run"}).out.split('\t').value(2), "200x130");
    ASSERT_EQ(Run(args + QStringList{"-q"}).status, 0);
    EXPECT_EQ(test::FileBytes(Out("Reagan.jpg")), test::FileBytes(source));
}

TEST_F(CliSizeRuns, MaxBytesWritesTheHighestQualityThatFits) {
    // exiforg-nikon-e950.jpg: 800x600, 164 kB.
    const QString source = Corpus("exiforg-nikon-e950.jpg");
    const qint64 limit = 60 * 1024;
    const Result r = Run(
        {"resize", source, "--long-edge", "640", "--max-bytes", "60k", "-o", Out("limited.jpg")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QRegularExpression said("Quality (\\d+) keeps ");
    const QRegularExpressionMatch m = said.match(r.out);
    ASSERT_TRUE(m.hasMatch()) << r.out.toStdString();
    const int quality = m.captured(1).toInt();
    ASSERT_GT(quality, 1);
    ASSERT_LT(quality, 100);
    EXPECT_LE(QFileInfo(Out("limited.jpg")).size(), limit);
    EXPECT_EQ(Identify(Out("limited.jpg")), "640x480 JPEG");

    // The same file as that quality gives, and one quality more does not fit.
    ASSERT_EQ(Run({"resize", source, "--long-edge", "640", "--quality", QString::number(quality),
                   "-o", Out("same.jpg"), "-q"})
                  .status,
              0);
    EXPECT_EQ(test::FileBytes(Out("same.jpg")), test::FileBytes(Out("limited.jpg")));
    ASSERT_EQ(Run({"resize", source, "--long-edge", "640", "--quality",
                   QString::number(quality + 1), "-o", Out("above.jpg"), "-q"})
                  .status,
              0);
    EXPECT_GT(QFileInfo(Out("above.jpg")).size(), limit);

    // --quality caps the search: quality 20 fits, so it is taken.
    const Result capped = Run({"resize", source, "--long-edge", "640", "--max-bytes", "60k",
                               "--quality", "20", "-o", Out("capped.jpg")});
    EXPECT_TRUE(capped.out.contains("Quality 20 keeps ")) << capped.out.toStdString();
}

TEST_F(CliSizeRuns, MaxBytesSaysWhenEvenQualityOneDoesNotFit) {
    const Result r = Run({"resize", Corpus("exiforg-nikon-e950.jpg"), "--width", "800",
                          "--max-bytes", "1000", "-o", Out("tiny.jpg")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("even quality 1 gives ")) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("more than the 1000 allowed")) << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(Out("tiny.jpg")));
}

}  // namespace
}  // namespace orm
