#include "cli/resize_run.h"

#include "cli/cli_batch_reporter.h"
#include "cli/input_list.h"
#include "cli/input_tree.h"
#include "cli/json_log.h"

#include "batch/batch_list.h"
#include "batch/output_naming.h"
#include "engine/progress.h"
#include "settings/number_text.h"
#include "settings/settings_store.h"

#include "imageio/native_path.h"
#include "imageio/output_formats.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <atomic>
#include <csignal>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace orm::cli {

namespace {

// The run that Ctrl+C cancels (an atomic pointer and an atomic count: safe in a signal handler).
std::atomic<BatchRunner*> interruptedRun{nullptr};
std::atomic<int> interrupts{0};
static_assert(std::atomic<BatchRunner*>::is_always_lock_free);
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void CancelOnInterrupt(int signal) {
    if (interrupts.fetch_add(1) > 0) {
        // The second Ctrl+C ends the process at once, as an interrupted program ends. The file
        // being written has no name yet, so nothing is left behind.
        ::signal(signal, SIG_DFL);
        ::raise(signal);
        return;
    }
    if (BatchRunner* run = interruptedRun.load())
        run->Cancel();
}

// Ctrl+C (or SIGTERM, as a session's end or `kill` sends) during a run cancels it the way the
// progress dialog's Cancel does; the file in progress is not written.
class InterruptCancels {
  public:
    explicit InterruptCancels(BatchRunner& run) {
        interrupts.store(0);
        interruptedRun.store(&run);
        struct sigaction action {};
        action.sa_handler = CancelOnInterrupt;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGINT, &action, &previous_);
        ::sigaction(SIGTERM, &action, &previousTerm_);
    }
    ~InterruptCancels() {
        ::sigaction(SIGTERM, &previousTerm_, nullptr);
        ::sigaction(SIGINT, &previous_, nullptr);
        interruptedRun.store(nullptr);
    }
    InterruptCancels(const InterruptCancels&) = delete;
    InterruptCancels& operator=(const InterruptCancels&) = delete;

  private:
    struct sigaction previous_ {};
    struct sigaction previousTerm_ {};
};

// The file of --log-json: made (or emptied) before the run, each line written through as its
// input finishes, so a run killed halfway leaves the lines of the inputs it finished.
class JsonLogFile {
  public:
    bool Open(const QString& path, CliStreams& io) {
        const int fd =
            ::open(NativePath(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0 || !file_.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
            io.err << "ormensura-cli: --log-json " << EscapedPath(path) << ": "
                   << SystemErrorText(errno) << "\n";
            return false;
        }
        path_ = path;
        err_ = &io.err;
        return true;
    }
    void Write(const QString& line) {
        const QByteArray bytes = line.toUtf8() + '\n';
        if ((file_.write(bytes) != bytes.size() || !file_.flush()) && !failed_) {
            failed_ = true;
            *err_ << "ormensura-cli: can't write the JSON log " << EscapedPath(path_) << ": "
                  << file_.errorString() << "\n";
            err_->flush();
        }
    }

  private:
    QFile file_;
    QString path_;
    QTextStream* err_ = nullptr;
    bool failed_ = false;
};

// Whether --help or -h comes before the end of the options.
bool WantsHelp(const QStringList& args) {
    for (const QString& arg : args) {
        if (arg == QLatin1String("--"))
            return false;
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h"))
            return true;
    }
    return false;
}

QString AlgorithmText(ResizeAlgorithm algorithm) {
    return QString::fromLatin1(engine::AlgorithmName(algorithm));
}

OutputPath OutputFor(const BatchEntry& entry, size_t index, const BatchRunOptions& options,
                     const PathExistsFn& exists) {
    return options.outputFile.isEmpty()
               ? MakeBatchOutputPath(entry.path, entry.width, entry.height,
                                     SettingsForEntry(options, index), exists)
               : DecideOutputPath(options.outputFile, options.settings.method(), exists);
}

int DryRun(const std::vector<BatchEntry>& entries, const BatchRunOptions& options,
           const QString& folderToMake, bool quiet, CliStreams& io) {
    int status = kExitOk;
    // The real run writes each output before it names the next one, so an output planned for an
    // earlier file counts as existing (a later file with the same name is skipped or numbered).
    // The folder the run would make first counts as made.
    QSet<QString> planned;
    if (!folderToMake.isEmpty()) {
        planned.insert(folderToMake);
        if (!quiet)
            io.err << "ormensura-cli: the output folder " << EscapedPath(folderToMake)
                   << " does not exist; the run would create it\n";
    }
    const PathExistsFn exists = [&planned](const QString& path) {
        return planned.contains(path) || PathEntryExists(path);
    };
    for (size_t i = 0; i < entries.size(); ++i) {
        QString why;
        const std::optional<ImageProbe> probe = ProbeImage(entries[i].path, &why);
        if (!probe) {
            io.err << "ormensura-cli: " << EscapedPath(entries[i].path)
                   << ": can't open this file as an image"
                   << (why.isEmpty() ? QString() : QStringLiteral(": ") + why) << "\n";
            status = kExitInputFailed;
            continue;
        }
        // Never enlarge: the run writes such an entry at its source's size, named by it.
        const QSize sourceSize(probe->width, probe->height);
        const BatchEntry entry = options.noEnlarge && EnlargesSource(entries[i], sourceSize)
                                     ? AtSourceSize(entries[i], sourceSize)
                                     : entries[i];
        // A subfolder of the tree, which the run makes in an output folder that exists (or
        // that it makes first), takes files.
        if (i < options.subfolders.size() && !options.subfolders[i].isEmpty() &&
            options.outputFile.isEmpty() && options.settings.sameFolder == 0) {
            const QString& root = options.settings.outputFolder;
            if (IsFolder(root) || planned.contains(root))
                planned.insert(SettingsForEntry(options, i).outputFolder);
        }
        OutputPath out = OutputFor(entry, i, options, exists);
        if (out.decision == OutputDecision::Write && exists(out.path) &&
            ReplacesALaterInput(entries, i, out.path))
            out.decision = OutputDecision::Skip;
        // The run fails an entry it cannot make an image for and goes on with the next.
        if (out.decision == OutputDecision::Write && !entry.HasUsableSize()) {
            io.err << "ormensura-cli: " << EscapedPath(entry.path) << ": " << NoUsableSizeReason()
                   << "\n";
            status = kExitInputFailed;
            continue;
        }
        if (const QString why = UnmakeableNameReason(out.path);
            out.decision == OutputDecision::Write && !why.isEmpty()) {
            io.err << "ormensura-cli: " << EscapedPath(entry.path) << ": " << why << "\n";
            status = kExitInputFailed;
            continue;
        }
        if (out.decision == OutputDecision::Write) {
            // The run stops at an output it cannot encode or cannot create; so does its plan.
            // (A folder the run would make first takes files once it is made.)
            const bool folderMadeFirst = planned.contains(FolderOf(out.path) + '/');
            QString reason = UnwritableOutputReason(out.path);
            if (reason.isEmpty() && !folderMadeFirst &&
                !CanCreateFilesIn(FolderOf(out.path), &reason))
                reason = QStringLiteral("the folder does not take new files: ") + reason;
            if (!reason.isEmpty()) {
                io.err << "ormensura-cli: " << EscapedPath(entry.path) << ": can't write "
                       << EscapedPath(out.path) << ": " << reason << "\n";
                return kExitStopped;
            }
            planned.insert(out.path);
        }
        const QString line = DryRunLine(entry, out);
        if (line.isEmpty()) {
            io.err << "ormensura-cli: " << EscapedPath(entry.path) << ": "
                   << (out.decision == OutputDecision::FolderMissing
                           ? QStringLiteral("the output folder %1 does not exist")
                                 .arg(EscapedPath(out.folder))
                           : QStringLiteral("every numbered name of %1 is taken")
                                 .arg(EscapedPath(out.path)))
                   << "\n";
            return kExitStopped;
        }
        io.out << line << "\n";
    }
    return status;
}

}  // namespace

QString EscapedPath(const QString& path) {
    QString out;
    out.reserve(path.size());
    for (qsizetype i = 0; i < path.size(); ++i) {
        const QChar ch = path[i];
        const char16_t c = ch.unicode();
        switch (c) {
            case u'\\':
                out += QLatin1String("\\\\");
                continue;
            case u'\t':
                out += QLatin1String("\\t");
                continue;
            case u'\n':
                out += QLatin1String("\\n");
                continue;
            case u'\r':
                out += QLatin1String("\\r");
                continue;
            default:
                break;
        }
        // Other control characters, and the bytes of a name that are not UTF-8 (which stand in
        // the path as U+DC80..U+DCFF), as \xHH.
        const int escaped = EscapedByteAt(path, i);
        if (c < 0x20 || c == 0x7F || escaped >= 0) {
            out += QStringLiteral("\\x%1").arg(escaped >= 0 ? escaped : int(c), 2, 16,
                                               QLatin1Char('0'));
            continue;
        }
        out += ch;
    }
    return out;
}

QString DryRunLine(const BatchEntry& entry, const OutputPath& output) {
    switch (output.decision) {
        case OutputDecision::Write:
            return QStringLiteral("%1\t%2\t%3x%4\t%5\t%6")
                .arg(EscapedPath(entry.path), EscapedPath(output.path),
                     QString::number(entry.width), QString::number(entry.height),
                     QFormatG(entry.dpi),
                     AlgorithmText(entry.algorithm) +
                         (entry.centred != 0 && IsOwnAlgorithm(entry.algorithm)
                              ? QStringLiteral(", centred")
                              : QString()));
        case OutputDecision::Skip:
            return QStringLiteral("%1\tskip\t%2")
                .arg(EscapedPath(entry.path), EscapedPath(output.path));
        case OutputDecision::FolderMissing:
        case OutputDecision::NoFreeName:
            break;
    }
    return {};
}

BatchRunOptions PlanOutput(const OutputRequest& out, int inputCount, QString* error,
                           QString* folderToMake) {
    BatchRunOptions options;
    BatchSettings& s = options.settings;
    s.overwriteMethod = static_cast<int32_t>(out.overwrite);
    s.outputFormat = out.format;
    s.newName = out.newName ? 1 : 0;
    s.jpegQuality = out.quality;
    s.sameFolder = out.sameFolder ? 1 : 0;
    s.fastDecode = out.fastDecode ? 1 : 0;
    SetOutputOptions(s, out.options);
    options.noEnlarge = out.noEnlarge;
    options.sizeLimit.maxBytes = out.maxBytes;
    // --quality with --max-bytes: the highest quality tried.
    options.sizeLimit.highestQuality = out.qualityGiven ? out.quality : 100;
    if (out.sameFolder)
        return options;
    if (!out.output.isEmpty()) {
        const bool folder = out.output.endsWith(QLatin1Char('/')) || IsFolder(out.output) ||
                            inputCount > 1 || out.severalOutputs;
        // Absolute paths, so the log names the folder of every file.
        const QString path = AbsolutePath(out.output);
        if (folder)
            s.outputFolder = path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
        else
            options.outputFile = path;
        return options;
    }
    // Neither -o nor --same-folder: the batch output folder of the program's settings, or the
    // default one (which is made when missing, as the settings dialog would offer; a dry run
    // makes nothing and only names it).
    BatchSettings stored;
    SettingsStore().Load(stored);
    s.outputFolder = stored.outputFolder;
    if (s.outputFolder.isEmpty()) {
        s.outputFolder = DefaultOutputFolder(/*create=*/false);
        const bool missing = !s.outputFolder.isEmpty() && !QFileInfo(s.outputFolder).isDir();
        if (missing && out.dryRun) {
            if (folderToMake)
                *folderToMake = s.outputFolder;
        } else if (s.outputFolder.isEmpty() || (missing && !CreateFolderPath(s.outputFolder))) {
            if (error)
                *error = QStringLiteral("no output folder: give -o or --same-folder");
        }
    } else if (!s.outputFolder.endsWith(QLatin1Char('/'))) {
        s.outputFolder += QLatin1Char('/');
    }
    return options;
}

int RunEntries(const std::vector<BatchEntry>& entries, const OutputRequest& out, CliStreams& io) {
    QString error;
    QString folderToMake;
    BatchRunOptions options =
        PlanOutput(out, static_cast<int>(entries.size()), &error, &folderToMake);
    if (!error.isEmpty()) {
        io.err << "ormensura-cli: " << error << "\n";
        return kExitBadArguments;
    }
    return RunPlanned(entries, std::move(options), folderToMake, out, io);
}

int RunPlanned(const std::vector<BatchEntry>& entries, BatchRunOptions options,
               const QString& folderToMake, const OutputRequest& out, CliStreams& io,
               std::vector<size_t> entriesPerInput) {
    if (out.dryRun)
        return DryRun(entries, options, folderToMake, out.quiet, io);
    options.cancelWithinFile = true;  // Ctrl+C never leaves a file written after it

    const bool jsonOnStdout = out.logJson == QLatin1String("-");
    JsonLogFile jsonFile;
    if (!out.logJson.isEmpty() && !jsonOnStdout && !jsonFile.Open(out.logJson, io))
        return kExitBadArguments;
    ReporterOptions ro;
    ro.quiet = out.quiet || jsonOnStdout;  // standard output carries the JSON lines alone
    ro.timings = out.timings;
    ro.progressLine = isatty(STDERR_FILENO) != 0;
    CliBatchReporter reporter(io, ro);
    if (entriesPerInput.empty())
        entriesPerInput.assign(entries.size(), 1);
    JsonLogReporter json(std::move(entriesPerInput), reporter, [&](const QString& line) {
        if (jsonOnStdout) {
            io.out << line << "\n";
            io.out.flush();
        } else {
            jsonFile.Write(line);
        }
    });
    IBatchReporter& sink = out.logJson.isEmpty() ? static_cast<IBatchReporter&>(reporter) : json;
    BatchRunner runner(entries, options, sink, &reporter);
    InterruptCancels interrupt(runner);
    runner.Start();
    runner.Wait();
    return ExitStatusOf(runner.Summary(), out.acceptDamaged);
}

int RunResizeArgs(const QStringList& args, CliStreams& io) {
    if (WantsHelp(args)) {
        io.out << ResizeUsage();
        return kExitOk;
    }
    ResizeCommandLine cmd;
    if (const QString error = ParseResizeCommandLine(args, cmd); !error.isEmpty()) {
        io.err << "ormensura-cli resize: " << error << "\n"
               << "'ormensura-cli resize --help' lists the options.\n";
        return kExitBadArguments;
    }
    if (!cmd.filesFrom.isEmpty()) {
        QString why;
        const std::optional<QStringList> listed =
            ReadPathList(cmd.filesFrom, cmd.nulSeparated, &why);
        if (!listed) {
            io.err << "ormensura-cli resize: --files-from " << EscapedPath(cmd.filesFrom) << ": "
                   << why << "\n";
            return kExitBadArguments;
        }
        cmd.inputs += *listed;
    }
    QStringList inputs;
    for (const QString& given : cmd.inputs) inputs.append(AbsolutePath(given));
    const bool severalSizes = cmd.size.choices.size() > 1;
    // Several sizes of one image are told apart by the size suffix.
    if (severalSizes)
        cmd.output.newName = true;
    const bool anyFolder = std::any_of(inputs.begin(), inputs.end(),
                                       [](const QString& path) { return IsFolder(path); });
    cmd.output.severalOutputs = severalSizes || anyFolder || inputs.size() > 1;

    QString error;
    QString folderToMake;
    BatchRunOptions options = PlanOutput(cmd.output, int(inputs.size()), &error, &folderToMake);
    if (!error.isEmpty()) {
        io.err << "ormensura-cli: " << error << "\n";
        return kExitBadArguments;
    }
    // The output folder may lie inside a folder given: its files are no inputs.
    const QString excluded = options.settings.sameFolder     ? QString()
                             : !options.outputFile.isEmpty() ? QString()
                                                             : options.settings.outputFolder;
    const ExpandedInputs expanded = ExpandInputs(inputs, cmd.recursive, excluded);
    if (!expanded.error.isEmpty()) {
        io.err << "ormensura-cli resize: " << expanded.error << "\n";
        return kExitBadArguments;
    }
    for (const QString& folder : expanded.outputFolders)
        io.err << "ormensura-cli: " << EscapedPath(folder)
               << " is the output folder as well: its images are not resized into it; give "
                  "another -o folder, or --same-folder with --new-name\n";
    for (const QString& folder : expanded.emptyFolders)
        if (!cmd.output.quiet)
            io.err << "ormensura-cli: " << EscapedPath(folder) << " holds no image files\n";
    if (expanded.files.empty()) {
        io.err << "ormensura-cli: no image files to resize\n";
        return kExitInputFailed;
    }

    const std::vector<InputFile> files =
        cmd.shard.Active() ? ShardOf(expanded.files, cmd.shard) : expanded.files;
    if (files.empty() && !cmd.output.quiet)
        io.err << "ormensura-cli: shard " << cmd.shard.index << "/" << cmd.shard.count
               << " holds none of the inputs\n";

    std::vector<BatchEntry> entries;
    std::vector<size_t> entriesPerInput;
    entries.reserve(files.size());
    for (const InputFile& file : files) {
        const std::vector<BatchEntry> made =
            EntriesForInput(file.path, cmd.size, ProbeImage(file.path), cmd.output.noEnlarge);
        entriesPerInput.push_back(made.size());
        for (const BatchEntry& entry : made) {
            entries.push_back(entry);
            if (expanded.hadFolder)
                options.subfolders.push_back(file.subfolder);
        }
    }
    return RunPlanned(entries, std::move(options), folderToMake, cmd.output, io,
                      std::move(entriesPerInput));
}

int RunBatchArgs(const QStringList& args, CliStreams& io) {
    if (WantsHelp(args)) {
        io.out << BatchUsage();
        return kExitOk;
    }
    BatchCommandLine cmd;
    if (const QString error = ParseBatchCommandLine(args, cmd); !error.isEmpty()) {
        io.err << "ormensura-cli batch: " << error << "\n"
               << "'ormensura-cli batch --help' lists the options.\n";
        return kExitBadArguments;
    }
    BatchList list;
    // A path (an existing file, or one with a folder or the .mnb extension) is read as a file,
    // so a mistyped path is reported as a missing file rather than as an unknown batch name.
    const bool isFile = QFileInfo(cmd.batch).isFile() || cmd.batch.contains(QLatin1Char('/')) ||
                        cmd.batch.endsWith(QLatin1String(".mnb"), Qt::CaseInsensitive);
    const BatchFileResult loaded = isFile ? list.Load(cmd.batch) : list.LoadNamed(cmd.batch);
    if (!loaded.ok()) {
        io.err << "ormensura-cli: " << cmd.batch << ": "
               << QString(loaded.message).replace('\n', ' ') << "\n";
        return loaded.status == BatchFileStatus::NoSuchName ? kExitBadArguments : kExitInputFailed;
    }
    const auto dropped = static_cast<qsizetype>(loaded.entries.size()) - list.count();
    if (dropped > 0 && !cmd.output.quiet)
        io.err << "ormensura-cli: " << cmd.batch << ": " << dropped
               << (dropped == 1 ? " entry was" : " entries were")
               << " left out: the file no longer exists\n";
    if (!cmd.output.output.isEmpty() && list.count() == 1 && !IsFolder(cmd.output.output) &&
        !cmd.output.output.endsWith(QLatin1Char('/'))) {
        // A batch always writes into a folder.
        cmd.output.output += QLatin1Char('/');
    }
    return RunEntries(list.entries(), cmd.output, io);
}

}  // namespace orm::cli
