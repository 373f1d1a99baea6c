#pragma once

#include <QLabel>

namespace zx {

// Read-only value display: single-line border, white, text centred both ways, fixed size,
// never takes the focus.
class ValueLabel : public QLabel {
    Q_OBJECT
public:
    explicit ValueLabel(QWidget* parent = nullptr);
    void SetFontColor(const QColor& color);
    QColor FontColor() const;
};

} // namespace zx
