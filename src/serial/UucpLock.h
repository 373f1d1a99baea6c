#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <sys/types.h>

namespace zx {

class UucpLockRefusal : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The lock file by which terminal programs (cu, minicom, picocom, ModemManager's neighbours)
// tell each other that a line is theirs: LCK..<device> in /run/lock. A lock that names a live
// process is never deleted or overwritten, whatever form it takes; one whose process has ended
// is taken over.
class UucpLock {
public:
    // What a lock file says: the PID, and the program and user where the file names them.
    struct Holder {
        pid_t Pid = 0;
        std::string Program;
        std::string User;
    };

    UucpLock() = default;
    UucpLock(const UucpLock&) = delete;
    UucpLock& operator=(const UucpLock&) = delete;
    ~UucpLock() { Release(); }

    // Takes the lock of the device (its path under /dev); UucpLockRefusal says who holds it,
    // or why a stale one cannot be removed. Where the system keeps no lock folder, or this user
    // may not write there, there is nothing to take and nothing is raised.
    void Acquire(const std::string& device);
    // Removes the lock file if it still names this process.
    void Release();
    const std::string& Path() const { return Path_; }

    static std::string FileFor(const std::string& device);
    // Reads the ASCII form (the PID in ten characters, perhaps followed by program and user)
    // and the binary form (four bytes); nullopt when there is no such file, a PID of 0 when it
    // says nothing readable.
    static std::optional<Holder> Read(const std::string& path);

private:
    std::string Path_;
};

} // namespace zx
