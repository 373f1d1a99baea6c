#include "Shape.h"

#include "Accessible.h"

#include <QPainter>

namespace zx {

Shape::Shape(Kind kind, const QColor& fill, QWidget* parent)
    : QWidget(parent), Kind_(kind), Fill_(fill) {
    setFocusPolicy(Qt::NoFocus);
    EnsureAccessibleWidgets();
}

void Shape::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Fill_);
    const QRect r = rect().adjusted(0, 0, -1, -1);
    if (Kind_ == Kind::Circle) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.drawEllipse(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5));
    } else {
        painter.drawRect(r);
    }
}

} // namespace zx
