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

protected:
    // The border keeps the window-frame colour: a red text (a range the switches do not
    // select) must not draw a red box.
    void paintEvent(QPaintEvent* event) override;
};

} // namespace zx
