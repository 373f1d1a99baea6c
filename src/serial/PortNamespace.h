#pragma once

#include <filesystem>
#include <string>

namespace zx {

// Where COM numbers point on Linux. COMn is first the link "comN" in the user's link folder
// (~/.zentrix/ports), honoured only when that folder belongs to the user and nobody else can
// write to it; otherwise the built-in table: COM1-16 /dev/ttyS0-15, COM17-32 /dev/ttyUSB0-15,
// COM33-48 /dev/ttyACM0-15. COM49 and COM50 exist only as links.
class PortNamespace {
public:
    static constexpr int HighestComNumber = 50;

    explicit PortNamespace(std::filesystem::path linkFolder);

    // ~/.zentrix/ports of the user running the program (HOME, else the password database).
    static std::filesystem::path UserLinkFolder();
    static PortNamespace ForCurrentUser() { return PortNamespace(UserLinkFolder()); }

    const std::filesystem::path& LinkFolder() const { return LinkFolder_; }
    bool LinkFolderTrusted() const;

    // The device path of COMn, or an empty string when the number has none.
    std::string DevicePath(int comNumber) const;

private:
    std::filesystem::path LinkFolder_;
};

// Whether COMn is present: it opens, or it exists but is busy, locked or not permitted.
// COM0 is never present.
bool PortAvailable(const PortNamespace& ports, int comNumber);

} // namespace zx
