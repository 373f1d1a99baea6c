#include "PortState.h"

#include "UucpLock.h"

#include <filesystem>
#include <unistd.h>

namespace zx {

PortState LookAtPort(const PortNamespace& ports, int comNumber) {
    const std::string device = ports.DevicePath(comNumber);
    if (::access(device.c_str(), R_OK | W_OK) != 0) {
        return {PortState::Kind::NotPermitted, {}};
    }
    // A program that holds the port names its lock after the device itself, whatever link led
    // it there.
    std::error_code error;
    const std::string real = std::filesystem::canonical(device, error).string();
    const UucpLock::Found found =
        UucpLock::Look(UucpLock::FileFor(error ? device : real, ports.LockFolder().string()));
    using K = UucpLock::Found::Kind;
    if (found.What == K::Unreadable) {
        return {PortState::Kind::Busy, "a lock file that cannot be read, owned by " + found.Owner};
    }
    if (found.What == K::Lock && found.Says.Pid > 0 && UucpLock::Alive(found.Says.Pid)) {
        std::string holder = "PID " + std::to_string(found.Says.Pid);
        if (!found.Says.Program.empty()) {
            holder += " (" + found.Says.Program +
                      (found.Says.User.empty() ? std::string() : ", " + found.Says.User) + ")";
        }
        return {PortState::Kind::Busy, holder};
    }
    return {};
}

} // namespace zx
