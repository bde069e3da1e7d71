// Runs spread over many processes: input lists, shards, the JSON log and reruns that skip what
// exists. The end-to-end case runs GNU parallel with two shards against one single run.

#include "test_environment.h"

#include "cli/input_list.h"
#include "cli/json_log.h"
#include "cli/resize_options.h"
#include "imageio/damage_check.h"
#include "imageio/native_path.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <set>

namespace orm::cli {
namespace {

TEST(InputList, LinesAndNulSeparatedNamesKeepTheirBytes) {
    const QByteArray latin1Name("/p/caf\xe9.jpg");  // not UTF-8
    const QByteArray lines = "/p/a.jpg\n\n b.jpg \n" + latin1Name + "\nlast.png";
    const QStringList fromLines = PathsFromList(lines, false);
    ASSERT_EQ(fromLines.size(), 4);
    EXPECT_EQ(fromLines[1], " b.jpg ");  // blanks belong to the name
    EXPECT_EQ(NativePath(fromLines[2]), latin1Name);
    EXPECT_EQ(fromLines[3], "last.png");

    const QByteArray nul("/p/with\nnewline.jpg\0/p/b.jpg\0", 29);
    EXPECT_EQ(PathsFromList(nul, true), (QStringList{"/p/with\nnewline.jpg", "/p/b.jpg"}));

    QString error;
    EXPECT_FALSE(ReadPathList("/no/such/list", false, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(InputList, ShardsCoverEveryInputOnceWhateverTheOrderGiven) {
    for (const char* bad : {"0/2", "3/2", "1/0", "-1/2", "1/", "/2", "a/b", "1 /2", "+1/2", "12"})
        EXPECT_FALSE(ParseShardArg(bad)) << bad;
    ASSERT_TRUE(ParseShardArg("2/3"));
    EXPECT_EQ(ParseShardArg("2/3")->index, 2);

    std::vector<InputFile> files;
    for (const char* name : {"/d/e", "/d/a", "/d/c", "/d/b", "/d/a", "/d/d", "/d/g", "/d/f"})
        files.push_back({name, {}});
    std::vector<InputFile> reversed(files.rbegin(), files.rend());
    std::set<QString> seen;
    for (int k = 1; k <= 3; ++k) {
        const std::vector<InputFile> mine = ShardOf(files, {k, 3});
        EXPECT_EQ(mine, ShardOf(reversed, {k, 3}));
        for (const InputFile& f : mine)
            EXPECT_TRUE(seen.insert(f.path).second) << f.path.toStdString();
    }
    EXPECT_EQ(seen.size(), 7u);  // "/d/a" given twice is done once
    // Positions 1, 4, 7 of a..g.
    const std::vector<InputFile> first = ShardOf(files, {1, 3});
    ASSERT_EQ(first.size(), 3u);
    EXPECT_EQ(first[0].path, "/d/a");
    EXPECT_EQ(first[1].path, "/d/d");
    EXPECT_EQ(first[2].path, "/d/g");

    QString error;
    ResizeCommandLine cmd;
    EXPECT_TRUE(ParseResizeCommandLine({"--files-from", "-", "-0", "--shard", "1/4", "--width",
                                        "10", "--exists", "skip", "--log-json", "log.jsonl"},
                                       cmd)
                    .isEmpty());
    EXPECT_TRUE(cmd.nulSeparated);
    EXPECT_EQ(cmd.shard.count, 4);
    EXPECT_EQ(cmd.output.overwrite, OverwriteMethod::Skip);
    ResizeCommandLine nulWithoutList;
    EXPECT_FALSE(
        ParseResizeCommandLine({"a.jpg", "-0", "--width", "10"}, nulWithoutList).isEmpty());
    ResizeCommandLine withImageLog;
    EXPECT_FALSE(
        ParseResizeCommandLine({"a.jpg", "--width", "10", "--log-json", "b.jpg"}, withImageLog)
            .isEmpty());
}

TEST(JsonLog, StringsEscapeQuotesControlsAndBytesThatAreNotUtf8) {
    EXPECT_EQ(JsonString("a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\n\\u0001\"");
    const QString latin1 = PathFromNative(QByteArray("caf\xe9"));
    EXPECT_EQ(JsonString(latin1), "\"caf\\udce9\"");
    EXPECT_EQ(JsonString(QString::fromUtf8("\xF0\x9F\x98\x80")),
              QString::fromUtf8("\"\xF0\x9F\x98\x80\""));
    const QJsonDocument doc = QJsonDocument::fromJson(
        JsonLine({"/in/\"x\".jpg", "written", {{"/o/x.jpg", 40, 30, 1234}, {"/o/y", 0, 0, -1}}, ""})
            .toUtf8());
    ASSERT_TRUE(doc.isObject());
    const QJsonArray outputs = doc["outputs"].toArray();
    ASSERT_EQ(outputs.size(), 2);
    EXPECT_EQ(doc["input"].toString(), "/in/\"x\".jpg");
    EXPECT_EQ(outputs.at(0).toObject()["bytes"].toInteger(), 1234);
    EXPECT_TRUE(outputs.at(1).toObject()["width"].isNull());
}

// Reports as the runner sends them, fed to the JSON log directly.
class Reports : public IBatchReporter {
  public:
    void Report(const BatchReport&) override { ++reports; }
    void Finished(const BatchRunSummary&) override { finished = true; }
    int reports = 0;
    bool finished = false;
};

BatchReport Made(int number, const QString& input, BatchStatus code, const QString& output = {}) {
    BatchReport r;
    r.code = code;
    r.fileNumber = number;
    r.entry.path = input;
    r.entry.width = 40;
    r.entry.height = 30;
    r.outputPath = output;
    return r;
}

TEST(JsonLog, OneLinePerInputWhenItsLastSizeIsDone) {
    Reports next;
    QStringList lines;
    // a: two sizes; b: fails; c: damaged; d: two sizes, the run stops after the first.
    JsonLogReporter log({2, 1, 1, 2}, next, [&](const QString& line) { lines << line; });
    log.Report(Made(1, "a", BatchStatus::Processing, "/o/a1"));
    log.Written(Made(1, "a", BatchStatus::Processing, "/o/a1"), {});
    EXPECT_TRUE(lines.isEmpty());  // a's second size is still to come
    log.Report(Made(2, "a", BatchStatus::Skipped, "/o/a2"));
    ASSERT_EQ(lines.size(), 1);
    log.Report(Made(3, "b", BatchStatus::CantOpenInput));
    log.Report(Made(4, "c", BatchStatus::Processing, "/o/c"));
    log.Warning(DamagedFileWarning("c", kMissingPartGrey));
    log.Written(Made(4, "c", BatchStatus::Processing, "/o/c"), {});
    log.Report(Made(5, "d", BatchStatus::Processing, "/o/d1"));
    log.Written(Made(5, "d", BatchStatus::Processing, "/o/d1"), {});
    ASSERT_EQ(lines.size(), 3);
    log.Finished({});
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(next.finished);
    EXPECT_EQ(next.reports, 5);  // every report goes on to the people's log

    auto field = [&](int i, const char* key) {
        return QJsonDocument::fromJson(lines[i].toUtf8())[QLatin1String(key)];
    };
    EXPECT_EQ(field(0, "status").toString(), "written");  // one written, one existed
    EXPECT_EQ(field(0, "outputs").toArray().size(), 2);
    EXPECT_EQ(field(0, "outputs").toArray().at(0).toObject()["width"].toInt(), 40);
    EXPECT_EQ(field(1, "status").toString(), "failed");
    EXPECT_FALSE(field(1, "reason").toString().isEmpty());
    EXPECT_EQ(field(2, "status").toString(), "damaged");
    EXPECT_EQ(field(2, "reason").toString(), kMissingPartGrey);
    EXPECT_EQ(field(3, "status").toString(), "failed");  // its second size was never made
    EXPECT_EQ(field(3, "outputs").toArray().size(), 1);
}

// The real program over real files: two shards under GNU parallel against one run, the JSON
// lines against the files, and reruns.
class ShardedRun : public ::testing::Test {
  protected:
    void SetUp() override {
        if (QString(ORM_CLI_PATH).isEmpty())
            GTEST_SKIP() << "ormensura-cli is not built";
        const QDir d(dir.path());
        for (const char* sub : {"in/sub", "one", "two", "home"}) ASSERT_TRUE(d.mkpath(sub));
        QByteArray list;
        for (int i = 0; i < 7; ++i) {
            const QString path =
                dir.path() + QString(i % 2 ? "/in/sub/p%1.png" : "/in/p%1.jpg").arg(i);
            test::WriteImage(path, 60 + 7 * i, 45 + 3 * i);
            list += NativePath(path) + '\0';
        }
        // A file that is no image: it fails, in whichever shard takes it.
        QFile junk(dir.path() + "/in/junk.jpg");
        ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
        junk.write("not an image");
        junk.close();
        list += NativePath(junk.fileName()) + '\0';
        QFile listFile(dir.path() + "/list");
        ASSERT_TRUE(listFile.open(QIODevice::WriteOnly));
        listFile.write(list);
    }
    test::ProgramRun Cli(const QStringList& args) {
        return test::RunProgram(ORM_CLI_PATH, args, dir.path() + "/home");
    }
    QStringList Files(const QString& sub) const {
        QStringList files = QDir(dir.path() + "/" + sub).entryList(QDir::Files);
        files.sort();
        return files;
    }
    // The JSON lines of a log, each parsed.
    std::vector<QJsonObject> Lines(const QString& log) const {
        std::vector<QJsonObject> out;
        for (const QByteArray& line : test::FileBytes(log).split('\n')) {
            if (line.isEmpty())
                continue;
            QJsonParseError error;
            const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
            EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
            out.push_back(doc.object());
        }
        return out;
    }
    QTemporaryDir dir;
};

TEST_F(ShardedRun, TwoShardsUnderParallelWriteWhatOneRunWrites) {
    const QString parallel = QStandardPaths::findExecutable("parallel");
    if (parallel.isEmpty())
        GTEST_SKIP() << "GNU parallel is not installed";
    const QStringList size = {"--width", "40", "--files-from", dir.path() + "/list", "-0"};
    const test::ProgramRun single =
        Cli(QStringList{"resize"} + size + QStringList{"-o", dir.path() + "/one"});
    EXPECT_EQ(single.status, 1) << single.err.toStdString();  // the junk file
    const test::ProgramRun shards =
        test::RunProgram(parallel,
                         QStringList{"--will-cite", "-j2", ORM_CLI_PATH, "resize"} + size +
                             QStringList{"--shard", "{}/2", "-o", dir.path() + "/two", "--log-json",
                                         dir.path() + "/log{}.jsonl", ":::", "1", "2"},
                         dir.path() + "/home");
    EXPECT_EQ(shards.status, 1) << shards.err.toStdString();  // one job failed an input
    ASSERT_EQ(Files("one").size(), 7);
    ASSERT_EQ(Files("two"), Files("one"));
    for (const QString& name : Files("one"))
        EXPECT_EQ(test::FileBytes(dir.path() + "/two/" + name),
                  test::FileBytes(dir.path() + "/one/" + name))
            << name.toStdString();

    std::vector<QJsonObject> lines = Lines(dir.path() + "/log1.jsonl");
    const std::vector<QJsonObject> second = Lines(dir.path() + "/log2.jsonl");
    EXPECT_EQ(lines.size(), 4u);  // 8 inputs, every second one
    lines.insert(lines.end(), second.begin(), second.end());
    ASSERT_EQ(lines.size(), 8u);
    std::set<QString> inputs;
    int failed = 0;
    for (const QJsonObject& line : lines) {
        inputs.insert(line["input"].toString());
        if (line["status"].toString() == "failed") {
            ++failed;
            EXPECT_TRUE(line["input"].toString().endsWith("junk.jpg"));
            EXPECT_TRUE(line["outputs"].toArray().isEmpty());
            continue;
        }
        EXPECT_EQ(line["status"].toString(), "written");
        const QJsonArray outputs = line["outputs"].toArray();
        ASSERT_EQ(outputs.size(), 1);
        const QJsonObject output = outputs.at(0).toObject();
        const QString out = output["path"].toString();
        EXPECT_EQ(QFileInfo(out).fileName(), QFileInfo(line["input"].toString()).fileName());
        EXPECT_EQ(output["bytes"].toInteger(), QFileInfo(out).size());
        EXPECT_EQ(QSize(output["width"].toInt(), output["height"].toInt()),
                  test::ImageFileSize(out));
    }
    EXPECT_EQ(failed, 1);
    EXPECT_EQ(inputs.size(), 8u);
}

TEST_F(ShardedRun, ARerunWithExistsSkipWritesOnlyWhatIsMissing) {
    const QStringList run = {
        "resize", "--files-from",      dir.path() + "/list", "-0",   "--width",    "40",
        "-o",     dir.path() + "/one", "--exists",           "skip", "--log-json", "-"};
    ASSERT_EQ(Cli(run).status, 1);
    const QStringList files = Files("one");
    ASSERT_EQ(files.size(), 7);
    const QString gone = dir.path() + "/one/" + files[2];
    const QByteArray goneBytes = test::FileBytes(gone);
    ASSERT_TRUE(QFile::remove(gone));
    const QDateTime kept = QFileInfo(dir.path() + "/one/" + files[0]).lastModified();

    const test::ProgramRun again = Cli(run);
    EXPECT_EQ(again.status, 1);
    int written = 0, skipped = 0;
    for (const QString& text : again.out.split('\n', Qt::SkipEmptyParts)) {
        const QJsonObject line = QJsonDocument::fromJson(text.toUtf8()).object();
        ASSERT_FALSE(line.isEmpty()) << "standard output holds only JSON: " << text.toStdString();
        const QString status = line["status"].toString();
        written += status == "written";
        skipped += status == "skipped";
        if (status == "skipped")
            EXPECT_EQ(line["outputs"].toArray().at(0).toObject()["width"].toInt(), 40);
    }
    EXPECT_EQ(written, 1);
    EXPECT_EQ(skipped, 6);
    EXPECT_EQ(test::FileBytes(gone), goneBytes);
    EXPECT_EQ(QFileInfo(dir.path() + "/one/" + files[0]).lastModified(), kept);
}

}  // namespace
}  // namespace orm::cli
