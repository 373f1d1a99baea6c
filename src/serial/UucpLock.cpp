#include "UucpLock.h"

#include "ShellQuote.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <pwd.h>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace zx {
namespace {

// Another program may have made its lock and not yet written its PID into it.
constexpr auto EmptyLockGrace = std::chrono::milliseconds(500);

std::string ProgramOf(const UucpLock::Holder& holder) {
    if (!holder.Program.empty()) {
        return holder.Program;
    }
    std::ifstream comm("/proc/" + std::to_string(holder.Pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

std::string Describe(const UucpLock::Holder& holder) {
    const std::string program = ProgramOf(holder);
    std::string text = program.empty() ? "PID " + std::to_string(holder.Pid)
                                       : program + " (PID " + std::to_string(holder.Pid) + ")";
    if (!holder.User.empty()) {
        text += " of the user " + holder.User;
    }
    return text;
}

std::string UserName(uid_t uid) {
    const passwd* user = getpwuid(uid);
    return user != nullptr && user->pw_name != nullptr ? user->pw_name : std::to_string(uid);
}

std::string TypeOf(mode_t mode) {
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    if (S_ISDIR(mode)) {
        return "a directory";
    }
    if (S_ISLNK(mode)) {
        return "a symbolic link";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "a device";
    }
    return "not a plain file";
}

UucpLock::Holder Parse(const char* buffer, std::size_t n) {
    UucpLock::Holder holder;
    const std::string text(buffer, n);
    // Four bytes that are not all digits and blanks are the binary form (a PID below 2^24
    // always has a zero byte).
    if (n == 4 && text.find_first_not_of(" 0123456789\n\t") != std::string::npos) {
        std::int32_t pid = 0;
        std::memcpy(&pid, buffer, sizeof pid);
        holder.Pid = pid > 0 ? pid : 0;
        return holder;
    }
    std::istringstream words(text);
    long pid = 0;
    if (words >> pid && pid > 0 && pid < 0x7FFFFFFF) {
        holder.Pid = static_cast<pid_t>(pid);
        words >> holder.Program >> holder.User;
    }
    return holder;
}

// Reads a lock from an open descriptor, from its start.
UucpLock::Holder ReadHolder(int fd, bool* empty) {
    char buffer[256];
    const ssize_t n = pread(fd, buffer, sizeof buffer - 1, 0);
    *empty = n <= 0;
    return n > 0 ? Parse(buffer, static_cast<std::size_t>(n)) : UucpLock::Holder{};
}

void SayOnce(const std::string& text) {
    static bool said = false;
    if (!said) {
        said = true;
        std::fprintf(stderr, "zentrix: %s\n", text.c_str());
    }
}

// A descriptor closed on every way out of the scope.
struct OpenFile {
    int Fd;
    ~OpenFile() {
        if (Fd >= 0) {
            close(Fd);
        }
    }
};

// The lock names a live process other than this one: it is not ours to touch.
bool HeldByAnother(const UucpLock::Holder& holder) {
    return holder.Pid > 0 && holder.Pid != getpid() && UucpLock::Alive(holder.Pid);
}

std::string Octal(mode_t mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode));
    return text;
}

std::string InUse(const UucpLock::Holder& holder, const std::string& path) {
    return "the port is in use by another program: " + Describe(holder) + " holds its lock " + path;
}

} // namespace

bool UucpLock::Alive(pid_t pid) {
    if (pid <= 0 || (kill(pid, 0) != 0 && errno != EPERM)) {
        return false;
    }
    // A zombie still answers kill(), but its program has ended.
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) {
        return true; // no /proc to ask: kill() has the last word
    }
    const auto close = line.rfind(')');
    const char state =
        close != std::string::npos && close + 2 < line.size() ? line[close + 2] : '?';
    return state != 'Z' && state != 'X' && state != 'x';
}

std::string UucpLock::FileFor(const std::string& device, const std::string& folder) {
    if (folder.empty()) {
        return {};
    }
    std::string name = device.rfind("/dev/", 0) == 0 ? device.substr(5) : device;
    for (char& c : name) {
        c = c == '/' ? '_' : c;
    }
    return folder + "/LCK.." + name;
}

UucpLock::Found UucpLock::Look(const std::string& path) {
    Found found;
    struct stat st = {};
    if (lstat(path.c_str(), &st) != 0) {
        return found; // nothing there (or a folder we cannot search: nothing we could read)
    }
    found.Owner = UserName(st.st_uid);
    found.Mode = st.st_mode & 07777;
    if (!S_ISREG(st.st_mode)) {
        found.What = Found::Kind::NotALock;
        found.Type = TypeOf(st.st_mode);
        return found;
    }
    // Never blocks and never follows: what is opened is checked again, as it may have been
    // swapped since the look.
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT) {
            return Found{};
        }
        found.What = errno == ELOOP ? Found::Kind::NotALock : Found::Kind::Unreadable;
        found.Type = errno == ELOOP ? "a symbolic link" : "";
        return found;
    }
    struct stat opened = {};
    if (fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        close(fd);
        found.What = Found::Kind::NotALock;
        found.Type = TypeOf(opened.st_mode);
        return found;
    }
    found.What = Found::Kind::Lock;
    found.Says = ReadHolder(fd, &found.Empty);
    close(fd);
    return found;
}

void UucpLock::Acquire(const std::string& device, const std::string& folder) {
    Release();
    const std::string path = FileFor(device, folder);
    if (path.empty()) {
        SayOnce("this system has no lock folder (/run/lock): the port is opened without a lock "
                "file, and other programs are not told that it is in use");
        return;
    }
    const auto start = std::chrono::steady_clock::now();
    for (int attempt = 0; attempt < 8; ++attempt) {
        Found found = Look(path);
        switch (found.What) {
        case Found::Kind::NotALock:
            throw UucpLockRefusal("its lock " + path + " is " + found.Type + " of the user " +
                                  found.Owner +
                                  ", not a lock file: no program holds the line that way, and "
                                  "the port is not opened while it stands there");
        case Found::Kind::Unreadable:
            throw UucpLockRefusal("its lock file " + path + " cannot be read (it belongs to " +
                                  found.Owner + ", mode " + Octal(found.Mode) +
                                  "): another program may hold the line. Ask " + found.Owner +
                                  " or the administrator which program it is");
        case Found::Kind::Lock: {
            if (found.Empty && std::chrono::steady_clock::now() - start < EmptyLockGrace) {
                // Made a moment ago by another program that is still writing its PID.
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                --attempt;
                continue;
            }
            if (HeldByAnother(found.Says)) {
                throw UucpLockRefusal(InUse(found.Says, path));
            }
            // Its process has ended, or it names none: stale. Taken over by one taker only.
            const OpenFile stale{
                open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)};
            if (stale.Fd < 0) {
                continue; // gone or swapped meanwhile: look again
            }
            struct stat opened = {};
            struct stat named = {};
            if (flock(stale.Fd, LOCK_EX | LOCK_NB) != 0) {
                throw UucpLockRefusal("the port is being taken by another program at this "
                                      "moment (its lock " +
                                      path + " is being taken over)");
            }
            bool empty = false;
            const Holder now = ReadHolder(stale.Fd, &empty);
            // Under the takeover lock: still the same file at the path, still stale.
            if (fstat(stale.Fd, &opened) != 0 || lstat(path.c_str(), &named) != 0 ||
                opened.st_dev != named.st_dev || opened.st_ino != named.st_ino) {
                continue;
            }
            if (HeldByAnother(now)) {
                throw UucpLockRefusal(InUse(now, path));
            }
            if (unlink(path.c_str()) != 0) {
                const int error = errno;
                if (error == ENOENT) {
                    continue;
                }
                if (error == EACCES || error == EPERM) {
                    const std::string who =
                        now.Pid > 0 ? " (PID " + std::to_string(now.Pid) + ")" : "";
                    throw UucpLockRefusal(
                        "the line is free, but the lock file " + path +
                        (now.Pid > 0 ? " is left behind by a program that has ended" + who
                                     : " names no program") +
                        ", and only its owner (" + found.Owner +
                        ") or root may remove it: sudo rm -- " + ShellQuote(path));
                }
                throw UucpLockRefusal("cannot remove the stale lock file " + path + ": " +
                                      std::strerror(error));
            }
            // The old file stays locked (until this scope ends) while ours is put in place: a
            // taker that opened it late finds another file at the path and looks again.
            if (Make(path, folder)) {
                return;
            }
            continue;
        }
        case Found::Kind::Nothing:
            if (Make(path, folder)) {
                return;
            }
            continue; // another program linked its lock first: look again
        }
    }
    throw UucpLockRefusal("the port is in use by another program (its lock " + path +
                          " keeps changing)");
}

void UucpLock::SweepTemporaries(const std::string& folder) {
    // A run killed between its private name and the link leaves that name behind. Only this
    // user's names are looked at, and only by their name and their node: nothing in them is
    // read or followed, and one whose process may still run is left alone.
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        const std::size_t mark = name.rfind(".zx");
        if (!name.starts_with("LCK..") || mark == std::string::npos) {
            continue;
        }
        // LCK..<device>.zx<pid>.XXXXXX
        const std::string tail = name.substr(mark + 3);
        const std::size_t dot = tail.find('.');
        if (dot == 0 || dot == std::string::npos || tail.size() - dot != 7 ||
            tail.find_first_not_of("0123456789") != dot) {
            continue;
        }
        const long pid = std::strtol(tail.substr(0, dot).c_str(), nullptr, 10);
        const std::string path = folder + "/" + name;
        struct stat st = {};
        if (pid <= 0 || pid == getpid() || lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != geteuid() || Alive(static_cast<pid_t>(pid))) {
            continue;
        }
        unlink(path.c_str());
    }
    closedir(dir);
}

bool UucpLock::Make(const std::string& path, const std::string& folder) {
    SweepTemporaries(folder);
    // Written under a private name no one can guess and linked into place, so that no other
    // program ever reads a half-written lock, and two takers cannot both win. The name carries
    // the PID, so that the next run can tell the leftovers of a killed one.
    std::string temporary = path + ".zx" + std::to_string(getpid()) + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) {
        const int error = errno;
        if (error == EACCES || error == EPERM || error == EROFS) {
            SayOnce("the lock folder " + folder + " is not writable for this user (" +
                    std::strerror(error) +
                    "): the port is opened without a lock file, and other programs are not "
                    "told that it is in use");
            return true;
        }
        throw UucpLockRefusal("no lock file can be made in " + folder + ": " +
                              std::strerror(error));
    }
    char text[16];
    const int length = std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(getpid()));
    const bool written = write(fd, text, static_cast<std::size_t>(length)) == length &&
                         fchmod(fd, 0644) == 0 && fsync(fd) == 0;
    const int writeError = errno;
    close(fd);
    if (!written) {
        unlink(temporary.c_str());
        throw UucpLockRefusal("the lock file " + path +
                              " cannot be written: " + std::strerror(writeError));
    }
    const bool linked = link(temporary.c_str(), path.c_str()) == 0;
    const int linkError = errno;
    unlink(temporary.c_str());
    if (linked) {
        Path_ = path;
        return true;
    }
    if (linkError == EEXIST) {
        return false;
    }
    throw UucpLockRefusal("the lock file " + path + " cannot be made: " + std::strerror(linkError));
}

void UucpLock::Release() {
    if (Path_.empty()) {
        return;
    }
    // Only a lock that still names this process is removed: never another program's.
    const Found found = Look(Path_);
    if (found.What == Found::Kind::Lock && found.Says.Pid == getpid()) {
        unlink(Path_.c_str());
    }
    Path_.clear();
}

} // namespace zx
