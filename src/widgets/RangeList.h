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

    // Drops the list down under the box, centred under it.
    void showPopup() override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace zx
