#include "CalibrationEdit.h"

#include <QKeyEvent>
#include <QToolButton>

namespace zx {

CalibrationEdit::CalibrationEdit(QWidget* parent)
    : NumberEdit(parent), Button_(new QToolButton(this)) {
    setReadOnly(true);
    setText(QStringLiteral("0"));
    Button_->setFocusPolicy(Qt::NoFocus);
    Button_->setCursor(Qt::ArrowCursor);
    Button_->setAccessibleName(QStringLiteral("Calibrate"));
    connect(Button_, &QToolButton::clicked, this, &CalibrationEdit::ButtonClicked);
}

void CalibrationEdit::resizeEvent(QResizeEvent* event) {
    NumberEdit::resizeEvent(event);
    // A slim button keeps room for the calibration point in a 57-pixel edit.
    const int buttonWidth = 13;
    Button_->setGeometry(width() - buttonWidth - 2, 2, buttonWidth, height() - 4);
    setTextMargins(0, 0, buttonWidth, 0);
}

void CalibrationEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
        NumberEdit::keyPressEvent(event);
        return;
    }
    // The button rewrites the module's calibration: a plain Enter, typed out of habit while
    // tabbing through the form, must not press it. Ctrl+Enter is the deliberate way.
    event->accept();
    if (event->modifiers().testFlag(Qt::ControlModifier) && Button_->isEnabled()) {
        Button_->click();
    }
}

} // namespace zx
