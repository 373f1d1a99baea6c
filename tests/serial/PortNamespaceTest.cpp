#include "PortNamespace.h"

#include "PtyPair.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace zx::test {
namespace {

namespace fs = std::filesystem;

TEST(PortNamespace, MapsTheBuiltInTable) {
    const PortNamespace ports("/nonexistent/zx-ports");
    EXPECT_EQ(ports.DevicePath(1), "/dev/ttyS0");
    EXPECT_EQ(ports.DevicePath(16), "/dev/ttyS15");
    EXPECT_EQ(ports.DevicePath(17), "/dev/ttyUSB0");
    EXPECT_EQ(ports.DevicePath(32), "/dev/ttyUSB15");
    EXPECT_EQ(ports.DevicePath(33), "/dev/ttyACM0");
    EXPECT_EQ(ports.DevicePath(48), "/dev/ttyACM15");
    EXPECT_EQ(ports.DevicePath(49), "");
    EXPECT_EQ(ports.DevicePath(50), "");
    EXPECT_EQ(ports.DevicePath(0), "");
    EXPECT_EQ(ports.DevicePath(51), "");
}

TEST(PortNamespace, LinksComeFirstOnlyInATrustedFolder) {
    PtyPair pty(12);
    fs::create_symlink(pty.SlavePath(), pty.LinkFolder() / "com49");
    const PortNamespace ports(pty.LinkFolder());
    ASSERT_TRUE(ports.LinkFolderTrusted());
    EXPECT_EQ(ports.DevicePath(12), (pty.LinkFolder() / "com12").string());
    EXPECT_EQ(ports.DevicePath(49), (pty.LinkFolder() / "com49").string());
    EXPECT_EQ(ports.DevicePath(2), "/dev/ttyS1");

    chmod(pty.LinkFolder().c_str(), 0777); // others could plant links
    EXPECT_FALSE(ports.LinkFolderTrusted());
    EXPECT_EQ(ports.DevicePath(12), "/dev/ttyS11");
    chmod(pty.LinkFolder().c_str(), 0700);
    if (geteuid() == 0) {
        ASSERT_EQ(chown(pty.LinkFolder().c_str(), 65534, 65534), 0); // someone else's folder
        EXPECT_FALSE(ports.LinkFolderTrusted());
        ASSERT_EQ(chown(pty.LinkFolder().c_str(), 0, 0), 0);
    }
    EXPECT_TRUE(ports.LinkFolderTrusted());
}

TEST(PortNamespace, AFolderThatIsALinkIsNotTrusted) {
    PtyPair pty(1);
    const fs::path alias = pty.LinkFolder().string() + "-alias";
    fs::create_directory_symlink(pty.LinkFolder(), alias);
    EXPECT_FALSE(PortNamespace(alias).LinkFolderTrusted());
    fs::remove(alias);
}

TEST(PortNamespace, FindsTheUserFolderUnderHome) {
    const char* saved = getenv("HOME");
    setenv("HOME", "/tmp/zx-home", 1);
    EXPECT_EQ(PortNamespace::UserLinkFolder(), fs::path("/tmp/zx-home/.zentrix/ports"));
    unsetenv("HOME");
    EXPECT_FALSE(PortNamespace::UserLinkFolder().empty()) << "falls back to the user database";
    if (saved != nullptr) {
        setenv("HOME", saved, 1);
    }
}

TEST(PortAvailable, ListsPresentPortsOnly) {
    PtyPair pty(3);
    fs::create_symlink("/dev/zx-gone", pty.LinkFolder() / "com4");
    const PortNamespace ports(pty.LinkFolder());
    EXPECT_FALSE(PortAvailable(ports, 0));
    EXPECT_TRUE(PortAvailable(ports, 3));
    EXPECT_FALSE(PortAvailable(ports, 4)) << "a dangling link";
    EXPECT_FALSE(PortAvailable(ports, 49));
    EXPECT_FALSE(PortAvailable(ports, 51));
}

} // namespace
} // namespace zx::test
