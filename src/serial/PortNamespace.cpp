#include "PortNamespace.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zx {

PortNamespace::PortNamespace(std::filesystem::path linkFolder)
    : LinkFolder_(std::move(linkFolder)) {}

std::filesystem::path PortNamespace::UserLinkFolder() {
    std::filesystem::path home;
    if (const char* env = std::getenv("HOME"); env != nullptr && env[0] == '/') {
        home = env;
    } else if (const passwd* pw = getpwuid(geteuid()); pw != nullptr && pw->pw_dir != nullptr) {
        home = pw->pw_dir;
    }
    if (home.empty()) {
        return {};
    }
    return home / ".zentrix" / "ports";
}

bool PortNamespace::LinkFolderTrusted() const {
    if (LinkFolder_.empty()) {
        return false;
    }
    struct stat st {};
    // lstat: a folder that is itself a link could be swapped under us.
    if (lstat(LinkFolder_.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        return false;
    }
    return st.st_uid == geteuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
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
    struct Block {
        int first;
        const char* prefix;
    };
    static constexpr Block Table[] = {{1, "/dev/ttyS"}, {17, "/dev/ttyUSB"}, {33, "/dev/ttyACM"}};
    for (const Block& block : Table) {
        if (comNumber >= block.first && comNumber < block.first + 16) {
            return block.prefix + std::to_string(comNumber - block.first);
        }
    }
    return {};
}

bool PortAvailable(const PortNamespace& ports, int comNumber) {
    if (comNumber == 0) {
        return false;
    }
    const std::string path = ports.DevicePath(comNumber);
    if (path.empty()) {
        return false;
    }
    // Non-blocking: an open must never wait for carrier on a modem line.
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        close(fd);
        return true;
    }
    // Busy (held exclusively) and not permitted both mean the device is there.
    return errno == EBUSY || errno == EACCES || errno == EPERM;
}

} // namespace zx
