// The records' system side on POSIX: the user and machine, the data folder, and an append that
// leaves whole lines only.
#include "RecordBook.h"

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

bool AppendWholeLine(const std::filesystem::path& file, const std::string& line,
                     std::string& problem) {
    const Descriptor d{
        ::open(file.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644)};
    if (d.Fd < 0) {
        problem = Reason("cannot open", file);
        return false;
    }
    struct stat st = {};
    if (::fstat(d.Fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        problem = "not a regular file: " + file.string();
        return false;
    }
    // Writers of both programs append to the same month: one at a time.
    while (::flock(d.Fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            problem = Reason("cannot lock", file);
            return false;
        }
    }
    ::fstat(d.Fd, &st);
    off_t size = st.st_size;
    if (const off_t whole = WholeLinesEnd(d.Fd, size); whole != size) {
        if (::ftruncate(d.Fd, whole) == 0) {
            size = whole; // a writer died in the middle of its line
        }
    }
    const std::string text = line + '\n';
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
