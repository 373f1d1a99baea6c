#include "PortNamespace.h"

#include "ShellQuote.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
// Virtual consoles (/dev/tty0-63) share their major number with the on-board UARTs, which
// start at minor 64: a console is somebody's screen, never a line.
constexpr unsigned TtyMajor = 4;
constexpr unsigned FirstUartMinor = 64;
// Pseudo-terminal slaves, which sysfs does not list.
constexpr unsigned FirstPtyMajor = 136;
constexpr unsigned LastPtyMajor = 143;

std::string SysfsOf(dev_t device, const std::string& root = "/sys") {
    return root + "/dev/char/" + std::to_string(major(device)) + ":" +
           std::to_string(minor(device));
}

bool Older(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

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
        struct stat st = {};
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
        struct stat st = {};
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
                "replace it with a folder of your own (mkdir -m 700 " + ShellQuote(f.string()) +
                    ")"};
        }
        if (st.st_uid != me && st.st_uid != 0) {
            const std::string owner = UserName(st.st_uid);
            // Root with a user's HOME (sudo -E), or anyone with another's: the folders are
            // that user's, and taking them would take the home from its owner.
            if (fromHome && me == 0) {
                return FolderProblem{f,
                                     "belongs to user '" + owner +
                                         "': the program runs as root with that user's home",
                                     "run it as " + owner + ", not as root"};
            }
            if (fromHome && first) {
                return FolderProblem{f, "is the home of user '" + owner + "', not yours",
                                     "run the program as " + owner + ", or with your own HOME"};
            }
            return FolderProblem{f, "belongs to user '" + owner + "'",
                                 "chown " + ShellQuote(UserName(me)) + " " +
                                     ShellQuote(f.string()) + " (as root)"};
        }
        const bool writableByOthers = (st.st_mode & (S_IWGRP | S_IWOTH)) != 0;
        // Above a folder outside the home, a sticky folder of root's (/tmp) lets nobody else
        // rename or remove what is ours in it.
        const bool stickyAbove = !fromHome && !last && st.st_uid == 0 && (st.st_mode & S_ISVTX);
        if (writableByOthers && !stickyAbove) {
            return FolderProblem{f, "can be written by others (mode " + Mode(st.st_mode) + ")",
                                 (first ? "chmod go-w " : "chmod 700 ") + ShellQuote(f.string())};
        }
    }
    return std::nullopt;
}

fs::path SystemLockFolder() {
    for (const char* folder : {"/run/lock", "/var/lock"}) {
        struct stat st = {};
        if (stat(folder, &st) == 0 && S_ISDIR(st.st_mode)) {
            return folder;
        }
    }
    return {};
}

PortNamespace::PortNamespace(fs::path linkFolder, fs::path lockFolder, fs::path sysfsRoot)
    : LinkFolder_(std::move(linkFolder)), LockFolder_(std::move(lockFolder)),
      SysfsRoot_(std::move(sysfsRoot)) {}

std::optional<FolderProblem> PortNamespace::TrustProblem() const {
    struct stat st = {};
    if (LinkFolder_.empty() || lstat(LinkFolder_.c_str(), &st) != 0) {
        return std::nullopt; // no folder, no links to lose
    }
    return LinkFolderProblem(LinkFolder_);
}

bool PortNamespace::LinkFolderTrusted() const {
    struct stat st = {};
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
        struct stat st = {};
        if (lstat(link.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && !StalePtyLink(link)) {
            return link.string();
        }
    }
    return TableDevice(comNumber);
}

bool StalePtyLink(const fs::path& link) {
    struct stat linkNode = {};
    struct stat target = {};
    std::error_code ec;
    const fs::path device = fs::canonical(link, ec);
    if (ec || lstat(link.c_str(), &linkNode) != 0 || stat(device.c_str(), &target) != 0) {
        return false; // a dangling link names nothing anyway
    }
    // A pseudo-terminal's node is made when it is allocated: a link older than that was made
    // for an earlier pseudo-terminal of the same number (a killed module, a crashed socat), and
    // now leads into somebody's terminal.
    return IsUnder(device, "/dev/pts") && Older(linkNode.st_ctim, target.st_ctim);
}

bool IsLineNode(mode_t mode, dev_t device) {
    if (!S_ISCHR(mode)) {
        return false;
    }
    const unsigned M = major(device);
    if (M == TtyAuxMajor || (M == TtyMajor && minor(device) < FirstUartMinor)) {
        return false;
    }
    if (M >= FirstPtyMajor && M <= LastPtyMajor) {
        return true;
    }
    // The kernel says which class a character device belongs to: a terminal line is a tty,
    // /dev/null and its like are not.
    std::error_code ec;
    const fs::path subsystem = fs::read_symlink(SysfsOf(device) + "/subsystem", ec);
    if (ec) {
        struct stat sysfs = {};
        return stat("/sys/dev/char", &sysfs) != 0; // no sysfs here: the mode is all there is
    }
    return subsystem.filename() == "tty";
}

bool UartPresent(dev_t device, const std::string& sysfs) {
    // An on-board UART's node exists whether or not a UART answers at its address; the serial
    // core says "type 0" (unknown) when none was found.
    std::FILE* file = std::fopen((SysfsOf(device, sysfs) + "/type").c_str(), "r");
    if (file == nullptr) {
        return true; // not a serial-core port (USB, CDC, pseudo-terminal): its node is its line
    }
    int type = -1;
    const bool read = std::fscanf(file, "%d", &type) == 1;
    std::fclose(file);
    return !read || type != 0;
}

bool PortAvailable(const PortNamespace& ports, int comNumber) {
    const std::string path = ports.DevicePath(comNumber);
    struct stat st = {};
    // Decided without opening: opening a line raises DTR and RTS, which resets boards that
    // use DTR as their reset and hangs up modems, on lines the technician never chose. A busy
    // or forbidden line is there all the same.
    return !path.empty() && stat(path.c_str(), &st) == 0 && IsLineNode(st.st_mode, st.st_rdev) &&
           UartPresent(st.st_rdev, ports.SysfsRoot().string());
}

} // namespace zx
