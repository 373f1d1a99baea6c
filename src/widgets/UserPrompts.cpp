#include "UserPrompts.h"

#include <QApplication>
#include <QMessageBox>

namespace zx {

void QtUserPrompts::Beep() {
    QApplication::beep();
}

void QtUserPrompts::Information(QWidget* parent, const QString& text) {
    QMessageBox::information(parent, QStringLiteral("Information"), text);
}

bool QtUserPrompts::Confirm(QWidget* parent, const QString& text) {
    return QMessageBox::question(parent, QStringLiteral("Confirm"), text,
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
}

void QtUserPrompts::Error(QWidget* parent, const QString& text) {
    QMessageBox::critical(parent, QStringLiteral("Error"), text);
}

} // namespace zx
