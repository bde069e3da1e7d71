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
    // A Yes/No question; true for Yes. No is the answer Enter gives.
    virtual bool AskYesNo(const QString& text) = 0;
    // The same where Enter answers Yes: the question is about what the user just chose.
    virtual bool AskYesNoDefaultYes(const QString& text) { return AskYesNo(text); }
    // A question with buttons of its own: the index of the button pressed, -1 when the question
    // was closed without one. defaultButton is the one Enter presses.
    virtual int AskChoice(const QString& text, const QStringList& buttons, int defaultButton) = 0;
};

// Writes messages to the standard error stream and answers No; for processes without widgets.
class ConsolePrompt : public IPrompt {
  public:
    void Message(const QString& text) override;
    bool AskYesNo(const QString& text) override;
    int AskChoice(const QString& text, const QStringList& buttons, int defaultButton) override;
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
    bool AskYesNoDefaultYes(const QString& text) override {
        defaultYes.append(text);
        return AskYesNo(text);
    }
    // Answers from the queued choices; -1 (closed) once they are used up.
    int AskChoice(const QString& text, const QStringList& buttons, int defaultButton) override;
    void QueueAnswer(bool yes) { answers_.push_back(yes); }
    void QueueChoice(int index) { choices_.push_back(index); }

    QStringList messages;    // texts of Message and Warning
    QStringList warnings;    // texts of Warning
    QStringList questions;   // texts of AskYesNo and AskChoice
    QStringList defaultYes;  // the questions asked with Yes as their default

  private:
    std::deque<bool> answers_;
    std::deque<int> choices_;
};

}  // namespace orm
