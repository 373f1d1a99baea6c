#include "Lamp.h"

#include "Accessible.h"

#include <QPainter>

namespace zx {

Lamp::Lamp(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
    EnsureAccessibleWidgets();
}

void Lamp::SetLit(bool lit) {
    if (lit != Lit_) {
        Lit_ = lit;
        update();
    }
}

void Lamp::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = rect().adjusted(0, 0, -1, -1);
    p.fillRect(rect(), CurrentColor());
    p.setPen(Qt::white);
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(QColor(128, 128, 128));
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
}

} // namespace zx
