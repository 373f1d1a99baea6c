#pragma once

#include <QPushButton>

namespace zx {

// A flat push button that shows its border while the mouse is over it or it has the focus, so
// that it still reads as a button.
class FlatButton : public QPushButton {
    Q_OBJECT
public:
    explicit FlatButton(const QString& caption, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace zx
