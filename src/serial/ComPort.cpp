#include "ComPort.h"

namespace zx {

ComPort::ComPort(DriverClock& clock, PortNamespace ports, QObject* parent)
    : QObject(parent), Clock_(clock), Ports_(std::move(ports)) {
    Clock_.OnWake = [this] { CheckTriggers(); };
    connect(&Line_, &SerialLine::Received, this, &ComPort::DataReceived);
    connect(&Line_, &SerialLine::Lost, this, &ComPort::HandleLoss);
}

ComPort::~ComPort() {
    Clock_.OnWake = nullptr;
    Clock_.WakeAt(std::nullopt);
}

void ComPort::SetOpen(bool open) {
    if (open == Open()) {
        return;
    }
    if (open) {
        OpenDevice();
    } else {
        CloseDevice();
    }
}

void ComPort::FailOpen(const std::string& path, const std::string& reason) {
    std::string message = "Cannot open COM" + std::to_string(ComNumber_);
    if (!path.empty()) {
        message += " (" + path + ")";
    }
    throw ComPortError(message + ": " + reason);
}

void ComPort::OpenDevice() {
    if (ComNumber_ == 0) {
        throw ComPortError("Cannot open COM0: there is no port number 0");
    }
    const std::string named = Ports_.DevicePath(ComNumber_);
    if (named.empty()) {
        FailOpen({}, "no device belongs to this number");
    }
    try {
        Line_.Open(named, Baud, Ports_.LockFolder().string());
    } catch (const SerialLineRefusal& e) {
        FailOpen(e.Device, e.what());
    }
    if (!Line_.IsOpen()) {
        // A line lost while it opened was never open: it is said as a failed open.
        FailOpen(named, "the device went away as it was opened");
    }
    // A pseudo-terminal has no modem lines: the request fails there and that is fine.
    Line_.SetModemLines(DTR_, RTS_);
    DevicePath_ = QString::fromStdString(Line_.Device());
    // Whatever waited in the device before it was ours (a late answer of an earlier run, a
    // shell's printf, noise) answers nothing the tool will ask.
    Line_.DiscardInput();
    emit Opened();
}

void ComPort::DiscardInput() {
    Line_.DiscardInput();
}

void ComPort::CloseDevice() {
    Triggers_.ReleaseAll();
    ScheduleWake();
    Line_.Close();
    emit Closed();
}

void ComPort::SetDTR(bool on) {
    DTR_ = on;
    Line_.SetModemLines(DTR_, RTS_);
}

void ComPort::SetRTS(bool on) {
    RTS_ = on;
    Line_.SetModemLines(DTR_, RTS_);
}

void ComPort::WriteBlock(const quint8* data, quint16 count) {
    if (count == 0 || !Open()) {
        return;
    }
    if (BytesQueued() + count > OutSize) {
        throw ComPortError("COM" + std::to_string(ComNumber_) + ": transmit queue full, block of " +
                           std::to_string(count) + " bytes not queued");
    }
    // The bytes go to the device now rather than at the next turn of the event loop: that turn
    // first repaints the window, and on X11 painting waits on the display server, which a
    // request caused by an answer must not wait for.
    Line_.Write(data, count);
    if (Open()) {
        emit BlockQueued();
    }
}

void ComPort::HandleLoss(const QString& reason) {
    if (!Open()) {
        return;
    }
    // Close at once so that a hung-up descriptor cannot make the event loop spin, and say it
    // once. Those told of the close may ask why.
    LossReason_ = reason;
    CloseDevice();
    LossReason_.clear();
    emit DeviceLost(QStringLiteral("COM%1 (%2): %3").arg(ComNumber_).arg(DevicePath_, reason));
}

quint16 ComPort::AllocateTimerTrigger() {
    try {
        return Triggers_.Allocate();
    } catch (const std::runtime_error& e) {
        throw ComPortError(e.what());
    }
}

void ComPort::ArmTimerTrigger(quint16 handle, int ticks) {
    if (!Triggers_.Knows(handle)) {
        throw ComPortError("unknown timer trigger " + std::to_string(handle));
    }
    Triggers_.Arm(handle, ticks, Clock_.Ticks());
    ScheduleWake();
}

void ComPort::DisarmTimerTrigger(quint16 handle) {
    // A handle the port does not know (one of a port since closed) has nothing to stop. Raising
    // here would end the program from inside an event handler.
    if (!Triggers_.Knows(handle)) {
        return;
    }
    Triggers_.Disarm(handle);
    ScheduleWake();
}

void ComPort::ScheduleWake() {
    if (CheckingTriggers_) {
        return; // CheckTriggers schedules once it has fired everything due
    }
    const auto next = Triggers_.NextExpiry();
    if (!next) {
        Clock_.WakeAt(std::nullopt);
        return;
    }
    Clock_.WakeAt(*next * TickLength);
}

void ComPort::CheckTriggers() {
    if (CheckingTriggers_) {
        return;
    }
    CheckingTriggers_ = true;
    // A trigger disarms itself before its event is raised, so a handler may arm it again.
    while (const auto handle = Triggers_.TakeExpired(Clock_.Ticks())) {
        emit OnTriggerTimer(*handle);
    }
    CheckingTriggers_ = false;
    ScheduleWake();
}

} // namespace zx
