// The system's exclamation beep and message boxes on Windows, as technicians know them there.
#include "UserPrompts.h"

#include <QWidget>

#include <windows.h>

namespace zx {
namespace {

int Ask(QWidget* parent, const QString& caption, const QString& text, UINT type) {
    // A box before the main window is up belongs to no window; over the window, it is the
    // window's, and the window waits for it.
    const HWND owner = parent != nullptr && parent->isVisible()
                           ? reinterpret_cast<HWND>(parent->window()->winId())
                           : nullptr;
    return MessageBoxW(owner, reinterpret_cast<const wchar_t*>(text.utf16()),
                       reinterpret_cast<const wchar_t*>(caption.utf16()), type | MB_TASKMODAL);
}

} // namespace

void SystemUserPrompts::Beep() {
    MessageBeep(MB_ICONEXCLAMATION);
}

void SystemUserPrompts::Information(QWidget* parent, const QString& text) {
    Ask(parent, QStringLiteral("Information"), text, MB_OK | MB_ICONINFORMATION);
}

bool SystemUserPrompts::Confirm(QWidget* parent, const QString& text) {
    return Ask(parent, QStringLiteral("Confirm"), text,
               MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON1) == IDYES;
}

void SystemUserPrompts::Error(QWidget* parent, const QString& text) {
    Ask(parent, QStringLiteral("Error"), text, MB_OK | MB_ICONERROR);
}

} // namespace zx
