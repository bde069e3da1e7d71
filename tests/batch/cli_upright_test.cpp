// ormensura-cli on a photo held sideways and on a phone's HEIC photo: sizes, outputs and their
// metadata as independent readers (ImageMagick's identify, exiftool) see them.

#include "test_environment.h"

#include "oriented_files.h"
#include "test_support.h"

#include <QDir>
#include <QImageReader>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace orm {
namespace {

struct Outcome {
    int status = -1;
    QString out, err;
};

Outcome Execute(const QString& program, const QStringList& args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForFinished(120000))
        return {};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

class CliUpright : public ::testing::Test {
  protected:
    void SetUp() override {
        if (QString(ORM_CLI_PATH).isEmpty())
            GTEST_SKIP() << "ormensura-cli is not built";
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir(dir.path()).mkpath("out"));
    }
    QString In(const QString& name) const { return dir.filePath(name); }
    QString Out(const QString& name) const { return dir.filePath("out/" + name); }
    static Outcome Cli(const QStringList& args) { return Execute(ORM_CLI_PATH, args); }

    // identify's size of the file and its complaints (standard error), if it is installed.
    static std::optional<std::pair<QString, QString>> Identify(const QString& path) {
        if (QStandardPaths::findExecutable("identify", {"/usr/bin"}).isEmpty())
            return std::nullopt;
        const Outcome r = Execute("/usr/bin/identify", {"-format", "%wx%h", path});
        return std::pair{r.out, r.err};
    }
    static QString Exiftool(const QString& path, const char* tag) {
        return Execute("exiftool", {"-n", "-s3", QString("-") + tag, path}).out.trimmed();
    }
    static QImage Stored(const QString& path) {
        QImageReader reader(path);
        reader.setAutoTransform(false);
        return reader.read();
    }

    QTemporaryDir dir;
};

TEST_F(CliUpright, APhotoHeldSidewaysIsMeasuredAndWrittenUpright) {
    test::WriteAll(In("portrait.jpg"), test::MakeOrientedJpeg({QSize(480, 640), 6}));
    const Outcome info = Cli({"info", In("portrait.jpg")});
    ASSERT_EQ(info.status, 0) << info.err.toStdString();
    EXPECT_TRUE(info.out.contains("Dimensions : 480 X 640")) << info.out.toStdString();
    EXPECT_TRUE(info.out.contains("Orientation\t90 left")) << info.out.toStdString();

    const Outcome r = Cli({"resize", In("portrait.jpg"), "--width", "240", "-o", Out("")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QString out = Out("portrait.jpg");
    const QImage pixels = Stored(out);
    EXPECT_EQ(pixels.size(), QSize(240, 320));
    EXPECT_TRUE(test::ShowsUprightPattern(pixels));
    if (const auto id = Identify(out)) {
        EXPECT_EQ(id->first, "240x320");
        EXPECT_TRUE(id->second.isEmpty()) << id->second.toStdString();
    }
    if (test::HaveExiftool()) {
        EXPECT_EQ(Exiftool(out, "Orientation"), "1");
        EXPECT_EQ(Exiftool(out, "ExifImageWidth"), "240");
    }
}

TEST_F(CliUpright, AHeicPhotoBecomesAJpegWithItsMetadata) {
    if (QStandardPaths::findExecutable("heif-enc").isEmpty())
        GTEST_SKIP() << "heif-enc (libheif-examples) missing";
    // heif-enc carries the JPEG's Exif block into the HEIC file.
    test::WriteAll(In("source.jpg"), test::MakeOrientedJpeg({QSize(320, 240), 1, false}));
    const Outcome enc = Execute("heif-enc", {"-q", "90", In("source.jpg"), "-o", In("phone.heic")});
    if (enc.status != 0)
        GTEST_SKIP() << "heif-enc cannot encode HEIC here";

    const Outcome r = Cli({"resize", In("phone.heic"), "--percent", "50", "-o", Out("")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QString out = Out("phone.jpg");  // the format is kept where it can be: JPEG
    EXPECT_TRUE(test::ShowsUprightPattern(Stored(out)));
    if (const auto id = Identify(out)) {
        EXPECT_EQ(id->first, "160x120");
        EXPECT_TRUE(id->second.isEmpty()) << id->second.toStdString();
    }
    if (test::HaveExiftool()) {
        EXPECT_EQ(Exiftool(out, "Make"), "Orient Test");
        EXPECT_EQ(Exiftool(out, "Orientation"), "1");
    }
    const Outcome png =
        Cli({"resize", In("phone.heic"), "--width", "80", "--format", "png", "-o", Out("")});
    ASSERT_EQ(png.status, 0) << png.err.toStdString();
    EXPECT_EQ(Stored(Out("phone.png")).size(), QSize(80, 60));
}

}  // namespace
}  // namespace orm
