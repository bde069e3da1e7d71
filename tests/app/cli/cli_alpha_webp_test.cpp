// ormensura-cli on transparent sources and WebP outputs, run as a process; what it writes is read
// back by Qt's readers, ImageMagick's identify and exiftool.

#include "test_environment.h"

#include <QDir>
#include <QImageReader>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

namespace orm {
namespace {

using ToolOutput = test::ProgramRun;
using test::RunProgram;

bool Installed(const char* program) {
    return !QStandardPaths::findExecutable(program).isEmpty();
}

class CliAlphaWebp : public ::testing::Test {
  protected:
    void SetUp() override {
        if (QString(ORM_CLI_PATH).isEmpty())
            GTEST_SKIP() << "ormensura-cli is not built";
        ASSERT_TRUE(QDir(dir.path()).mkpath("out"));
        ASSERT_TRUE(QDir(dir.path()).mkpath("home"));
    }
    QString Path(const QString& name) const { return dir.path() + "/" + name; }
    QString Out(const QString& name = {}) const { return dir.path() + "/out/" + name; }

    ToolOutput Cli(const QStringList& args) {
        return RunProgram(ORM_CLI_PATH, args, dir.path() + "/home");
    }
    // identify's words on the file: nothing on stderr, the format and whether it has alpha
    // ("%A": False or Undefined without) on stdout.
    static QString Identify(const QString& file) {
        const ToolOutput r = RunProgram("identify", {"-format", "%m %A", file});
        EXPECT_TRUE(r.err.trimmed().isEmpty()) << file.toStdString() << ": " << r.err.toStdString();
        return r.out.trimmed();
    }

    // Opaque red on the left, green hidden under alpha 0 on the right.
    QString WriteRedOverHiddenGreen(const QString& name) const {
        QImage image(24, 18, QImage::Format_ARGB32);
        for (int y = 0; y < 18; ++y)
            for (int x = 0; x < 24; ++x)
                image.setPixel(x, y, x < 12 ? qRgba(255, 0, 0, 255) : qRgba(0, 255, 0, 0));
        EXPECT_TRUE(image.save(Path(name)));
        return Path(name);
    }

    QTemporaryDir dir;
};

TEST_F(CliAlphaWebp, TransparencyIsKeptOrLaidOverWhite) {
    const QString source = WriteRedOverHiddenGreen("logo.png");
    const bool identify = Installed("identify");
    for (const char* algorithm : {"0", "4", "5", "6", "7"})
        for (const char* format : {"png", "tif", "webp", "jpg"}) {
            SCOPED_TRACE(std::string(algorithm) + " " + format);
            const QString out = Out(QString("a%1.%2").arg(algorithm, format));
            const ToolOutput r =
                Cli({"resize", source, "--width", "61", "--height", "40", "--correction", "none",
                     "--algorithm", algorithm, "--quality", "100", "-o", out, "-q"});
            ASSERT_EQ(r.status, 0) << r.err.toStdString();
            const QImage back = QImageReader(out).read().convertToFormat(QImage::Format_ARGB32);
            ASSERT_EQ(back.size(), QSize(61, 40));
            const bool flat = QLatin1String(format) == QLatin1String("jpg");
            if (identify)
                EXPECT_EQ(Identify(out).section(' ', 1).toLower() == "false", flat);
            for (int y = 0; y < 40; ++y)
                for (int x = 0; x < 61; ++x) {
                    const QRgb p = back.pixel(x, y);
                    if (flat) {  // red, then white (pink at the edge), never green; the
                                 // own algorithms darken the outermost pixels a little
                        ASSERT_LE(std::abs(qGreen(p) - qBlue(p)), 12) << x << "," << y;
                        if (x < 26 || x > 34)
                            ASSERT_GE(qRed(p), 225) << x << "," << y;
                        if (x > 34)
                            ASSERT_GE(qGreen(p), 225) << x << "," << y;
                    } else if (qAlpha(p) > 0) {
                        ASSERT_EQ(p, qRgba(255, 0, 0, qAlpha(p))) << x << "," << y;
                    }
                }
            if (!flat) {
                EXPECT_EQ(qAlpha(back.pixel(0, 20)), 255);
                EXPECT_EQ(qAlpha(back.pixel(60, 20)), 0);
            }
        }
}

TEST_F(CliAlphaWebp, AnOpaqueAlphaChannelWritesTheBytesOfAnOpaqueImage) {
    QImage rgb(37, 23, QImage::Format_RGB888);
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x) rgb.setPixel(x, y, qRgb(x * 7, y * 11, (x * y) & 255));
    ASSERT_TRUE(rgb.save(Path("rgb.png")));
    ASSERT_TRUE(rgb.convertToFormat(QImage::Format_ARGB32).save(Path("rgba.png")));
    for (const char* format : {"png", "jpg", "webp"})
        for (const char* algorithm : {"4", "6"}) {
            SCOPED_TRACE(std::string(format) + " " + algorithm);
            for (const char* name : {"rgb", "rgba"})
                ASSERT_EQ(Cli({"resize", Path(QString("%1.png").arg(name)), "--width", "80",
                               "--algorithm", algorithm, "--format", format, "-o",
                               Out(QString("%1.%2").arg(name, format)), "-q"})
                              .status,
                          0);
            const QByteArray opaque = test::FileBytes(Out(QString("rgb.%1").arg(format)));
            ASSERT_FALSE(opaque.isEmpty());
            EXPECT_EQ(test::FileBytes(Out(QString("rgba.%1").arg(format))), opaque);
        }
}

TEST_F(CliAlphaWebp, WebpCarriesQualityAndMetadata) {
    if (QString(ORM_CORPUS_DIR).isEmpty())
        GTEST_SKIP() << "no image corpus";
    const QString photo = QString(ORM_CORPUS_DIR) + "/Canon_40D.jpg";
    for (const char* quality : {"30", "90"})
        ASSERT_EQ(Cli({"resize", photo, "--percent", "200", "--format", "webp", "--quality",
                       quality, "-o", Out(QString("q%1.webp").arg(quality)), "-q"})
                      .status,
                  0);
    EXPECT_LT(test::FileBytes(Out("q30.webp")).size(), test::FileBytes(Out("q90.webp")).size());
    EXPECT_EQ(test::ImageFileSize(Out("q90.webp")), QSize(200, 136));
    if (Installed("identify"))
        EXPECT_EQ(Identify(Out("q90.webp")), "WEBP False");
    if (Installed("exiftool")) {
        const ToolOutput r =
            RunProgram("exiftool", {"-s3", "-Warning", "-Make", "-Software", "-ExifImageWidth",
                                    "-ProfileDescription", Out("q90.webp")});
        EXPECT_EQ(r.out.split('\n', Qt::SkipEmptyParts),
                  (QStringList{"Canon", "ORVEN Imaging  Resizer", "200", "sRGB IEC61966-2.1"}));
    }
    // --format webp names the output .webp; an unknown format is refused with the list.
    ASSERT_EQ(Cli({"resize", photo, "--width", "50", "--format", "webp", "-o", Out(), "-q"}).status,
              0);
    EXPECT_TRUE(QFile::exists(Out("Canon_40D.webp")));
    const ToolOutput bad = Cli({"resize", photo, "--width", "50", "--format", "avif", "-o", Out()});
    EXPECT_EQ(bad.status, 2);
    EXPECT_TRUE(bad.err.contains("gif or webp")) << bad.err.toStdString();
}

}  // namespace
}  // namespace orm
