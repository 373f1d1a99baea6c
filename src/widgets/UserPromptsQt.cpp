#include "UserPrompts.h"

#include <QApplication>
#include <QMessageBox>

namespace zx {
namespace {

// Texts of the boxes name paths and edit texts: shown as they are, never as markup.
QMessageBox::StandardButton Ask(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                                const QString& text, QMessageBox::StandardButtons buttons,
                                QMessageBox::StandardButton defaultButton) {
    // A box shown before the main window is up belongs to no window: placed on the hidden
    // window it would stand in a corner of the screen, not in its centre.
    QMessageBox box(icon, caption, text, buttons,
                    parent != nullptr && parent->isVisible() ? parent : nullptr);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace

void SystemUserPrompts::Beep() {
    QApplication::beep();
}

void SystemUserPrompts::Information(QWidget* parent, const QString& text) {
    Ask(parent, QMessageBox::Information, QStringLiteral("Information"), text, QMessageBox::Ok,
        QMessageBox::Ok);
}

bool SystemUserPrompts::Confirm(QWidget* parent, const QString& text) {
    return Ask(parent, QMessageBox::Question, QStringLiteral("Confirm"), text,
               QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) == QMessageBox::Yes;
}

void SystemUserPrompts::Error(QWidget* parent, const QString& text) {
    Ask(parent, QMessageBox::Critical, QStringLiteral("Error"), text, QMessageBox::Ok,
        QMessageBox::Ok);
}

} // namespace zx
