#pragma once
// Running `resize` and `batch` on the command line: the inputs become batch entries, the output
// options become batch settings, and the batch runner does the work on its worker thread while
// the command line reports. A dry run prints what a run would write and writes nothing.

#include "cli/cli_command.h"
#include "cli/resize_options.h"

#include "batch/batch_entry.h"
#include "batch/batch_runner.h"
#include "batch/output_naming.h"

#include <vector>

namespace orm::cli {

// The run options of the output request; error set when they cannot work (e.g. the default
// output folder cannot be created). A dry run creates no folder: a missing default output
// folder, which the run would make, is named in folderToMake instead.
BatchRunOptions PlanOutput(const OutputRequest& out, int inputCount, QString* error,
                           QString* folderToMake = nullptr);

// Runs (or, with --dry-run, plans) the entries; returns the exit status.
int RunEntries(const std::vector<BatchEntry>& entries, const OutputRequest& out, CliStreams& io);
// The same with the run options planned already (PlanOutput, then per-entry subfolders).
// entriesPerInput: how many consecutive entries each input has (one per size), for the JSON
// log's one line per input; empty for one entry per input.
int RunPlanned(const std::vector<BatchEntry>& entries, BatchRunOptions options,
               const QString& folderToMake, const OutputRequest& out, CliStreams& io,
               std::vector<size_t> entriesPerInput = {});

// The dry run's line of one entry: input, output path, WxH, dpi ("%g") and algorithm name, or
// input, "skip" and the existing file, separated by tabs. Empty when the run would stop here.
// Paths are escaped (EscapedPath), so every line is one entry and splits at its tabs.
QString DryRunLine(const BatchEntry& entry, const OutputPath& output);

// A path for a line of text: backslash, tab, newline and carriage return as \\, \t, \n, \r;
// other control characters and bytes that are not UTF-8 as \xhh.
QString EscapedPath(const QString& path);

// Whole commands, from their arguments (after the command's name).
int RunResizeArgs(const QStringList& args, CliStreams& io);
int RunBatchArgs(const QStringList& args, CliStreams& io);

QString ResizeUsage();
QString BatchUsage();

}  // namespace orm::cli
