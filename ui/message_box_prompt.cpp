#include "ui/message_box_prompt.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>

#include <vector>

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

bool MessageBoxPrompt::AskYesNoDefaultYes(const QString& text) {
    bool yes = false;
    OnUiThread([&] {
        yes = QMessageBox::question(ParentFor(parent_), Title(), text,
                                    QMessageBox::Yes | QMessageBox::No,
                                    QMessageBox::Yes) == QMessageBox::Yes;
    });
    return yes;
}

int MessageBoxPrompt::AskChoice(const QString& text, const QStringList& buttons,
                                int defaultButton) {
    int chosen = -1;
    OnUiThread([&] {
        QMessageBox box(QMessageBox::Question, Title(), text, QMessageBox::NoButton,
                        ParentFor(parent_));
        std::vector<QPushButton*> added;
        // A "Cancel" among the buttons is what Esc and the window's close press.
        for (const QString& label : buttons) {
            const bool cancel = label == QLatin1String("Cancel");
            added.push_back(
                box.addButton(label, cancel ? QMessageBox::RejectRole : QMessageBox::ActionRole));
            if (cancel)
                box.setEscapeButton(added.back());
        }
        if (defaultButton >= 0 && defaultButton < int(added.size()))
            box.setDefaultButton(added[size_t(defaultButton)]);
        box.exec();
        for (size_t i = 0; i < added.size(); ++i)
            if (box.clickedButton() == added[i])
                chosen = int(i);
    });
    return chosen;
}

}  // namespace orm
