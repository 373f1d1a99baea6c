// The records' system side on POSIX: the user and machine, the data folder, and an append that
// leaves whole lines only.
#include "RecordBook.h"

#include "Json.h"
#include "RecordReader.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zx {
namespace {

struct Descriptor {
    int Fd;
    ~Descriptor() {
        if (Fd >= 0) {
            ::close(Fd);
        }
    }
};

std::string Reason(const char* what, const std::filesystem::path& file) {
    return std::string(what) + " " + file.string() + ": " + std::strerror(errno);
}

// The length of the file up to and with its last newline.
off_t WholeLinesEnd(int fd, off_t size) {
    char block[4096];
    off_t end = size;
    while (end > 0) {
        const off_t start = std::max<off_t>(0, end - static_cast<off_t>(sizeof block));
        const ssize_t n = ::pread(fd, block, static_cast<std::size_t>(end - start), start);
        if (n <= 0) {
            return size; // unreadable: leave the file as it is
        }
        for (ssize_t i = n; i > 0; --i) {
            if (block[i - 1] == '\n') {
                return start + i;
            }
        }
        end = start;
    }
    return 0;
}

std::string Untrusted(const char* what, const std::filesystem::path& path, const struct stat& st) {
    if (st.st_uid != ::geteuid()) {
        const passwd* pw = ::getpwuid(st.st_uid);
        return "the records " + std::string(what) + " " + path.string() + " belongs to " +
               (pw != nullptr ? std::string(pw->pw_name) : "uid " + std::to_string(st.st_uid)) +
               ", not to this user: refused";
    }
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return "the records " + std::string(what) + " " + path.string() +
               " can be written by others: refused (chmod go-w it)";
    }
    return {};
}

// The records folder, or a month's file, as it stands (never followed): of its kind, and this
// user's alone.
std::string NodeProblem(const std::filesystem::path& path, bool folder) {
    struct stat st = {};
    if (::lstat(path.c_str(), &st) != 0) {
        return Reason(folder ? "cannot read the records folder" : "cannot read", path);
    }
    if (folder ? !S_ISDIR(st.st_mode) : !S_ISREG(st.st_mode)) {
        return path.string() + (folder ? " is not a folder" : " is not a regular file") +
               ": refused";
    }
    return Untrusted(folder ? "folder" : "file", path, st);
}

// The bytes of a line cut short go beside the month's file, never away.
bool KeepAside(const std::filesystem::path& file, const std::string& tail) {
    const std::string aside = file.string() + ".cut";
    const Descriptor d{
        ::open(aside.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600)};
    const std::string text = tail + '\n';
    return d.Fd >= 0 &&
           ::write(d.Fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

} // namespace

std::string SystemUserName() {
    if (const passwd* pw = ::getpwuid(::geteuid()); pw != nullptr && pw->pw_name != nullptr) {
        return pw->pw_name;
    }
    return "uid " + std::to_string(::geteuid());
}

std::string SystemMachineName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) {
        return "unknown";
    }
    return name;
}

std::filesystem::path SystemDataFolder() {
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && data[0] == '/') {
        return data;
    }
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
        const passwd* pw = ::getpwuid(::geteuid());
        home = pw != nullptr ? pw->pw_dir : "/";
    }
    return std::filesystem::path(home) / ".local" / "share";
}

std::string RecordsFolderProblem(const std::filesystem::path& folder, bool make) {
    // Made private; taken only where it is this user's alone: another user's folder, or one
    // others can write in, could take the records or swap a month's file under them.
    if (make) {
        std::error_code error;
        const std::filesystem::path parent = folder.parent_path();
        if (!std::filesystem::exists(parent, error)) {
            std::filesystem::create_directories(parent, error);
            if (error) {
                return "cannot make the records folder " + folder.string() + ": " + error.message();
            }
        }
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
            return Reason("cannot make the records folder", folder);
        }
    }
    return NodeProblem(folder, true);
}

std::string RecordsFileProblem(const std::filesystem::path& file) {
    return NodeProblem(file, false);
}

bool AppendWholeLine(const std::filesystem::path& file, const std::string& line,
                     std::chrono::steady_clock::time_point deadline,
                     const std::atomic<bool>& giveUp, std::string& problem) {
    const Descriptor d{::open(
        file.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600)};
    if (d.Fd < 0) {
        problem = Reason("cannot open", file);
        return false;
    }
    struct stat st = {};
    if (::fstat(d.Fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        problem = "not a regular file: " + file.string();
        return false;
    }
    if (problem = Untrusted("file", file, st); !problem.empty()) {
        return false;
    }
    // Writers of both programs append to the same month, one at a time; a writer that holds
    // the lock for ever is waited for only so long.
    while (::flock(d.Fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            problem = Reason("cannot lock", file);
            return false;
        }
        if (giveUp || std::chrono::steady_clock::now() >= deadline) {
            problem = "another program holds the lock of " + file.string();
            return false;
        }
        ::usleep(10000);
    }
    ::fstat(d.Fd, &st);
    off_t size = st.st_size;
    std::string text = line + '\n';
    if (const off_t whole = WholeLinesEnd(d.Fd, size); whole != size) {
        std::string tail(static_cast<std::size_t>(size - whole), '\0');
        const bool read =
            ::pread(d.Fd, tail.data(), tail.size(), whole) == static_cast<ssize_t>(tail.size());
        if (read && tail.starts_with('{') && Json::accept(tail)) {
            text.insert(0, "\n"); // a whole record that only lacks its newline is kept
        } else if (KeepAside(file, tail) && ::ftruncate(d.Fd, whole) == 0) {
            size = whole; // a writer died in the middle of its line: its part is kept aside
        }
    }
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(d.Fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            problem = Reason("cannot write", file);
            // A full disk took part of the line: the part goes, the lines before stay.
            if (::ftruncate(d.Fd, size) != 0) {
                problem += " (a part of the line may remain; it is never read)";
            }
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fdatasync(d.Fd) != 0 && errno != EINVAL) {
        problem = Reason("cannot write", file);
        return false;
    }
    return true;
}

} // namespace zx
