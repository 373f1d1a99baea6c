#include "UucpLock.h"

#include "ShellQuote.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace zx {
namespace {

bool Alive(pid_t pid) {
    return kill(pid, 0) == 0 || errno == EPERM;
}

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

std::string LockFolder() {
    for (const char* folder : {"/run/lock", "/var/lock"}) {
        struct stat st = {};
        if (stat(folder, &st) == 0 && S_ISDIR(st.st_mode)) {
            return folder;
        }
    }
    return {};
}

} // namespace

std::string UucpLock::FileFor(const std::string& device) {
    std::string name = device.rfind("/dev/", 0) == 0 ? device.substr(5) : device;
    for (char& c : name) {
        c = c == '/' ? '_' : c;
    }
    const std::string folder = LockFolder();
    return folder.empty() ? std::string() : folder + "/LCK.." + name;
}

std::optional<UucpLock::Holder> UucpLock::Read(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        if (errno == ENOENT) {
            return std::nullopt;
        }
        return Holder{}; // there, but unreadable: it names nobody we can see
    }
    char buffer[256];
    const ssize_t n = read(fd, buffer, sizeof buffer - 1);
    close(fd);
    Holder holder;
    if (n <= 0) {
        return holder;
    }
    const std::string text(buffer, static_cast<std::size_t>(n));
    // Four bytes that are not all digits and blanks are the binary form (a PID below 2^24
    // always has a zero byte).
    if (n == 4 && text.find_first_not_of(" 0123456789\n\t") != std::string::npos) {
        std::int32_t pid = 0;
        std::memcpy(&pid, buffer, sizeof pid);
        holder.Pid = pid;
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

void UucpLock::Acquire(const std::string& device) {
    Release();
    const std::string path = FileFor(device);
    if (path.empty()) {
        return;
    }
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (const auto holder = Read(path)) {
            if (holder->Pid > 0 && holder->Pid != getpid() && Alive(holder->Pid)) {
                throw UucpLockRefusal("the port is in use by another program: " +
                                      Describe(*holder) + " holds its lock " + path);
            }
            // Its process has ended (or it names none): the lock is stale and is taken over.
            if (unlink(path.c_str()) != 0 && errno != ENOENT) {
                if (errno == EACCES || errno == EPERM) {
                    const std::string who =
                        holder->Pid > 0 ? " (PID " + std::to_string(holder->Pid) + ")" : "";
                    throw UucpLockRefusal(
                        "the line is free, but the lock file " + path +
                        " is left behind by a program that has ended" + who +
                        ", and only its owner or root may remove it: sudo rm -- " +
                        ShellQuote(path));
                }
                throw UucpLockRefusal("cannot remove the stale lock file " + path + ": " +
                                      std::strerror(errno));
            }
        }
        // Written under a private name and linked into place, so that no other program ever
        // reads a half-written lock, and two takers cannot both win.
        const std::string temporary = path + ".zx" + std::to_string(getpid());
        const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            return; // this user may not write locks here: nothing to take
        }
        char text[16];
        const int length = std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(getpid()));
        const bool written = write(fd, text, static_cast<std::size_t>(length)) == length;
        fchmod(fd, 0644);
        close(fd);
        const bool linked = written && link(temporary.c_str(), path.c_str()) == 0;
        const int error = errno;
        unlink(temporary.c_str());
        if (linked) {
            Path_ = path;
            return;
        }
        if (!written || error != EEXIST) {
            return;
        }
        // Another program took it between our look and our link: look again.
    }
    throw UucpLockRefusal("the port is in use by another program (its lock " + path +
                          " keeps changing)");
}

void UucpLock::Release() {
    if (Path_.empty()) {
        return;
    }
    // Only a lock that still names this process is removed: never another program's.
    if (const auto holder = Read(Path_); holder && holder->Pid == getpid()) {
        unlink(Path_.c_str());
    }
    Path_.clear();
}

} // namespace zx
