#include "SystemDriverClock.h"

#include <QThread>

namespace zx {

SystemDriverClock::SystemDriverClock(QObject* parent) : QObject(parent) {
    Timer_.setSingleShot(true);
    Timer_.setTimerType(Qt::PreciseTimer);
    connect(&Timer_, &QTimer::timeout, this, [this] {
        if (OnWake) {
            OnWake();
        }
    });
}

std::chrono::milliseconds SystemDriverClock::Now() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
}

void SystemDriverClock::WakeAt(std::optional<std::chrono::milliseconds> when) {
    if (!when) {
        Timer_.stop();
        return;
    }
    // From the precise clock, rounded up: a wake-up is never early, and the truncation of Now()
    // to whole milliseconds adds no lateness.
    const auto left = *when - std::chrono::steady_clock::now().time_since_epoch();
    const auto delay = std::chrono::ceil<std::chrono::milliseconds>(left);
    Timer_.start(std::max(std::chrono::milliseconds(0), delay));
}

void SystemDriverClock::Sleep(std::chrono::milliseconds duration) {
    QThread::msleep(static_cast<unsigned long>(duration.count()));
}

} // namespace zx
