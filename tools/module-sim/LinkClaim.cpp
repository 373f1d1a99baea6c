#include "LinkClaim.h"

#include "PortNamespace.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zx::sim {
namespace fs = std::filesystem;
namespace {

std::string Reason() {
    return std::strerror(errno);
}

} // namespace

LinkClaim::LinkClaim(fs::path folder, int comNumber)
    : Folder_(std::move(folder)), ComNumber_(comNumber) {}

LinkClaim::~LinkClaim() {
    Release();
}

bool LinkClaim::Fail(const std::string& message) {
    Error_ = message;
    Undo();
    return false;
}

bool LinkClaim::Claim(const std::string& device) {
    Device_ = device;
    bool leftover = false;
    return CheckFolder() && MakeFolders() && TakeLock(leftover) && PlaceLink(leftover);
}

bool LinkClaim::CheckFolder() {
    if (Folder_.empty()) {
        // The home rule the tool uses, so that the tool lists the port this module announces.
        const fs::path home = UserHome();
        if (home.empty()) {
            return Fail("no home folder: HOME names no existing folder and the user database "
                        "has no entry; choose a folder with --link-folder");
        }
        struct stat st = {};
        if (stat(home.c_str(), &st) != 0) {
            // A home is the system's to make, never this program's.
            return Fail("cannot use the home folder " + home.string() + ": " + Reason());
        }
        Folder_ = home / ".zentrix" / "ports";
    }
    std::error_code ec;
    Folder_ = fs::absolute(Folder_, ec).lexically_normal();
    const std::string name = "com" + std::to_string(ComNumber_);
    Link_ = Folder_ / name;
    Lock_ = Folder_ / (name + ".lock");
    if (const auto problem = LinkFolderProblem(Folder_)) {
        return Fail("the tool would not trust the link folder " + Folder_.string() + ": " +
                    problem->Text());
    }
    return true;
}

bool LinkClaim::MakeFolders() {
    fs::path current;
    for (const fs::path& part : Folder_) {
        current /= part;
        struct stat st = {};
        if (stat(current.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode)) {
                return Fail("cannot use " + current.string() + ": it is not a folder");
            }
            continue; // a folder that exists keeps its mode
        }
        if (errno != ENOENT) {
            return Fail("cannot use " + current.string() + ": " + Reason());
        }
        // Only its owner may write links the tool will trust.
        if (mkdir(current.c_str(), 0700) != 0) {
            return Fail("cannot create the folder " + current.string() + ": " + Reason());
        }
        MadeFolders_.push_back(current);
    }
    return true;
}

bool LinkClaim::TakeLock(bool& leftover) {
    LockFd_ = open(Lock_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    MadeLockFile_ = LockFd_ >= 0;
    leftover = !MadeLockFile_ && errno == EEXIST;
    if (leftover) {
        LockFd_ = open(Lock_.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    }
    if (LockFd_ < 0) {
        return Fail("cannot create " + Lock_.string() + ": " + Reason());
    }
    if (flock(LockFd_, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) {
            Taken_ = true;
            return Fail("COM" + std::to_string(ComNumber_) + " is taken: " + Link_.string() +
                        " belongs to a virtual module that is running (it holds " + Lock_.string() +
                        "). Stop it or choose another number with --com.");
        }
        return Fail("cannot lock " + Lock_.string() + ": " + Reason());
    }
    return true;
}

bool LinkClaim::PlaceLink(bool leftover) {
    for (const fs::path& stale : RemoveLinksTo(Folder_, Device_)) {
        Notes_.push_back("removed the stale link " + stale.string() + " to " + Device_);
    }
    struct stat st = {};
    if (lstat(Link_.c_str(), &st) == 0) {
        std::error_code ec;
        const bool link = S_ISLNK(st.st_mode);
        const fs::path target = link ? fs::read_symlink(Link_, ec) : fs::path();
        // A module's link into a pseudo-terminal is stale once its lock is free (the lock file
        // was left behind) or its pseudo-terminal is gone; a link of anyone else stays.
        const bool intoPts = link && target.string().rfind("/dev/pts/", 0) == 0;
        const bool stale = intoPts && (leftover || !fs::exists(target, ec));
        if (!stale) {
            Taken_ = true;
            return Fail("COM" + std::to_string(ComNumber_) + " is taken: " + Link_.string() +
                        (link ? " points to " + target.string() : " exists") +
                        ". Remove it or choose another number with --com.");
        }
        if (unlink(Link_.c_str()) != 0) {
            return Fail("cannot remove the stale link " + Link_.string() + ": " + Reason());
        }
        Notes_.push_back("replaced the stale link " + Link_.string() + " to " + target.string());
    }
    if (symlink(Device_.c_str(), Link_.c_str()) != 0) {
        return Fail("cannot create " + Link_.string() + ": " + Reason());
    }
    OwnLink_ = true;
    return true;
}

void LinkClaim::Undo() {
    if (LockFd_ >= 0) {
        if (MadeLockFile_) {
            unlink(Lock_.c_str());
        }
        close(LockFd_);
        LockFd_ = -1;
    }
    for (auto it = MadeFolders_.rbegin(); it != MadeFolders_.rend(); ++it) {
        rmdir(it->c_str());
    }
    MadeFolders_.clear();
}

void LinkClaim::Release() {
    std::error_code ec;
    // Removed only while it still names this module's device: someone may have relinked it.
    if (OwnLink_ && fs::read_symlink(Link_, ec) == Device_) {
        fs::remove(Link_, ec);
    }
    OwnLink_ = false;
    if (LockFd_ >= 0) {
        unlink(Lock_.c_str());
        close(LockFd_);
        LockFd_ = -1;
    }
}

std::vector<fs::path> RemoveLinksTo(const fs::path& folder, const std::string& device) {
    std::vector<fs::path> removed;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
        std::error_code linkError;
        if (entry.is_symlink(linkError) && fs::read_symlink(entry.path(), linkError) == device &&
            fs::remove(entry.path(), linkError)) {
            removed.push_back(entry.path());
        }
    }
    return removed;
}

} // namespace zx::sim
