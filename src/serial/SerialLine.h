#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

namespace zx {

// An open that the system refused: the device as the system names it, and why, in words a
// technician can act on.
class SerialLineRefusal : public std::runtime_error {
public:
    SerialLineRefusal(std::string device, const std::string& reason)
        : std::runtime_error(reason), Device(std::move(device)) {}
    std::string Device;
};

// The operating system's side of the module's line, one source file per system: the device
// opened for the tool alone (by every lock the system's other programs honour), set to 8N1 raw
// without flow control, its modem lines, bytes in and out without blocking, and a lost device
// told apart from a quiet one. It reports through the event loop and never polls.
class SerialLine : public QObject {
    Q_OBJECT
public:
    explicit SerialLine(QObject* parent = nullptr);
    ~SerialLine() override;

    // Opens the device the name leads to, with its lock file in the lock folder where the
    // system keeps one; SerialLineRefusal when it cannot be had.
    void Open(const std::string& name, std::int32_t baud, const std::string& lockFolder);
    // Gives the line its earlier settings back, releases the locks and closes; never fails.
    void Close();
    bool IsOpen() const;
    // The system's name of the open device.
    const std::string& Device() const;
    // A device without modem lines (a pseudo-terminal) ignores this; that is no failure.
    void SetModemLines(bool dtr, bool rts);
    // The line's settings as the system holds them: "9600,N,8,1, no flow control", and where
    // the system keeps them, ", DTR on, RTS on". Empty when closed.
    std::string Settings() const;
    // Hands the bytes to the device at once; what it cannot take yet waits in the line's own
    // queue and leaves as the device takes it. A device found gone raises Lost before this
    // returns.
    void Write(const std::uint8_t* data, std::size_t count);
    // Bytes still in the line's own queue.
    std::size_t BytesQueued() const;
    // Bytes the device holds that have not been read yet.
    std::size_t BytesWaiting() const;
    // Drops everything received and not yet read, in the device too.
    void DiscardInput();

signals:
    void Received(const QByteArray& bytes);
    // The device is gone: hung up, unplugged, its node removed or replaced. Raised once per
    // open; the line then does nothing more until it is closed.
    void Lost(const QString& reason);

private:
    struct Impl;
    std::unique_ptr<Impl> D_;
};

} // namespace zx
