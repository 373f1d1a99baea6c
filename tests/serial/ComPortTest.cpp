#include "ProcessCost.h"
#include "SerialFixture.h"
#include "UucpLock.h"

#include <QSignalSpy>

#include <csignal>
#include <cstdarg>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <thread>
#include <tuple>

#include <dlfcn.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

// The modem-line requests the driver makes, seen by wrapping ioctl in this test binary: a
// pseudo-terminal has no modem lines to read back.
namespace {
std::vector<std::pair<unsigned long, int>> ModemRequests;
} // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept {
    va_list args;
    va_start(args, request);
    void* argument = va_arg(args, void*);
    va_end(args);
    using Real = int (*)(int, unsigned long, ...);
    static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "ioctl"));
    if (request == TIOCMBIS || request == TIOCMBIC) {
        ModemRequests.emplace_back(request, *static_cast<int*>(argument));
    }
    return real(fd, request, argument);
}

namespace zx::test {
namespace {

using Bytes = std::vector<quint8>;

class ComPortOnPty : public SerialFixture {
protected:
    // What opening COM1 says to the user nobody, with the device given that group and mode.
    std::string OpenAsNobody(gid_t group, mode_t mode) {
        EXPECT_EQ(chown(Pty.SlavePath().c_str(), 0, group), 0);
        EXPECT_EQ(chmod(Pty.SlavePath().c_str(), mode), 0);
        // Changing the pseudo-terminal's node makes a link older than it, which counts as
        // stale: the link is made again, as a module would make it.
        const auto link = Pty.LinkFolder() / "com1";
        std::filesystem::remove(link);
        std::filesystem::create_symlink(Pty.SlavePath(), link);
        // The link folder becomes nobody's, so that nobody trusts it.
        EXPECT_EQ(chown(Pty.LinkFolder().c_str(), 65534, 65534), 0);
        int pipeFds[2];
        EXPECT_EQ(pipe(pipeFds), 0);
        const pid_t child = fork();
        if (child == 0) {
            close(pipeFds[0]);
            std::string message = "opened";
            if (setgid(65534) != 0 || setuid(65534) != 0) {
                message = "setuid failed";
            } else {
                FakeClock clock;
                ComPort port(clock, PortNamespace(Pty.LinkFolder(), Pty.LockFolder()));
                port.SetComNumber(1);
                try {
                    port.SetOpen(true);
                } catch (const ComPortError& e) {
                    message = e.what();
                }
            }
            (void)!write(pipeFds[1], message.data(), message.size());
            _exit(0);
        }
        close(pipeFds[1]);
        std::string message;
        char buffer[512];
        for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
            message.append(buffer, static_cast<std::size_t>(n));
        }
        close(pipeFds[0]);
        waitpid(child, nullptr, 0);
        return message;
    }
};

TEST_F(ComPortOnPty, ProgramsTheLineForTheModuleAndGivesItBackAsFound) {
    // Settings of the program before: 4800 baud, a cooked line that echoes.
    const int slave = open(Pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    termios before{};
    ASSERT_EQ(tcgetattr(slave, &before), 0);
    cfsetspeed(&before, B4800);
    before.c_lflag |= ICANON | ECHO;
    ASSERT_EQ(tcsetattr(slave, TCSANOW, &before), 0);
    OpenPort();
    ASSERT_TRUE(Port.Open());
    int exclusive = 0;
    EXPECT_EQ(ioctl(slave, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1) << "TIOCEXCL is set while open";
    Port.SetOpen(false);
    termios after{};
    ASSERT_EQ(tcgetattr(slave, &after), 0);
    EXPECT_EQ(cfgetospeed(&after), B4800);
    EXPECT_EQ(after.c_lflag & (ICANON | ECHO), static_cast<tcflag_t>(ICANON | ECHO));
    EXPECT_EQ(ioctl(slave, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0) << "and cleared at close";
    close(slave);

    ModemRequests.clear();
    OpenPort();
    ASSERT_TRUE(Port.Open());
    EXPECT_EQ(ModemRequests, (std::vector<std::pair<unsigned long, int>>{{TIOCMBIS, TIOCM_DTR},
                                                                         {TIOCMBIS, TIOCM_RTS}}))
        << "DTR and RTS raised, nothing lowered";
    termios t{};
    ASSERT_EQ(tcgetattr(Pty.Master(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), B9600);
    EXPECT_EQ(cfgetispeed(&t), B9600);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_FALSE(t.c_cflag & PARENB);
    EXPECT_FALSE(t.c_cflag & CSTOPB);
    EXPECT_FALSE(t.c_cflag & CRTSCTS);
    EXPECT_FALSE(t.c_iflag & (IXON | IXOFF | ISTRIP | ICRNL | INLCR | IGNCR | INPCK));
    EXPECT_FALSE(t.c_oflag & OPOST);
    EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ISIG));
    EXPECT_TRUE(Port.DTR());
    EXPECT_TRUE(Port.RTS());
}

TEST_F(ComPortOnPty, PassesAll256ByteValuesBothWays) {
    OpenPort();
    Bytes all(256);
    for (int i = 0; i < 256; ++i) {
        all[static_cast<std::size_t>(i)] = static_cast<quint8>(i);
    }
    Port.WriteBlock(all.data(), static_cast<quint16>(all.size()));
    EXPECT_EQ(Pty.ReadExactly(256), all);

    QByteArray received;
    QObject::connect(&Port, &ComPort::DataReceived,
                     [&](const QByteArray& bytes) { received += bytes; });
    Pty.Write(all);
    ASSERT_TRUE(WaitUntil([&] { return received.size() >= 256; }));
    EXPECT_EQ(Bytes(received.begin(), received.end()), all);
}

TEST_F(ComPortOnPty, WriteBlockQueuesAndRefusesWhatDoesNotFit) {
    OpenPort();
    Bytes block(1000, 0x41);
    Port.WriteBlock(block.data(), 0); // nothing
    EXPECT_EQ(Port.BytesQueued(), 0);
    // Nobody reads: the device takes what it can hold, then the driver's queue fills.
    std::size_t queued = 0;
    EXPECT_THROW(
        for (; queued < 1000000; queued += block.size()) {
            Port.WriteBlock(block.data(), static_cast<quint16>(block.size()));
        },
        ComPortError);
    EXPECT_GT(Port.BytesQueued() + 1000, ComPort::OutSize) << "refused only when it did not fit";
    EXPECT_EQ(Pty.ReadExactly(queued, 10000).size(), queued);
    EXPECT_TRUE(Pty.ReadAvailable(100).empty()) << "the refused block queued nothing";
}

TEST_F(ComPortOnPty, IsExclusiveBothWays) {
    OpenPort();
    FakeClock otherClock;
    ComPort other(otherClock, PortNamespace(Pty.LinkFolder(), Pty.LockFolder()));
    other.SetComNumber(1);
    try {
        other.SetOpen(true);
        FAIL() << "a second opener got the port";
    } catch (const ComPortError& e) {
        EXPECT_NE(std::string(e.what()).find("in use by another program"), std::string::npos)
            << e.what();
    }
    EXPECT_FALSE(other.Open());
    Port.SetOpen(false);

    // Another program holding the device: refused, and its line is left as it had it, not
    // exclusive.
    const int held = open(Pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    EXPECT_THROW(OpenPort(), ComPortError);
    EXPECT_FALSE(Port.Open());
    int exclusive = -1;
    EXPECT_EQ(ioctl(held, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    close(held);
    EXPECT_NO_THROW(OpenPort());
    Port.SetOpen(false);
}

TEST_F(ComPortOnPty, HonoursLiveLockFilesAndTakesOverStaleOnes) {
    const std::string lock = UucpLock::FileFor(Pty.SlavePath(), Pty.LockFolder().string());
    const auto plant = [&](const std::string& content) {
        std::ofstream(lock, std::ios::binary | std::ios::trunc) << content;
    };
    const auto content = [&] {
        std::ifstream in(lock, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const pid_t live = fork();
    if (live == 0) {
        pause();
        _exit(0);
    }
    const pid_t dead = fork();
    if (dead == 0) {
        _exit(0);
    }
    waitpid(dead, nullptr, 0);
    char plain[16];
    std::snprintf(plain, sizeof plain, "%10d\n", live);
    std::string binary(4, '\0');
    std::memcpy(binary.data(), &live, 4);
    for (const auto& [form, held, named] :
         std::vector<std::tuple<std::string, std::string, std::string>>{
             {"plain", plain, "(PID " + std::to_string(live) + ")"},
             {"named", std::string(plain, 10) + " minicom alice\n",
              "minicom (PID " + std::to_string(live) + ") of the user alice"},
             {"binary", binary, "(PID " + std::to_string(live) + ")"}}) {
        plant(held);
        try {
            OpenPort();
            ADD_FAILURE() << form << ": a live lock was taken";
        } catch (const ComPortError& e) {
            EXPECT_NE(std::string(e.what()).find("in use by another program: "), std::string::npos)
                << e.what();
            EXPECT_NE(std::string(e.what()).find(named), std::string::npos) << e.what();
        }
        EXPECT_EQ(content(), held) << form << ": the other program's lock was touched";
    }
    // A lock made a moment ago by another program, its PID written a little later.
    std::filesystem::remove(lock);
    plant("");
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        std::ofstream(lock, std::ios::binary | std::ios::app) << plain;
    });
    EXPECT_THROW(OpenPort(), ComPortError) << "an empty lock is given time to be written";
    writer.join();
    EXPECT_EQ(content(), plain);

    // Ours while open; rewritten by another program meanwhile, it is not ours to remove.
    std::filesystem::remove(lock);
    ASSERT_NO_THROW(OpenPort());
    plant(plain);
    Port.SetOpen(false);
    EXPECT_EQ(content(), plain);
    kill(live, SIGKILL);
    waitpid(live, nullptr, 0);

    // Its process has ended, or is a zombie nobody reaped: the lock is taken over, and removed
    // again at close. A private name planted where a guessable one would go changes nothing.
    const pid_t zombie = fork();
    if (zombie == 0) {
        _exit(0);
    }
    while (UucpLock::Alive(zombie) && kill(zombie, 0) == 0) {
        std::ifstream stat("/proc/" + std::to_string(zombie) + "/stat");
        std::string line;
        std::getline(stat, line);
        if (line.find(") Z") != std::string::npos) {
            break;
        }
    }
    for (const pid_t ended : {dead, zombie}) {
        std::snprintf(plain, sizeof plain, "%10d\n", ended);
        plant(plain);
        std::ofstream(lock + ".zx" + std::to_string(getpid())) << "planted";
        ASSERT_NO_THROW(OpenPort()) << "PID " << ended;
        char ours[16];
        std::snprintf(ours, sizeof ours, "%10d\n", getpid());
        EXPECT_EQ(content(), ours);
        Port.SetOpen(false);
        EXPECT_FALSE(std::filesystem::exists(lock));
    }
    waitpid(zombie, nullptr, 0);

    // Things that are no lock file: refused at once, never opened, never removed.
    alarm(20); // a blocking open would hang the suite: the alarm ends it instead
    ASSERT_EQ(mkfifo(lock.c_str(), 0666), 0);
    try {
        OpenPort();
        ADD_FAILURE() << "opened past a FIFO";
    } catch (const ComPortError& e) {
        EXPECT_NE(std::string(e.what()).find("its lock " + lock + " is a FIFO of the user root"),
                  std::string::npos)
            << e.what();
    }
    std::filesystem::remove(lock);
    std::filesystem::create_symlink(Pty.SlavePath(), lock);
    EXPECT_THROW(OpenPort(), ComPortError);
    EXPECT_TRUE(std::filesystem::is_symlink(lock));
    std::filesystem::remove(lock);
    alarm(0);

    // Another user's stale lock, which this user may not remove: said with its remedy.
    if (geteuid() == 0) {
        std::snprintf(plain, sizeof plain, "%10d\n", dead);
        plant(plain);
        const std::string said = OpenAsNobody(0, 0666);
        EXPECT_NE(said.find("is left behind by a program that has ended (PID " +
                            std::to_string(dead) + ")"),
                  std::string::npos)
            << said;
        EXPECT_NE(said.find("sudo rm -- " + lock), std::string::npos) << said;
        EXPECT_EQ(said.find("in use by another program"), std::string::npos) << said;
        std::filesystem::remove(lock);
        // A lock this user cannot read is no stale lock: who owns it is said, no removal.
        plant(plain);
        ::chmod(lock.c_str(), 0600);
        const std::string unreadable = OpenAsNobody(0, 0666);
        EXPECT_NE(unreadable.find("its lock file " + lock +
                                  " cannot be read (it belongs to root, mode 0600)"),
                  std::string::npos)
            << unreadable;
        EXPECT_EQ(unreadable.find("rm "), std::string::npos) << unreadable;
        EXPECT_TRUE(std::filesystem::exists(lock));
        std::filesystem::remove(lock);
        // A lock folder this user may not write: the port opens without a lock file.
        ::chmod(Pty.LockFolder().c_str(), 0755);
        EXPECT_EQ(OpenAsNobody(0, 0666), "opened");
        EXPECT_FALSE(std::filesystem::exists(lock));
    }
}

// Copies of the tool taking over one stale lock at once: exactly one holds the lock, and its
// file names it.
TEST_F(ComPortOnPty, OneTakerWinsAStaleLock) {
    const std::string folder = Pty.LockFolder().string();
    const std::string lock = UucpLock::FileFor(Pty.SlavePath(), folder);
    const pid_t dead = fork();
    if (dead == 0) {
        _exit(0);
    }
    waitpid(dead, nullptr, 0);
    // A copy in the middle of taking it over holds the stale file: the others stand back.
    std::ofstream(lock) << std::setw(10) << dead << "\n";
    const int midway = open(lock.c_str(), O_RDONLY);
    ASSERT_EQ(flock(midway, LOCK_EX), 0);
    UucpLock other;
    EXPECT_THROW(other.Acquire(Pty.SlavePath(), folder), UucpLockRefusal);
    close(midway);
    EXPECT_TRUE(std::filesystem::exists(lock));
    for (const auto& [takers, rounds] : {std::pair{2, 150}, {8, 40}}) {
        for (int round = 0; round < rounds; ++round) {
            std::ofstream(lock) << std::setw(10) << dead << "\n";
            int results[2];
            int go[2];
            int hold[2];
            ASSERT_EQ(pipe(results), 0);
            ASSERT_EQ(pipe(go), 0);
            ASSERT_EQ(pipe(hold), 0);
            std::vector<pid_t> children;
            for (int t = 0; t < takers; ++t) {
                const pid_t child = fork();
                if (child == 0) {
                    close(go[1]);
                    close(hold[1]);
                    char start = 0;
                    (void)!read(go[0], &start, 1); // all start together
                    UucpLock taken;
                    char won = '0';
                    try {
                        taken.Acquire(Pty.SlavePath(), folder);
                        won = '1';
                    } catch (const UucpLockRefusal&) {
                    }
                    (void)!write(results[1], &won, 1);
                    (void)!read(hold[0], &start, 1); // hold it until all have tried
                    _exit(0);
                }
                children.push_back(child);
            }
            close(go[0]);
            close(hold[0]);
            close(results[1]);
            const std::string starts(static_cast<std::size_t>(takers), 's');
            (void)!write(go[1], starts.data(), starts.size());
            int winners = 0;
            for (int t = 0; t < takers; ++t) {
                char won = 0;
                ASSERT_EQ(read(results[0], &won, 1), 1);
                winners += won == '1';
            }
            std::ifstream in(lock);
            long named = 0;
            in >> named;
            EXPECT_EQ(winners, 1) << takers << " takers, round " << round;
            EXPECT_TRUE(std::find(children.begin(), children.end(), named) != children.end())
                << "the lock names a taker, not " << named;
            close(go[1]);
            close(hold[1]); // the holders end
            close(results[0]);
            for (const pid_t child : children) {
                waitpid(child, nullptr, 0);
            }
            if (HasFailure()) {
                return;
            }
        }
    }
}

TEST_F(ComPortOnPty, OpenErrorsNameThePortTheDeviceAndTheReason) {
    Port.SetComNumber(0);
    EXPECT_THROW(Port.SetOpen(true), ComPortError);
    Port.SetComNumber(50); // no link, and COM50 is not in the built-in table
    try {
        Port.SetOpen(true);
        FAIL();
    } catch (const ComPortError& e) {
        EXPECT_STREQ(e.what(), "Cannot open COM50: no device belongs to this number");
    }
    std::filesystem::create_symlink("/dev/zx-no-such-device", Pty.LinkFolder() / "com3");
    Port.SetComNumber(3);
    try {
        Port.SetOpen(true);
        FAIL();
    } catch (const ComPortError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open COM3 (" +
                                             (Pty.LinkFolder() / "com3").string() +
                                             "): no such device");
    }
    EXPECT_FALSE(Port.Open());
}

TEST_F(ComPortOnPty, PermissionDeniedNamesAGroupOnlyWhereJoiningItHelps) {
    // Only a user without rights sees it: try as "nobody" in a child process.
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to become another user";
    }
    const group* dialout = getgrnam("dialout");
    ASSERT_NE(dialout, nullptr);
    EXPECT_EQ(OpenAsNobody(dialout->gr_gid, 0660),
              "Cannot open COM1 (" + Pty.SlavePath() +
                  "): permission denied. Your user must belong to the group 'dialout' that owns "
                  "the device (for example: sudo usermod -aG dialout \"$USER\"), then log out "
                  "and in again.");
    // root:root 0600, as an on-board UART may be: joining root would be a serious change and
    // would not even help.
    const std::string rootOnly = OpenAsNobody(0, 0600);
    EXPECT_EQ(rootOnly.find("usermod"), std::string::npos) << rootOnly;
    EXPECT_NE(rootOnly.find("gives its group ('root') no read and write access"), std::string::npos)
        << rootOnly;
}

TEST_F(ComPortOnPty, ReportsDeviceLossOnceAndStaysIdle) {
    QSignalSpy lost(&Port, &ComPort::DeviceLost);
    const auto expectOneLoss = [&] {
        ASSERT_TRUE(WaitUntil([&] { return lost.count() > 0; }));
        EXPECT_FALSE(Port.Open());
        EXPECT_NE(lost.at(0).at(0).toString().indexOf("COM1"), -1);
        const double before = CpuMs();
        ProcessEventsFor(300);
        EXPECT_EQ(lost.count(), 1);
        EXPECT_LT(CpuMs() - before, 150.0) << "the event loop spins after the loss";
        EXPECT_TRUE(Packets.empty());
        lost.clear();
    };
    OpenPort();
    Packet.SetEnabled(true);
    Pty.Write({0x02, 0x01}); // the adapter goes mid-frame
    ProcessEventsFor(30);
    if (geteuid() == 0) {
        // A hang-up that keeps the device node: a session leader with the line as its
        // controlling terminal hangs it up while the far end stays.
        const pid_t child = fork();
        if (child == 0) {
            setsid();
            std::signal(SIGHUP, SIG_IGN); // the hang-up signals the session leader too
            const int fd = open(Pty.SlavePath().c_str(), O_RDWR);
            _exit(fd < 0 ? 1 : ioctl(fd, TIOCSCTTY, 0) != 0 ? 2 : vhangup() != 0 ? 3 : 0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_EQ(status, 0) << "vhangup failed";
        expectOneLoss();
        OpenPort();
        Packet.SetEnabled(true);
    } else {
        std::printf("skipped the vhangup case: hanging up a line needs root\n");
    }
    Pty.CloseMaster();
    expectOneLoss();
}

TEST_F(ComPortOnPty, ASecondReaderIsNoLossButAHangUpIs) {
    // Opened before the tool took the line, as ModemManager's probe or a root shell's cat.
    const int other = open(Pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(other, 0);
    OpenPort();
    QSignalSpy lost(&Port, &ComPort::DeviceLost);
    const pid_t reader = fork();
    if (reader == 0) {
        char sink[64];
        for (;;) {
            (void)!read(other, sink, sizeof sink);
        }
    }
    close(other);
    // Each byte wakes the port, and the other reader takes it first: the reads find nothing.
    for (int i = 0; i < 300; ++i) {
        Pty.Write({0x41});
        ProcessEventsFor(2);
    }
    kill(reader, SIGKILL);
    waitpid(reader, nullptr, 0);
    EXPECT_TRUE(lost.isEmpty());
    ASSERT_TRUE(Port.Open());
    QByteArray heard;
    QObject::connect(&Port, &ComPort::DataReceived, [&](const QByteArray& b) { heard += b; });
    Pty.Write({0x42, 0x43});
    EXPECT_TRUE(WaitUntil([&] { return heard.endsWith("BC"); })) << "the port stopped listening";
    // A hang-up met by a write, before the event loop has seen it, is the loss, said at once.
    Pty.CloseMaster();
    const quint8 request[] = {0x02, 0x04, 0x03};
    Port.WriteBlock(request, sizeof request);
    EXPECT_EQ(lost.count(), 1);
    EXPECT_FALSE(Port.Open());
}

TEST_F(ComPortOnPty, LampsLightOnTrafficForAtLeastATick) {
    std::vector<bool> tx;
    std::vector<bool> rx;
    QObject::connect(&Lights, &LightControl::TxLitChanged, [&](bool lit) { tx.push_back(lit); });
    QObject::connect(&Lights, &LightControl::RxLitChanged, [&](bool lit) { rx.push_back(lit); });
    Lights.SetActive(true); // switched on while closed: remembered
    OpenPort();
    const Bytes request{0x02, 0x04, 0x03};
    Port.WriteBlock(request.data(), 3);
    EXPECT_TRUE(Lights.TxLit());
    Pty.ReadExactly(3);
    Clock.AdvanceTicks(1);
    EXPECT_TRUE(Lights.TxLit()) << "lit for at least one tick";
    Clock.AdvanceTicks(1);
    EXPECT_FALSE(Lights.TxLit());

    Pty.Write({0x02, 0x04, 0x03});
    ASSERT_TRUE(WaitUntil([&] { return Lights.RxLit(); }));
    Clock.AdvanceTicks(2);
    EXPECT_FALSE(Lights.RxLit());
    EXPECT_EQ(tx, (std::vector<bool>{true, false}));
    EXPECT_EQ(rx, (std::vector<bool>{true, false}));

    // Stops on close, starts again by itself on reopen.
    Port.SetOpen(false);
    OpenPort();
    Port.WriteBlock(request.data(), 3);
    EXPECT_TRUE(Lights.TxLit());
}

TEST_F(ComPortOnPty, LampTriggersReachTheProgramLikeAnyOther) {
    Lights.SetActive(true);
    OpenPort();
    const Bytes request{0x02, 0x30, 0x03};
    Port.WriteBlock(request.data(), 3);
    Pty.ReadExactly(3);
    Clock.AdvanceTicks(3);
    EXPECT_FALSE(Fired.empty()) << "the transmit lamp's trigger is passed on";
}

} // namespace
} // namespace zx::test
