#pragma once

#include "PortNamespace.h"

#include <string>

namespace zx {

// Whether a present port can be had, told without opening it (one file per system).
struct PortState {
    enum class Kind { Free, Busy, NotPermitted };
    Kind What = Kind::Free;
    std::string Holder; // Busy: who holds it, where its lock says ("PID 4242 (minicom, anna)")
};

PortState LookAtPort(const PortNamespace& ports, int comNumber);

} // namespace zx
