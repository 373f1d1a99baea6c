#pragma once

#include <cstdint>
#include <map>
#include <optional>

namespace zx {

// The port's one-shot timer triggers, counted in ticks. Armed at tick s for n ticks, a trigger
// expires when the tick count becomes greater than s + n, that is at tick s + n + 1.
class TimerTriggers {
public:
    // A fresh, not armed trigger; its handle is non-zero and differs from every live one.
    std::uint16_t Allocate();
    bool Knows(std::uint16_t handle) const { return Expiry_.count(handle) != 0; }
    void Arm(std::uint16_t handle, int ticks, std::int64_t nowTick);
    void Disarm(std::uint16_t handle);
    void ReleaseAll() { Expiry_.clear(); }

    // The earliest tick at which an armed trigger expires.
    std::optional<std::int64_t> NextExpiry() const;

    // Disarms and returns the armed trigger that expired first by nowTick, if any.
    std::optional<std::uint16_t> TakeExpired(std::int64_t nowTick);

private:
    std::map<std::uint16_t, std::optional<std::int64_t>> Expiry_;
    std::uint16_t LastHandle_ = 0;
};

} // namespace zx
