#pragma once
// Messages and Yes/No questions to the user. Code asks CurrentPrompt(); the program shows
// message boxes, tests install a ScriptedPrompt with the answers they want.

#include <QString>
#include <QStringList>

#include <deque>

namespace orm {

class IPrompt {
public:
    virtual ~IPrompt() = default;
    // A plain message with an OK button.
    virtual void Message(const QString& text) = 0;
    // A Yes/No question; true for Yes.
    virtual bool AskYesNo(const QString& text) = 0;
};

// Writes messages to the standard error stream and answers No; for processes without widgets.
class ConsolePrompt : public IPrompt {
public:
    void Message(const QString& text) override;
    bool AskYesNo(const QString& text) override;
};

// Records every text and answers from a script; answers No once the script is used up.
class ScriptedPrompt : public IPrompt {
public:
    explicit ScriptedPrompt(std::deque<bool> answers = {}) : answers_(std::move(answers)) {}
    void Message(const QString& text) override { messages.append(text); }
    bool AskYesNo(const QString& text) override;
    void QueueAnswer(bool yes) { answers_.push_back(yes); }

    QStringList messages;   // texts of Message
    QStringList questions;  // texts of AskYesNo

private:
    std::deque<bool> answers_;
};

// The process-wide prompt: the one installed, otherwise message boxes in a widget application
// and the console elsewhere.
IPrompt& CurrentPrompt();
// Installs a prompt (not owned); nullptr returns to the default. Returns the previous one.
IPrompt* SetCurrentPrompt(IPrompt* prompt);

// Installs a prompt for the lifetime of the guard.
class ScopedPrompt {
public:
    explicit ScopedPrompt(IPrompt& prompt) : previous_(SetCurrentPrompt(&prompt)) {}
    ~ScopedPrompt() { SetCurrentPrompt(previous_); }
    ScopedPrompt(const ScopedPrompt&) = delete;
    ScopedPrompt& operator=(const ScopedPrompt&) = delete;

private:
    IPrompt* previous_;
};

}  // namespace orm
