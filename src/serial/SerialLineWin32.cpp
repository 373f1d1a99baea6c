// The module's line on Windows: the system's COM port opened for this program alone (the
// system grants a port to one opener at a time), overlapped reads and writes, and event
// notifiers on their events; a device the system no longer answers for is lost.
#include "SerialLine.h"

#include <QWinEventNotifier>

#include <deque>
#include <windows.h>

namespace zx {
namespace {

std::string SystemText(DWORD error) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string said =
        length > 0 ? std::string(text, length) : "system error " + std::to_string(error);
    LocalFree(text);
    while (!said.empty() && (said.back() == '\n' || said.back() == '\r' || said.back() == '.')) {
        said.pop_back();
    }
    return said;
}

} // namespace

struct SerialLine::Impl {
    SerialLine& Owner;
    HANDLE Port = INVALID_HANDLE_VALUE;
    std::string Device;
    DCB Saved{};
    bool HaveSaved = false;
    bool Lost = false;
    OVERLAPPED ReadEvent{}; // the wait for received bytes
    DWORD EventMask = 0;
    OVERLAPPED WriteEvent{}; // the write under way
    std::deque<std::uint8_t> Queue;
    std::vector<std::uint8_t> Writing;
    QWinEventNotifier* Reader = nullptr;
    QWinEventNotifier* Writer = nullptr;

    explicit Impl(SerialLine& owner) : Owner(owner) {}

    void Gone(const char* what, DWORD error) {
        if (Lost) {
            return;
        }
        Lost = true;
        Reader->setEnabled(false);
        Writer->setEnabled(false);
        emit Owner.Lost(QString::fromStdString(std::string(what) + ": " + SystemText(error)));
    }

    // Waits, without blocking, for the next received byte.
    void ArmRead() {
        while (!Lost) {
            ResetEvent(ReadEvent.hEvent);
            if (WaitCommEvent(Port, &EventMask, &ReadEvent)) {
                ReadAll(); // something was there already
                continue;
            }
            const DWORD error = GetLastError();
            if (error != ERROR_IO_PENDING) {
                Gone("waiting for input failed", error);
            }
            return;
        }
    }

    void ReadAll() {
        DWORD errors = 0;
        COMSTAT status{};
        if (!ClearCommError(Port, &errors, &status)) {
            Gone("the port no longer answers", GetLastError());
            return;
        }
        if (status.cbInQue == 0) {
            return;
        }
        QByteArray bytes(static_cast<qsizetype>(status.cbInQue), Qt::Uninitialized);
        OVERLAPPED read{};
        read.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        DWORD got = 0;
        // The bytes are there: with the read time-outs set to "return at once" this completes
        // without waiting.
        const bool done =
            ReadFile(Port, bytes.data(), status.cbInQue, &got, &read) ||
            (GetLastError() == ERROR_IO_PENDING && GetOverlappedResult(Port, &read, &got, TRUE));
        const DWORD error = done ? 0 : GetLastError();
        CloseHandle(read.hEvent);
        if (!done) {
            Gone("read failed", error);
            return;
        }
        bytes.resize(static_cast<qsizetype>(got));
        if (!bytes.isEmpty()) {
            emit Owner.Received(bytes);
        }
    }

    void OnReadEvent() {
        DWORD ignored = 0;
        // A wait cut short by the program's own change of the line (a purge, a modem line) is
        // no loss: the port is asked below, and a port that is gone fails there.
        if (!GetOverlappedResult(Port, &ReadEvent, &ignored, FALSE) &&
            GetLastError() != ERROR_OPERATION_ABORTED) {
            Gone("waiting for input failed", GetLastError());
            return;
        }
        ReadAll();
        ArmRead();
    }

    void StartWrite() {
        if (Lost || !Writing.empty() || Queue.empty()) {
            return;
        }
        Writing.assign(Queue.begin(), Queue.end());
        Queue.clear();
        ResetEvent(WriteEvent.hEvent);
        DWORD written = 0;
        if (WriteFile(Port, Writing.data(), static_cast<DWORD>(Writing.size()), &written,
                      &WriteEvent)) {
            Writing.clear();
            return;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_IO_PENDING) {
            Writing.clear();
            Gone("write failed", error);
            return;
        }
        Writer->setEnabled(true);
    }

    void OnWriteEvent() {
        Writer->setEnabled(false);
        DWORD written = 0;
        if (!GetOverlappedResult(Port, &WriteEvent, &written, FALSE)) {
            Writing.clear();
            Gone("write failed", GetLastError());
            return;
        }
        // A write that took only part goes on with the rest, ahead of what queued meanwhile.
        Queue.insert(Queue.begin(), Writing.begin() + written, Writing.end());
        Writing.clear();
        StartWrite();
    }
};

SerialLine::SerialLine(QObject* parent) : QObject(parent), D_(std::make_unique<Impl>(*this)) {}

SerialLine::~SerialLine() {
    Close();
}

bool SerialLine::IsOpen() const {
    return D_->Port != INVALID_HANDLE_VALUE;
}

const std::string& SerialLine::Device() const {
    return D_->Device;
}

void SerialLine::Open(const std::string& name, std::int32_t baud, const std::string&) {
    Close();
    Impl& d = *D_;
    const HANDLE port = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            throw SerialLineRefusal(name, "no such device");
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            // The system gives a COM port to one opener at a time.
            throw SerialLineRefusal(name, "the port is in use by another program");
        default:
            throw SerialLineRefusal(name, SystemText(error));
        }
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    d.HaveSaved = GetCommState(port, &d.Saved) != 0;
    dcb = d.Saved;
    dcb.BaudRate = static_cast<DWORD>(baud);
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    // Reads return at once with what is there; writes never time out.
    COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 0};
    if (!d.HaveSaved || !SetCommState(port, &dcb) || !SetCommTimeouts(port, &timeouts) ||
        !SetCommMask(port, EV_RXCHAR)) {
        const DWORD error = GetLastError();
        CloseHandle(port);
        throw SerialLineRefusal(name, "the line cannot be set to 9600 baud 8N1 (" +
                                          SystemText(error) + ")");
    }
    d.Port = port;
    d.Device = name;
    d.Lost = false;
    d.ReadEvent = {};
    d.ReadEvent.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    d.WriteEvent = {};
    d.WriteEvent.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    d.Reader = new QWinEventNotifier(d.ReadEvent.hEvent, this);
    connect(d.Reader, &QWinEventNotifier::activated, this, [this] { D_->OnReadEvent(); });
    d.Writer = new QWinEventNotifier(d.WriteEvent.hEvent, this);
    d.Writer->setEnabled(false);
    connect(d.Writer, &QWinEventNotifier::activated, this, [this] { D_->OnWriteEvent(); });
    d.ArmRead();
}

void SerialLine::Close() {
    Impl& d = *D_;
    if (d.Port == INVALID_HANDLE_VALUE) {
        return;
    }
    for (QWinEventNotifier* n : {d.Reader, d.Writer}) {
        n->setEnabled(false);
        n->deleteLater();
    }
    d.Reader = d.Writer = nullptr;
    CancelIo(d.Port);
    if (d.HaveSaved && !d.Lost) {
        SetCommState(d.Port, &d.Saved);
    }
    CloseHandle(d.Port);
    CloseHandle(d.ReadEvent.hEvent);
    CloseHandle(d.WriteEvent.hEvent);
    d.Port = INVALID_HANDLE_VALUE;
    d.Queue.clear();
    d.Writing.clear();
}

void SerialLine::SetModemLines(bool dtr, bool rts) {
    if (D_->Port == INVALID_HANDLE_VALUE) {
        return;
    }
    EscapeCommFunction(D_->Port, dtr ? SETDTR : CLRDTR);
    EscapeCommFunction(D_->Port, rts ? SETRTS : CLRRTS);
}

void SerialLine::Write(const std::uint8_t* data, std::size_t count) {
    Impl& d = *D_;
    if (d.Port == INVALID_HANDLE_VALUE || d.Lost || count == 0) {
        return;
    }
    d.Queue.insert(d.Queue.end(), data, data + count);
    d.StartWrite();
}

std::size_t SerialLine::BytesQueued() const {
    return D_->Queue.size() + D_->Writing.size();
}

std::size_t SerialLine::BytesWaiting() const {
    DWORD errors = 0;
    COMSTAT status{};
    if (D_->Port == INVALID_HANDLE_VALUE || !ClearCommError(D_->Port, &errors, &status)) {
        return 0;
    }
    return status.cbInQue;
}

void SerialLine::DiscardInput() {
    if (D_->Port != INVALID_HANDLE_VALUE) {
        PurgeComm(D_->Port, PURGE_RXCLEAR);
    }
}

} // namespace zx
