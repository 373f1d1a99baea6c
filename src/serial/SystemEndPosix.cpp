#include "SystemEnd.h"

#include <QByteArray>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace zx {
namespace {

int SignalPipe[2] = {-1, -1};
volatile std::sig_atomic_t EndAsked = 0;

void OnSignal(int number) {
    EndAsked = 1;
    const auto byte = static_cast<unsigned char>(number);
    (void)!write(SignalPipe[1], &byte, 1);
}

} // namespace

bool DisplayThere() {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    const bool needsOne =
        platform.isEmpty() || platform.startsWith("xcb") || platform.startsWith("wayland");
    if (needsOne && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fprintf(stderr, "zentrix: no display: run it on a desktop (DISPLAY and "
                             "WAYLAND_DISPLAY are not set)\n");
        return false;
    }
    return true;
}

bool SystemEndAsked() {
    return EndAsked != 0;
}

void OnSystemEnd(QObject* context, std::function<void()> end) {
    // The handler only writes to a pipe; the event loop does the work.
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, SignalPipe) != 0) {
        return;
    }
    auto* notifier = new QSocketNotifier(SignalPipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [end = std::move(end)] {
        unsigned char number = 0;
        (void)!read(SignalPipe[0], &number, 1);
        end();
    });
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    // No SA_RESTART: a call that blocks (whatever it waits for) returns with EINTR, so the
    // event loop gets to the pipe and the program ends.
    action.sa_flags = 0;
    for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
        sigaction(number, &action, nullptr);
    }
}

} // namespace zx
