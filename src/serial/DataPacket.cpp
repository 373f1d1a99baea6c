#include "DataPacket.h"

#include "ComPort.h"

namespace zx {

DataPacket::DataPacket(ComPort& port, QObject* parent) : QObject(parent), Port_(port) {
    connect(&Port_, &ComPort::DataReceived, this, &DataPacket::Feed);
    connect(&Port_, &ComPort::OnTriggerTimer, this, &DataPacket::HandleTrigger);
    connect(&Port_, &ComPort::Opened, this, [this] {
        Trigger_ = Port_.AllocateTimerTrigger();
        State_ = Enabled_ ? State::Waiting : State::Idle;
    });
    connect(&Port_, &ComPort::Closed, this, [this] {
        // The port's triggers went with it; a partial frame is dropped, Enabled stays.
        Trigger_ = 0;
        Frame_.clear();
        Pending_.clear();
        State_ = Enabled_ ? State::Waiting : State::Idle;
    });
}

void DataPacket::SetEnabled(bool enabled) {
    if (Delivering_) {
        EnableAfterDelivery_ = enabled;
        return;
    }
    if (enabled == Enabled_) {
        return;
    }
    Enabled_ = enabled;
    if (enabled) {
        State_ = State::Waiting;
        Frame_.clear();
    } else {
        DropFrame();
        State_ = State::Idle;
    }
}

void DataPacket::DropFrame() {
    if (State_ == State::Collecting && Trigger_ != 0 && Port_.Open()) {
        Port_.DisarmTimerTrigger(Trigger_);
    }
    Frame_.clear();
    if (State_ == State::Collecting) {
        State_ = Enabled_ ? State::Waiting : State::Idle;
    }
}

void DataPacket::Feed(const QByteArray& bytes) {
    if (Feeding_) {
        Pending_.append(bytes);
        return;
    }
    Feeding_ = true;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        FeedByte(static_cast<quint8>(bytes[i]));
    }
    while (!Pending_.isEmpty()) {
        const QByteArray more = std::exchange(Pending_, QByteArray());
        for (qsizetype i = 0; i < more.size(); ++i) {
            FeedByte(static_cast<quint8>(more[i]));
        }
    }
    Feeding_ = false;
}

void DataPacket::FeedByte(quint8 b) {
    switch (State_) {
    case State::Idle:
        return;
    case State::Waiting:
        if (b == StartString) {
            State_ = State::Collecting;
            Frame_.clear();
            if (Trigger_ != 0) {
                Port_.ArmTimerTrigger(Trigger_, TimeOut);
            }
        }
        return;
    case State::Collecting:
        if (b == EndString) {
            Deliver();
            return;
        }
        if (Frame_.size() >= MaxFrameSize) {
            DropFrame();
            return;
        }
        Frame_.push_back(b);
        return;
    }
}

void DataPacket::Deliver() {
    if (Trigger_ != 0 && Port_.Open()) {
        Port_.DisarmTimerTrigger(Trigger_);
    }
    Enabled_ = false;
    State_ = State::Idle;
    const std::vector<quint8> frame = std::move(Frame_);
    Frame_.clear();
    Delivering_ = true;
    EnableAfterDelivery_ = false;
    emit OnPacket(frame.data(), static_cast<int>(frame.size()));
    Delivering_ = false;
    if (EnableAfterDelivery_) {
        Enabled_ = true;
        State_ = State::Waiting;
    }
}

void DataPacket::HandleTrigger(quint16 handle) {
    if (handle == 0 || handle != Trigger_ || State_ != State::Collecting) {
        return;
    }
    // The frame did not end in time: drop it and stay idle until enabled again.
    Frame_.clear();
    Enabled_ = false;
    State_ = State::Idle;
}

} // namespace zx
