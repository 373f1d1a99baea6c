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
// tell each other that a line is theirs: LCK..<device> in the lock folder (/run/lock). That
// folder is writable by every user, so nothing found there is trusted: a lock is read only when
// it is a regular file, opened without blocking and without following links; one that names a
// live process, or cannot be read, is never deleted or overwritten; one whose process has ended
// is taken over by exactly one taker, however many try at once.
class UucpLock {
public:
    // What a lock file says: the PID, and the program and user where the file names them.
    struct Holder {
        pid_t Pid = 0;
        std::string Program;
        std::string User;
    };

    // What stands at a lock's path.
    struct Found {
        enum class Kind { Nothing, Lock, Unreadable, NotALock };
        Kind What = Kind::Nothing;
        Holder Says;        // Lock: what it says; a PID of 0 when it says nothing readable
        bool Empty = false; // Lock: not a byte in it (yet)
        std::string Type;   // NotALock: "a FIFO", "a directory", "a symbolic link", ...
        std::string Owner;  // the owner's name, or number
        mode_t Mode = 0;
    };

    UucpLock() = default;
    UucpLock(const UucpLock&) = delete;
    UucpLock& operator=(const UucpLock&) = delete;
    ~UucpLock() { Release(); }

    // Takes the lock of the device (its path under /dev) in the lock folder; UucpLockRefusal
    // says who holds it, or why it cannot be had. Where there is no lock folder, or this user
    // may not write in it, there is nothing to take: the port goes on without a lock file, and
    // standard error says so once.
    void Acquire(const std::string& device, const std::string& folder);
    // Removes the lock file if it still names this process.
    void Release();
    const std::string& Path() const { return Path_; }

    static std::string FileFor(const std::string& device, const std::string& folder);
    static Found Look(const std::string& path);
    // Whether a process runs under that PID: a zombie has ended.
    static bool Alive(pid_t pid);
    // Removes this user's private lock names whose process has ended.
    static void SweepTemporaries(const std::string& folder);

private:
    // Links a lock naming this process into place: false when another program's lock got
    // there first; true when it is ours, or when the folder takes no lock of this user's.
    bool Make(const std::string& path, const std::string& folder);

    std::string Path_;
};

} // namespace zx
