#include "ComPort.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace zx {
namespace {

std::string GroupOwning(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        return {};
    }
    if (const group* g = getgrgid(st.st_gid); g != nullptr && g->gr_name != nullptr) {
        return g->gr_name;
    }
    return std::to_string(st.st_gid);
}

} // namespace

ComPort::ComPort(DriverClock& clock, PortNamespace ports, QObject* parent)
    : QObject(parent), Clock_(clock), Ports_(std::move(ports)) {
    Clock_.OnWake = [this] { CheckTriggers(); };
    connect(&Port_, &QSerialPort::readyRead, this, &ComPort::ReadAvailable);
    connect(&Port_, &QSerialPort::errorOccurred, this, &ComPort::HandleError);
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
    // Open the device itself, not a link to it, so that the lock file and the exclusive lock
    // are the same whichever name another program uses.
    std::error_code ec;
    const std::filesystem::path device = std::filesystem::canonical(named, ec);
    if (ec) {
        FailOpen(named, "no such device");
    }
    const std::string path = device.string();
    struct stat node {};
    // A link to /dev/null, a file or the pseudo-terminal multiplexer is no serial line, and
    // the multiplexer would even "open".
    if (stat(path.c_str(), &node) != 0 || !IsLineNode(node.st_mode, node.st_rdev)) {
        FailOpen(path, "not a serial port");
    }
    if (access(path.c_str(), R_OK | W_OK) != 0 && errno == EACCES) {
        const std::string groupName = GroupOwning(path);
        FailOpen(path, "permission denied. Your user must belong to the group '" + groupName +
                           "' that owns the device (for example: sudo usermod -aG " + groupName +
                           " $USER), then log out and in again.");
    }

    Port_.setPortName(QString::fromStdString(path));
    Port_.setReadBufferSize(InSize);
    if (!Port_.open(QIODevice::ReadWrite)) {
        const auto error = Port_.error();
        const std::string detail = Port_.errorString().toStdString();
        Port_.clearError();
        switch (error) {
        case QSerialPort::PermissionError:
            FailOpen(path, "the port is in use by another program (" + detail + ")");
        case QSerialPort::DeviceNotFoundError:
            FailOpen(path, "no such device");
        default:
            FailOpen(path, detail);
        }
    }
    // QSerialPort's lock file and TIOCEXCL do not stop a second opener running as root; an
    // advisory lock on the open file does.
    if (flock(static_cast<int>(Port_.handle()), LOCK_EX | LOCK_NB) != 0) {
        Port_.close();
        Port_.clearError();
        FailOpen(path, "the port is in use by another program");
    }
    const bool lineSet = Port_.setBaudRate(Baud) && Port_.setDataBits(QSerialPort::Data8) &&
                         Port_.setParity(QSerialPort::NoParity) &&
                         Port_.setStopBits(QSerialPort::OneStop) &&
                         Port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!lineSet) {
        const std::string detail = Port_.errorString().toStdString();
        Port_.close();
        Port_.clearError();
        FailOpen(path, "the line cannot be set to 9600 baud 8N1 (" + detail + ")");
    }
    // A pseudo-terminal has no modem lines: the request fails there and that is fine.
    SetModemLines();
    DevicePath_ = QString::fromStdString(path);
    Device_ = node.st_rdev;
    // Whatever waited in the device before it was ours (a late answer of an earlier run, a
    // shell's printf, noise) answers nothing the tool will ask.
    DiscardInput();
    emit Opened();
}

void ComPort::DiscardInput() {
    Port_.clear(QSerialPort::Input);
    Port_.readAll();
}

void ComPort::CloseDevice() {
    Triggers_.ReleaseAll();
    ScheduleWake();
    Port_.close();
    Port_.clearError();
    emit Closed();
}

void ComPort::SetModemLines() {
    // Whatever a device without modem lines answers here is no loss of the device.
    SettingModemLines_ = true;
    Port_.setDataTerminalReady(DTR_);
    Port_.setRequestToSend(RTS_);
    Port_.clearError();
    SettingModemLines_ = false;
}

void ComPort::SetDTR(bool on) {
    DTR_ = on;
    if (Open()) {
        SetModemLines();
    }
}

void ComPort::SetRTS(bool on) {
    RTS_ = on;
    if (Open()) {
        SetModemLines();
    }
}

void ComPort::WriteBlock(const quint8* data, quint16 count) {
    if (count == 0 || !Open()) {
        return;
    }
    if (Port_.bytesToWrite() + count > OutSize) {
        throw ComPortError("COM" + std::to_string(ComNumber_) + ": transmit queue full, block of " +
                           std::to_string(count) + " bytes not queued");
    }
    Port_.write(reinterpret_cast<const char*>(data), count);
    // Hand the bytes to the device now, without blocking, rather than at the next turn of the
    // event loop: that turn first repaints the window, and on X11 painting waits on the display
    // server, which a request caused by an answer must not wait for.
    Port_.flush();
    emit BlockQueued();
}

void ComPort::ReadAvailable() {
    const QByteArray bytes = Port_.readAll();
    if (!bytes.isEmpty()) {
        emit DataReceived(bytes);
    }
}

bool ComPort::DeviceAnswers() const {
    // A line that is really gone fails here: a hung-up terminal refuses every request of its
    // settings, and an unplugged adapter's node vanishes or is reused by another device.
    termios settings{};
    struct stat node {};
    return tcgetattr(static_cast<int>(Port_.handle()), &settings) == 0 &&
           stat(DevicePath_.toStdString().c_str(), &node) == 0 && node.st_rdev == Device_;
}

void ComPort::HandleError(QSerialPort::SerialPortError error) {
    if (error == QSerialPort::NoError || error == QSerialPort::UnsupportedOperationError ||
        error == QSerialPort::TimeoutError || !Open() || SettingModemLines_) {
        return;
    }
    if (DeviceAnswers()) {
        // Another reader of the tty (ModemManager probing, a terminal, cat) took the bytes the
        // read was woken for: the read found nothing, and Qt calls that a read or even a
        // resource error and stops listening. The line is still ours; listen again.
        Port_.clearError();
        Port_.setReadBufferSize(InSize);
        return;
    }
    // Close at once so that a hung-up descriptor cannot make the event loop spin, and say it
    // once.
    const QString reason = Port_.errorString();
    CloseDevice();
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
