#pragma once

#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <unistd.h>
#include <vector>

namespace zx::test {

// Writes every byte to a (non-blocking) descriptor, waiting while it is full; false when the
// descriptor fails.
inline bool WriteAll(int fd, const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        } else {
            pollfd p{fd, POLLOUT, 0};
            poll(&p, 1, 10);
        }
    }
    return true;
}

} // namespace zx::test
