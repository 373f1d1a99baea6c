#include "PortNamespace.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

namespace zx {
namespace fs = std::filesystem;
namespace {

// /dev/tty, /dev/console and /dev/ptmx share this major number: aliases, never a line.
constexpr unsigned TtyAuxMajor = 5;

bool IsUnder(const fs::path& path, const fs::path& folder) {
    auto p = path.begin();
    for (auto f = folder.begin(); f != folder.end(); ++f, ++p) {
        if (f->empty()) {
            continue; // the trailing empty element of "/home/ann/"
        }
        if (p == path.end() || *p != *f) {
            return false;
        }
    }
    return true;
}

std::string UserName(uid_t uid) {
    if (const passwd* pw = getpwuid(uid); pw != nullptr && pw->pw_name != nullptr) {
        return pw->pw_name;
    }
    return std::to_string(uid);
}

std::string Mode(mode_t mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

// The folders to examine, from where the walk starts down to the link folder.
std::vector<fs::path> Walk(const fs::path& folder, bool& fromHome) {
    std::error_code ec;
    const fs::path target = fs::absolute(folder, ec).lexically_normal();
    const fs::path home = UserHome().lexically_normal();
    fromHome = !home.empty() && IsUnder(target, home);
    fs::path current = fromHome ? home : target.root_path();
    std::vector<fs::path> folders{current};
    for (const fs::path& part : target.lexically_relative(current)) {
        if (part.empty() || part == ".") {
            continue;
        }
        current /= part;
        folders.push_back(current);
    }
    return folders;
}

} // namespace

fs::path UserHome() {
    if (const char* env = std::getenv("HOME"); env != nullptr && env[0] == '/') {
        struct stat st {};
        if (stat(env, &st) == 0 && S_ISDIR(st.st_mode)) {
            return env;
        }
    }
    if (const passwd* pw = getpwuid(geteuid());
        pw != nullptr && pw->pw_dir != nullptr && pw->pw_dir[0] == '/') {
        return pw->pw_dir;
    }
    return {};
}

fs::path UserLinkFolder() {
    const fs::path home = UserHome();
    return home.empty() ? fs::path() : home / ".zentrix" / "ports";
}

std::string FolderProblem::Text() const {
    return Folder.string() + " " + Reason + ". Fix: " + Fix;
}

std::optional<FolderProblem> LinkFolderProblem(const fs::path& folder) {
    if (folder.empty()) {
        return std::nullopt;
    }
    bool fromHome = false;
    const std::vector<fs::path> folders = Walk(folder, fromHome);
    const uid_t me = geteuid();
    for (std::size_t i = 0; i < folders.size(); ++i) {
        const fs::path& f = folders[i];
        const bool first = i == 0;
        const bool last = i + 1 == folders.size();
        struct stat st {};
        // The start of the walk may be reached through links (a home on another disk); below
        // it a link could be swapped under us, so links are not followed there.
        const int rc = first ? stat(f.c_str(), &st) : lstat(f.c_str(), &st);
        if (rc != 0) {
            if (errno == ENOENT) {
                return std::nullopt; // nothing from here down exists
            }
            return FolderProblem{f, std::string("cannot be examined: ") + std::strerror(errno),
                                 "make it readable to you"};
        }
        if (!S_ISDIR(st.st_mode)) {
            return FolderProblem{
                f, S_ISLNK(st.st_mode) ? "is a symbolic link, not a folder" : "is not a folder",
                "replace it with a folder of your own (mkdir -m 700 " + f.string() + ")"};
        }
        if (st.st_uid != me && st.st_uid != 0) {
            return FolderProblem{f, "belongs to user '" + UserName(st.st_uid) + "'",
                                 "chown " + UserName(me) + " " + f.string() + " (as root)"};
        }
        const bool writableByOthers = (st.st_mode & (S_IWGRP | S_IWOTH)) != 0;
        // Above a folder outside the home, a sticky folder of root's (/tmp) lets nobody else
        // rename or remove what is ours in it.
        const bool stickyAbove = !fromHome && !last && st.st_uid == 0 && (st.st_mode & S_ISVTX);
        if (writableByOthers && !stickyAbove) {
            return FolderProblem{f, "can be written by others (mode " + Mode(st.st_mode) + ")",
                                 (first ? "chmod go-w " : "chmod 700 ") + f.string()};
        }
    }
    return std::nullopt;
}

PortNamespace::PortNamespace(fs::path linkFolder) : LinkFolder_(std::move(linkFolder)) {}

std::optional<FolderProblem> PortNamespace::TrustProblem() const {
    struct stat st {};
    if (LinkFolder_.empty() || lstat(LinkFolder_.c_str(), &st) != 0) {
        return std::nullopt; // no folder, no links to lose
    }
    return LinkFolderProblem(LinkFolder_);
}

bool PortNamespace::LinkFolderTrusted() const {
    struct stat st {};
    return !LinkFolder_.empty() && lstat(LinkFolder_.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           !LinkFolderProblem(LinkFolder_);
}

namespace {
// COM numbers in blocks of 16, one device family each.
struct Block {
    int First;
    const char* Prefix;
};
constexpr Block Table[] = {{1, "/dev/ttyS"}, {17, "/dev/ttyUSB"}, {33, "/dev/ttyACM"}};
constexpr int BlockSize = 16;
} // namespace

std::string PortNamespace::TableDevice(int comNumber) {
    for (const Block& block : Table) {
        if (comNumber >= block.First && comNumber < block.First + BlockSize) {
            return block.Prefix + std::to_string(comNumber - block.First);
        }
    }
    return {};
}

std::string PortNamespace::TableText() {
    std::string text;
    for (const Block& block : Table) {
        text += (text.empty() ? "COM" : ", COM") + std::to_string(block.First) + "-" +
                std::to_string(block.First + BlockSize - 1) + " " + block.Prefix + "0-" +
                std::to_string(BlockSize - 1);
    }
    return text;
}

std::string PortNamespace::DevicePath(int comNumber) const {
    if (comNumber < 1 || comNumber > HighestComNumber) {
        return {};
    }
    if (LinkFolderTrusted()) {
        const auto link = LinkFolder_ / ("com" + std::to_string(comNumber));
        struct stat st {};
        if (lstat(link.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
            return link.string();
        }
    }
    return TableDevice(comNumber);
}

bool IsLineNode(mode_t mode, dev_t device) {
    return S_ISCHR(mode) && major(device) != TtyAuxMajor;
}

bool PortAvailable(const PortNamespace& ports, int comNumber) {
    const std::string path = ports.DevicePath(comNumber);
    struct stat st {};
    // Examined before it is opened: opening the multiplexer would make a new pseudo-terminal,
    // and opening a FIFO would hang the scan.
    if (path.empty() || stat(path.c_str(), &st) != 0 || !IsLineNode(st.st_mode, st.st_rdev)) {
        return false;
    }
    // Non-blocking: an open must never wait for carrier on a modem line.
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        const bool line = isatty(fd) == 1; // /dev/null and the like are no line
        close(fd);
        return line;
    }
    // Busy (held exclusively) and not permitted both mean the line is there.
    return errno == EBUSY || errno == EACCES || errno == EPERM;
}

} // namespace zx
