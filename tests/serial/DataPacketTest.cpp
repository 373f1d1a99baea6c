#include "SerialFixture.h"

namespace zx::test {
namespace {

using Bytes = std::vector<quint8>;

class Collector : public SerialFixture {
protected:
    void SetUp() override {
        OpenPort();
        Packet.SetEnabled(true);
    }
    void Receive(const Bytes& bytes) {
        Pty.Write(bytes);
        ProcessEventsFor(60);
    }
};

TEST_F(Collector, CutsOneFrameAndDiscardsTheRest) {
    Receive({0x41, 0x42, 0x02, 0x01, 0x02, 0x03, 0x43});
    ASSERT_EQ(Packets.size(), 1u);
    EXPECT_EQ(Packets[0], (Bytes{0x01, 0x02}));
    EXPECT_FALSE(Packet.Enabled());
    EXPECT_EQ(Packet.CurrentState(), DataPacket::State::Idle);
}

TEST_F(Collector, DeliversAnEmptyFrame) {
    Receive({0x02, 0x03});
    ASSERT_EQ(Packets.size(), 1u);
    EXPECT_TRUE(Packets[0].empty());
}

TEST_F(Collector, KeepsARawStxInsideAFrame) {
    Receive({0x02, 0x05, 0x02, 0x06, 0x03});
    ASSERT_EQ(Packets.size(), 1u);
    EXPECT_EQ(Packets[0], (Bytes{0x05, 0x02, 0x06}));
}

TEST_F(Collector, DropsABrokenFrameAfterFiftyTicksSilently) {
    // Another trigger of the port (a lamp's) firing mid-frame is not the collector's time-out.
    const quint16 lamp = Port.AllocateTimerTrigger();
    Port.ArmTimerTrigger(lamp, 1);
    Receive({0x02, 0x05});
    Clock.AdvanceTicks(2);
    ASSERT_EQ(Fired, std::vector<quint16>{lamp});
    Receive({0x06, 0x03});
    ASSERT_EQ(Packets, std::vector<Bytes>{Bytes({0x05, 0x06})});
    Packets.clear();
    Packet.SetEnabled(true);
    Receive({0x02, 0x05});
    EXPECT_EQ(Packet.CurrentState(), DataPacket::State::Collecting);
    Clock.AdvanceTicks(50);
    EXPECT_EQ(Packet.CurrentState(), DataPacket::State::Collecting) << "not before 50 ticks";
    Clock.AdvanceTicks(2);
    EXPECT_EQ(Packet.CurrentState(), DataPacket::State::Idle);
    EXPECT_FALSE(Packet.Enabled());
    Receive({0x06, 0x03, 0x02, 0x07, 0x03});
    EXPECT_TRUE(Packets.empty()) << "idle until enabled again";
}

TEST_F(Collector, TakesOnlyTheFirstOfTwoFramesUnlessTheHandlerReEnables) {
    Receive({0x02, 0x01, 0x03, 0x02, 0x02, 0x03});
    EXPECT_EQ(Packets.size(), 1u);

    Packets.clear();
    ReEnableOnPacket = true;
    Packet.SetEnabled(true);
    Receive({0x02, 0x01, 0x03, 0x02, 0x22, 0x03});
    ASSERT_EQ(Packets.size(), 2u);
    EXPECT_EQ(Packets[1], Bytes{0x22});
}

TEST_F(Collector, TheHandlerSeesADisabledCollector) {
    std::optional<bool> seen;
    QObject::connect(&Packet, &DataPacket::OnPacket,
                     [&](const quint8*, int) { seen = Packet.Enabled(); });
    Receive({0x02, 0x01, 0x03});
    EXPECT_EQ(seen, false);
}

TEST_F(Collector, IgnoresEverythingWhileDisabled) {
    Packet.SetEnabled(false);
    Receive({0x02, 0x01, 0x03});
    EXPECT_TRUE(Packets.empty());
}

TEST_F(Collector, DropsAPartialFrameWhenThePortClosesAndKeepsEnabled) {
    Receive({0x02, 0x01});
    Port.SetOpen(false);
    EXPECT_TRUE(Packet.Enabled());
    OpenPort();
    Receive({0x02, 0x09, 0x03});
    ASSERT_EQ(Packets.size(), 1u);
    EXPECT_EQ(Packets[0], Bytes{0x09}) << "nothing of the frame cut by the close";
}

TEST_F(Collector, DropsAFrameLongerThanAnyBufferAndWaitsForTheNext) {
    Bytes flood{0x02};
    flood.insert(flood.end(), DataPacket::MaxFrameSize + 1, 0x41); // one byte over the limit
    flood.insert(flood.end(), {0x03, 0x02, 0x30, 0x03});
    Receive(flood);
    ASSERT_EQ(Packets.size(), 1u);
    EXPECT_EQ(Packets[0], Bytes{0x30});
    Packet.SetEnabled(true);
    flood.erase(flood.begin() + 1); // exactly the limit is still a frame
    Receive(Bytes(flood.begin(), flood.end() - 3));
    ASSERT_EQ(Packets.size(), 2u);
    EXPECT_EQ(Packets[1].size(), DataPacket::MaxFrameSize);
}

TEST_F(Collector, SurvivesGarbageByteByByte) {
    Bytes garbage;
    for (int i = 0; i < 3000; ++i) {
        garbage.push_back(static_cast<quint8>((i * 37 + 11) % 256 == 2 ? 0x41 : (i * 37 + 11)));
    }
    garbage.insert(garbage.end(), {0x02, 0x04, 0x03});
    Receive(garbage);
    ASSERT_FALSE(Packets.empty());
}

} // namespace
} // namespace zx::test
