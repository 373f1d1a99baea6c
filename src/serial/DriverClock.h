#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

namespace zx {

// Length of one driver tick: every timer value of the link counts in these.
inline constexpr std::chrono::milliseconds TickLength{55};

// The driver's view of time. Production runs on the monotonic clock and a precise single-shot
// timer; tests substitute a clock they advance by hand, so a 73-tick time-out takes no real
// time.
class DriverClock {
public:
    virtual ~DriverClock() = default;

    // Monotonic milliseconds; the tick count is this divided by 55, rounded down.
    virtual std::chrono::milliseconds Now() const = 0;

    // Asks for one call of OnWake at the given time (replacing any earlier request); nullopt
    // cancels. With nothing requested the driver does not wake up.
    virtual void WakeAt(std::optional<std::chrono::milliseconds> when) = 0;

    // Blocks the calling (user-interface) thread, as the port's settle times require.
    virtual void Sleep(std::chrono::milliseconds duration) = 0;

    std::int64_t Ticks() const { return Now() / TickLength; }

    std::function<void()> OnWake;
};

} // namespace zx
