#include "NumberedList.h"

#include "Accessible.h"

#include <QApplication>
#include <QKeyEvent>

namespace zx {
namespace {

// The number an entry ends in, or -1.
int TrailingNumber(const QString& text) {
    qsizetype start = text.size();
    while (start > 0 && text.at(start - 1).isDigit()) {
        --start;
    }
    bool ok = false;
    const int number = text.mid(start).toInt(&ok);
    return ok ? number : -1;
}

} // namespace

NumberedList::NumberedList(QWidget* parent) : QComboBox(parent) {
    SpeakChoices(this);
}

void NumberedList::keyPressEvent(QKeyEvent* event) {
    const QString text = event->text();
    const bool digit = text.size() == 1 && text.at(0) >= QLatin1Char('0') &&
                       text.at(0) <= QLatin1Char('9') &&
                       (event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier)) == 0;
    if (!digit) {
        Typed_.clear();
        QComboBox::keyPressEvent(event);
        return;
    }
    event->accept();
    if (!SinceLastDigit_.isValid() ||
        SinceLastDigit_.elapsed() > QApplication::keyboardInputInterval()) {
        Typed_.clear();
    }
    SinceLastDigit_.start();
    Typed_ += text;
    // The number typed so far; where no entry has it (yet), the first whose number starts so.
    int starting = -1;
    for (int i = 0; i < count(); ++i) {
        const int number = TrailingNumber(itemText(i));
        if (number < 0) {
            continue;
        }
        if (QString::number(number) == Typed_) {
            setCurrentIndex(i);
            return;
        }
        if (starting < 0 && QString::number(number).startsWith(Typed_)) {
            starting = i;
        }
    }
    if (starting >= 0) {
        setCurrentIndex(starting);
    }
}

} // namespace zx
