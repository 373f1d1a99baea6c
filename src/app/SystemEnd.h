#pragma once

#include <functional>

class QObject;

namespace zx {

// Whether the program has a display to start on; where it has none, said on standard error in
// one line. Asked before the toolkit starts, which would otherwise abort.
bool DisplayThere();

// Has the event loop call end when the system asks the program to end (on Linux SIGTERM,
// SIGINT and SIGHUP; on Windows the session's end reaches the window as a close).
void OnSystemEnd(QObject* context, std::function<void()> end);

} // namespace zx
