#include "SerialFixture.h"

namespace zx::test {
namespace {

using namespace std::chrono_literals;

class TimerTriggers : public SerialFixture {
protected:
    void SetUp() override {
        OpenPort();
        Handle = Port.AllocateTimerTrigger();
    }
    // Milliseconds from arming to firing, stepping the clock 1 ms at a time.
    std::optional<int> FireAfter(int maxMs) {
        const std::size_t before = Fired.size();
        for (int ms = 1; ms <= maxMs; ++ms) {
            Clock.Advance(1ms);
            if (Fired.size() > before) {
                return ms;
            }
        }
        return std::nullopt;
    }
    quint16 Handle = 0;
};

TEST_F(TimerTriggers, FireOnceInsideTheirTickWindow) {
    for (int ticks : {7, 36, 73}) {
        // Arm at every offset within a tick: the window is (n x 55, (n + 1) x 55] ms.
        for (int offset : {0, 1, 27, 54}) {
            Clock.Advance(std::chrono::milliseconds(55 - Clock.Now().count() % 55));
            Clock.Advance(std::chrono::milliseconds(offset));
            Port.ArmTimerTrigger(Handle, ticks);
            const auto after = FireAfter((ticks + 2) * 55);
            ASSERT_TRUE(after.has_value()) << ticks << " ticks, offset " << offset;
            EXPECT_GT(*after, ticks * 55) << ticks << " ticks, offset " << offset;
            EXPECT_LE(*after, (ticks + 1) * 55) << ticks << " ticks, offset " << offset;
            EXPECT_FALSE(FireAfter(10 * 55).has_value()) << "fired twice";
        }
    }
}

TEST_F(TimerTriggers, ReArmingRestartsFromNow) {
    Port.ArmTimerTrigger(Handle, 73);
    Clock.Advance(2000ms);
    ASSERT_TRUE(Fired.empty());
    Port.ArmTimerTrigger(Handle, 73);
    Clock.Advance(2100ms); // 4100 ms after the first arming: it would have fired by now
    EXPECT_TRUE(Fired.empty());
    Clock.Advance(2000ms);
    EXPECT_EQ(Fired, std::vector<quint16>{Handle});
}

TEST_F(TimerTriggers, DisarmingPreventsTheEvent) {
    Port.ArmTimerTrigger(Handle, 7);
    Clock.Advance(300ms);
    Port.DisarmTimerTrigger(Handle);
    Port.DisarmTimerTrigger(Handle); // not armed: nothing
    Clock.Advance(5000ms);
    EXPECT_TRUE(Fired.empty());
    EXPECT_FALSE(Clock.PendingWake().has_value()) << "nothing armed, nothing to wake for";
}

TEST_F(TimerTriggers, ATriggerIsDisarmedBeforeItsEventSoTheHandlerMayArmIt) {
    int rearms = 0;
    QObject::connect(&Port, &ComPort::OnTriggerTimer, [&](quint16 h) {
        if (h == Handle && rearms < 2) {
            ++rearms;
            Port.ArmTimerTrigger(Handle, 7);
        }
    });
    Port.ArmTimerTrigger(Handle, 7);
    Clock.Advance(5000ms);
    EXPECT_EQ(Fired.size(), 3u);
}

TEST_F(TimerTriggers, UnknownHandlesRaiseOnArmingAndAreIgnoredOnDisarming) {
    const quint16 other = Port.AllocateTimerTrigger();
    EXPECT_NE(other, 0);
    EXPECT_NE(other, Handle);
    EXPECT_THROW(Port.ArmTimerTrigger(9999, 7), ComPortError);
    EXPECT_NO_THROW(Port.DisarmTimerTrigger(9999));
    Port.SetOpen(false); // the port's triggers end with it
    EXPECT_THROW(Port.ArmTimerTrigger(Handle, 7), ComPortError);
    EXPECT_NO_THROW(Port.DisarmTimerTrigger(Handle));
}

TEST(TimerTriggerHandles, NeverWrapToZero) {
    zx::TimerTriggers triggers;
    for (int i = 0; i < 0xFFFF; ++i) {
        triggers.Allocate();
    }
    EXPECT_THROW(triggers.Allocate(), std::runtime_error) << "every handle there is, but 0";
    triggers.ReleaseAll(); // the port closed
    for (int i = 0; i < 3; ++i) {
        EXPECT_NE(triggers.Allocate(), 0);
    }
}

TEST_F(TimerTriggers, EachTriggerFiresAtItsOwnTime) {
    const quint16 late = Port.AllocateTimerTrigger();
    Port.ArmTimerTrigger(late, 73);
    Port.ArmTimerTrigger(Handle, 7);
    Clock.AdvanceTicks(8);
    EXPECT_EQ(Fired, (std::vector<quint16>{Handle}));
    Clock.AdvanceTicks(66);
    EXPECT_EQ(Fired, (std::vector<quint16>{Handle, late}));
}

} // namespace
} // namespace zx::test
