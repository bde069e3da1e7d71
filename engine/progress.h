#pragma once
// Progress and cancellation of the own algorithms.
//
// Stages report a value growing from 0 toward 100 after each row; a report lower than the previous
// one starts a new sweep. A sink answers 0 to stop the running resize. The process-wide cancel flag
// stops a running preview; the process-wide progress position is what the status bar shows.

#include <atomic>

namespace orm::engine {

// Commands posted to the main frame (carried as named constants; the frame maps them to slots).
enum FrameCommand : int {
    kCmdProgressChanged = 32838,
    kCmdPreviewReady = 32839,
    kCmdShowProgress = 32840,
    kCmdHideProgress = 32841,
};

// Non-zero stops the running preview resize at its next progress report.
extern std::atomic<int> cancelPreview;
// 0..100, the position of the status-bar progress bar.
extern std::atomic<int> progressPosition;

// The main frame installs a function that posts a command to its thread (queued, never blocking).
// Without one (command line, tests) nothing is posted.
using FrameCommandPoster = void (*)(int command);
void SetFrameCommandPoster(FrameCommandPoster poster);
void PostFrameCommand(int command);

class CRSProgress {
public:
    CRSProgress();  // posts kCmdShowProgress
    virtual ~CRSProgress();  // posts kCmdHideProgress
    CRSProgress(const CRSProgress&) = delete;
    CRSProgress& operator=(const CRSProgress&) = delete;

    // Returns non-zero to go on, 0 to stop. Counts sweeps and, when the value changed, sets the
    // process-wide progress position and announces it through PositionChanged.
    virtual int ReportProgress(int value);

    int passes = 1;  // number of 0..100 sweeps the running algorithm will make
    int wraps = 0;   // sweeps finished so far
    int last = 0;    // the last value reported

protected:
    // The progress position changed; by default the main frame is told (kCmdProgressChanged).
    virtual void PositionChanged(int position);
};

// A stage's report: true to go on. No sink means no reports and no stop.
inline bool Report(CRSProgress* progress, int value) {
    return progress == nullptr || progress->ReportProgress(value) != 0;
}

}  // namespace orm::engine
