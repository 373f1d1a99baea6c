#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace zx::test {

// The virtual module as a child process owned by a test, registered as COMn (COM number 0:
// --com auto) in a private link folder (or in the given one, which it then leaves). Stopped with
// SIGTERM when the object goes.
class SimProcess {
public:
    explicit SimProcess(std::vector<std::string> arguments = {"--fast"}, int comNumber = 1,
                        std::filesystem::path folder = {});
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    const std::filesystem::path& LinkFolder() const { return Folder_; }
    const std::string& DevicePath() const { return Device_; }
    const std::string& ErrorOutput();
    // Sends SIGTERM and waits; returns the exit status.
    int Stop();
    // Its reader of the trace goes away, as "| head -1" would.
    void CloseTrace();
    // Sends the signal and waits; returns the exit status.
    int Stop(int signal);
    // Ends it as SIGKILL would, leaving its link and lock behind.
    void Kill();
    bool Running();
    int Pid() const { return Pid_; }

private:
    std::filesystem::path Folder_;
    std::string Device_;
    std::string Stderr_;
    int StderrFd_ = -1;
    int Pid_ = -1;
    bool OwnsFolder_ = false;
};

// A plain raw client of the device, to talk to the module without the tool.
class RawLine {
public:
    explicit RawLine(const std::string& device);
    ~RawLine();
    void Write(const std::vector<std::uint8_t>& bytes) const;
    // Bytes that arrived within the wait (stops early after an ETX when untilEtx is set).
    std::vector<std::uint8_t> Read(int waitMs, bool untilEtx = true) const;
    // The body of the next frame (between STX and ETX), empty optional when none came.
    std::vector<std::uint8_t> RequestFrame(const std::vector<std::uint8_t>& frame,
                                           int waitMs = 2000) const;
    int Fd() const { return Fd_; }

private:
    int Fd_ = -1;
};

std::string SimBinary();

} // namespace zx::test
