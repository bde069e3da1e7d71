#include "ui/batch_progress.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QVBoxLayout>

#include <algorithm>

namespace orm {

CBatchProgress::CBatchProgress(std::vector<BatchEntry> entries, BatchRunOptions options,
                               IPrompt& prompt, QWidget* parent)
    : QDialog(parent), prompt_(prompt) {
    setWindowTitle(QStringLiteral("Batch processing"));
    setObjectName(QStringLiteral("batchProgressDialog"));
    auto* layout = new QVBoxLayout(this);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("status"));
    log_ = new QPlainTextEdit(this);
    log_->setObjectName(QStringLiteral("log"));
    log_->setReadOnly(true);
    log_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    log_->setMinimumSize(460, 200);
    progress_ = new QProgressBar(this);
    progress_->setRange(0, kBatchProgressRange);  // 90, not 100
    progress_->setValue(0);
    progress_->hide();
    // The whole run, file by file, beside the bar of the file in progress.
    overall_ = new QProgressBar(this);
    overall_->setObjectName(QStringLiteral("overall"));
    overall_->setFormat(QStringLiteral("%v of %m"));
    overall_->setRange(0, std::max<int>(1, int(entries.size())));
    overall_->setValue(0);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setAutoDefault(false);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(progress_, 1);
    bottom->addStretch();
    bottom->addWidget(cancel_);
    layout->addWidget(status_);
    layout->addWidget(log_, 1);
    layout->addWidget(overall_);
    layout->addLayout(bottom);
    connect(cancel_, &QPushButton::clicked, this, &CBatchProgress::OnCancelClicked);
    // The main window's menus are out of reach while the run goes on: Exit has a key here too.
    auto* quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
    connect(quit, &QShortcut::activated, this, &CBatchProgress::AskToStopAndQuit);

    runner_ = std::make_unique<BatchRunner>(std::move(entries), std::move(options), *this, &prompt);
}

CBatchProgress::~CBatchProgress() {
    // The runner cancels and waits for its worker; nothing is delivered to this dialog afterwards.
    runner_.reset();
}

void CBatchProgress::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (started_)
        return;
    started_ = true;
    running_ = true;
    runner_->Start();
}

void CBatchProgress::Report(const BatchReport& report) {
    QMetaObject::invokeMethod(
        this, [this, report] { OnReport(report); }, Qt::QueuedConnection);
}

void CBatchProgress::Progress(int position) {
    QMetaObject::invokeMethod(
        this, [this, position] { progress_->setValue(position); }, Qt::QueuedConnection);
}

void CBatchProgress::Warning(const QString& text) {
    QMetaObject::invokeMethod(
        this, [this, text] { AppendLog(text); }, Qt::QueuedConnection);
}

void CBatchProgress::AppendLog(const QString& entry) {
    logText_ += entry;
    // Appended at the end (never the whole text again), and the end kept in view.
    QString shown = entry;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QTextCursor end = log_->textCursor();
    end.movePosition(QTextCursor::End);
    end.insertText(shown + QLatin1Char('\n'));
    log_->verticalScrollBar()->setValue(log_->verticalScrollBar()->maximum());
}

void CBatchProgress::Finished(const BatchRunSummary& summary) {
    QMetaObject::invokeMethod(
        this, [this, summary] { OnFinished(summary); }, Qt::QueuedConnection);
}

void CBatchProgress::OnReport(const BatchReport& report) {
    status_->setText(report.StatusText());
    overall_->setValue(std::max(0, report.fileNumber - 1));
    progress_->setValue(0);
    progress_->setVisible(report.ShowsProgress());
    AppendLog(report.LogText());
    // Why a file failed, under the documented first line.
    if (report.IsError() && !report.reason.isEmpty())
        AppendLog(QStringLiteral("Reason: %1\r\n\r\n").arg(report.reason));
}

void CBatchProgress::OnFinished(const BatchRunSummary& summary) {
    summary_ = summary;
    running_ = false;
    // Not waited for here: after a cancel the worker may still be finishing a file it was reading
    // ahead (it delivers nothing more); the dialog's end joins it.
    cancel_->setText(DoneText());
    progress_->hide();
    if (!summary.cancelled && !summary.stoppedBy)
        overall_->setValue(overall_->maximum());
    else  // the files the run finished before it stopped
        overall_->setValue(
            std::max(overall_->value(), summary.written + summary.skipped + summary.failed));
    // The run's end in one line, on a line of its own.
    const bool atLineStart = logText_.isEmpty() || logText_.endsWith(QLatin1Char('\n'));
    AppendLog((atLineStart ? QString() : QStringLiteral("\r\n")) + RunSummaryText(summary) +
              QStringLiteral("\r\n"));
    emit runFinished();
}

void CBatchProgress::CancelAndWait() {
    runner_->Cancel();
    runner_->Wait();
    running_ = false;
    done(QDialog::Rejected);
}

bool CBatchProgress::AskToStopAndQuit() {
    if (running_ &&
        prompt_.AskChoice(QStringLiteral("A batch is running."),
                          {QStringLiteral("Wait"), QStringLiteral("Stop and quit")}, 0) != 1)
        return false;
    quitRequested_ = true;
    CancelAndWait();
    return true;
}

void CBatchProgress::OnCancelClicked() {
    if (running_)
        runner_->Cancel();  // the worker stops at its next check; the dialog stays open
    else
        accept();
}

void CBatchProgress::reject() {
    if (running_) {
        runner_->Cancel();
        return;
    }
    QDialog::reject();
}

void CBatchProgress::closeEvent(QCloseEvent* event) {
    if (running_) {
        runner_->Cancel();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

}  // namespace orm
