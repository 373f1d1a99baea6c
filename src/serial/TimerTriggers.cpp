#include "TimerTriggers.h"

#include <stdexcept>

namespace zx {

std::uint16_t TimerTriggers::Allocate() {
    if (Expiry_.size() >= 0xFFFF) {
        throw std::runtime_error("no free timer trigger");
    }
    do {
        ++LastHandle_;
    } while (LastHandle_ == 0 || Expiry_.count(LastHandle_) != 0);
    Expiry_.emplace(LastHandle_, std::nullopt);
    return LastHandle_;
}

void TimerTriggers::Arm(std::uint16_t handle, int ticks, std::int64_t nowTick) {
    Expiry_.at(handle) = nowTick + ticks + 1;
}

void TimerTriggers::Disarm(std::uint16_t handle) {
    Expiry_.at(handle).reset();
}

std::optional<std::int64_t> TimerTriggers::NextExpiry() const {
    std::optional<std::int64_t> next;
    for (const auto& [handle, expiry] : Expiry_) {
        if (expiry && (!next || *expiry < *next)) {
            next = expiry;
        }
    }
    return next;
}

std::optional<std::uint16_t> TimerTriggers::TakeExpired(std::int64_t nowTick) {
    std::optional<std::uint16_t> first;
    std::int64_t firstExpiry = 0;
    for (const auto& [handle, expiry] : Expiry_) {
        if (expiry && *expiry <= nowTick && (!first || *expiry < firstExpiry)) {
            first = handle;
            firstExpiry = *expiry;
        }
    }
    if (first) {
        Expiry_.at(*first).reset();
    }
    return first;
}

} // namespace zx
