#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace zx::sim {

// The virtual module's name in the link folder: the link comN to its pseudo-terminal, live for
// as long as the module holds a lock on comN.lock beside it. A module killed with SIGKILL
// leaves both behind; the next module sees the lock free and knows the link is stale.
class LinkClaim {
public:
    // An empty folder means the user's ~/.zentrix/ports.
    LinkClaim(std::filesystem::path folder, int comNumber);
    ~LinkClaim();
    LinkClaim(const LinkClaim&) = delete;
    LinkClaim& operator=(const LinkClaim&) = delete;

    // Makes the missing folders (0700, never touching one that exists), removes the stale
    // links to this very device, and links comN to it. False, with Error(), when it cannot; then
    // nothing it made is left behind.
    bool Claim(const std::string& device);
    // Removes the link (while it still names this module's device) and the lock file.
    void Release();

    const std::filesystem::path& LinkPath() const { return Link_; }
    const std::string& Error() const { return Error_; }
    // The claim failed only because the number belongs to someone else.
    bool Taken() const { return Taken_; }
    // Stale links removed on the way, to be said on standard error.
    const std::vector<std::string>& Notes() const { return Notes_; }

private:
    bool CheckFolder();
    bool MakeFolders();
    bool TakeLock(bool& leftover);
    bool PlaceLink(bool leftover);
    bool Fail(const std::string& message);
    void Undo();

    std::filesystem::path Folder_;
    int ComNumber_;
    std::filesystem::path Link_;
    std::filesystem::path Lock_;
    std::string Device_;
    int LockFd_ = -1;
    bool OwnLink_ = false;
    bool MadeLockFile_ = false;
    std::vector<std::filesystem::path> MadeFolders_;
    std::string Error_;
    bool Taken_ = false;
    std::vector<std::string> Notes_;
};

// Removes every link in the folder that names the device; returns their paths. A pseudo-terminal
// that was free when this module got it can be named only by links that outlived their module.
std::vector<std::filesystem::path> RemoveLinksTo(const std::filesystem::path& folder,
                                                 const std::string& device);

} // namespace zx::sim
