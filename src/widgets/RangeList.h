#pragma once

#include <QComboBox>

namespace zx {

// A drop-down list the user can only choose from: no typing, text centred, up to 25 rows
// dropped down.
class RangeList : public QComboBox {
    Q_OBJECT
public:
    explicit RangeList(QWidget* parent = nullptr);
    void AddItem(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace zx
