#include "PtyPair.h"

#include "FdWrite.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace zx::test {

PtyPair::PtyPair(int comNumber) {
    char name[256] = {};
    if (openpty(&Master_, &Slave_, name, nullptr, nullptr) != 0) {
        throw std::runtime_error("openpty failed");
    }
    termios raw{};
    tcgetattr(Slave_, &raw);
    cfmakeraw(&raw);
    tcsetattr(Slave_, TCSANOW, &raw);
    fcntl(Master_, F_SETFL, fcntl(Master_, F_GETFL) | O_NONBLOCK);
    SlavePath_ = name;
    char folderTemplate[] = "/tmp/zx-ports-XXXXXX";
    if (mkdtemp(folderTemplate) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    Folder_ = folderTemplate;
    std::filesystem::create_symlink(SlavePath_, Folder_ / ("com" + std::to_string(comNumber)));
}

PtyPair::~PtyPair() {
    CloseMaster();
    if (Slave_ >= 0) {
        close(Slave_);
    }
    std::error_code ec;
    std::filesystem::remove_all(Folder_, ec);
}

void PtyPair::CloseMaster() {
    if (Master_ >= 0) {
        close(Master_);
        Master_ = -1;
    }
    // The test's own slave descriptor would keep the line alive; an unplugged adapter leaves
    // nothing behind.
    if (Slave_ >= 0) {
        close(Slave_);
        Slave_ = -1;
    }
}

void PtyPair::Write(const std::vector<std::uint8_t>& bytes) const {
    if (!WriteAll(Master_, bytes)) {
        throw std::runtime_error("write to pty master failed");
    }
}

std::vector<std::uint8_t> PtyPair::ReadAvailable(int waitMs) const {
    std::vector<std::uint8_t> out;
    ProcessEventsFor(waitMs);
    std::uint8_t buffer[4096];
    for (;;) {
        const ssize_t n = read(Master_, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        out.insert(out.end(), buffer, buffer + n);
    }
    return out;
}

std::vector<std::uint8_t> PtyPair::ReadExactly(std::size_t count, int timeoutMs) const {
    std::vector<std::uint8_t> out;
    std::uint8_t buffer[4096];
    WaitUntil(
        [&] {
            const ssize_t n = read(Master_, buffer, sizeof buffer);
            if (n > 0) {
                out.insert(out.end(), buffer, buffer + n);
            }
            return out.size() >= count;
        },
        timeoutMs);
    return out;
}

} // namespace zx::test
