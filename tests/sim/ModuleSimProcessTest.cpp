#include "Catalogue.h"
#include "Frames.h"
#include "LinkClaim.h"
#include "ProcessCost.h"
#include "SimProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <functional>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

namespace zx::test {
namespace {

namespace fs = std::filesystem;

// A run expected to end by itself: its exit status and what it said.
struct Ended {
    int Status = -1;
    std::string Said;
};
Ended RunToEnd(const std::string& command) {
    Ended ended;
    FILE* pipe = popen(("timeout 10 " + command + " 2>&1").c_str(), "r");
    char buffer[512];
    for (std::size_t n; pipe != nullptr && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        ended.Said.append(buffer, n);
    }
    const int status = pipe != nullptr ? pclose(pipe) : -1;
    ended.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return ended;
}

std::string Sim(int com, const fs::path& folder) {
    return SimBinary() + " --fast --com " + std::to_string(com) + " --link-folder " +
           folder.string();
}

TEST(ModuleSimLinks, LiveAndOthersLinksStayAKilledModulesLinkIsReplaced) {
    SimProcess first({"--fast"}, 2);
    const fs::path folder = first.LinkFolder();
    const Ended live = RunToEnd(Sim(2, folder));
    EXPECT_EQ(live.Status, 2);
    EXPECT_NE(live.Said.find("COM2 is taken"), std::string::npos) << live.Said;
    EXPECT_EQ(fs::read_symlink(folder / "com2"), first.DevicePath());

    first.Kill(); // its link and lock stay behind
    ASSERT_TRUE(fs::is_symlink(folder / "com2"));
    SimProcess second({"--fast"}, 2, folder);
    EXPECT_EQ(fs::read_symlink(folder / "com2"), second.DevicePath());
    second.Kill();
    fs::remove(folder / "com2.lock"); // its lock went too: the number is free all the same
    SimProcess third({"--fast"}, 2, folder);
    EXPECT_EQ(fs::read_symlink(folder / "com2"), third.DevicePath());

    fs::create_symlink("/dev/ttyUSB0", folder / "com3"); // a technician's own link
    const Ended others = RunToEnd(Sim(3, folder));
    EXPECT_EQ(others.Status, 2);
    EXPECT_NE(others.Said.find("points to /dev/ttyUSB0"), std::string::npos) << others.Said;
    EXPECT_EQ(fs::read_symlink(folder / "com3"), "/dev/ttyUSB0");

    // A pseudo-terminal that was free can be named only by links that outlived their module.
    fs::create_symlink("/dev/pts/zx-test", folder / "com8");
    fs::create_symlink("/dev/pts/zx-test", folder / "com9");
    EXPECT_EQ(sim::RemoveLinksTo(folder, "/dev/pts/zx-test").size(), 2u);
    EXPECT_TRUE(fs::is_symlink(folder / "com3"));
}

TEST(ModuleSimLinks, FoldersKeepTheirModeAndUntrustedOrReadOnlyOnesAreNamed) {
    char folderTemplate[] = "/tmp/zx-folders-XXXXXX";
    const fs::path root = mkdtemp(folderTemplate);
    const fs::path shared = root / "shared";
    fs::create_directory(shared);
    chmod(shared.c_str(), 0755);
    const auto mode = [](const fs::path& p) {
        struct stat st = {};
        stat(p.c_str(), &st);
        return st.st_mode & 07777;
    };
    {
        SimProcess sim({"--fast"}, 4, shared / "ports");
        EXPECT_EQ(mode(shared), 0755u);
        EXPECT_EQ(mode(shared / "ports"), 0700u);
    }
    chmod(shared.c_str(), 0777);
    const Ended refused = RunToEnd(Sim(4, shared / "new" / "ports"));
    EXPECT_EQ(refused.Status, 2);
    EXPECT_NE(refused.Said.find(shared.string() +
                                " can be written by others (mode 0777). Fix: "
                                "chmod 700 " +
                                shared.string()),
              std::string::npos)
        << refused.Said;
    EXPECT_FALSE(fs::exists(shared / "new")) << "nothing left behind";
    EXPECT_EQ(mode(shared), 0777u);
    const Ended autoRefused =
        RunToEnd(SimBinary() + " --com auto --link-folder " + (shared / "new" / "ports").string());
    EXPECT_EQ(autoRefused.Status, 2);
    EXPECT_NE(autoRefused.Said.find("can be written by others"), std::string::npos)
        << "--com auto names the folder's problem: " << autoRefused.Said;

    // A read-only home, in a mount namespace of the test's own.
    if (RunToEnd("unshare -rm true").Status != 0) {
        fs::remove_all(root);
        GTEST_SKIP() << "the read-only home needs a mount namespace, and unshare -rm is refused "
                        "here (a chroot or container)";
    }
    const fs::path home = root / "home";
    fs::create_directory(home);
    const Ended readOnly =
        RunToEnd("unshare -rm sh -c 'mount -t tmpfs -o ro,mode=755 none " + home.string() +
                 " && HOME=" + home.string() + " exec " + SimBinary() + " --com 4'");
    EXPECT_EQ(readOnly.Status, 2);
    EXPECT_NE(readOnly.Said.find("cannot create the folder " + (home / ".zentrix").string() +
                                 ": Read-only file system"),
              std::string::npos)
        << readOnly.Said;
    fs::remove_all(root);
}

TEST(ModuleSimAbuse, AToolThatNeverReadsCostsNoCpuAndBoundedMemory) {
    SimProcess sim({"--fast", "--noise", "1000", "--quiet"});
    RawLine line(sim.DevicePath());
    const std::string pid = std::to_string(sim.Pid());
    // Requests that are never read: their answers cannot leave. The memory they may take
    // is compared between 2,000 and 20,000 of them, which holds under the sanitizers too.
    const auto ask = [&](int count) {
        Bytes requests;
        for (int i = 0; i < count; ++i) {
            requests.insert(requests.end(), {STX, cmdReadVersion, ETX});
        }
        line.Write(requests);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    };
    ask(2000);
    const long early = ResidentKiB(pid);
    ask(18000);
    const double before = CpuMs(pid);
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_LT(CpuMs(pid) - before, 200.0) << "it spins while its output is blocked";
    EXPECT_LT(ResidentKiB(pid) - early, 4 * 1024) << "its queue of answers grows without end";
    EXPECT_TRUE(sim.Running());
}

TEST(ModuleSimProcess, AnswersEveryRequestAndKeepsItsState) {
    SimProcess sim({"--fast"});
    RawLine line(sim.DevicePath());
    FrameCodec c;
    BuildRequest(c, {.Code = cmdSelectInputRange, .Range = 3});
    FrameCodec reply = Received(line.RequestFrame(Sent(c)));
    EXPECT_EQ(reply.RxBuffer[0], cmdSelectInputRange);
    EXPECT_EQ(ReadInputRangeStatus(reply).RangeCode, 3);

    BuildRequest(c, {.Code = cmdReadActiveInput, .Range = 3});
    EXPECT_EQ(ReadInputRangeStatus(reply = Received(line.RequestFrame(Sent(c)))).Status, 1);
    reply = Received(line.RequestFrame(Built({.Code = cmdReadProgrammedInput})));
    EXPECT_EQ(ReadInputRangeStatus(reply).RangeCode, 5) << "selecting is not programming";

    BuildRequest(c, {.Code = cmdProgramOutputRange,
                     .Range = 1,
                     .Minimum = 4.0f,
                     .Maximum = 20.0f,
                     .Invert = true});
    reply = Received(line.RequestFrame(Sent(c)));
    EXPECT_EQ(reply.RxBuffer[0], cmdProgramOutputRange);
    reply = Received(line.RequestFrame(Built({.Code = cmdReadProgrammedOutput})));
    const OutputRangeStatus out = ReadOutputRangeStatus(reply);
    EXPECT_EQ(out.RangeCode, 1);
    EXPECT_EQ(out.MinValue, 4.0f);
    EXPECT_EQ(out.Invert, 1);
    EXPECT_EQ(out.RangeOk, 0) << "JP6 is set for voltage";

    reply = Received(line.RequestFrame(Built({.Code = cmdReadVersion})));
    EXPECT_EQ(reply.RxLength, 51);
    reply =
        Received(line.RequestFrame(Built({.Code = cmdSetToolkitVersion, .Value = ToolkitVersion})));
    EXPECT_EQ(ReadToolkitAck(reply), 1);
    EXPECT_NE(sim.ErrorOutput().find("rx 02 33 AB 03  cmdSetToolkitVersion"), std::string::npos)
        << sim.ErrorOutput();

    // Two requests in one write, after the line has drained: two answers.
    Bytes both = Built({.Code = cmdReadVersion});
    const Bytes query = Built({.Code = cmdQueryCalMode});
    both.insert(both.end(), query.begin(), query.end());
    line.Write(both);
    const Bytes answers = line.Read(300, false);
    EXPECT_EQ(std::count(answers.begin(), answers.end(), ETX), 2) << "answers lost";
}

TEST(ModuleSimProcess, EndsCleanlyOnEverySignalAndOnAClosedTrace) {
    SimProcess first({"--fast"}, 1);
    const fs::path folder = first.LinkFolder();
    // COM1 and COM49 taken by modules: --com auto starts its server at least twice before it
    // gets COM50, whatever real port this machine has at COM1. The signals still end it.
    SimProcess held({"--fast"}, 49, folder);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SimProcess next({"--fast"}, 0, folder);
        ASSERT_EQ(fs::read_symlink(folder / "com50"), next.DevicePath());
        EXPECT_EQ(next.Stop(signal), 0) << "signal " << signal;
        EXPECT_FALSE(fs::exists(folder / "com50")) << "signal " << signal;
    }
    // Its trace's reader goes away: it answers on, and still removes its link at the end.
    first.CloseTrace();
    RawLine line(first.DevicePath());
    EXPECT_FALSE(line.RequestFrame(Built({.Code = cmdReadVersion})).empty());
    EXPECT_TRUE(first.Running());
    EXPECT_EQ(first.Stop(), 0);
    EXPECT_FALSE(fs::exists(folder / "com1"));
}

TEST(ModuleSimProcess, AnswersHelpAndVersion) {
    const Ended version = RunToEnd(SimBinary() + " --version");
    EXPECT_EQ(version.Status, 0);
    EXPECT_EQ(version.Said, "zentrix-module-sim 1.71\n");
    EXPECT_EQ(RunToEnd(SimBinary() + " --help").Status, 0);
}

TEST(ModuleSimProcess, PacesItsAnswersAtTheLineRate) {
    SimProcess sim({"--delay", "0"});
    RawLine line(sim.DevicePath());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(line.RequestFrame(Built({.Code = cmdReadVersion})).empty());
    // 53 bytes at 9600 baud take at least 55 ms on a real line.
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
}

TEST(ModuleSimProcess, SurvivesGarbageAndAnswersTheNextRequest) {
    SimProcess sim({"--fast"});
    RawLine line(sim.DevicePath());
    Bytes garbage;
    for (int i = 0; i < 5000; ++i) {
        garbage.push_back(static_cast<std::uint8_t>(i * 131 + 7));
    }
    line.Write(garbage);
    line.Write({0x02, 0x09, 0x01, 0x03}); // unknown request: no answer
    line.Write(Bytes(300, 0x10));         // an endless frame
    line.Read(200, false);
    EXPECT_FALSE(line.RequestFrame(Built({.Code = cmdReadVersion})).empty());
    EXPECT_TRUE(sim.Running());
}

struct FaultCase {
    const char* name;
    std::vector<std::string> args;
    std::function<void(RawLine&)> check;
};

void PrintTo(const FaultCase& c, std::ostream* out) {
    *out << c.name;
}

class ModuleSimFaults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(ModuleSimFaults, BehaveAsDocumented) {
    std::vector<std::string> args = GetParam().args;
    args.push_back("--fast");
    SimProcess sim(args);
    RawLine line(sim.DevicePath());
    GetParam().check(line);
}

INSTANTIATE_TEST_SUITE_P(
    Options, ModuleSimFaults,
    ::testing::Values(
        FaultCase{
            "Silent",
            {"--silent", "4"},
            [](RawLine& l) {
                EXPECT_TRUE(l.RequestFrame(Built({.Code = cmdReadProgrammedInput}), 300).empty());
                EXPECT_FALSE(l.RequestFrame(Built({.Code = cmdReadProgrammedOutput})).empty());
            }},
        FaultCase{"Fail",
                  {"--fail", "all"},
                  [](RawLine& l) {
                      FrameCodec r =
                          Received(l.RequestFrame(Built({.Code = cmdReadProgrammedInput})));
                      EXPECT_EQ(r.RxBuffer[1], 0);
                      EXPECT_EQ(r.RxLength, 29) << "the rest of the record is still there";
                      r = Received(l.RequestFrame(
                          Built({.Code = cmdSetToolkitVersion, .Value = ToolkitVersion})));
                      EXPECT_EQ(ReadToolkitAck(r), 0);
                  }},
        FaultCase{"Late",
                  {"--late", "48", "--late-ms", "400"},
                  [](RawLine& l) {
                      EXPECT_TRUE(l.RequestFrame(Built({.Code = cmdReadVersion}), 250).empty());
                      EXPECT_FALSE(l.Read(1000).empty());
                  }},
        FaultCase{"Twice",
                  {"--twice", "33"},
                  [](RawLine& l) {
                      FrameCodec c;
                      BuildRequest(c, {.Code = cmdQueryCalMode, .Value = 0});
                      l.Write(Sent(c));
                      EXPECT_EQ(l.Read(300, false), (Bytes{2, 0x21, 0, 3, 2, 0x21, 0, 3}));
                  }},
        FaultCase{"Broken",
                  {"--broken", "48"},
                  [](RawLine& l) {
                      l.Write(Built({.Code = cmdReadVersion}));
                      const Bytes got = l.Read(300, false);
                      ASSERT_FALSE(got.empty());
                      EXPECT_EQ(got.front(), 0x02);
                      EXPECT_NE(got.back(), 0x03);
                  }},
        FaultCase{"UnknownCode",
                  {"--unknown-code", "20"},
                  [](RawLine& l) {
                      EXPECT_EQ(l.RequestFrame(Built({.Code = cmdReadProgrammedOutput}))[0], 9);
                  }},
        FaultCase{"Oversize",
                  {"--oversize", "48"},
                  [](RawLine& l) {
                      EXPECT_EQ(l.RequestFrame(Built({.Code = cmdReadVersion})).size(), 200u);
                  }},
        FaultCase{"BadRangeAndCalModeTwo",
                  {"--bad-range", "4", "--calmode2"},
                  [](RawLine& l) {
                      FrameCodec r =
                          Received(l.RequestFrame(Built({.Code = cmdReadProgrammedInput})));
                      EXPECT_EQ(r.RxBuffer[2], 255);
                      EXPECT_EQ(r.RxBuffer[28], 2);
                      FrameCodec c;
                      BuildRequest(c, {.Code = cmdQueryCalMode, .Value = 0});
                      EXPECT_EQ(ReadCalMode(r = Received(l.RequestFrame(Sent(c)))), 2);
                  }},
        FaultCase{"Noise",
                  {"--noise", "40"},
                  [](RawLine& l) {
                      l.Write(Built({.Code = cmdReadProgrammedInput}));
                      const Bytes got = l.Read(500);
                      ASSERT_GE(got.size(), 40u + 31u);
                      for (std::size_t i = 0; i < 40; ++i) {
                          EXPECT_NE(got[i], 0x02);
                      }
                      EXPECT_EQ(got[40], 0x02);
                  }},
        FaultCase{"UnplugAfter",
                  {"--unplug-after", "2"},
                  [](RawLine& l) {
                      EXPECT_FALSE(l.RequestFrame(Built({.Code = cmdReadVersion})).empty());
                      l.Write(Built({.Code = cmdReadVersion}));
                      pollfd p{l.Fd(), POLLIN, 0};
                      ASSERT_EQ(poll(&p, 1, 2000), 1);
                      EXPECT_NE(p.revents & POLLHUP, 0) << "the line hangs up";
                  }}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
} // namespace zx::test
