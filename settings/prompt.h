#pragma once
// Messages and Yes/No questions to the user. Code is handed a prompt (the SettingsModel holds the
// program's); the program shows message boxes, tests use a ScriptedPrompt with the answers they
// want.

#include <QString>
#include <QStringList>

#include <deque>

namespace orm {

class IPrompt {
  public:
    virtual ~IPrompt() = default;
    // A plain message with an OK button.
    virtual void Message(const QString& text) = 0;
    // A failure ("Can't open ...", "Can't save ...", "Wrong file!"): the same with a warning
    // sign where the prompt can show one.
    virtual void Warning(const QString& text) { Message(text); }
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
    void Warning(const QString& text) override {
        messages.append(text);
        warnings.append(text);
    }
    bool AskYesNo(const QString& text) override;
    void QueueAnswer(bool yes) { answers_.push_back(yes); }

    QStringList messages;   // texts of Message and Warning
    QStringList warnings;   // texts of Warning
    QStringList questions;  // texts of AskYesNo

  private:
    std::deque<bool> answers_;
};

}  // namespace orm
