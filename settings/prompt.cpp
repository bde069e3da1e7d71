#include "settings/prompt.h"

#include <atomic>
#include <cstdio>

namespace orm {
namespace {

std::atomic<IPrompt*> installedPrompt{nullptr};

}  // namespace

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
    static ConsolePrompt console;
    return console;
}

IPrompt* SetCurrentPrompt(IPrompt* prompt) { return installedPrompt.exchange(prompt); }

}  // namespace orm
