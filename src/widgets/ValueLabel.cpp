#include "ValueLabel.h"

#include "Accessible.h"

#include <QPainter>

namespace zx {

ValueLabel::ValueLabel(QWidget* parent) : QLabel(QStringLiteral("N/A"), parent) {
    setContentsMargins(1, 1, 1, 1);
    setAlignment(Qt::AlignCenter);
    setTextFormat(Qt::PlainText); // module texts are shown as they are, never as markup
    EnsureAccessibleWidgets();
    setFocusPolicy(Qt::NoFocus);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    p.setColor(QPalette::WindowText, Qt::black);
    setPalette(p);
}

void ValueLabel::SetFontColor(const QColor& color) {
    QPalette p = palette();
    p.setColor(QPalette::WindowText, color);
    p.setColor(QPalette::Disabled, QPalette::WindowText, color);
    setPalette(p);
}

QColor ValueLabel::FontColor() const {
    return palette().color(QPalette::WindowText);
}

void ValueLabel::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    QPainter p(this);
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace zx
