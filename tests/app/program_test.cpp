// The real programs as a user starts them: --register and --unregister without a window or a
// display, files on the command line that are not opened, and the long extension spellings
// through ormensura-cli.

#include "app/integration/plugin_descriptor.h"
#include "app/integration/unopened_files.h"
#include "file_tree.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace orm {
namespace {

class Program : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        home = dir.path() + "/home";
        ASSERT_TRUE(QDir().mkpath(home));
        env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home);
        env.insert("XDG_DATA_HOME", home + "/data");
        env.insert("XDG_CONFIG_HOME", home + "/config");
        env.insert("XDG_CACHE_HOME", home + "/cache");
        env.insert("XDG_CONFIG_DIRS", dir.path() + "/etc");
    }

    // Runs a program to its end; its exit code, or -1 when it crashed or did not end.
    int Run(const QString& program, const QStringList& args, QByteArray* err = nullptr) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(program, args);
        const bool ended = p.waitForFinished(60000);
        if (!ended)
            p.kill();
        if (err)
            *err = p.readAllStandardError();
        return ended && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

    QTemporaryDir dir;
    QString home;
    QProcessEnvironment env;
};

TEST_F(Program, RegisterAndUnregisterNeedNoWindowAndLeaveTheSettings) {
    // No display at all: a window, or even a GUI application object, would end the program.
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    const QStringList settings{home + "/config/ORVEN Imaging/ORVEN Mensura.conf",
                               home + "/data/ORVEN Mensura/Settings/web.mns"};
    test::WriteFile(settings[0], "[MAIN]\nWIDTH=800\n");
    test::WriteFile(settings[1], "settings");
    const QDateTime written = QFileInfo(settings[0]).lastModified();
    const test::FileTree before = test::Snapshot(home);

    QByteArray err;
    ASSERT_EQ(Run(ORM_PROGRAM_PATH, {"--register"}, &err), 0) << err.toStdString();
    EXPECT_TRUE(err.isEmpty()) << err.toStdString();
    const QString descriptor = home + "/data/ORVEN/PLUGINS/ORMensura.02.00.orplugin";
    QFile file(descriptor);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(),
              integration::DescriptorXml(QFileInfo(ORM_PROGRAM_PATH).canonicalFilePath()));
    EXPECT_TRUE(QFileInfo::exists(home + "/data/applications/ormensura.desktop"));
    EXPECT_FALSE(QFileInfo::exists(home + "/config/Thunar"));  // Thunar is not set up here
    const test::FileTree registered = test::Snapshot(home);
    for (const QString& path : settings) {
        const std::string key = QDir(home).relativeFilePath(path).toStdString();
        EXPECT_EQ(registered.at(key), before.at(key)) << key;
    }

    ASSERT_EQ(Run(ORM_PROGRAM_PATH, {"--unregister"}, &err), 0) << err.toStdString();
    EXPECT_EQ(test::Snapshot(home), before);
    EXPECT_EQ(QFileInfo(settings[0]).lastModified(), written);
}

TEST_F(Program, FilesThatAreNotOpenedAreNamedOnStandardError) {
    env.insert("QT_QPA_PLATFORM", "offscreen");
    test::WriteFile(dir.path() + "/notes.txt", "text");
    ASSERT_TRUE(QDir().mkpath(dir.path() + "/photos.jpg"));  // a folder with an image's name
    const QStringList args{dir.path() + "/notes.txt", dir.path() + "/photos.jpg/",
                           dir.path() + "/gone.xyz"};
    const QByteArray expected = integration::UnopenedFilesLines(args).toUtf8();
    ASSERT_FALSE(expected.isEmpty());

    // The window then shows the same in a message box and waits for the user: read what the
    // program wrote until then, and end it.
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(ORM_PROGRAM_PATH, args);
    QByteArray err;
    QElapsedTimer timer;
    timer.start();
    while (!err.contains(expected) && timer.elapsed() < 30000 &&
           p.state() != QProcess::NotRunning) {
        p.waitForReadyRead(500);
        err += p.readAllStandardError();
    }
    p.kill();
    p.waitForFinished();
    EXPECT_TRUE(err.contains(expected)) << err.toStdString();
}

TEST(UnopenedFiles, TheWindowsMessageGivesEachFileWithItsReason) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_EQ(integration::UnopenedFilesMessage({dir.path() + "/missing.txt", dir.path()}),
              "Can't open file\n" + dir.path() +
                  "/missing.txt!\nThere is no such file.\n\n"
                  "Can't open file\n" +
                  dir.path() + "!\nIt is a folder.");
    EXPECT_TRUE(integration::UnopenedFilesMessage({}).isEmpty());
}

TEST_F(Program, CliKeepsTheLongSpellingsAndWritesThemWithTheirEncoders) {
    // "resize *.jpeg --format keep" used to stop at the first file.
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(qRgb(200, 120, 40));
    const QString in = dir.path() + "/in/";
    ASSERT_TRUE(QDir().mkpath(in));
    ASSERT_TRUE(QDir().mkpath(dir.path() + "/out"));
    ASSERT_TRUE(image.save(in + "a.jpeg", "JPEG"));
    ASSERT_TRUE(image.save(in + "b.JPE", "JPEG"));
    ASSERT_TRUE(image.save(in + "c.tiff", "TIFF"));
    ASSERT_TRUE(image.save(in + "d.webp", "WEBP"));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    QByteArray err;
    ASSERT_EQ(Run(ORM_CLI_PATH,
                  {"resize", in + "a.jpeg", in + "b.JPE", in + "c.tiff", "--width", "20", "-o",
                   dir.path() + "/out", "-q"},
                  &err),
              0)
        << err.toStdString();
    const std::pair<const char*, const char*> outputs[] = {
        {"a.jpeg", "jpeg"}, {"b.JPE", "jpeg"}, {"c.tiff", "tiff"}};
    for (const auto& [name, format] : outputs) {
        QImageReader reader(dir.path() + "/out/" + name);
        reader.setDecideFormatFromContent(true);
        EXPECT_EQ(reader.format(), QByteArray(format)) << name;
        EXPECT_EQ(reader.size(), QSize(20, 15)) << name;
    }
    // WebP is read: converted to PNG it is written.
    ASSERT_EQ(Run(ORM_CLI_PATH,
                  {"resize", in + "d.webp", "--width", "20", "--format", "png", "-o",
                   dir.path() + "/out", "-q"},
                  &err),
              0)
        << err.toStdString();
    EXPECT_EQ(QImageReader(dir.path() + "/out/d.png").size(), QSize(20, 15));
}

}  // namespace
}  // namespace orm
