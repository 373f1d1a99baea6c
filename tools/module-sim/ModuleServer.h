#pragma once

#include "Faults.h"
#include "LinkClaim.h"
#include "ModuleModel.h"

#include <chrono>
#include <csignal>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <random>
#include <span>
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
    // Answers waiting for the tool to read are bounded: a real module's UART holds a few bytes,
    // and a tool that never reads must not make this program grow without end. Past this, whole
    // answers are dropped (one answer alone may be longer, so that --noise still works).
    static constexpr std::size_t MaxQueuedBytes = 64 * 1024;
    // The body of an --oversize answer, longer than the tool's 129-byte buffers.
    static constexpr std::size_t OversizeBody = 200;

    ModuleServer(ServerOptions options, ModuleModel& model);
    ~ModuleServer();

    // Opens the pseudo-terminal and creates the link; false (with Error()) when it cannot.
    bool Start();
    // Serves until Stop() is requested (from a signal handler too) or the line is unplugged.
    void Run();
    static void RequestStop();

    const std::string& DevicePath() const { return DevicePath_; }
    const std::filesystem::path& LinkPath() const { return Link_.LinkPath(); }
    const std::string& Error() const { return Error_; }
    bool NumberTaken() const { return Link_.Taken(); }

private:
    using Clock = std::chrono::steady_clock;
    struct Outgoing {
        Clock::time_point Due;
        std::vector<std::uint8_t> Bytes;
    };

    void OnBytes(const std::uint8_t* data, std::size_t size);
    void OnRequest(FrameCodec& in);
    Request AsRead(const Request& change) const;
    void Queue(std::span<const std::uint8_t> frame, std::uint8_t requestCode,
               std::chrono::milliseconds delay);
    void Pump();
    void Unplug();
    void Trace(const std::string& line) const;
    void TraceFrame(const char* direction, std::span<const std::uint8_t> frame, std::uint8_t code);
    double Seconds() const;

    ServerOptions Options_;
    ModuleModel& Model_;
    int Master_ = -1;
    int Slave_ = -1;
    std::string DevicePath_;
    LinkClaim Link_;
    std::string Error_;
    Clock::time_point Start_ = Clock::now();

    // Request collector: waiting for STX, then collecting up to ETX.
    bool Collecting_ = false;
    std::vector<std::uint8_t> Raw_;
    int Requests_ = 0;

    std::deque<Outgoing> Out_;
    std::size_t QueuedBytes_ = 0;
    // The pseudo-terminal took no more: wait until it is writable instead of polling for it.
    bool Blocked_ = false;
    Clock::time_point LineFree_ = Clock::now();
    std::mt19937 Random_{7};
    bool Unplugged_ = false;
    sigset_t WaitMask_{};
};

} // namespace zx::sim
