#pragma once

#include <QByteArray>
#include <QObject>

#include <vector>

namespace zx {

class ComPort;

// Cuts one frame out of the received bytes: from STX to ETX, delimiters not included. A state
// machine fed byte by byte, so it never depends on how the system chunks the reads.
//   idle       bytes are discarded
//   waiting    bytes other than STX are discarded; STX starts a frame and its time-out
//   collecting every byte but ETX is stored (a raw STX too); ETX delivers the frame
// Delivery disables the collector first; enabling it during OnPacket takes effect when the
// handler returns, and only then are the bytes behind the ETX examined.
class DataPacket : public QObject {
    Q_OBJECT
public:
    enum class State { Idle, Waiting, Collecting };

    static constexpr quint8 StartString = 0x02; // STX
    static constexpr quint8 EndString = 0x03;   // ETX
    static constexpr int TimeOut = 50;          // ticks from the STX to the ETX
    // A frame still without ETX at this size cannot be an answer; it is dropped and the
    // collector waits for the next STX.
    static constexpr std::size_t MaxFrameSize = 4096;

    explicit DataPacket(ComPort& port, QObject* parent = nullptr);

    bool Enabled() const { return Delivering_ ? EnableAfterDelivery_ : Enabled_; }
    void SetEnabled(bool enabled);
    State CurrentState() const { return State_; }

signals:
    // Data and Size cover exactly the bytes between STX and ETX; valid only during the call.
    void OnPacket(const quint8* data, int size);

private:
    void Feed(const QByteArray& bytes);
    void FeedByte(quint8 b);
    void Deliver();
    void DropFrame();
    void HandleTrigger(quint16 handle);

    ComPort& Port_;
    bool Enabled_ = false;
    State State_ = State::Idle;
    std::vector<quint8> Frame_;
    quint16 Trigger_ = 0;
    bool Delivering_ = false;
    bool EnableAfterDelivery_ = false;
    bool Feeding_ = false;
    QByteArray Pending_; // bytes that arrived while a handler ran a nested event loop
};

} // namespace zx
