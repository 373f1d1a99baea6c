#include "FlatButton.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace zx {

FlatButton::FlatButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    setFlat(true);
    setAttribute(Qt::WA_Hover); // repainted when the mouse comes and goes
}

void FlatButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    if (underMouse() || hasFocus()) {
        option.features &= ~QStyleOptionButton::Flat;
    }
    painter.drawControl(QStyle::CE_PushButton, option);
}

} // namespace zx
