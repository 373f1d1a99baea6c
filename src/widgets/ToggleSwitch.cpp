#include "ToggleSwitch.h"

#include "Accessible.h"

#include <QAccessible>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace zx {

ToggleSwitch::ToggleSwitch(QWidget* parent) : QWidget(parent) {
    // Reached with Tab while it is enabled (full mode), Space throws it; a click does not take
    // the focus from the edit being worked in.
    setFocusPolicy(Qt::TabFocus);
    EnsureAccessibleWidgets();
}

void ToggleSwitch::SetOn(bool on) {
    if (on == On_) {
        return;
    }
    On_ = on;
    update();
    if (!QAccessible::isActive()) {
        return;
    }
    QAccessible::State checked;
    checked.checked = true;
    QAccessibleStateChangeEvent event(this, checked);
    QAccessible::updateAccessibility(&event);
    QAccessibleEvent name(this, QAccessible::NameChanged); // "CAL/RUN switch: CAL"
    QAccessible::updateAccessibility(&name);
}

void ToggleSwitch::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat() && event->modifiers() == 0) {
        Flip();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ToggleSwitch::Flip() {
    SetOn(!On_);
    emit Clicked();
}

void ToggleSwitch::SetTexts(const QString& on, const QString& off) {
    TextOn_ = on;
    TextOff_ = off;
    update();
}

void ToggleSwitch::SetColors(const QColor& on, const QColor& off) {
    ColorOn_ = on;
    ColorOff_ = off;
    update();
}

void ToggleSwitch::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    Pressed_ = true;
    const bool upper = event->position().y() < height() / 2.0;
    if (upper && !On_) {
        SetOn(true);
    } else if (!upper && On_) {
        SetOn(false);
    }
}

void ToggleSwitch::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !Pressed_) {
        return;
    }
    Pressed_ = false;
    if (rect().contains(event->position().toPoint())) {
        emit Clicked();
    }
}

void ToggleSwitch::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPalette& pal = palette();
    const QColor shadow = pal.color(QPalette::Active, QPalette::Dark);
    const QColor light = pal.color(QPalette::Active, QPalette::Light);
    const QRect outer = rect().adjusted(0, 0, -1, -1);
    // Lowered outer bevel, a one-pixel inner line in the shadow colour, one pixel of spacing.
    p.setPen(shadow);
    p.drawLine(outer.topLeft(), outer.topRight());
    p.drawLine(outer.topLeft(), outer.bottomLeft());
    p.setPen(light);
    p.drawLine(outer.bottomLeft(), outer.bottomRight());
    p.drawLine(outer.topRight(), outer.bottomRight());
    const QRect inner = outer.adjusted(1, 1, -1, -1);
    p.setPen(shadow);
    p.drawRect(inner);
    const QRect face = inner.adjusted(2, 2, -1, -1);
    const int half = face.height() / 2;
    const QRect upper(face.left(), face.top(), face.width(), half);
    const QRect lower(face.left(), face.top() + half, face.width(), face.height() - half);
    // The knob sits on the side the switch is thrown to; the other side shows the state.
    const QRect knob = On_ ? upper : lower;
    const QRect state = On_ ? lower : upper;
    // The module's state is read off the colour and the caption, so both stay at full strength
    // whether or not the switch takes clicks: disabled, it only ignores the mouse.
    p.fillRect(state, On_ ? ColorOn_ : ColorOff_);
    p.setPen(QColor(Qt::black));
    p.drawText(state, Qt::AlignCenter, On_ ? TextOn_ : TextOff_);
    p.fillRect(knob, pal.color(QPalette::Active, QPalette::Button));
    for (int i = 0; i < 2; ++i) { // bevel two pixels wide
        const QRect b = knob.adjusted(i, i, -1 - i, -1 - i);
        p.setPen(pal.color(QPalette::Active, QPalette::Light));
        p.drawLine(b.topLeft(), b.topRight());
        p.drawLine(b.topLeft(), b.bottomLeft());
        p.setPen(shadow);
        p.drawLine(b.bottomLeft(), b.bottomRight());
        p.drawLine(b.topRight(), b.bottomRight());
    }
    if (hasFocus()) {
        // The keyboard's place: a dotted line round the knob, as on a button.
        QPen dotted(QColor(Qt::black), 1, Qt::DotLine);
        p.setPen(dotted);
        p.drawRect(knob.adjusted(3, 3, -4, -4));
    }
}

} // namespace zx
