#pragma once

#include <functional>

class QObject;

namespace zx {

// Whether the program has a display to start on; where it has none, said on standard error in
// one line. Asked before the toolkit starts, which would otherwise abort.
bool DisplayThere();

// Has the event loop call end when the system asks the program to end (on Linux SIGTERM,
// SIGINT and SIGHUP; on Windows the session's end reaches the window as a close, and a
// console program's Ctrl+C ends it with its handles, the port's among them). A program that
// holds a line closes it there: its lock goes, and the line's settings are given back.
void OnSystemEnd(QObject* context, std::function<void()> end);

// True once the system has asked the program to end, from the moment the signal arrives, before
// the event loop gets to it: a change not yet written to a module is then never written.
bool SystemEndAsked();

} // namespace zx
