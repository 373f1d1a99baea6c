#include "GroupBox.h"

#include "Accessible.h"

#include <QPainter>

namespace zx {
namespace {

// An etched line pair: the shadow, and the highlight one pixel down and right of it.
void EtchedRect(QPainter& p, const QPalette& palette, const QRect& r) {
    p.setPen(palette.color(QPalette::Light));
    p.drawRect(r.translated(1, 1));
    p.setPen(palette.color(QPalette::Dark));
    p.drawRect(r);
}

} // namespace

GroupBox::GroupBox(const QString& caption, QWidget* parent) : QGroupBox(caption, parent) {}

QRect GroupBox::FrameRect() const {
    const int top = fontMetrics().height() / 2;
    return QRect(0, top, width() - 2, height() - top - 2);
}

void GroupBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    EtchedRect(p, palette(), FrameRect());
    const QFontMetrics metrics = fontMetrics();
    const QRect caption(CaptionLeft, 0, metrics.horizontalAdvance(title()), metrics.height());
    p.fillRect(caption, palette().color(QPalette::Window));
    p.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    p.drawText(caption, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title());
}

Container::Container(QWidget* parent) : QWidget(parent) {
    EnsureAccessibleWidgets();
}

Bevel::Bevel(QWidget* parent) : QWidget(parent) {
    EnsureAccessibleWidgets();
}

void Bevel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(palette().color(QPalette::Dark));
    p.drawLine(0, 0, width() - 1, 0);
    p.setPen(palette().color(QPalette::Light));
    p.drawLine(0, 1, width() - 1, 1);
}

} // namespace zx
