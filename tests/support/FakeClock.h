#pragma once

#include "DriverClock.h"

namespace zx::test {

// A driver clock that moves only when the test says so. It starts on a tick boundary.
class FakeClock final : public DriverClock {
public:
    std::chrono::milliseconds Now() const override { return Now_; }
    void WakeAt(std::optional<std::chrono::milliseconds> when) override { Wake_ = when; }
    void Sleep(std::chrono::milliseconds duration) override {
        Slept_ += duration;
        Advance(duration);
    }

    // Moves time forward, waking the driver at each requested wake-up on the way.
    void Advance(std::chrono::milliseconds by) {
        const auto target = Now_ + by;
        while (Wake_ && *Wake_ <= target) {
            Now_ = std::max(Now_, *Wake_);
            Wake_.reset();
            if (OnWake) {
                OnWake();
            }
        }
        Now_ = target;
    }
    void AdvanceTicks(int ticks) { Advance(ticks * TickLength); }

    std::optional<std::chrono::milliseconds> PendingWake() const { return Wake_; }
    std::chrono::milliseconds Slept() const { return Slept_; }

private:
    std::chrono::milliseconds Now_{55 * 1000};
    std::optional<std::chrono::milliseconds> Wake_;
    std::chrono::milliseconds Slept_{0};
};

} // namespace zx::test
