#pragma once
// "Batch processing": the modal dialog of a batch run. It starts the run's worker when it is
// shown, logs every report in order, shows the progress of the own algorithms, and turns its
// Cancel button into "Done" when the run has ended. It cannot be closed while the run goes on.

#include "batch/batch_runner.h"

#include <QDialog>

#include <memory>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace orm {

class CBatchProgress : public QDialog, public IBatchReporter {
    Q_OBJECT
  public:
    // prompt: where "Can't create output folder!" goes (from the worker; it must be safe to call
    // from another thread, as the message boxes are).
    CBatchProgress(std::vector<BatchEntry> entries, BatchRunOptions options, IPrompt& prompt,
                   QWidget* parent = nullptr);
    ~CBatchProgress() override;

    bool Running() const { return running_; }
    // Cancels the run, waits for its worker to end and closes the dialog (the main window is
    // closing).
    void CancelAndWait();
    const BatchRunSummary& Summary() const { return summary_; }
    // Ctrl+Q was pressed (here or on the main window's close button) and "Stop and quit" chosen:
    // the run was stopped (no partial file) and the program is to end once the dialog has closed.
    bool QuitRequested() const { return quitRequested_; }
    // Asks whether to wait for a running batch or stop it and quit; true when the run has been
    // stopped and waited for (or had ended), and the program may end.
    bool AskToStopAndQuit();
    // The log as the run wrote it (the entries' own line ends).
    const QString& LogText() const { return logText_; }

    QLabel* statusLine() const { return status_; }
    QPlainTextEdit* log() const { return log_; }
    QProgressBar* progressBar() const { return progress_; }
    QPushButton* cancelButton() const { return cancel_; }

    // IBatchReporter, called on the worker thread: each is carried to this dialog's thread in
    // order (queued), so the log keeps the run's order without the worker waiting.
    void Report(const BatchReport& report) override;
    void Progress(int position) override;
    // A file that was processed with a warning (a damaged input): logged after its entry.
    void Warning(const QString& text) override;
    void Finished(const BatchRunSummary& summary) override;

  public slots:
    void reject() override;  // Esc and the window's close: cancel while running, close after

  signals:
    void runFinished();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void OnReport(const BatchReport& report);
    void AppendLog(const QString& entry);
    void OnFinished(const BatchRunSummary& summary);
    void OnCancelClicked();

    QLabel* status_ = nullptr;
    QPlainTextEdit* log_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QProgressBar* overall_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QString logText_;
    BatchRunSummary summary_;
    bool running_ = false;
    bool started_ = false;
    bool quitRequested_ = false;
    IPrompt& prompt_;
    std::unique_ptr<BatchRunner> runner_;
};

}  // namespace orm
