#include "SimProcess.h"

#include "FdWrite.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace zx::test {

std::string SimBinary() {
    return ZX_MODULE_SIM_PATH;
}

SimProcess::SimProcess(std::vector<std::string> arguments, int comNumber,
                       std::filesystem::path folder)
    : Folder_(std::move(folder)) {
    char folderTemplate[] = "/tmp/zx-sim-XXXXXX";
    if (Folder_.empty()) {
        if (mkdtemp(folderTemplate) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        Folder_ = folderTemplate;
        OwnsFolder_ = true;
    }
    arguments.insert(arguments.begin(),
                     {SimBinary(), "--com", comNumber == 0 ? "auto" : std::to_string(comNumber),
                      "--link-folder", Folder_.string()});
    int out[2];
    int err[2];
    if (pipe(out) != 0 || pipe(err) != 0) {
        throw std::runtime_error("pipe failed");
    }
    Pid_ = fork();
    if (Pid_ == 0) {
        dup2(out[1], 1);
        dup2(err[1], 2);
        close(out[0]);
        close(err[0]);
        std::vector<char*> argv;
        for (auto& a : arguments) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    StderrFd_ = err[0];
    fcntl(StderrFd_, F_SETFL, O_NONBLOCK);
    // The first line names the device: "COMn /dev/pts/N link".
    std::string line;
    char c;
    pollfd p{out[0], POLLIN, 0};
    while (line.find('\n') == std::string::npos && poll(&p, 1, 5000) > 0 &&
           read(out[0], &c, 1) == 1) {
        line += c;
    }
    close(out[0]);
    const auto first = line.find(' ');
    const auto second = line.find(' ', first + 1);
    if (first == std::string::npos || second == std::string::npos) {
        throw std::runtime_error("the virtual module did not start: " + line + ErrorOutput());
    }
    Device_ = line.substr(first + 1, second - first - 1);
}

SimProcess::~SimProcess() {
    Stop();
    if (StderrFd_ >= 0) {
        close(StderrFd_);
    }
    std::error_code ec;
    if (OwnsFolder_) {
        std::filesystem::remove_all(Folder_, ec);
    }
}

const std::string& SimProcess::ErrorOutput() {
    char buffer[4096];
    for (ssize_t n; StderrFd_ >= 0 && (n = read(StderrFd_, buffer, sizeof buffer)) > 0;) {
        Stderr_.append(buffer, static_cast<std::size_t>(n));
    }
    return Stderr_;
}

void SimProcess::Kill() {
    if (Pid_ > 0) {
        kill(Pid_, SIGKILL);
        waitpid(Pid_, nullptr, 0);
        Pid_ = -1;
    }
}

bool SimProcess::Running() {
    if (Pid_ <= 0) {
        return false;
    }
    int status = 0;
    if (waitpid(Pid_, &status, WNOHANG) == Pid_) {
        Pid_ = -1;
        return false;
    }
    return true;
}

int SimProcess::Stop() {
    return Stop(SIGTERM);
}

int SimProcess::Stop(int signal) {
    if (Pid_ <= 0) {
        return 0;
    }
    kill(Pid_, signal);
    int status = 0;
    waitpid(Pid_, &status, 0);
    Pid_ = -1;
    return status;
}

void SimProcess::CloseTrace() {
    ErrorOutput();
    close(StderrFd_);
    StderrFd_ = -1;
}

RawLine::RawLine(const std::string& device) {
    Fd_ = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (Fd_ < 0) {
        throw std::runtime_error("cannot open " + device);
    }
    termios t{};
    tcgetattr(Fd_, &t);
    cfmakeraw(&t);
    tcsetattr(Fd_, TCSANOW, &t);
}

RawLine::~RawLine() {
    if (Fd_ >= 0) {
        close(Fd_);
    }
}

void RawLine::Write(const std::vector<std::uint8_t>& bytes) const {
    WriteAll(Fd_, bytes);
}

std::vector<std::uint8_t> RawLine::Read(int waitMs, bool untilEtx) const {
    std::vector<std::uint8_t> out;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            break;
        }
        pollfd p{Fd_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            break;
        }
        if ((p.revents & (POLLHUP | POLLERR)) != 0 && (p.revents & POLLIN) == 0) {
            break;
        }
        std::uint8_t buffer[512];
        const ssize_t n = read(Fd_, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        out.insert(out.end(), buffer, buffer + n);
        if (untilEtx && !out.empty() && out.back() == 0x03) {
            break;
        }
    }
    return out;
}

std::vector<std::uint8_t> RawLine::RequestFrame(const std::vector<std::uint8_t>& frame,
                                                int waitMs) const {
    Write(frame);
    const std::vector<std::uint8_t> bytes = Read(waitMs);
    std::vector<std::uint8_t> body;
    bool inside = false;
    for (std::uint8_t b : bytes) {
        if (!inside) {
            inside = b == 0x02;
        } else if (b == 0x03) {
            return body;
        } else {
            body.push_back(b);
        }
    }
    return {};
}

} // namespace zx::test
