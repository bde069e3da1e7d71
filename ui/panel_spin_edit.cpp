#include "ui/panel_spin_edit.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>

namespace orm {
namespace {

bool IsStepKey(int key) {
    return key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp ||
           key == Qt::Key_PageDown;
}

}  // namespace

CPanelSpinEdit::CPanelSpinEdit(QWidget* parent) : QAbstractSpinBox(parent) {
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    setAccelerated(false);
    setKeyboardTracking(true);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
}

void CPanelSpinEdit::stepBy(int steps) {
    if (steps != 0 && isEnabled() && !isReadOnly())
        emit stepRequested(steps > 0 ? 1 : -1);
}

QSize CPanelSpinEdit::sizeHint() const {
    // Room for "100000" or "118.11" and the arrows.
    const int textWidth = fontMetrics().horizontalAdvance(QStringLiteral("0000000"));
    QSize hint = QAbstractSpinBox::sizeHint();
    hint.setWidth(textWidth + 32);
    return hint;
}

QSize CPanelSpinEdit::minimumSizeHint() const {
    QSize hint = QAbstractSpinBox::minimumSizeHint();
    hint.setWidth(fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 28);
    return hint;
}

QAbstractSpinBox::StepEnabled CPanelSpinEdit::stepEnabled() const {
    if (!isEnabled() || isReadOnly())
        return StepNone;
    return StepUpEnabled | StepDownEnabled;
}

void CPanelSpinEdit::focusOutEvent(QFocusEvent* event) {
    QAbstractSpinBox::focusOutEvent(event);
    stepKeyHeld_ = false;
    emit focusLost();
}

void CPanelSpinEdit::keyPressEvent(QKeyEvent* event) {
    if (IsStepKey(event->key()))
        stepKeyHeld_ = true;
    QAbstractSpinBox::keyPressEvent(event);
}

void CPanelSpinEdit::keyReleaseEvent(QKeyEvent* event) {
    QAbstractSpinBox::keyReleaseEvent(event);
    if (IsStepKey(event->key()) && !event->isAutoRepeat()) {
        stepKeyHeld_ = false;
        emit stepsFinished();
    }
}

void CPanelSpinEdit::mouseReleaseEvent(QMouseEvent* event) {
    QAbstractSpinBox::mouseReleaseEvent(event);
    emit stepsFinished();
}

}  // namespace orm
