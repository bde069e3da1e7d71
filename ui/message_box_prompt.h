#pragma once
// The prompt of the desktop program: message boxes over the active window.

#include "settings/prompt.h"

class QWidget;

namespace orm {

// Message boxes over the active window (or the given parent). Calls from another thread are
// carried over to the user-interface thread, which shows the box while the caller waits.
class MessageBoxPrompt : public IPrompt {
  public:
    explicit MessageBoxPrompt(QWidget* parent = nullptr) : parent_(parent) {}
    void Message(const QString& text) override;
    void Warning(const QString& text) override;
    bool AskYesNo(const QString& text) override;
    bool AskYesNoDefaultYes(const QString& text) override;
    int AskChoice(const QString& text, const QStringList& buttons, int defaultButton) override;

  private:
    QWidget* parent_;
};

}  // namespace orm
