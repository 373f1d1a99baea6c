#include "CodeSpinEdit.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>

namespace zx {

CodeSpinEdit::CodeSpinEdit(QWidget* parent) : QSpinBox(parent) {
    setRange(0, 65535);
    setSingleStep(1);
    setValue(0);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setKeyboardTracking(true);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    // A DAC code reads in ASCII digits in every locale, as every panel shows it: an Arabic
    // desktop would otherwise show "٣٢٧٧" beside a panel's "3277".
    setLocale(QLocale::c());
}

bool CodeSpinEdit::IsEmpty() const {
    return lineEdit()->text().trimmed().isEmpty();
}

void CodeSpinEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_PageUp || event->key() == Qt::Key_PageDown) {
        stepBy(event->key() == Qt::Key_PageUp ? LargeStep : -LargeStep);
        event->accept();
        return;
    }
    QSpinBox::keyPressEvent(event);
}

void CodeSpinEdit::focusOutEvent(QFocusEvent* event) {
    emit Exit();
    QSpinBox::focusOutEvent(event);
}

} // namespace zx
