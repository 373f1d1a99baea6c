#pragma once

#include "ComPort.h"
#include "DataPacket.h"
#include "FakeClock.h"
#include "LightControl.h"
#include "PtyPair.h"

#include <gtest/gtest.h>

#include <memory>

namespace zx::test {

// The driver's pieces on a pseudo-terminal pair, under a clock the test moves.
class SerialFixture : public ::testing::Test {
protected:
    SerialFixture()
        : Port(Clock, PortNamespace(Pty.LinkFolder(), Pty.LockFolder())), Packet(Port),
          Lights(Port) {
        QObject::connect(&Packet, &DataPacket::OnPacket, [this](const quint8* data, int size) {
            Packets.emplace_back(data, data + size);
            if (ReEnableOnPacket) {
                Packet.SetEnabled(true);
            }
        });
        QObject::connect(&Port, &ComPort::OnTriggerTimer,
                         [this](quint16 handle) { Fired.push_back(handle); });
    }

    void OpenPort() {
        Port.SetComNumber(1);
        Port.SetDTR(true);
        Port.SetRTS(true);
        Port.SetOpen(true);
    }

    PtyPair Pty;
    FakeClock Clock;
    ComPort Port;
    DataPacket Packet;
    LightControl Lights;
    std::vector<std::vector<quint8>> Packets;
    std::vector<quint16> Fired;
    bool ReEnableOnPacket = false;
};

} // namespace zx::test
