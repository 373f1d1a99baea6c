#pragma once

#include <QWidget>

namespace zx {

// A filled rectangle or circle with a one-pixel black outline.
class Shape : public QWidget {
    Q_OBJECT
public:
    enum class Kind { Rectangle, Circle };

    Shape(Kind kind, const QColor& fill, QWidget* parent = nullptr);
    Kind ShapeKind() const { return Kind_; }
    QColor Fill() const { return Fill_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Kind Kind_;
    QColor Fill_;
};

} // namespace zx
