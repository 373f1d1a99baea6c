// The COM namespace on Windows: COMn is the system's own port \\.\COMn. There is no link folder
// to trust and no table to fall back to; a port is present when the system names it.
#include "PortNamespace.h"

#include <cstdlib>
#include <windows.h>

namespace zx {
namespace fs = std::filesystem;

fs::path UserHome() {
    if (const char* profile = std::getenv("USERPROFILE"); profile != nullptr && *profile != 0) {
        return profile;
    }
    return {};
}

fs::path UserLinkFolder() {
    return {};
}

std::string FolderProblem::Text() const {
    return Folder.string() + " " + Reason + ". Fix: " + Fix;
}

std::optional<FolderProblem> LinkFolderProblem(const fs::path&) {
    return std::nullopt;
}

fs::path SystemLockFolder() {
    return {};
}

PortNamespace::PortNamespace(fs::path linkFolder, fs::path lockFolder, fs::path sysfsRoot)
    : LinkFolder_(std::move(linkFolder)), LockFolder_(std::move(lockFolder)),
      SysfsRoot_(std::move(sysfsRoot)) {}

std::optional<FolderProblem> PortNamespace::TrustProblem() const {
    return std::nullopt;
}

bool PortNamespace::LinkFolderTrusted() const {
    return false;
}

std::string PortNamespace::TableDevice(int comNumber) {
    if (comNumber < 1 || comNumber > HighestComNumber) {
        return {};
    }
    // The device namespace's name works for every number, COM10 and above included.
    return "\\\\.\\COM" + std::to_string(comNumber);
}

std::string PortNamespace::TableText() {
    return "COMn is the system's own port COMn";
}

std::string PortNamespace::DevicePath(int comNumber) const {
    return TableDevice(comNumber);
}

bool IsLineNode(mode_t, dev_t) {
    return false;
}

bool StalePtyLink(const fs::path&) {
    return false;
}

bool PortAvailable(const PortNamespace& ports, int comNumber) {
    if (ports.DevicePath(comNumber).empty()) {
        return false;
    }
    // The system's own list of names, read without opening anything: a port another program
    // holds is listed all the same.
    char target[512];
    const std::string name = "COM" + std::to_string(comNumber);
    return QueryDosDeviceA(name.c_str(), target, sizeof target) != 0;
}

} // namespace zx
