#include "SystemEnd.h"

namespace zx {

bool DisplayThere() {
    return true; // a Windows session always has its desktop
}

void OnSystemEnd(QObject*, std::function<void()>) {
    // The end of the session reaches the window as a close, which closes the port.
}

bool SystemEndAsked() {
    return false; // a console's Ctrl+C ends the program with its handles
}

} // namespace zx
