#include "ui/message_box_prompt.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

namespace orm {
namespace {

QString Title() {
    return QStringLiteral("ORVEN Mensura");
}

// Runs f on the user-interface thread and waits for it.
template <class F>
void OnUiThread(F f) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread())
        f();
    else
        QMetaObject::invokeMethod(app, f, Qt::BlockingQueuedConnection);
}

QWidget* ParentFor(QWidget* parent) {
    return parent ? parent : QApplication::activeWindow();
}

}  // namespace

void MessageBoxPrompt::Message(const QString& text) {
    OnUiThread([&] { QMessageBox::information(ParentFor(parent_), Title(), text); });
}

void MessageBoxPrompt::Warning(const QString& text) {
    OnUiThread([&] { QMessageBox::warning(ParentFor(parent_), Title(), text); });
}

bool MessageBoxPrompt::AskYesNo(const QString& text) {
    bool yes = false;
    OnUiThread([&] {
        yes = QMessageBox::question(ParentFor(parent_), Title(), text,
                                    QMessageBox::Yes | QMessageBox::No,
                                    QMessageBox::No) == QMessageBox::Yes;
    });
    return yes;
}

}  // namespace orm
