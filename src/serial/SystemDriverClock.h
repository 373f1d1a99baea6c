#pragma once

#include "DriverClock.h"

#include <QObject>
#include <QTimer>

namespace zx {

// The production clock: steady_clock for the time, one precise single-shot QTimer for the
// next wake-up (a coarse timer may be 5 % late: 200 ms on a 4-second time-out).
class SystemDriverClock final : public QObject, public DriverClock {
    Q_OBJECT
public:
    explicit SystemDriverClock(QObject* parent = nullptr);

    std::chrono::milliseconds Now() const override;
    void WakeAt(std::optional<std::chrono::milliseconds> when) override;
    void Sleep(std::chrono::milliseconds duration) override;

private:
    QTimer Timer_;
};

} // namespace zx
