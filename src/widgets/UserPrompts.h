#pragma once

#include <QString>

class QWidget;

namespace zx {

// The system's exclamation beep and the modal message boxes, behind one interface so that tests
// can answer the boxes and count the beeps.
class UserPrompts {
public:
    virtual ~UserPrompts() = default;
    virtual void Beep() = 0;
    // "Information" caption, information icon, OK.
    virtual void Information(QWidget* parent, const QString& text) = 0;
    // "Confirm" caption, question icon, Yes and No; true for Yes.
    virtual bool Confirm(QWidget* parent, const QString& text) = 0;
    // "Error" caption, error icon, OK.
    virtual void Error(QWidget* parent, const QString& text) = 0;
};

// The production prompts, one file per system: on Linux QApplication::beep and QMessageBox; on
// Windows the system's own MessageBeep and message boxes.
class SystemUserPrompts final : public UserPrompts {
public:
    void Beep() override;
    void Information(QWidget* parent, const QString& text) override;
    bool Confirm(QWidget* parent, const QString& text) override;
    void Error(QWidget* parent, const QString& text) override;
};

} // namespace zx
