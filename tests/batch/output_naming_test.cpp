// Output naming, the folder rules of the batch settings and their store.

#include "test_environment.h"

#include "batch/output_naming.h"
#include "settings/batch_settings.h"
#include "settings/settings_store.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <gtest/gtest.h>

namespace orm {
namespace {

class Naming : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(QDir(dir.path()).mkpath("Pics"));
        ASSERT_TRUE(QDir(dir.path()).mkpath("Out"));
        settings.outputFolder = Out("");
    }
    QString Pics(const QString& name) const { return dir.path() + "/Pics/" + name; }
    QString Out(const QString& name) const { return dir.path() + "/Out/" + name; }
    static void Touch(const QString& path) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("old");
    }
    QTemporaryDir dir;
    BatchSettings settings;
};

TEST_F(Naming, TheExamples) {
    // Output folder .../Out/, 640 x 480.
    EXPECT_EQ(MakeBatchOutputPath(Pics("cat.JPG"), 640, 480, settings).path, Out("cat.JPG"));
    settings.newName = 1;
    settings.outputFormat = 4;
    EXPECT_EQ(MakeBatchOutputPath(Pics("cat.JPG"), 640, 480, settings).path,
              Out("cat_RESIZED_TO_640x480.png"));
    settings.sameFolder = 1;
    settings.outputFormat = 1;
    EXPECT_EQ(MakeBatchOutputPath(Pics("cat.JPG"), 640, 480, settings).path,
              Pics("cat_RESIZED_TO_640x480.jpg"));
    // Same folder, no new name, keep the format, overwrite: the input itself - and it is still
    // there after the name has been formed (only a complete new file replaces it).
    Touch(Pics("cat.JPG"));
    settings.newName = 0;
    settings.outputFormat = 0;
    const OutputPath self = MakeBatchOutputPath(Pics("cat.JPG"), 640, 480, settings);
    EXPECT_EQ(self.decision, OutputDecision::Write);
    EXPECT_EQ(self.path, Pics("cat.JPG"));
    EXPECT_EQ(test::FileBytes(Pics("cat.JPG")), QByteArray("old"));
}

TEST_F(Naming, UniqueNamesCountFromOneAfterTheSuffix) {
    settings.overwriteMethod = 2;
    settings.outputFormat = 4;
    // No output yet: the plain name, without "_1".
    EXPECT_EQ(MakeBatchOutputPath(Pics("cat.png"), 640, 480, settings).path, Out("cat.png"));
    Touch(Out("cat.png"));
    Touch(Out("cat_1.png"));
    EXPECT_EQ(MakeBatchOutputPath(Pics("cat.png"), 640, 480, settings).path, Out("cat_2.png"));
    settings.newName = 1;
    Touch(Out("cat_RESIZED_TO_640x480.png"));
    EXPECT_EQ(MakeBatchOutputPath(Pics("cat.png"), 640, 480, settings).path,
              Out("cat_RESIZED_TO_640x480_1.png"));
    // A folder of that name counts as taken too.
    ASSERT_TRUE(QDir(dir.path()).mkpath("Out/cat_RESIZED_TO_640x480_1.png"));
    EXPECT_EQ(MakeBatchOutputPath(Pics("cat.png"), 640, 480, settings).path,
              Out("cat_RESIZED_TO_640x480_2.png"));
}

TEST_F(Naming, SkipNamesTheExistingFileAndChangesNothing) {
    settings.overwriteMethod = 0;
    Touch(Out("dog.bmp"));
    const OutputPath out = MakeBatchOutputPath(Pics("dog.bmp"), 10, 10, settings);
    EXPECT_EQ(out.decision, OutputDecision::Skip);
    EXPECT_EQ(out.path, Out("dog.bmp"));
    EXPECT_EQ(test::FileBytes(Out("dog.bmp")), QByteArray("old"));
    EXPECT_EQ(MakeBatchOutputPath(Pics("cow.bmp"), 10, 10, settings).decision,
              OutputDecision::Write);
}

TEST_F(Naming, AMissingOutputFolderStopsTheRun) {
    settings.outputFolder = dir.path() + "/Missing/";
    const OutputPath out = MakeBatchOutputPath(Pics("cat.jpg"), 10, 10, settings);
    EXPECT_EQ(out.decision, OutputDecision::FolderMissing);
    EXPECT_EQ(out.folder, dir.path() + "/Missing");
    EXPECT_TRUE(out.path.isEmpty());
    // A folder text without its separator still names the folder.
    settings.outputFolder = dir.path() + "/Out";
    EXPECT_EQ(MakeBatchOutputPath(Pics("cat.jpg"), 10, 10, settings).path, Out("cat.jpg"));
}

TEST_F(Naming, PhotosReadButNotWrittenKeepTheirFormatAsJpeg) {
    // "Don't change": HEIF and AVIF photos become JPEG files, the others keep their extension.
    EXPECT_EQ(MakeBatchOutputPath(Pics("phone.HEIC"), 640, 480, settings).path, Out("phone.jpg"));
    EXPECT_EQ(MakeBatchOutputPath(Pics("a.avif"), 640, 480, settings).path, Out("a.jpg"));
    EXPECT_EQ(MakeBatchOutputPath(Pics("scan.tiff"), 640, 480, settings).path, Out("scan.tiff"));
    settings.outputFormat = 4;  // PNG
    EXPECT_EQ(MakeBatchOutputPath(Pics("phone.heic"), 640, 480, settings).path, Out("phone.png"));
}

TEST_F(Naming, OutputsThatCannotBeEncodedSayWhy) {
    EXPECT_TRUE(UnwritableOutputReason(Out("a.JPG")).isEmpty());
    EXPECT_TRUE(UnwritableOutputReason(Out("a.png")).isEmpty());
    EXPECT_TRUE(UnwritableOutputReason(Out("a.gif")).isEmpty());
    EXPECT_TRUE(UnwritableOutputReason(Out("a.tiff")).isEmpty());
    EXPECT_TRUE(UnwritableOutputReason(Out("a.Jpeg")).isEmpty());
    EXPECT_TRUE(UnwritableOutputReason(Out("a.WebP")).isEmpty());
    EXPECT_TRUE(
        UnwritableOutputReason(Out("a.avif")).startsWith("no encoder writes \".avif\" files"));
    EXPECT_TRUE(UnwritableOutputReason(Out("a")).startsWith("the output name has no extension"));
}

TEST(PathSplitting, FolderNameAndExtension) {
    const PathParts p = SplitPath("/a/b.c/photo.tar.gz");
    EXPECT_EQ(p.folder, "/a/b.c/");
    EXPECT_EQ(p.name, "photo.tar");
    EXPECT_EQ(p.extension, ".gz");
    const PathParts q = SplitPath("/a/b.c/README");
    EXPECT_EQ(q.name, "README");
    EXPECT_EQ(q.extension, "");
}

TEST(CreateFolderPath, MakesEveryMissingLevel) {
    QTemporaryDir dir;
    EXPECT_TRUE(CreateFolderPath(dir.path() + "/one/two//three/"));
    EXPECT_TRUE(QFileInfo(dir.path() + "/one/two/three").isDir());
    EXPECT_TRUE(CreateFolderPath(dir.path() + "/one/two"));  // existing levels are fine
    EXPECT_FALSE(CreateFolderPath("/a"));
    QFile file(dir.path() + "/plain");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_FALSE(CreateFolderPath(dir.path() + "/plain/below"));
}

TEST(AcceptOutputFolder, StoresTheSeparatorAndOffersToCreate) {
    QTemporaryDir dir;
    ScriptedPrompt prompt;
    EXPECT_EQ(AcceptOutputFolder(dir.path(), prompt), dir.path() + "/");
    EXPECT_EQ(AcceptOutputFolder(dir.path() + "/", prompt), dir.path() + "/");
    EXPECT_TRUE(prompt.questions.isEmpty());
    EXPECT_TRUE(prompt.messages.isEmpty());

    const QString missing = dir.path() + "/new/level";
    // No: no folder to run into (the dialog comes back); the question's default is Yes.
    EXPECT_EQ(AcceptOutputFolder(missing + "/", prompt), std::nullopt);
    ASSERT_EQ(prompt.questions.size(), 1);
    EXPECT_EQ(prompt.questions[0], "Folder\n" + missing + "\ndoes not exist.\nCreate this folder?");
    EXPECT_EQ(prompt.defaultYes, prompt.questions);
    EXPECT_FALSE(QFileInfo::exists(missing));
    prompt.QueueAnswer(true);
    EXPECT_EQ(AcceptOutputFolder(missing, prompt), missing + "/");
    EXPECT_TRUE(QFileInfo(missing).isDir());

    QFile blocker(dir.path() + "/blocker");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    prompt.QueueAnswer(true);
    EXPECT_EQ(AcceptOutputFolder(dir.path() + "/blocker/sub", prompt), std::nullopt);
    ASSERT_EQ(prompt.messages.size(), 1);
    EXPECT_EQ(prompt.messages[0],
              "Can't create folder\n" + dir.path() + "/blocker/sub.\nPlease check folder name.");
}

TEST(BatchSettingsRecord, DefaultsStoreKeysAndDefaultFolder) {
    const BatchSettings d;
    EXPECT_EQ(d.overwriteMethod, 1);
    EXPECT_EQ(d.outputFormat, 0);
    EXPECT_EQ(d.jpegQuality, 75);
    EXPECT_EQ(d.newName, 0);
    EXPECT_EQ(d.sameFolder, 0);

    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    QSettings backend(file.fileName(), QSettings::IniFormat);
    SettingsStore store(backend);
    BatchSettings b;
    b.overwriteMethod = 2;
    b.outputFormat = 3;
    b.outputFolder = "/srv/out/";
    b.newName = 1;
    b.jpegQuality = 90;
    b.sameFolder = 1;
    store.Save(b);
    EXPECT_EQ(backend.value("BATCH/OVERWRITEMETHOD").toInt(), 2);
    EXPECT_EQ(backend.value("BATCH/OUTFOLDER").toString(), "/srv/out/");
    EXPECT_EQ(backend.value("BATCH/JPEGQUALITY").toInt(), 90);
    BatchSettings read;
    store.Load(read);
    EXPECT_EQ(read, b);
    backend.setValue("BATCH/JPEGQUALITY", 0);
    backend.setValue("BATCH/OUTFORMAT", 17);
    store.Load(read);
    EXPECT_EQ(read.jpegQuality, 75);
    EXPECT_EQ(read.outputFormat, 0);

    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    ASSERT_FALSE(pictures.isEmpty());
    EXPECT_EQ(DefaultOutputFolder(), pictures + "/Resized_Images/");
    EXPECT_TRUE(QFileInfo(pictures).isDir());
}

}  // namespace
}  // namespace orm
