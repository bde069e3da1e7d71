#pragma once
// What the window shows while the document opens an image: the wait cursor, and for a large
// image (decoded in the background) a status line that says so, with the window's input held
// back until the image is there (the document is between two images), except Esc, which gives
// the open up and leaves the image that was open.

#include <QObject>

#include <functional>

class QStatusBar;

namespace orm {
class CORMensuraDoc;
}

namespace orm::gui {

// Holds back keys, clicks, the wheel and drops everywhere in the program while it exists; Esc
// calls `cancel`.
class COpenInputGuard : public QObject {
  public:
    explicit COpenInputGuard(std::function<void()> cancel, QObject* parent = nullptr);
    ~COpenInputGuard() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    std::function<void()> cancel_;
};

// Connects the document's opening states to the wait cursor, the status bar and the guard.
void ShowOpenFeedback(CORMensuraDoc& doc, QStatusBar& statusBar);

}  // namespace orm::gui
