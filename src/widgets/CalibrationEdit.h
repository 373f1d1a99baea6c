#pragma once

#include "NumberEdit.h"

class QToolButton;

namespace zx {

// A read-only number edit with one embedded button at its right edge. Ctrl+Enter presses it; a
// plain Enter does nothing.
class CalibrationEdit : public NumberEdit {
    Q_OBJECT
public:
    explicit CalibrationEdit(QWidget* parent = nullptr);
    QToolButton* Button() const { return Button_; }

signals:
    void ButtonClicked();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QToolButton* Button_;
};

} // namespace zx
