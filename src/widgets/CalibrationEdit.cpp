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
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && Button_->isEnabled()) {
        Button_->click();
        return;
    }
    NumberEdit::keyPressEvent(event);
}

} // namespace zx
