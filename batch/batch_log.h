#pragma once
// The run's status codes and the texts of its log and status line.

#include "batch/batch_entry.h"

#include <QString>

namespace orm {

enum class BatchStatus : int {
    Processing = 0,       // the file is about to be resized and written
    CantOpenInput = 1,    // the input could not be loaded; the run goes on
    NoOutputFolder = 2,   // the output folder is missing; the run stops
    Skipped = 3,          // the output exists under "skip"; the run goes on
    CantCreateImage = 4,  // the output image could not be made (memory, size); the run goes on
    Cancelled = 5,        // the resize failed or was cancelled; the run stops
    CantWrite = 6,        // the output could not be written; the run stops
};

// "Processing %d from %d".
QString ProcessingText(int fileNumber, int total);
// The button text after the run: "Done".
QString DoneText();
// "Can't create output folder!", shown to the user when the output folder is missing.
QString CantCreateOutputFolderText();

// The log entry of a report. outputPath is the output (code 0), the existing file (code 3) or
// unused. Code 0 uses "\r\n" line ends, the others "\n", as the program always has.
QString LogEntryText(BatchStatus code, int fileNumber, int total, const BatchEntry& entry,
                     const QString& outputPath);

}  // namespace orm
