#include "AppIcon.h"

#include <QPainter>
#include <QPolygonF>

namespace zx {

QPixmap AppIconPixmap(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size / 32.0;
    const double cut = 6 * s;
    const double lo = 0.5 * s;
    const double hi = size - 0.5 * s;
    const QPolygonF body({QPointF(lo + cut, lo), QPointF(hi - cut, lo), QPointF(hi, lo + cut),
                          QPointF(hi, hi - cut), QPointF(hi - cut, hi), QPointF(lo + cut, hi),
                          QPointF(lo, hi - cut), QPointF(lo, lo + cut)});
    p.setPen(QPen(Qt::black, std::max(1.0, 1.5 * s)));
    p.setBrush(QColor(255, 255, 0));
    p.drawPolygon(body);
    QFont font(QStringLiteral("Liberation Sans"));
    font.setBold(true);
    font.setPixelSize(static_cast<int>(14 * s));
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(QRectF(3 * s, 5 * s, 12 * s, 16 * s), Qt::AlignCenter, QStringLiteral("V"));
    p.drawText(QRectF(17 * s, 11 * s, 12 * s, 16 * s), Qt::AlignCenter, QStringLiteral("I"));
    p.setPen(QPen(Qt::black, std::max(1.0, 1.6 * s)));
    p.drawLine(QPointF(12 * s, 26 * s), QPointF(20 * s, 6 * s));
    return pixmap;
}

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addPixmap(AppIconPixmap(size));
    }
    return icon;
}

} // namespace zx
