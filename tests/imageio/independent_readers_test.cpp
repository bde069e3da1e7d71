// Every file written from the corpus's camera photos, in every output format, resized and at its
// own size, read by independent readers: exiftool, tiffinfo and ImageMagick's identify must not
// warn about anything (exiftool: nothing the source did not already cause).

#include "imageio/image_loader.h"
#include "imageio/image_saver.h"
#include "metadata/exif_properties.h"
#include "test_support.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <map>
#include <set>

namespace orm {
namespace {

bool Installed(const char* program) {
    return !QStandardPaths::findExecutable(program).isEmpty();
}

struct ToolRun {
    QString out, err;
};

ToolRun RunTool(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(120000);
    return {QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

// exiftool's warnings of each file, in one run over all of them.
std::map<QString, std::set<QString>> ExiftoolWarnings(const QStringList& files) {
    const ToolRun run = RunTool("exiftool", QStringList{"-j", "-a", "-Warning"} + files);
    std::map<QString, std::set<QString>> warnings;
    for (const QJsonValue& entry : QJsonDocument::fromJson(run.out.toUtf8()).array()) {
        const QJsonObject o = entry.toObject();
        auto& set = warnings[QDir::cleanPath(o.value("SourceFile").toString())];
        const QJsonValue w = o.value("Warning");
        if (w.isArray())
            for (const QJsonValue& one : w.toArray()) set.insert(one.toString());
        else if (w.isString())
            set.insert(w.toString());
    }
    return warnings;
}

// The corpus's photos from cameras: JPEG files whose metadata names a camera maker.
QStringList CameraJpegs() {
    QStringList files;
    for (const QString& name :
         QDir(test::CorpusDir()).entryList({"*.jpg"}, QDir::Files, QDir::Name)) {
        const QString path = test::CorpusDir() + "/" + name;
        if (FindItem(ReadPropertyItemsFromFile(path), 0x010F))
            files << path;
    }
    return files;
}

TEST(IndependentReaders, FindNothingToWarnAboutInAnyFileWeWrite) {
    ORM_REQUIRE_CORPUS();
    const bool exiftool = Installed("exiftool"), tiffinfo = Installed("tiffinfo"),
               identify = Installed("identify");
    if (!exiftool && !tiffinfo && !identify)
        GTEST_SKIP()
            << "none of exiftool (libimage-exiftool-perl), tiffinfo (libtiff-tools), identify "
               "(imagemagick) is installed";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QStringList sources = CameraJpegs();
    ASSERT_GE(sources.size(), 15);

    QStringList written;
    std::map<QString, QString> sourceOf;
    for (const QString& source : sources) {
        const auto src = LoadSourceImage(source);
        if (!src)
            continue;  // a truncated camera file
        const QString base = QFileInfo(source).completeBaseName();
        // Resized to half (within 800 x 800), and at its own size unless it is large (the
        // metadata is the same; the encoders would only take longer).
        std::vector<std::pair<QImage, const char*>> outputs{
            {src->image.scaled(QSize(std::max(src->width() / 2, 3), std::max(src->height() / 2, 3))
                                   .boundedTo(QSize(800, 800))),
             "half"}};
        if (qint64(src->width()) * src->height() <= 1000000)
            outputs.emplace_back(src->image, "same");
        // With alpha (as the resize of a transparent source makes it): kept or laid over white.
        // A few sources suffice: the metadata is theirs, the pixels are made alike.
        if (sources.indexOf(source) < 4) {
            QImage translucent = outputs[0].first.convertToFormat(QImage::Format_RGBA8888);
            for (int y = 0; y < translucent.height(); ++y) {
                uchar* row = translucent.scanLine(y);
                for (int x = 0; x < translucent.width(); ++x) row[4 * x + 3] = uchar(x + y);
            }
            outputs.emplace_back(translucent, "alpha");
        }
        for (const char* ext : {"jpg", "tif", "png", "bmp", "gif", "webp"}) {
            for (const auto& [image, tag] : outputs) {
                const QString out = dir.filePath(QString("%1.%2.%3").arg(base, tag, ext));
                ASSERT_TRUE(SaveImage(image, out, *src, SaveOptions{150, 85})) << out.toStdString();
                written << out;
                sourceOf[out] = source;
            }
        }
    }
    ASSERT_GE(written.size(), 170);

    if (exiftool) {
        const auto before = ExiftoolWarnings(sources);
        const auto after = ExiftoolWarnings(written);
        for (const QString& out : written) {
            const auto found = after.find(QDir::cleanPath(out));
            if (found == after.end())
                continue;
            const std::set<QString>& had =
                before.count(sourceOf[out]) ? before.at(sourceOf[out]) : std::set<QString>{};
            for (const QString& w : found->second)
                EXPECT_TRUE(had.count(w))
                    << "exiftool: " << out.toStdString() << ": " << w.toStdString();
        }
    }
    for (const QString& out : written) {
        if (tiffinfo && out.endsWith(".tif")) {
            const ToolRun run = RunTool("tiffinfo", {out});
            EXPECT_TRUE(run.err.trimmed().isEmpty())
                << "tiffinfo: " << out.toStdString() << ": " << run.err.toStdString();
        }
        if (identify) {
            const ToolRun run = RunTool("identify", {out});
            EXPECT_TRUE(run.err.trimmed().isEmpty())
                << "identify: " << out.toStdString() << ": " << run.err.toStdString();
            EXPECT_FALSE(run.out.isEmpty()) << out.toStdString();
        }
    }
}

}  // namespace
}  // namespace orm
