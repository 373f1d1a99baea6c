#pragma once

#include "Faults.h"
#include "ModuleModel.h"

#include <chrono>
#include <csignal>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace zx::sim {

struct ServerOptions {
    int ComNumber = 1;
    std::filesystem::path LinkFolder; // empty: ~/.zentrix/ports
    bool Fast = false;                // no processing delay, no line pacing
    int DelayMs = 5;                  // processing delay before an answer leaves
    bool Trace = true;
    sim::Faults Faults;
};

// Serves the module protocol on a pseudo-terminal and names it COMn with a link.
class ModuleServer {
public:
    ModuleServer(ServerOptions options, ModuleModel& model);
    ~ModuleServer();

    // Opens the pseudo-terminal and creates the link; false (with Error()) when it cannot.
    bool Start();
    // Serves until Stop() is requested (from a signal handler too) or the line is unplugged.
    void Run();
    static void RequestStop();

    const std::string& DevicePath() const { return DevicePath_; }
    const std::filesystem::path& LinkPath() const { return LinkPath_; }
    const std::string& Error() const { return Error_; }

private:
    using Clock = std::chrono::steady_clock;
    struct Outgoing {
        Clock::time_point Due;
        std::vector<std::uint8_t> Bytes;
    };

    void OnBytes(const std::uint8_t* data, std::size_t size);
    void OnRequest(const Body& body);
    void Queue(Body body, std::uint8_t requestCode, std::chrono::milliseconds delay);
    void Pump();
    void Unplug();
    void RemoveLink();
    void TraceFrame(const char* direction, const std::vector<std::uint8_t>& frame,
                    std::uint8_t code);
    double Seconds() const;

    ServerOptions Options_;
    ModuleModel& Model_;
    int Master_ = -1;
    int Slave_ = -1;
    std::string DevicePath_;
    std::filesystem::path LinkPath_;
    bool OwnLink_ = false;
    std::string Error_;
    Clock::time_point Start_ = Clock::now();

    // Request collector: waiting for STX, then collecting up to ETX.
    bool Collecting_ = false;
    std::vector<std::uint8_t> Raw_;
    int Requests_ = 0;

    std::deque<Outgoing> Out_;
    Clock::time_point LineFree_ = Clock::now();
    std::mt19937 Random_{7};
    bool Unplugged_ = false;
    sigset_t WaitMask_{};
};

} // namespace zx::sim
