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

bool ScriptedPrompt::AskYesNo(const QString& text) {
    questions.append(text);
    if (answers_.empty())
        return false;
    const bool yes = answers_.front();
    answers_.pop_front();
    return yes;
}

}  // namespace orm
