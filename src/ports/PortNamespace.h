#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>

namespace zx {

// The user's home: $HOME when it is an absolute path to an existing folder, else the password
// database's entry (which may not exist). Empty when neither names one. The tool and the virtual
// module must agree on it, or the port a module announces is never listed.
std::filesystem::path UserHome();

// ~/.zentrix/ports of the user running the program; empty without a home.
std::filesystem::path UserLinkFolder();

// Where terminal programs keep their line locks: /run/lock, else /var/lock; empty where the
// system has neither (and on Windows, where the system itself keeps a line to one opener).
std::filesystem::path SystemLockFolder();

// Why a link folder cannot be trusted with port links.
struct FolderProblem {
    std::filesystem::path Folder; // the folder that fails
    std::string Reason;           // "can be written by others (mode 0777)"
    std::string Fix;              // "chmod 700 /home/ann/.zentrix"
    std::string Text() const;     // all three in one sentence
};

// A link folder is trusted when every existing folder from the home down to it belongs to the
// user (or root) and nobody else can write to it; for a folder outside the home the walk starts
// at the root, and a folder of root's with the sticky bit (/tmp) may stand above it. Otherwise a
// stranger could plant a link that routes the technician's COM number to another device. Folders
// that do not exist are passed over: there is nothing in them to trust.
std::optional<FolderProblem> LinkFolderProblem(const std::filesystem::path& folder);

// Where COM numbers point on Linux. COMn is first the link "comN" in the link folder, honoured
// only while that folder is trusted; otherwise the built-in table: COM1-16 /dev/ttyS0-15,
// COM17-32 /dev/ttyUSB0-15, COM33-48 /dev/ttyACM0-15. COM49 and COM50 exist only as links.
class PortNamespace {
public:
    static constexpr int HighestComNumber = 50;

    explicit PortNamespace(std::filesystem::path linkFolder,
                           std::filesystem::path lockFolder = SystemLockFolder(),
                           std::filesystem::path sysfsRoot = "/sys");
    static PortNamespace ForCurrentUser() { return PortNamespace(UserLinkFolder()); }

    const std::filesystem::path& LinkFolder() const { return LinkFolder_; }
    // The folder of the lines' lock files (tests give a private one).
    const std::filesystem::path& LockFolder() const { return LockFolder_; }
    // Where the kernel's device tree is read from (tests give a folder of their own).
    const std::filesystem::path& SysfsRoot() const { return SysfsRoot_; }
    // The folder exists and passes the trust check.
    bool LinkFolderTrusted() const;
    // Why the existing link folder is refused; nullopt when it is trusted or absent.
    std::optional<FolderProblem> TrustProblem() const;

    // The device path of COMn, or an empty string when the number has none. A stale link into
    // /dev/pts counts as no link.
    std::string DevicePath(int comNumber) const;
    // The built-in table alone; empty for COM49, COM50 and numbers outside 1..50.
    static std::string TableDevice(int comNumber);
    // The table in words: "COM1-16 /dev/ttyS0-15, COM17-32 ...".
    static std::string TableText();

private:
    std::filesystem::path LinkFolder_;
    std::filesystem::path LockFolder_;
    std::filesystem::path SysfsRoot_;
};

// What is said when the link folder is refused: where, why, the fix, and what COM numbers
// follow until then; empty when it is trusted.
std::string RefusedLinkFolderText(const PortNamespace& ports);

// Whether a device node can be a COM port: a character device that is a terminal line, not one
// of the aliases /dev/tty and /dev/console, the pseudo-terminal multiplexer /dev/ptmx or a
// virtual console.
bool IsLineNode(mode_t mode, dev_t device);

// A link into /dev/pts made before the pseudo-terminal it names: left by a program that has
// ended, it now leads to whoever got that pseudo-terminal next.
bool StalePtyLink(const std::filesystem::path& link);

// Whether COMn is present: a terminal line that exists, free, busy or forbidden, and for an
// on-board UART one the kernel found. Decided without opening anything. Links to anything else
// (/dev/null, a file, a FIFO) are not ports. COM0 never is.
bool PortAvailable(const PortNamespace& ports, int comNumber);

} // namespace zx
