#include "settings/prompt.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

#include <atomic>
#include <cstdio>

namespace orm {
namespace {

std::atomic<IPrompt*> installedPrompt{nullptr};

QString Title() { return QStringLiteral("ORVEN Mensura"); }

// Runs f on the user-interface thread and waits for it.
template <class F>
void OnUiThread(F f) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread())
        f();
    else
        QMetaObject::invokeMethod(app, f, Qt::BlockingQueuedConnection);
}

QWidget* ParentFor(QWidget* parent) { return parent ? parent : QApplication::activeWindow(); }

}  // namespace

void MessageBoxPrompt::Message(const QString& text) {
    OnUiThread([&] { QMessageBox::information(ParentFor(parent_), Title(), text); });
}

bool MessageBoxPrompt::AskYesNo(const QString& text) {
    bool yes = false;
    OnUiThread([&] {
        yes = QMessageBox::question(ParentFor(parent_), Title(), text, QMessageBox::Yes | QMessageBox::No,
                                    QMessageBox::No) == QMessageBox::Yes;
    });
    return yes;
}

void ConsolePrompt::Message(const QString& text) { std::fprintf(stderr, "%s\n", qPrintable(text)); }

bool ConsolePrompt::AskYesNo(const QString& text) {
    std::fprintf(stderr, "%s (answered No)\n", qPrintable(text));
    return false;
}

bool ScriptedPrompt::AskYesNo(const QString& text) {
    questions.append(text);
    if (answers_.empty())
        return false;
    const bool yes = answers_.front();
    answers_.pop_front();
    return yes;
}

IPrompt& CurrentPrompt() {
    if (IPrompt* p = installedPrompt.load())
        return *p;
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
        static MessageBoxPrompt boxes;
        return boxes;
    }
    static ConsolePrompt console;
    return console;
}

IPrompt* SetCurrentPrompt(IPrompt* prompt) { return installedPrompt.exchange(prompt); }

}  // namespace orm
