#pragma once

#include <QLineEdit>
#include <QSpinBox>

namespace zx {

// DAC code spin edit: 0..65535, arrows and buttons step 1, page keys 100. Its value-changed
// signal fires for every change, the program's included; the text may be empty while the user
// edits it.
class CodeSpinEdit : public QSpinBox {
    Q_OBJECT
public:
    static constexpr int LargeStep = 100;

    explicit CodeSpinEdit(QWidget* parent = nullptr);
    bool IsEmpty() const;
    QLineEdit* Editor() const { return lineEdit(); }

signals:
    void Exit(); // lost the focus; raised before the text is tidied up

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};

} // namespace zx
