#include "settings/prompt.h"

#include <cstdio>

namespace orm {
void ConsolePrompt::Message(const QString& text) {
    std::fprintf(stderr, "%s\n", qPrintable(text));
}

bool ConsolePrompt::AskYesNo(const QString& text) {
    std::fprintf(stderr, "%s (answered No)\n", qPrintable(text));
    return false;
}

int ConsolePrompt::AskChoice(const QString& text, const QStringList& buttons, int) {
    std::fprintf(stderr, "%s [%s] (closed without an answer)\n", qPrintable(text),
                 qPrintable(buttons.join(QStringLiteral(" / "))));
    return -1;
}

int ScriptedPrompt::AskChoice(const QString& text, const QStringList&, int) {
    questions.append(text);
    if (choices_.empty())
        return -1;
    const int choice = choices_.front();
    choices_.pop_front();
    return choice;
}

bool ScriptedPrompt::AskYesNo(const QString& text) {
    questions.append(text);
    if (answers_.empty())
        return false;
    const bool yes = answers_.front();
    answers_.pop_front();
    return yes;
}

}  // namespace orm
