#pragma once

#include <QComboBox>
#include <QElapsedTimer>
#include <QString>

namespace zx {

// A drop-down list of entries that end in a number ("COM1", "COM49"). Typed digits pick the
// entry with that number, the digits typed in quick succession read together ("4" then "9" is
// 49); letters search the entries' starts as any list does. A screen reader hears it by its
// label, its value being the entry chosen.
class NumberedList : public QComboBox {
    Q_OBJECT
public:
    explicit NumberedList(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString Typed_;
    QElapsedTimer SinceLastDigit_;
};

} // namespace zx
