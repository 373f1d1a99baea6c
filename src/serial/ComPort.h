#pragma once

#include "DriverClock.h"
#include "PortNamespace.h"
#include "SerialLine.h"
#include "TimerTriggers.h"

#include <QByteArray>
#include <QObject>

#include <stdexcept>
#include <string>

namespace zx {

// Raised when the port cannot be opened, and on misuse of the driver (an unknown trigger
// handle, a block larger than the free room of the transmit queue). The message names the COM
// number, the device and the reason in plain words.
class ComPortError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The module's serial port: fixed 9600 baud 8N1, no flow control, binary, DTR and RTS raised,
// opened exclusively. Everything it reports arrives on the thread that owns it, through the
// event loop, also inside the nested loops of modal boxes.
class ComPort : public QObject {
    Q_OBJECT
public:
    static constexpr qint32 Baud = 9600;
    static constexpr qint64 InSize = 4096;
    static constexpr qint64 OutSize = 4096;

    ComPort(DriverClock& clock, PortNamespace ports, QObject* parent = nullptr);
    ~ComPort() override;

    quint16 ComNumber() const { return ComNumber_; }
    void SetComNumber(quint16 number) { ComNumber_ = number; }
    bool Open() const { return Line_.IsOpen(); }
    // True opens COM ComNumber (ComPortError on failure, the port then stays closed); false
    // closes it if open.
    void SetOpen(bool open);
    bool DTR() const { return DTR_; }
    bool RTS() const { return RTS_; }
    void SetDTR(bool on);
    void SetRTS(bool on);
    // While Closed is emitted for a lost line: why it was lost; empty for a close.
    const QString& LossReason() const { return LossReason_; }
    // Drops what the line has received and not yet been read.
    void DiscardInput();
    QString DevicePath() const { return DevicePath_; }
    // The line's settings as the system holds them, for a check: "9600,N,8,1, ...".
    std::string LineSettings() const { return Line_.Settings(); }

    // Queues the bytes and returns at once. A count of 0 does nothing; a block larger than the
    // free room raises ComPortError and queues nothing. Nothing is written while closed.
    void WriteBlock(const quint8* data, quint16 count);
    qint64 BytesWaiting() const { return static_cast<qint64>(Line_.BytesWaiting()); }
    qint64 BytesQueued() const { return static_cast<qint64>(Line_.BytesQueued()); }

    // Arming a handle the open port does not know raises ComPortError; disarming one does
    // nothing.
    quint16 AllocateTimerTrigger();
    void ArmTimerTrigger(quint16 handle, int ticks);
    void DisarmTimerTrigger(quint16 handle);
    DriverClock& Clock() const { return Clock_; }
    const PortNamespace& Ports() const { return Ports_; }

signals:
    // A timer trigger of the port fired; whoever armed it, every listener hears of it.
    void OnTriggerTimer(quint16 handle);
    // Bytes from the line, in order, as they were read.
    void DataReceived(const QByteArray& bytes);
    void BlockQueued();
    void Opened();
    void Closed();
    // The device went away while open (an unplugged adapter, a closed pseudo-terminal). The
    // port is already closed when this is raised; it is raised once per loss.
    void DeviceLost(const QString& reason);

private:
    void OpenDevice();
    void CloseDevice();
    void HandleLoss(const QString& reason);
    void CheckTriggers();
    void ScheduleWake();
    [[noreturn]] void FailOpen(const std::string& path, const std::string& reason);

    DriverClock& Clock_;
    PortNamespace Ports_;
    SerialLine Line_;
    TimerTriggers Triggers_;
    quint16 ComNumber_ = 1;
    QString LossReason_;
    bool DTR_ = false;
    bool RTS_ = false;
    bool CheckingTriggers_ = false;
    QString DevicePath_;
};

} // namespace zx
