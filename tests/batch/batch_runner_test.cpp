// The batch runner on real files: the order of its reports, skipping, cancellation, stops, the
// progress arithmetic, and that a failed save never costs the user the old file.

#include "test_environment.h"

#include "batch/batch_runner.h"
#include "engine/memory_budget.h"
#include "imageio/image_loader.h"
#include "imageio/native_path.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include <sys/stat.h>

namespace orm {
namespace {

class Recorder : public IBatchReporter {
  public:
    void Report(const BatchReport& r) override {
        {
            std::lock_guard lock(mutex);
            workerThread = std::this_thread::get_id();
            reports.push_back(r);
        }
        if (onReport)
            onReport(r);
    }
    void Progress(int position) override {
        {
            std::lock_guard lock(mutex);
            positions.push_back(position);
        }
        if (onProgress)
            onProgress(position);
    }
    void Written(const BatchReport& r, const BatchFileTimes&) override {
        {
            std::lock_guard lock(mutex);
            written.push_back(r.outputPath);
        }
        if (onWritten)
            onWritten(r);
    }
    void Warning(const QString& text) override {
        std::lock_guard lock(mutex);
        warnings.push_back(text);
    }
    void Finished(const BatchRunSummary& s) override {
        std::lock_guard lock(mutex);
        summary = s;
        ++finishedCalls;
    }
    void Clear() {
        reports.clear();
        positions.clear();
        written.clear();
        warnings.clear();
        summary = {};
        finishedCalls = 0;
    }
    std::vector<int> Codes() const {
        std::vector<int> codes;
        for (const BatchReport& r : reports) codes.push_back(static_cast<int>(r.code));
        return codes;
    }

    std::mutex mutex;
    std::vector<BatchReport> reports;
    std::vector<int> positions;
    QStringList written;
    QStringList warnings;
    BatchRunSummary summary;
    int finishedCalls = 0;
    std::thread::id workerThread;
    std::function<void(const BatchReport&)> onReport;
    std::function<void(int)> onProgress;
    std::function<void(const BatchReport&)> onWritten;
};

class Runner : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir(dir.path()).mkpath("in"));
        ASSERT_TRUE(QDir(dir.path()).mkpath("out"));
        options.settings.outputFolder = Out("");
    }
    QString In(const QString& name) const { return dir.path() + "/in/" + name; }
    QString Out(const QString& name) const { return dir.path() + "/out/" + name; }
    BatchEntry Entry(const QString& path, int w, int h, int algorithm = 4) const {
        BatchEntry e;
        e.path = path;
        e.width = w;
        e.height = h;
        e.dpi = 200;
        e.algorithm = static_cast<ResizeAlgorithm>(algorithm);
        return e;
    }
    void Run(const std::vector<BatchEntry>& entries) {
        BatchRunner runner(entries, options, recorder, &prompt);
        running = &runner;
        runner.Start();
        runner.Wait();
        running = nullptr;
        EXPECT_FALSE(runner.IsRunning());
        EXPECT_EQ(recorder.finishedCalls, 1);
    }
    // The run in progress (for the recorder's callbacks).
    BatchRunner* running = nullptr;
    static void WriteText(const QString& path, const QByteArray& text) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }

    QTemporaryDir dir;
    BatchRunOptions options;
    Recorder recorder;
    ScriptedPrompt prompt;
};

TEST_F(Runner, AnUnreadableInputIsLoggedAndTheRunGoesOn) {
    test::WriteImage(In("a.png"), 40, 30);
    WriteText(In("b.png"), "this is no image");
    test::WriteImage(In("c.jpg"), 40, 30);
    Run({Entry(In("a.png"), 20, 15), Entry(In("b.png"), 20, 15), Entry(In("c.jpg"), 10, 8)});
    EXPECT_EQ(recorder.Codes(), (std::vector<int>{0, 1, 0}));
    EXPECT_NE(recorder.workerThread, std::this_thread::get_id());
    EXPECT_EQ(test::ImageFileSize(Out("c.jpg")), QSize(10, 8));
    EXPECT_EQ(test::ImageFileSize(Out("a.png")), QSize(20, 15));
    EXPECT_FALSE(QFileInfo::exists(Out("b.png")));
    EXPECT_EQ(recorder.summary.written, 2);
    EXPECT_EQ(recorder.summary.failed, 1);
    EXPECT_FALSE(recorder.summary.stoppedBy);
    EXPECT_EQ(RunSummaryText(recorder.summary), "Batch: 2 written, 0 skipped, 1 failed");
    const BatchReport& failed = recorder.reports[1];
    EXPECT_EQ(failed.LogText(), "File 2 from 3\nInput file\nFolder: " + dir.path() +
                                    "/in/\nName: b.png\nCan't open file\n" + In("b.png") + "!");
    EXPECT_FALSE(failed.reason.isEmpty());
    EXPECT_EQ(recorder.reports[2].LogText(),
              "File 3 from 3\r\nInput file\r\nFolder: " + dir.path() +
                  "/in/\r\nName: c.jpg\r\nOutput file\r\n" + "Folder: " + dir.path() +
                  "/out/\r\nName:c.jpg\r\nSize: 10x8 pixels, 200 DPI\r\n" +
                  "Algorithm: High Quality Bicubic\r\n\r\n");
}

TEST_F(Runner, SkipLeavesTheDiskAloneAndStillCountsTheFile) {
    options.settings.overwriteMethod = 0;
    for (const char* name : {"1.png", "2.png", "3.png", "4.png", "5.png"})
        test::WriteImage(In(name), 12, 12);
    WriteText(Out("1.png"), "existing");
    const auto modified = QFileInfo(Out("1.png")).lastModified();
    std::vector<BatchEntry> entries;
    for (const char* name : {"1.png", "2.png", "3.png", "4.png", "5.png"})
        entries.push_back(Entry(In(name), 6, 6));
    Run(entries);
    EXPECT_EQ(recorder.Codes(), (std::vector<int>{3, 0, 0, 0, 0}));
    EXPECT_EQ(test::FileBytes(Out("1.png")), QByteArray("existing"));
    EXPECT_EQ(QFileInfo(Out("1.png")).lastModified(), modified);
    EXPECT_EQ(recorder.reports[0].outputPath, Out("1.png"));
    EXPECT_EQ(recorder.reports[0].LogText(),
              "File 1 from 5\nInput file\nFolder: " + dir.path() +
                  "/in/\nName: 1.png\nOutput file 1.png already exists!\nSkip resizing!");
    EXPECT_EQ(recorder.reports[1].StatusText(), "Processing 2 from 5");
    EXPECT_EQ(recorder.summary.skipped, 1);
    EXPECT_EQ(recorder.summary.written, 4);
}

TEST_F(Runner, CancelInsideAnOwnAlgorithmEndsTheRunWithoutWriting) {
    test::WriteImage(In("big.png"), 120, 90);
    test::WriteImage(In("next.png"), 20, 20);
    recorder.onProgress = [this](int) { running->Cancel(); };
    Run({Entry(In("big.png"), 360, 270, 6), Entry(In("next.png"), 10, 10)});
    EXPECT_EQ(recorder.Codes(), (std::vector<int>{0, 5}));
    EXPECT_EQ(recorder.reports[1].LogText(), "Operation canceled by user!");
    EXPECT_TRUE(recorder.reports[0].ShowsProgress());
    EXPECT_FALSE(recorder.positions.empty());
    EXPECT_FALSE(QFileInfo::exists(Out("big.png")));
    EXPECT_FALSE(QFileInfo::exists(Out("next.png")));
    EXPECT_EQ(recorder.summary.stoppedBy, BatchStatus::Cancelled);
    EXPECT_TRUE(recorder.summary.cancelled);
}

TEST_F(Runner, CancelDuringAStandardModeFinishesThatFileThenStops) {
    test::WriteImage(In("a.png"), 40, 40);
    test::WriteImage(In("b.png"), 40, 40);
    recorder.onReport = [this](const BatchReport& r) {
        if (r.code == BatchStatus::Processing)
            running->Cancel();
    };
    Run({Entry(In("a.png"), 20, 20, 3), Entry(In("b.png"), 20, 20, 3)});
    EXPECT_EQ(recorder.Codes(), (std::vector<int>{0}));
    EXPECT_FALSE(recorder.reports[0].ShowsProgress());
    EXPECT_TRUE(recorder.positions.empty());
    EXPECT_EQ(test::ImageFileSize(Out("a.png")), QSize(20, 20));
    EXPECT_FALSE(QFileInfo::exists(Out("b.png")));
    EXPECT_TRUE(recorder.summary.cancelled);
    EXPECT_FALSE(recorder.summary.stoppedBy);
}

TEST_F(Runner, AMissingOutputFolderIsToldThroughThePromptAndStops) {
    test::WriteImage(In("a.png"), 20, 20);
    options.settings.outputFolder = dir.path() + "/nowhere/";
    Run({Entry(In("a.png"), 10, 10), Entry(In("a.png"), 10, 10)});
    EXPECT_EQ(recorder.Codes(), (std::vector<int>{2}));
    EXPECT_EQ(recorder.reports[0].LogText(), "Can't open output folder!");
    EXPECT_EQ(prompt.messages, QStringList{"Can't create output folder!"});
    EXPECT_EQ(recorder.summary.stoppedBy, BatchStatus::NoOutputFolder);
    EXPECT_EQ(RunSummaryText(recorder.summary), "Batch stopped: 0 written, 0 skipped, 0 failed");
}

TEST_F(Runner, AFailedSaveOverTheInputLeavesTheOriginalIntact) {
    // Same folder, no new name, keep the format, overwrite: the output is the input itself. No
    // encoder writes ".pcx" outputs, so the save fails - after which the original must remain.
    test::WriteImage(In("photo.png"), 30, 20);
    ASSERT_TRUE(
        QFile::rename(In("photo.png"), In("photo.pcx")));  // a PNG under a name no encoder writes
    const QByteArray original = test::FileBytes(In("photo.pcx"));
    ASSERT_FALSE(original.isEmpty());
    options.settings.sameFolder = 1;
    Run({Entry(In("photo.pcx"), 15, 10), Entry(In("photo.pcx"), 15, 10)});
    EXPECT_EQ(recorder.Codes(), (std::vector<int>{0, 6}));
    EXPECT_EQ(recorder.reports[1].LogText(), "Can't write file\n" + In("photo.pcx") + "!");
    EXPECT_EQ(recorder.reports[1].reason,
              "no encoder writes \".pcx\" files: only JPEG (.jpg .jpeg .jpe), TIFF (.tif .tiff), "
              "BMP (.bmp), PNG (.png), GIF (.gif) and WebP (.webp) files are written");
    EXPECT_EQ(test::FileBytes(In("photo.pcx")), original);
    EXPECT_EQ(QDir(dir.path() + "/in").entryList(QDir::Files | QDir::Hidden),
              QStringList{"photo.pcx"});
    EXPECT_EQ(recorder.summary.stoppedBy, BatchStatus::CantWrite);
}

TEST_F(Runner, AnOutputNeverReplacesTheInputOfALaterFile) {
    // Same folder, format PNG, overwrite: photo.jpg's output would be photo.png, which is the
    // next entry's input. It is skipped, so photo.png is read as it was and resized itself.
    test::WriteImage(In("photo.jpg"), 40, 20);
    test::WriteImage(In("photo.png"), 30, 30);
    const QByteArray jpeg = test::FileBytes(In("photo.jpg"));
    options.settings.sameFolder = 1;
    options.settings.outputFormat = 4;
    Run({Entry(In("photo.jpg"), 20, 10), Entry(In("photo.png"), 15, 15)});
    EXPECT_EQ(recorder.Codes(), (std::vector<int>{3, 0}));
    EXPECT_EQ(recorder.reports[0].outputPath, In("photo.png"));
    EXPECT_EQ(recorder.reports[0].reason, LaterInputReason());
    EXPECT_EQ(test::ImageFileSize(In("photo.png")), QSize(15, 15));
    EXPECT_EQ(test::FileBytes(In("photo.jpg")), jpeg);
    EXPECT_EQ(recorder.summary.skipped, 1);
    EXPECT_EQ(recorder.summary.written, 1);

    // The entry's own file, listed twice, is still replaced in turn.
    EXPECT_FALSE(
        ReplacesALaterInput({Entry(In("a.png"), 5, 5), Entry(In("a.png"), 5, 5)}, 0, In("a.png")));
    EXPECT_TRUE(ReplacesALaterInput({Entry(In("a.jpg"), 5, 5), Entry(In("a.png"), 5, 5)}, 0,
                                    In("./a.png")));
    EXPECT_FALSE(
        ReplacesALaterInput({Entry(In("a.png"), 5, 5), Entry(In("a.jpg"), 5, 5)}, 1, In("a.png")));
}

TEST_F(Runner, AWriteThatFailsOnDiskLeavesWhatWasThere) {
    // The output name is taken by a folder with content: writing fails at the final rename.
    test::WriteImage(In("a.png"), 30, 20);
    ASSERT_TRUE(QDir(dir.path()).mkpath("out/a.png/keep"));
    Run({Entry(In("a.png"), 15, 10)});
    EXPECT_EQ(recorder.Codes(), (std::vector<int>{0, 6}));
    EXPECT_TRUE(QFileInfo(Out("a.png/keep")).isDir());
    EXPECT_EQ(
        QDir(dir.path() + "/out").entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        QStringList{"a.png"});
}

TEST_F(Runner, OverwriteReplacesTheOldFileWithTheCompleteNewOne) {
    test::WriteImage(In("a.jpg"), 60, 40);
    WriteText(Out("a.jpg"), "old output");
    Run({Entry(In("a.jpg"), 30, 20)});
    EXPECT_EQ(recorder.Codes(), (std::vector<int>{0}));
    EXPECT_EQ(test::ImageFileSize(Out("a.jpg")), QSize(30, 20));
    // The entry's resolution is the one written.
    const auto written = LoadSourceImage(Out("a.jpg"));
    ASSERT_TRUE(written);
    EXPECT_DOUBLE_EQ(written->dpiX, 200);
}

TEST_F(Runner, AnEntryWithoutSizeIsSkippedAsAnImageThatCannotBeMade) {
    test::WriteImage(In("a.png"), 20, 20);
    Run({Entry(In("a.png"), 0, 0), Entry(In("a.png"), 5, 5)});
    EXPECT_EQ(recorder.Codes(), (std::vector<int>{0, 4, 0}));
    // Its own first line: the memory message is for memory only.
    EXPECT_EQ(recorder.reports[1].LogText(), "No size set for this entry");
    EXPECT_EQ(recorder.summary.failed, 1);
    EXPECT_EQ(recorder.summary.written, 1);
}

TEST_F(Runner, AnEmptyListEndsAtOnce) {
    Run({});
    EXPECT_TRUE(recorder.reports.empty());
    EXPECT_EQ(recorder.summary.written, 0);
}

TEST_F(Runner, AnExplicitOutputFileFollowsTheOverwriteRule) {
    test::WriteImage(In("a.png"), 20, 20);
    options.outputFile = Out("chosen.bmp");
    options.settings.overwriteMethod = 2;
    WriteText(Out("chosen.bmp"), "keep me");
    Run({Entry(In("a.png"), 8, 8)});
    EXPECT_EQ(test::FileBytes(Out("chosen.bmp")), QByteArray("keep me"));
    EXPECT_EQ(test::ImageFileSize(Out("chosen_1.bmp")), QSize(8, 8));
}

TEST_F(Runner, ACancelWithinAFileNeverWritesIt) {
    // Same folder, overwrite, a standard mode (no progress reports): the cancel arrives while the
    // file is being worked on. The input must stay as it was, and the run says it was cancelled.
    options.cancelWithinFile = true;
    options.settings.sameFolder = 1;
    test::WriteImage(In("photo.png"), 60, 40);
    test::WriteImage(In("next.png"), 20, 20);
    const QByteArray original = test::FileBytes(In("photo.png"));
    recorder.onReport = [this](const BatchReport& r) {
        if (r.code == BatchStatus::Processing)
            running->Cancel();
    };
    Run({Entry(In("photo.png"), 30, 20, 3), Entry(In("next.png"), 10, 10, 3)});
    EXPECT_EQ(recorder.Codes(), (std::vector<int>{0, 5}));
    EXPECT_EQ(test::FileBytes(In("photo.png")), original);
    EXPECT_EQ(QDir(In("")).entryList(QDir::Files | QDir::Hidden),
              (QStringList{"next.png", "photo.png"}));
    EXPECT_TRUE(recorder.summary.cancelled);
    EXPECT_EQ(recorder.summary.stoppedBy, BatchStatus::Cancelled);
    EXPECT_TRUE(recorder.written.isEmpty());
}

TEST_F(Runner, ANameTakenWhileTheFileIsMadeIsNeverReplaced) {
    // Another program writes the output's name after the run chose it.
    test::WriteImage(In("a.png"), 40, 40);
    recorder.onReport = [this](const BatchReport& r) {
        if (r.code == BatchStatus::Processing)
            WriteText(r.outputPath, "the user's file");
    };
    options.settings.overwriteMethod = 2;  // unique: the next number
    Run({Entry(In("a.png"), 20, 20)});
    EXPECT_EQ(recorder.Codes(), (std::vector<int>{0}));
    EXPECT_EQ(test::FileBytes(Out("a.png")), QByteArray("the user's file"));
    EXPECT_EQ(test::ImageFileSize(Out("a_1.png")), QSize(20, 20));
    EXPECT_EQ(recorder.written, QStringList{Out("a_1.png")});
    EXPECT_EQ(recorder.warnings,
              QStringList{"warning: " + Out("a.png") +
                          " appeared while the file was being made; written as " + Out("a_1.png") +
                          " instead"});

    recorder.Clear();
    QFile::remove(Out("a.png"));
    QFile::remove(Out("a_1.png"));
    options.settings.overwriteMethod = 0;  // skip: the file counts as skipped
    Run({Entry(In("a.png"), 20, 20)});
    EXPECT_EQ(recorder.Codes(), (std::vector<int>{0, 3}));
    EXPECT_EQ(recorder.reports[1].outputPath, Out("a.png"));
    EXPECT_EQ(test::FileBytes(Out("a.png")), QByteArray("the user's file"));
    EXPECT_EQ(QDir(Out("")).entryList(QDir::Files | QDir::Hidden), QStringList{"a.png"});
    EXPECT_EQ(recorder.summary.skipped, 1);
    EXPECT_EQ(recorder.summary.written, 0);
}

TEST_F(Runner, ALinkAtTheOutputNameIsAFileThatExists) {
    ASSERT_TRUE(QDir(dir.path()).mkpath("elsewhere"));
    test::WriteImage(In("a.png"), 40, 40);
    ASSERT_TRUE(
        QFile::link(dir.path() + "/elsewhere/target.png", Out("a.png")));  // points nowhere yet
    options.settings.overwriteMethod = 0;
    Run({Entry(In("a.png"), 20, 20)});
    EXPECT_EQ(recorder.Codes(), (std::vector<int>{3}));
    EXPECT_TRUE(QDir(dir.path() + "/elsewhere").isEmpty());

    recorder.Clear();
    options.settings.overwriteMethod = 1;  // overwrite: the link itself is replaced
    Run({Entry(In("a.png"), 20, 20)});
    EXPECT_EQ(recorder.Codes(), (std::vector<int>{0}));
    struct stat st {};
    ASSERT_EQ(::lstat(NativePath(Out("a.png")).constData(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(test::ImageFileSize(Out("a.png")), QSize(20, 20));
    EXPECT_TRUE(QDir(dir.path() + "/elsewhere").isEmpty());
}

TEST_F(Runner, ADamagedInputIsResizedWithAWarning) {
    test::WriteImage(In("whole.jpg"), 200, 150);
    const QByteArray jpeg = test::FileBytes(In("whole.jpg"));
    WriteText(In("cut.jpg"), jpeg.left(jpeg.size() * 2 / 3));
    Run({Entry(In("cut.jpg"), 50, 40), Entry(In("whole.jpg"), 50, 40)});
    EXPECT_EQ(recorder.Codes(), (std::vector<int>{0, 0}));
    EXPECT_EQ(recorder.warnings,
              QStringList{"warning: " + In("cut.jpg") + " is damaged; the missing part is grey"});
    EXPECT_EQ(recorder.summary.damaged, 1);
    EXPECT_EQ(recorder.summary.written, 2);
    EXPECT_EQ(test::ImageFileSize(Out("cut.jpg")), QSize(50, 40));
}

TEST_F(Runner, TheEncodersMemoryCountsBeforeTheResizeStarts) {
    // A 2000 x 2000 PNG: the resize needs its 12 MB target, the encoder about 24 MB more. With
    // 24 MB available the resize alone would fit and the encoder would fail after it.
    test::WriteImage(In("small.png"), 20, 20);
    engine::SetAvailableMemoryOverride(24u << 20);
    Run({Entry(In("small.png"), 2000, 2000, 3), Entry(In("small.png"), 10, 10, 3)});
    engine::SetAvailableMemoryOverride(0);
    EXPECT_EQ(recorder.Codes(), (std::vector<int>{0, 4, 0}));
    EXPECT_EQ(recorder.reports[1].reason,
              "Not enough memory to resize to 2000 x 2000 pixels and write the file");
    EXPECT_EQ(test::ImageFileSize(Out("small.png")), QSize(10, 10));
    EXPECT_EQ(recorder.summary.failed, 1);
}

// A run as the user sees it, with the run's own folder written as "<dir>": the log, the
// warnings, the summary and every output file's bytes.
struct SeenRun {
    QStringList log, warnings;
    std::vector<int> codes;
    int written = 0, skipped = 0, failed = 0, damaged = 0;
    bool cancelled = false;
    std::map<QString, QByteArray> outputs;
    bool operator==(const SeenRun&) const = default;
};

SeenRun Seen(const Recorder& recorder, const QString& root) {
    SeenRun seen;
    for (const BatchReport& r : recorder.reports)
        seen.log.append(r.LogText().replace(root, "<dir>") + " | " +
                        QString(r.reason).replace(root, "<dir>"));
    for (const QString& w : recorder.warnings)
        seen.warnings.append(QString(w).replace(root, "<dir>"));
    seen.codes = recorder.Codes();
    seen.written = recorder.summary.written;
    seen.skipped = recorder.summary.skipped;
    seen.failed = recorder.summary.failed;
    seen.damaged = recorder.summary.damaged;
    seen.cancelled = recorder.summary.cancelled;
    for (const QString& name : QDir(root + "/out").entryList(QDir::Files | QDir::Hidden))
        seen.outputs[name] = test::FileBytes(root + "/out/" + name);
    return seen;
}

// Six files with every kind of turn: JPEG and PNG inputs, an own algorithm, one that is no
// image, a cut-off JPEG, and a file the run itself writes before it reads it (the first file's
// output). `root` holds in/ and out/.
std::vector<BatchEntry> SixFiles(const QString& root,
                                 const std::function<BatchEntry(QString, int, int, int)>& entry) {
    QDir(root).mkpath("in");
    QDir(root).mkpath("out");
    test::WriteImage(root + "/in/1.jpg", 300, 200);
    test::WriteImage(root + "/in/2.png", 120, 90);
    QFile broken(root + "/in/3.jpg");
    broken.open(QIODevice::WriteOnly);
    broken.write("no image at all");
    broken.close();
    const QByteArray jpeg = test::FileBytes(root + "/in/1.jpg");
    QFile cut(root + "/in/4.jpg");
    cut.open(QIODevice::WriteOnly);
    cut.write(jpeg.left(jpeg.size() / 2));
    cut.close();
    test::WriteImage(root + "/in/6.png", 64, 64);
    return {entry(root + "/in/1.jpg", 150, 100, 4), entry(root + "/in/2.png", 240, 180, 5),
            entry(root + "/in/3.jpg", 10, 10, 4),   entry(root + "/in/4.jpg", 60, 40, 6),
            entry(root + "/out/1.jpg", 75, 50, 2),  entry(root + "/in/6.png", 32, 32, 7)};
}

TEST_F(Runner, ReadingAheadAndWritingBesideChangeNothingTheUserSees) {
    // Runs 0..3 read ahead 0, 1, 2, 4 files with one file in flight; run 4 writes each file
    // while the next is read and resized, the way a run goes by default.
    std::map<int, SeenRun> seen;
    const int aheads[] = {0, 1, 2, 4, 2};
    for (int run = 0; run < 5; ++run) {
        const QString root = dir.path() + "/run" + QString::number(run);
        const auto entries =
            SixFiles(root, [this](QString p, int w, int h, int a) { return Entry(p, w, h, a); });
        options.settings.outputFolder = root + "/out/";
        options.lookAhead = aheads[run];
        options.writeBeside = run == 4;
        recorder.Clear();
        Run(entries);
        seen[run] = Seen(recorder, root);
    }
    EXPECT_EQ(seen[2].codes, (std::vector<int>{0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(seen[2].damaged, 1);
    EXPECT_EQ(seen[2].outputs.size(), 4u);  // the fifth file's output replaced its input
    for (int run = 1; run < 5; ++run) {
        EXPECT_EQ(seen[run].log, seen[0].log) << run;
        EXPECT_EQ(seen[run].warnings, seen[0].warnings) << run;
        EXPECT_TRUE(seen[run] == seen[0]) << run;
        // The fifth file is the first one's output, read after it was written (75 x 50 from it).
        EXPECT_EQ(test::ImageFileSize(dir.path() + "/run" + QString::number(run) + "/out/1.jpg"),
                  QSize(75, 50));
    }
}

TEST_F(Runner, AnInputReplacedThroughALinkByTheFileBeforeIsReadAfterIt) {
    // The second input is a link to the first one's output, which exists already (red): the
    // first file's output replaces it (blue) while the second is read and resized beside the
    // writing, and the second is resized from what the first wrote, as a run of one file after
    // the other does.
    QImage colour(40, 40, QImage::Format_RGB32);
    colour.fill(Qt::red);
    ASSERT_TRUE(colour.save(Out("a.png")));
    colour.fill(Qt::blue);
    ASSERT_TRUE(colour.save(In("a.png")));
    ASSERT_TRUE(QFile::link(Out("a.png"), In("b.png")));
    for (int resize : {4, 0, 7})
        for (bool beside : {false, true}) {
            colour.fill(Qt::red);
            ASSERT_TRUE(colour.save(Out("a.png")));
            options.writeBeside = beside;
            recorder.Clear();
            Run({Entry(In("a.png"), 20, 20), Entry(In("b.png"), 10, 10, resize)});
            EXPECT_EQ(recorder.Codes(), (std::vector<int>{0, 0}));
            EXPECT_EQ(QImage(Out("b.png")).pixel(5, 5), qRgb(0, 0, 255)) << resize << beside;
        }
}

TEST_F(Runner, AFileTheRunWritesTwoFilesLaterIsReadAfterItWasWritten) {
    // The third entry reads what the second writes. While the first is worked on, the second
    // and third are read ahead; the third does not exist yet and is read again at its turn.
    test::WriteImage(In("a.png"), 100, 100);
    test::WriteImage(In("b.png"), 80, 80);
    options.subfolders = {"", "sub/", ""};
    Run({Entry(In("a.png"), 50, 50), Entry(In("b.png"), 40, 40), Entry(Out("sub/b.png"), 20, 20)});
    EXPECT_EQ(recorder.Codes(), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(test::ImageFileSize(Out("sub/b.png")), QSize(40, 40));
    EXPECT_EQ(test::ImageFileSize(Out("b.png")), QSize(20, 20));
}

TEST_F(Runner, CancelDuringTheThirdFileLeavesTheLaterOnesUntouched) {
    // The fourth file is being read ahead while the third is worked on; the cancel ends the run
    // there, and neither the fourth file nor anything after it is written or changed.
    options.cancelWithinFile = true;
    std::vector<BatchEntry> entries;
    QMap<QString, QByteArray> inputs;
    for (int i = 1; i <= 6; ++i) {
        const QString name = QString::number(i) + ".jpg";
        test::WriteImage(In(name), 400, 300);
        inputs[name] = test::FileBytes(In(name));
        entries.push_back(Entry(In(name), 200, 150, i == 3 ? 7 : 4));
    }
    recorder.onReport = [this](const BatchReport& r) {
        if (r.code == BatchStatus::Processing && r.fileNumber == 3)
            running->Cancel();
    };
    Run(entries);
    EXPECT_EQ(recorder.Codes(), (std::vector<int>{0, 0, 0, 5}));
    EXPECT_TRUE(recorder.summary.cancelled);
    EXPECT_EQ(RunSummaryText(recorder.summary), "Batch cancelled: 2 written, 0 skipped, 0 failed");
    EXPECT_EQ(QDir(Out("")).entryList(QDir::Files | QDir::Hidden), (QStringList{"1.jpg", "2.jpg"}));
    for (auto it = inputs.begin(); it != inputs.end(); ++it)
        EXPECT_EQ(test::FileBytes(In(it.key())), it.value()) << it.key().toStdString();
}

TEST_F(Runner, CancelWhileAFileIsWrittenEndsTheRunThereWithOrWithoutWritingBeside) {
    // The cancel comes as the second file is written, while the third is read and resized
    // beside it: the second is whole, the third and later ones are neither written nor reported.
    for (bool beside : {false, true}) {
        QDir(Out("")).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(Out("")));
        std::vector<BatchEntry> entries;
        for (int i = 1; i <= 5; ++i) {
            test::WriteImage(In(QString::number(i) + ".png"), 300, 200);
            entries.push_back(Entry(In(QString::number(i) + ".png"), 150, 100));
        }
        options.writeBeside = beside;
        recorder.Clear();
        recorder.onWritten = [this](const BatchReport& r) {
            if (r.fileNumber == 2)
                running->Cancel();
        };
        Run(entries);
        EXPECT_EQ(recorder.Codes(), (std::vector<int>{0, 0})) << beside;
        EXPECT_EQ(RunSummaryText(recorder.summary),
                  "Batch cancelled: 2 written, 0 skipped, 0 failed");
        EXPECT_EQ(QDir(Out("")).entryList(QDir::Files | QDir::Hidden),
                  (QStringList{"1.png", "2.png"}));
        EXPECT_EQ(test::ImageFileSize(Out("2.png")), QSize(150, 100));
    }
}

TEST_F(Runner, AFileChangedAfterItWasReadAheadIsReadAgain) {
    // When the first file has been written the second has been read ahead (or is being read);
    // another program then rewrites the second, and the run resizes what it holds at its turn.
    test::WriteImage(In("a.png"), 200, 200);
    test::WriteImage(In("b.png"), 40, 40);
    recorder.onWritten = [this](const BatchReport& r) {
        if (r.fileNumber == 1) {
            QImage red(30, 20, QImage::Format_RGB32);
            red.fill(Qt::red);
            ASSERT_TRUE(red.save(In("b.png")));
        }
    };
    Run({Entry(In("a.png"), 100, 100), Entry(In("b.png"), 15, 10, 0)});
    EXPECT_EQ(recorder.Codes(), (std::vector<int>{0, 0}));
    const QImage out(Out("b.png"));
    ASSERT_EQ(out.size(), QSize(15, 10));
    EXPECT_EQ(out.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(out.pixel(14, 9), qRgb(255, 0, 0));
}

TEST(DecodeLimits, FastDecodeKeepsTheSizeTheAlgorithmWorksAt) {
    BatchSettings settings;
    BatchEntry entry;
    entry.width = 300;
    entry.height = 200;
    EXPECT_EQ(DecodeLimitFor(entry, settings), DecodeLimit{});  // off by default
    settings.fastDecode = 1;
    EXPECT_EQ(DecodeLimitFor(entry, settings), (DecodeLimit{300, 200, false}));
    entry.correction = static_cast<int32_t>(CorrectionMode::Crop);
    EXPECT_EQ(DecodeLimitFor(entry, settings), (DecodeLimit{300, 200, true}));
    entry.width = 0;
    EXPECT_EQ(DecodeLimitFor(entry, settings), DecodeLimit{});
}

TEST_F(Runner, NeverEnlargeCopiesTheInputOrWritesItAtItsOwnSize) {
    test::WriteImage(In("small.jpg"), 40, 30);
    test::WriteImage(In("big.png"), 400, 300);
    options.noEnlarge = true;
    Run({Entry(In("small.jpg"), 80, 60), Entry(In("big.png"), 200, 150)});
    EXPECT_EQ(recorder.Codes(), (std::vector<int>{0, 0}));
    // The same type: the file as it is, and the log names the size it has.
    EXPECT_EQ(test::FileBytes(Out("small.jpg")), test::FileBytes(In("small.jpg")));
    EXPECT_EQ(recorder.reports[0].entry.width, 40);
    EXPECT_TRUE(recorder.reports[0].LogText().contains("Size: 40x30 pixels"));
    // A reduction is not touched by the rule.
    EXPECT_EQ(test::ImageFileSize(Out("big.png")), QSize(200, 150));

    // Another type: written at the source's size; without the rule, enlarged.
    recorder.Clear();
    options.settings.outputFormat = 4;
    options.settings.newName = 1;
    Run({Entry(In("small.jpg"), 80, 60)});
    EXPECT_EQ(test::ImageFileSize(Out("small_RESIZED_TO_40x30.png")), QSize(40, 30));
    options.noEnlarge = false;
    recorder.Clear();
    Run({Entry(In("small.jpg"), 80, 60)});
    EXPECT_EQ(test::ImageFileSize(Out("small_RESIZED_TO_80x60.png")), QSize(80, 60));
}

TEST_F(Runner, ASizeLimitThatCannotBeMetFailsTheFileAndTheRunGoesOn) {
    test::WriteImage(In("a.jpg"), 300, 200);
    test::WriteImage(In("b.png"), 30, 20);
    options.sizeLimit.maxBytes = 300;  // less than any JPEG of 300 x 200 with its headers
    Run({Entry(In("a.jpg"), 300, 200), Entry(In("b.png"), 60, 40)});
    EXPECT_EQ(recorder.Codes(), (std::vector<int>{0, 4, 0}));
    EXPECT_TRUE(
        recorder.reports[1].LogText().startsWith("No quality fits 300 bytes: quality 1 gives "))
        << recorder.reports[1].LogText().toStdString();
    EXPECT_FALSE(QFileInfo::exists(Out("a.jpg")));
    EXPECT_EQ(recorder.summary.failed, 1);
    // A PNG has no quality to shrink it by: written as usual, with a warning.
    EXPECT_EQ(test::ImageFileSize(Out("b.png")), QSize(60, 40));
    ASSERT_EQ(recorder.warnings.size(), 1);
    EXPECT_TRUE(recorder.warnings[0].contains("JPEG and WebP files only"));
}

TEST_F(Runner, SubfoldersAreMadeBelowTheOutputFolderOnly) {
    test::WriteImage(In("a.png"), 20, 20);
    test::WriteImage(In("b.png"), 20, 20);
    options.subfolders = {"x/y/", ""};
    Run({Entry(In("a.png"), 10, 10), Entry(In("b.png"), 10, 10)});
    EXPECT_EQ(test::ImageFileSize(Out("x/y/a.png")), QSize(10, 10));
    EXPECT_EQ(test::ImageFileSize(Out("b.png")), QSize(10, 10));
    // A missing output folder still stops the run: nothing is made above it.
    recorder.Clear();
    options.settings.outputFolder = dir.path() + "/missing/";
    Run({Entry(In("a.png"), 10, 10)});
    EXPECT_EQ(recorder.summary.stoppedBy, BatchStatus::NoOutputFolder);
    EXPECT_FALSE(QFileInfo::exists(dir.path() + "/missing"));
}

TEST(BatchProgress, PositionsFollowTheSweepsAndTheRunsStopToken) {
    Recorder recorder;
    engine::StopToken stop;
    BatchProgressSink sink(recorder, stop);
    sink.passes = 2;
    EXPECT_EQ(sink.ReportProgress(0), 1);  // unchanged: nothing shown
    EXPECT_EQ(sink.ReportProgress(50), 1);
    EXPECT_EQ(sink.ReportProgress(100), 1);
    EXPECT_EQ(sink.ReportProgress(100), 1);
    EXPECT_EQ(sink.ReportProgress(10), 1);  // a new sweep
    EXPECT_EQ(sink.ReportProgress(99), 1);
    EXPECT_EQ(recorder.positions, (std::vector<int>{25, 50, 55, 99}));
    EXPECT_EQ(sink.position(), 99);
    sink.Reset();
    EXPECT_EQ(sink.wraps, 0);
    EXPECT_EQ(sink.last, 0);
    stop.RequestStop();
    EXPECT_EQ(sink.ReportProgress(20), 0);
}

}  // namespace
}  // namespace orm
