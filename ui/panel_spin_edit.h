#pragma once
// An edit field with up/down arrows that holds free text. The arrows, the Up/Down keys and
// the wheel only report steps; the panel decides what a step does to the text. The end of a
// run of steps (mouse button or key released) is reported separately.

#include <QAbstractSpinBox>

class QLineEdit;

namespace orm {

class CPanelSpinEdit : public QAbstractSpinBox {
    Q_OBJECT
  public:
    explicit CPanelSpinEdit(QWidget* parent = nullptr);

    // The text field inside.
    QLineEdit* edit() const { return lineEdit(); }
    // A step key is held down right now.
    bool stepKeyHeld() const { return stepKeyHeld_; }

    void stepBy(int steps) override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  signals:
    void stepRequested(int delta);  // +1 up, -1 down
    void stepsFinished();
    void focusLost();

  protected:
    StepEnabled stepEnabled() const override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    bool stepKeyHeld_ = false;
};

}  // namespace orm
