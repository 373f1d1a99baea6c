#pragma once

// What a process has cost so far, from /proc: "self" or a child's pid.
#include <fstream>
#include <string>
#include <unistd.h>

namespace zx::test {

// Processor time, user and system, in milliseconds.
inline double CpuMs(const std::string& pid = "self") {
    std::ifstream stat("/proc/" + pid + "/stat");
    std::string field;
    double ticks = 0;
    for (int i = 1; i <= 15 && stat >> field; ++i) {
        ticks += i >= 14 ? std::stod(field) : 0.0; // utime, stime
    }
    return ticks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Resident memory in KiB.
inline long ResidentKiB(const std::string& pid = "self") {
    std::ifstream status("/proc/" + pid + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

} // namespace zx::test
