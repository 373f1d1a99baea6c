#pragma once

#include <QWidget>

namespace zx {

// A square lamp: lit green, unlit button face, with a one-pixel raised edge.
class Lamp : public QWidget {
    Q_OBJECT
public:
    explicit Lamp(QWidget* parent = nullptr);
    bool Lit() const { return Lit_; }
    void SetLit(bool lit);
    QColor LitColor() const { return QColor(0, 128, 0); }
    QColor NotLitColor() const { return palette().color(QPalette::Button); }
    QColor CurrentColor() const { return Lit_ ? LitColor() : NotLitColor(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool Lit_ = false;
};

} // namespace zx
