#include "ProcessCost.h"
#include "SimProcess.h"
#include "WindowFixture.h"

#include <atomic>
#include <cstdlib>
#include <random>
#include <thread>

namespace zx::test {
namespace {

using namespace std::chrono_literals;

class FieldFaults : public WindowFixture {};

// A module that babbles: random bytes at ten times the line rate, for a few seconds in the
// suite and as long as scripts/soak asks (ZX_SOAK_SECONDS), while the technician keeps
// pressing read. Afterwards a normal read still succeeds.
TEST_F(FieldFaults, RandomBytesLeaveTheToolWorking) {
    StartWithPort();
    const char* env = std::getenv("ZX_SOAK_SECONDS");
    const int seconds = env != nullptr ? std::atoi(env) : 5;
    std::atomic<bool> stop{false};
    std::thread babble([&] {
        std::mt19937 random(42);
        std::vector<quint8> chunk(1000);
        while (!stop) {
            for (quint8& b : chunk) {
                b = static_cast<quint8>(random());
            }
            Pty.Write(chunk);
            std::this_thread::sleep_for(10ms);
        }
    });
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int presses = 0;
    while (std::chrono::steady_clock::now() < end) {
        Window.btnGetPermInpRange->click();
        ++presses;
        ProcessEventsFor(200);
        Clock.Advance(200ms); // frame and response time-outs run on
        Pty.ReadAvailable(0);
    }
    stop = true;
    babble.join();
    ProcessEventsFor(200);
    // Reads pressed during the noise that still wait leave and time out one by one.
    // A read pressed again while one waits is asked once: a few time-outs empty the queue.
    for (int i = 0; i < 5; ++i) {
        ProcessEventsFor(50);
        Clock.Advance(7s);
        Pty.ReadAvailable(0);
    }
    EXPECT_GT(presses, 0);
    // Those reads are owed their answers for a while: one that came now would be theirs. Once
    // the line has been quiet for longer, an answer is the new read's own.
    Clock.Advance(RequestQueue::OwedFor + 1s);

    Window.btnGetPermInpRange->click();
    ASSERT_EQ(Sent(), (std::vector<quint8>{0x02, 0x04, 0x03}));
    AnswerInput(4, InputRangeStatus{1, 5, 1, 1.0f, 1, 1, -10, 10, 30, 23, 0});
    EXPECT_EQ(StatusText(), "Success.");
    EXPECT_TRUE(Window.ComPort->Open());
}

class Unplugged : public ::testing::Test {
protected:
    SimProcess Sim{{"--fast", "--unplug-after", "2"}};
    FakeClock Clock;
    FakePrompts Prompts;
    TfrmMain Window{Clock, PortNamespace(Sim.LinkFolder(), PrivateLockFolder(Sim.LinkFolder())),
                    Prompts};
};

TEST_F(Unplugged, TheProcessStaysIdleAfterTheAdapterIsPulledMidExchange) {
    AnswerPortDialog("COM1");
    Window.show();
    ASSERT_TRUE(Window.ComPort->Open());
    ProcessEventsFor(100);
    Window.btnGetPermInpRange->click(); // the second request: the line goes dead
    ASSERT_TRUE(WaitUntil([&] { return !Window.ComPort->Open(); }));
    ProcessEventsFor(100);
    const double before = CpuMs();
    ProcessEventsFor(2000);
    Clock.Advance(10s);
    const double used = CpuMs() - before;
    EXPECT_LT(used, 20.0) << "more than 1 % CPU after the loss";
    EXPECT_EQ(Window.sbMain->PanelText(2), "No COM port !");
}

} // namespace
} // namespace zx::test
