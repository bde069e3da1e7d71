// ormensura-cli resize and batch, run as a process on corpus files in temporary folders.

#include "test_environment.h"

#include "batch/batch_list.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace orm {
namespace {

using Result = test::ProgramRun;

class Cli : public ::testing::Test {
  protected:
    void SetUp() override {
        if (QString(ORM_CLI_PATH).isEmpty())
            GTEST_SKIP() << "ormensura-cli is not built";
        if (QString(ORM_CORPUS_DIR).isEmpty())
            GTEST_SKIP() << "no image corpus";
        ASSERT_TRUE(QDir(dir.path()).mkpath("out"));
        ASSERT_TRUE(QDir(dir.path()).mkpath("home"));
    }
    static QString Corpus(const QString& name) { return QString(ORM_CORPUS_DIR) + "/" + name; }
    QString Out(const QString& name = {}) const { return dir.path() + "/out/" + name; }
    QStringList OutFiles() const {
        QStringList files = QDir(Out()).entryList(QDir::Files | QDir::Hidden);
        files.sort();  // by code points, whatever the locale
        return files;
    }

    Result Run(const QStringList& args) {
        return test::RunProgram(ORM_CLI_PATH, args, dir.path() + "/home");
    }

    QTemporaryDir dir;
};

TEST_F(Cli, DryRunPrintsThePlanAndWritesNothing) {
    const Result r = Run({"resize", Corpus("Canon_40D.jpg"), Corpus("hopper.gif"), "--width", "50",
                          "-o", Out(), "--format", "png", "--new-name", "--dry-run"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << r.out.toStdString();
    const QStringList first = lines[0].split('\t');
    ASSERT_EQ(first.size(), 5);
    EXPECT_EQ(first[0], Corpus("Canon_40D.jpg"));
    EXPECT_EQ(first[1], Out("Canon_40D_RESIZED_TO_50x34.png"));
    EXPECT_EQ(first[2], "50x34");
    EXPECT_EQ(first[3], "72");
    EXPECT_EQ(first[4], "High Quality Bicubic");
    EXPECT_EQ(lines[1].split('\t')[2], "50x50");
    EXPECT_TRUE(OutFiles().isEmpty());
}

TEST_F(Cli, RunWritesEveryFileWithTheLogAndQuietShowsNothing) {
    const Result r =
        Run({"resize", Corpus("Canon_40D.jpg"), Corpus("bmpsuite-g-rgb24.bmp"),
             Corpus("Reagan.jpg"), "--percent", "50", "--algorithm", "6", "-o", Out()});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("File 3 from 3\nInput file\n")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("Algorithm: Smart for Natural Scenes"));
    EXPECT_EQ(OutFiles(), (QStringList{"Canon_40D.jpg", "Reagan.jpg", "bmpsuite-g-rgb24.bmp"}));
    const QSize source = test::ImageFileSize(Corpus("Canon_40D.jpg"));
    EXPECT_EQ(test::ImageFileSize(Out("Canon_40D.jpg")),
              QSize(int(source.width() * 0.5 + 0.5), int(source.height() * 0.5 + 0.5)));

    const Result quiet =
        Run({"resize", Corpus("hopper.gif"), "--width", "20", "-o", Out("small.png"), "--quiet"});
    EXPECT_EQ(quiet.status, 0);
    EXPECT_TRUE(quiet.out.isEmpty());
    EXPECT_TRUE(quiet.err.isEmpty());
    EXPECT_EQ(test::ImageFileSize(Out("small.png")), QSize(20, 20));
}

TEST_F(Cli, AMakerNoteLeftOutIsNamedInTheLog) {
    // A truncated Olympus maker note does not read back once laid out anew: the file is written
    // without it and the log says so; a Nikon note that reads back is kept without a word.
    const Result r = Run({"resize", Corpus("olympus_truncated.jpg"), Corpus("exiv2-nikon-d70.jpg"),
                          "--percent", "25", "-o", Out()});
    EXPECT_TRUE(r.err.contains(Out("olympus_truncated.jpg") +
                               ": the camera's maker note did not read back as written and was "
                               "left out"))
        << r.err.toStdString();
    EXPECT_FALSE(r.err.contains("exiv2-nikon-d70.jpg: the camera's maker note"));
    EXPECT_EQ(OutFiles(), (QStringList{"exiv2-nikon-d70.jpg", "olympus_truncated.jpg"}));
}

TEST_F(Cli, SkipAndUniqueFollowTheOverwriteRule) {
    ASSERT_EQ(Run({"resize", Corpus("hopper.gif"), "--width", "30", "-o", Out(), "-q"}).status, 0);
    const QByteArray first = test::FileBytes(Out("hopper.gif"));
    const Result dry = Run({"resize", Corpus("hopper.gif"), "--width", "40", "-o", Out(),
                            "--overwrite", "skip", "--dry-run"});
    EXPECT_EQ(dry.out, Corpus("hopper.gif") + "\tskip\t" + Out("hopper.gif") + "\n");
    const Result skip =
        Run({"resize", Corpus("hopper.gif"), "--width", "40", "-o", Out(), "--overwrite", "skip"});
    EXPECT_EQ(skip.status, 0);
    EXPECT_TRUE(skip.out.contains("already exists!\nSkip resizing!"));
    EXPECT_EQ(test::FileBytes(Out("hopper.gif")), first);
    EXPECT_EQ(Run({"resize", Corpus("hopper.gif"), "--width", "40", "-o", Out(), "--overwrite",
                   "unique", "-q"})
                  .status,
              0);
    EXPECT_EQ(test::ImageFileSize(Out("hopper_1.gif")), QSize(40, 40));
}

TEST_F(Cli, DryRunNamesOutputsAsTheRunWillWhenTwoInputsShareAName) {
    // Two inputs with the same file name: the run writes the first before it names the second.
    ASSERT_TRUE(QDir(dir.path()).mkpath("other"));
    const QString copy = dir.path() + "/other/hopper.gif";
    ASSERT_TRUE(QFile::copy(Corpus("hopper.gif"), copy));
    const QStringList both{"resize", Corpus("hopper.gif"), copy, "--width", "20", "-o", Out()};

    const Result unique = Run(both + QStringList{"--overwrite", "unique", "--dry-run"});
    ASSERT_EQ(unique.status, 0) << unique.err.toStdString();
    const QStringList lines = unique.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << unique.out.toStdString();
    EXPECT_EQ(lines[0].split('\t').value(1), Out("hopper.gif"));
    EXPECT_EQ(lines[1].split('\t').value(1), Out("hopper_1.gif"));

    const Result skip = Run(both + QStringList{"--overwrite", "skip", "--dry-run"});
    EXPECT_EQ(skip.out.split('\n', Qt::SkipEmptyParts).value(1),
              copy + "\tskip\t" + Out("hopper.gif"));
    EXPECT_TRUE(OutFiles().isEmpty());

    ASSERT_EQ(Run(both + QStringList{"--overwrite", "unique", "-q"}).status, 0);
    EXPECT_EQ(OutFiles(), (QStringList{"hopper.gif", "hopper_1.gif"}));
}

TEST_F(Cli, DryRunStopsWhereTheRunWouldAtAnOutputNoEncoderWrites) {
    // Keeping the format of a .pcx input names a ".pcx" output, which no encoder writes: the
    // run stops there after writing the files before it, and the plan says so.
    ASSERT_TRUE(QDir(dir.path()).mkpath("in"));
    const QString pcx = dir.path() + "/in/Reagan.pcx";  // a TIFF under a name no encoder writes
    ASSERT_TRUE(QFile::copy(Corpus("Reagan.tiff"), pcx));
    const QStringList args{
        "resize", Corpus("hopper.gif"), pcx, Corpus("Canon_40D.jpg"), "--width", "20", "-o", Out()};
    const Result dry = Run(args + QStringList{"--dry-run"});
    EXPECT_EQ(dry.status, 3);
    EXPECT_EQ(dry.out.split('\n', Qt::SkipEmptyParts).size(), 1) << dry.out.toStdString();
    EXPECT_TRUE(dry.err.contains(pcx + ": can't write " + Out("Reagan.pcx") +
                                 ": no encoder writes \".pcx\" files"))
        << dry.err.toStdString();
    EXPECT_TRUE(OutFiles().isEmpty());

    const Result run = Run(args + QStringList{"-q"});
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(OutFiles(), QStringList{"hopper.gif"});
}

TEST_F(Cli, ConvertingInPlaceKeepsAnotherInputOfTheSameName) {
    const QString jpg = Out("photo.jpg");
    const QString png = Out("photo.png");
    ASSERT_TRUE(QFile::copy(Corpus("Canon_40D.jpg"), jpg));
    ASSERT_TRUE(QFile::copy(Corpus("pngsuite-basn2c08.png"), png));
    QFile::setPermissions(png, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const QByteArray original = test::FileBytes(png);
    const QStringList args{"resize", jpg, png, "--width", "16", "--same-folder", "--format", "png"};

    const Result dry = Run(args + QStringList{"--dry-run"});
    EXPECT_EQ(dry.out.split('\n', Qt::SkipEmptyParts).value(0), jpg + "\tskip\t" + png)
        << dry.out.toStdString();
    EXPECT_EQ(test::FileBytes(png), original);

    const Result run = Run(args);
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("Output file photo.png already exists!\nSkip resizing!\nReason: "))
        << run.out.toStdString();
    // photo.png was resized from its own pixels (32 x 32), not from photo.jpg's output.
    EXPECT_EQ(test::ImageFileSize(png), QSize(16, 16));
}

TEST_F(Cli, ExitStatusesNameTheFileAndTheReason) {
    const QString missing = dir.path() + "/missing.jpg";
    const Result failed =
        Run({"resize", missing, Corpus("hopper.gif"), "--width", "16", "-o", Out()});
    EXPECT_EQ(failed.status, 1);
    EXPECT_TRUE(failed.err.contains("Can't open file\n" + missing + "!"))
        << failed.err.toStdString();
    EXPECT_TRUE(failed.err.contains("Reason: "));
    EXPECT_EQ(OutFiles(), QStringList{"hopper.gif"});

    const Result stopped =
        Run({"resize", Corpus("hopper.gif"), "--width", "16", "-o", dir.path() + "/nowhere/"});
    EXPECT_EQ(stopped.status, 3);
    EXPECT_TRUE(stopped.err.contains("Can't create output folder!"));
    EXPECT_TRUE(stopped.err.contains("Can't open output folder!"));

    const Result bad = Run({"resize", Corpus("hopper.gif"), "--width", "1"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_TRUE(bad.err.contains("--width"));

    const Result help = Run({"resize", "--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* option :
         {"--percent", "--print", "--paper", "--screen", "--dpi", "--same-folder", "--overwrite",
          "--dry-run", "--quiet", "--format", "--quality", "--settings", "--size", "--long-edge",
          "--no-enlarge", "--recursive", "--max-bytes"})
        EXPECT_TRUE(help.out.contains(option)) << option;
}

TEST_F(Cli, SameFolderOverwriteReplacesTheInputSafely) {
    const QString input = dir.path() + "/photo.jpg";
    ASSERT_TRUE(QFile::copy(Corpus("Canon_40D.jpg"), input));
    const Result r = Run({"resize", input, "--width", "40", "--same-folder", "-q", "--timings"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(test::ImageFileSize(input).width(), 40);
    for (const char* stage : {"decode", "resize", "encode"})
        EXPECT_TRUE(QRegularExpression(QStringLiteral("(^|\n)%1 \\d+\\.\\d{3} s\n").arg(stage))
                        .match(r.err)
                        .hasMatch())
            << stage << " in " << r.err.toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"photo.jpg"});
}

TEST_F(Cli, BatchRunsASavedListWithEachEntrysOwnSettings) {
    BatchList list;
    list.ReplaceWithPaths({Corpus("hopper.gif"), Corpus("Canon_40D.jpg")}, ResizeSettings{}, true);
    ASSERT_EQ(list.count(), 2);
    list.at(0).width = 25;
    list.at(0).height = 20;
    list.at(0).algorithm = ResizeAlgorithm(7);
    list.at(1).width = 33;
    list.at(1).height = 22;
    list.at(1).algorithm = ResizeAlgorithm(0);
    const QString file = dir.path() + "/list.mnb";
    ASSERT_TRUE(list.Save(file).ok());
    const Result dry = Run({"batch", file, "-o", Out(), "--format", "png", "--dry-run"});
    ASSERT_EQ(dry.status, 0) << dry.err.toStdString();
    EXPECT_EQ(dry.out, Corpus("hopper.gif") + "\t" + Out("hopper.png") +
                           "\t25x20\t300\tAdvanced for Natural Scenes\n" + Corpus("Canon_40D.jpg") +
                           "\t" + Out("Canon_40D.png") + "\t33x22\t300\tNearest Neighbor\n");
    const Result run = Run({"batch", file, "-o", Out(), "--format", "png", "-q"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(test::ImageFileSize(Out("hopper.png")), QSize(25, 20));
    EXPECT_EQ(test::ImageFileSize(Out("Canon_40D.png")), QSize(33, 22));

    const QString foreign = dir.path() + "/foreign.mnb";
    ASSERT_TRUE(QFile::copy(Corpus("hopper.gif"), foreign));
    const Result wrong = Run({"batch", foreign, "-o", Out()});
    EXPECT_EQ(wrong.status, 1);
    EXPECT_TRUE(wrong.err.contains("Wrong file!"));
    EXPECT_EQ(Run({"batch", "NoSuchBatch", "-o", Out()}).status, 2);
    // A mistyped path is a missing file, not an unknown name.
    const QString gone = dir.path() + "/gone.mnb";
    const Result missing = Run({"batch", gone, "-o", Out()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.contains("Can't open file " + gone)) << missing.err.toStdString();
}

TEST_F(Cli, DryRunMakesNoFolderAndSaysTheRunWould) {
    // Without -o the outputs go to ~/Pictures/Resized_Images/, which the run makes when missing.
    const QString folder = dir.path() + "/home/Pictures/Resized_Images";
    ASSERT_FALSE(QFileInfo::exists(folder));
    const QStringList args{"resize", Corpus("hopper.gif"), Corpus("Canon_40D.jpg"), "--width",
                           "20"};
    const Result dry = Run(args + QStringList{"--dry-run"});
    ASSERT_EQ(dry.status, 0) << dry.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_FALSE(QFileInfo::exists(dir.path() + "/home/Pictures"));
    EXPECT_TRUE(dry.err.contains(folder + "/ does not exist; the run would create it"))
        << dry.err.toStdString();
    const QStringList lines = dry.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << dry.out.toStdString();
    EXPECT_EQ(lines[0].split('\t').value(1), folder + "/hopper.gif");
    EXPECT_EQ(lines[1].split('\t').value(1), folder + "/Canon_40D.jpg");

    const Result run = Run(args + QStringList{"-q"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), (QStringList{"Canon_40D.jpg", "hopper.gif"}));
}

TEST_F(Cli, DryRunPlansAnEntryWithoutSizeAsTheRunFailsIt) {
    BatchList list;
    list.ReplaceWithPaths({Corpus("hopper.gif"), Corpus("Canon_40D.jpg")}, ResizeSettings{}, true);
    ASSERT_EQ(list.count(), 2);
    list.at(0).width = 0;  // never given a size
    list.at(0).height = 0;
    list.at(1).width = 30;
    list.at(1).height = 20;
    const QString file = dir.path() + "/list.mnb";
    ASSERT_TRUE(list.Save(file).ok());

    const Result dry = Run({"batch", file, "-o", Out(), "--dry-run"});
    EXPECT_EQ(dry.status, 1);
    EXPECT_TRUE(dry.err.contains(Corpus("hopper.gif") + ": No size set for this entry"))
        << dry.err.toStdString();
    EXPECT_EQ(dry.out, Corpus("Canon_40D.jpg") + "\t" + Out("Canon_40D.jpg") +
                           "\t30x20\t300\tHigh Quality Bicubic\n");
    EXPECT_TRUE(OutFiles().isEmpty());

    const Result run = Run({"batch", file, "-o", Out(), "-q"});
    EXPECT_EQ(run.status, dry.status);
    // Its own line, not the memory message.
    EXPECT_TRUE(run.err.startsWith("No size set for this entry\n")) << run.err.toStdString();
    EXPECT_FALSE(run.err.contains("memory")) << run.err.toStdString();
    EXPECT_EQ(OutFiles(), QStringList{"Canon_40D.jpg"});
}

}  // namespace
}  // namespace orm
