#include "PortNamespace.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <pty.h>
#include <pwd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace zx::test {
namespace {

namespace fs = std::filesystem;

// A private folder under /tmp, removed again; HOME is restored after each test.
class PortNamespaceTest : public ::testing::Test {
protected:
    PortNamespaceTest() {
        char folder[] = "/tmp/zx-ns-XXXXXX";
        Folder = mkdtemp(folder);
        if (const char* home = std::getenv("HOME")) {
            SavedHome = home;
        }
    }
    ~PortNamespaceTest() override {
        setenv("HOME", SavedHome.c_str(), 1);
        std::error_code ec;
        fs::permissions(Folder, fs::perms::owner_all, ec);
        fs::remove_all(Folder, ec);
    }
    // A home with ~/.zentrix/ports, all 0700.
    fs::path MakeHome() {
        const fs::path home = Folder / "home";
        fs::create_directories(home / ".zentrix" / "ports");
        for (const fs::path& f : {home, home / ".zentrix", home / ".zentrix" / "ports"}) {
            chmod(f.c_str(), 0700);
        }
        setenv("HOME", home.c_str(), 1);
        return home;
    }

    fs::path Folder;
    std::string SavedHome;
};

TEST(PortTable, MapsTheBuiltInTable) {
    const PortNamespace ports("/nonexistent/zx-ports");
    const std::pair<int, const char*> rows[] = {{1, "/dev/ttyS0"},
                                                {16, "/dev/ttyS15"},
                                                {17, "/dev/ttyUSB0"},
                                                {32, "/dev/ttyUSB15"},
                                                {33, "/dev/ttyACM0"},
                                                {48, "/dev/ttyACM15"},
                                                {49, ""},
                                                {50, ""},
                                                {0, ""},
                                                {51, ""}};
    for (const auto& [number, device] : rows) {
        EXPECT_EQ(ports.DevicePath(number), device) << "COM" << number;
    }
}

TEST_F(PortNamespaceTest, TheHomeRuleTakesHomeOnlyWhenItNamesAnExistingFolder) {
    const passwd* pw = getpwuid(geteuid());
    ASSERT_NE(pw, nullptr);
    const fs::path database = pw->pw_dir;
    setenv("HOME", Folder.c_str(), 1);
    EXPECT_EQ(UserHome(), Folder);
    EXPECT_EQ(UserLinkFolder(), Folder / ".zentrix" / "ports");
    for (const char* home : {"", "relative/home", "/nonexistent/zx-home"}) {
        setenv("HOME", home, 1);
        EXPECT_EQ(UserHome(), database) << "HOME=" << home;
    }
    unsetenv("HOME");
    EXPECT_EQ(UserHome(), database);
}

TEST_F(PortNamespaceTest, EveryFolderFromTheHomeDownMustBeTheUsers) {
    const fs::path home = MakeHome();
    const fs::path links = home / ".zentrix" / "ports";
    fs::create_symlink("/dev/ttyUSB0", links / "com5");
    close(creat((links / "com6").c_str(), 0600)); // a file, not a link: the table's COM6
    const PortNamespace ports(links);
    ASSERT_TRUE(ports.LinkFolderTrusted());
    EXPECT_EQ(ports.DevicePath(5), (links / "com5").string());
    EXPECT_EQ(ports.DevicePath(6), "/dev/ttyS5");
    setenv("HOME", (home.string() + "/").c_str(), 1);
    EXPECT_TRUE(ports.LinkFolderTrusted()) << "a HOME that ends in /";
    setenv("HOME", home.c_str(), 1);

    // A writable folder anywhere on the way lets a stranger swap the links.
    for (const fs::path& weak : {home, home / ".zentrix", links}) {
        chmod(weak.c_str(), 0777);
        EXPECT_FALSE(ports.LinkFolderTrusted()) << weak;
        EXPECT_EQ(ports.DevicePath(5), "/dev/ttyS4");
        const auto problem = ports.TrustProblem();
        ASSERT_TRUE(problem);
        EXPECT_EQ(problem->Folder, weak);
        EXPECT_EQ(problem->Text(), weak.string() + " can be written by others (mode 0777). Fix: " +
                                       (weak == home ? "chmod go-w " : "chmod 700 ") +
                                       weak.string());
        chmod(weak.c_str(), 0700);
    }
    if (geteuid() == 0) {
        // Root with a user's home (sudo -E): never told to take the home from its owner.
        for (const fs::path& theirs : {home, links}) {
            ASSERT_EQ(chown(theirs.c_str(), 65534, 65534), 0);
            const auto problem = ports.TrustProblem();
            ASSERT_TRUE(problem);
            EXPECT_EQ(problem->Text(), theirs.string() +
                                           " belongs to user 'nobody': the program runs as root "
                                           "with that user's home. Fix: run it as nobody, not as "
                                           "root");
            ASSERT_EQ(chown(theirs.c_str(), 0, 0), 0);
        }
    }
    // A folder on the way that is a link could be swapped under us.
    fs::rename(home / ".zentrix", home / "real");
    fs::create_directory_symlink(home / "real", home / ".zentrix");
    EXPECT_EQ(ports.TrustProblem()->Reason, "is a symbolic link, not a folder");
    // Nothing to say where there is no folder.
    EXPECT_FALSE(PortNamespace(home / "none" / "ports").TrustProblem());
}

TEST_F(PortNamespaceTest, OutsideTheHomeOnlyFoldersAboveMayBeStickyAndPathsAreQuoted) {
    setenv("HOME", (Folder / "elsewhere").c_str(), 1);
    const fs::path shared = Folder / "ann's shared";
    fs::create_directory(shared);
    chmod(Folder.c_str(), 0700);
    chmod(shared.c_str(), 01777); // like /tmp: sticky, and ours (or root's) alone
    const fs::path links = shared / "ports";
    fs::create_directory(links);
    chmod(links.c_str(), 0700);
    EXPECT_TRUE(PortNamespace(links).LinkFolderTrusted()) << "a sticky folder above is fine";
    const auto problem = PortNamespace(shared).TrustProblem();
    ASSERT_TRUE(problem) << "the link folder itself may not be sticky and writable";
    // The fix as given, run by the shell, reaches that very folder.
    EXPECT_EQ(std::system(problem->Fix.c_str()), 0) << problem->Fix;
    EXPECT_EQ(fs::status(shared).permissions(), fs::perms::owner_all);
}

TEST_F(PortNamespaceTest, OnlyTerminalLinesArePorts) {
    int master = -1;
    int slave = -1;
    char name[256] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    chmod(Folder.c_str(), 0700);
    mkfifo((Folder / "fifo").c_str(), 0600);
    close(creat((Folder / "file").c_str(), 0600));
    fs::create_symlink("/dev/null", Folder / "null");
    const std::pair<int, fs::path> links[] = {{1, name},
                                              {2, "/dev/null"},
                                              {3, "/dev/zero"},
                                              {4, Folder / "file"},
                                              {5, Folder / "fifo"},
                                              {6, "/dev/ptmx"},
                                              {7, Folder / "null"}, // a chain to /dev/null
                                              {8, "/dev/zx-gone"},
                                              {9, "/dev/tty"}};
    for (const auto& [number, target] : links) {
        fs::create_symlink(target, Folder / ("com" + std::to_string(number)));
    }
    const PortNamespace ports(Folder);
    EXPECT_TRUE(PortAvailable(ports, 1));
    for (int n = 2; n <= 9; ++n) {
        EXPECT_FALSE(PortAvailable(ports, n)) << "COM" << n;
    }
    EXPECT_FALSE(PortAvailable(ports, 0));
    EXPECT_FALSE(PortAvailable(ports, 49));

    // Listing never opens a line: opening raises DTR, which resets boards and hangs up modems.
    const int watch = inotify_init1(IN_NONBLOCK);
    ASSERT_GE(inotify_add_watch(watch, name, IN_OPEN), 0);
    EXPECT_TRUE(PortAvailable(ports, 1));
    char event[256];
    EXPECT_LT(read(watch, event, sizeof event), 0) << "the line was opened to list it";
    close(watch);

    // A link older than its pseudo-terminal was made for an earlier one of that number.
    fs::create_symlink(name, Folder / "com49");
    EXPECT_TRUE(PortAvailable(ports, 49));
    struct stat link = {};
    lstat((Folder / "com49").c_str(), &link);
    for (struct stat pty{}; stat(name, &pty) == 0 && pty.st_ctim.tv_sec == link.st_ctim.tv_sec &&
                            pty.st_ctim.tv_nsec <= link.st_ctim.tv_nsec;) {
        usleep(2000);
        chmod(name, 0620); // what a new allocation does to the node's change time
    }
    EXPECT_FALSE(PortAvailable(ports, 49));
    EXPECT_EQ(ports.DevicePath(49), "");
    fs::remove(Folder / "com49");
    fs::create_symlink(name, Folder / "com49");
    EXPECT_TRUE(PortAvailable(ports, 49)) << "a link made after its pseudo-terminal is live";

    // A serial-core port with no UART found behind it says type 0 in the kernel's device tree.
    struct stat node = {};
    ASSERT_EQ(stat(name, &node), 0);
    const fs::path sys = Folder / "sys";
    const fs::path entry =
        sys / "dev" / "char" /
        (std::to_string(major(node.st_rdev)) + ":" + std::to_string(minor(node.st_rdev)));
    fs::create_directories(entry);
    for (const auto& [type, present] : {std::pair{"0", false}, {"4", true}}) {
        std::ofstream(entry / "type") << type << "\n";
        EXPECT_EQ(PortAvailable(PortNamespace(Folder, {}, sys), 49), present) << "type " << type;
    }
    close(master);
    close(slave);
}

} // namespace
} // namespace zx::test
