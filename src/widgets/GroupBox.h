#pragma once

#include <QGroupBox>

namespace zx {

// A group frame drawn as the layout expects it: an etched rectangle whose top line runs through
// the middle of the caption, the caption standing on it in the group's background. (Fusion
// draws the caption above the frame instead, and its top line then crosses the first row of
// controls.)
class GroupBox : public QGroupBox {
    Q_OBJECT
public:
    static constexpr int CaptionLeft = 8;

    explicit GroupBox(const QString& caption, QWidget* parent = nullptr);
    // The rectangle the frame's outer lines are drawn on.
    QRect FrameRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A plain holder of other controls (the strip at the top, the lamps' panel).
class Container : public QWidget {
    Q_OBJECT
public:
    explicit Container(QWidget* parent = nullptr);
};

// An etched horizontal line along the top edge of its rectangle.
class Bevel : public QWidget {
    Q_OBJECT
public:
    explicit Bevel(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace zx
