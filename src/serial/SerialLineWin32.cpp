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
    // Held while the port is ours: a second of the tool's programs is refused even where a
    // driver lets two openers in (Wine's ports, some virtual port drivers); Windows' own ports
    // refuse it before, as access denied.
    HANDLE Claim = nullptr;
    std::string Device;
    DCB Saved{};
    bool HaveSaved = false;
    bool Lost = false;
    // While Open runs, a failure is the open's to report, not a loss of a line never had.
    bool Opening = false;
    std::string OpenFailure;
    // Each overlapped call still under way owns its OVERLAPPED, its event mask or its buffer
    // until the system says it is done: nothing of them is freed or reused before.
    OVERLAPPED ReadEvent{}; // the wait for received bytes
    DWORD EventMask = 0;
    bool ReadPending = false;
    OVERLAPPED WriteEvent{}; // the write under way
    bool WritePending = false;
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
        const std::string reason = std::string(what) + ": " + SystemText(error);
        if (Opening) {
            OpenFailure = reason;
            return;
        }
        emit Owner.Lost(QString::fromStdString(reason));
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
                return;
            }
            ReadPending = true;
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
        ReadPending = false;
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
        WritePending = true;
        Writer->setEnabled(true);
    }

    // Sends what is still to go, then stops every call under way (at close).
    void DrainAndStop();

    void OnWriteEvent() {
        Writer->setEnabled(false);
        WritePending = false;
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

namespace {

// How long the bytes still to go need at the line's rate, and half a second more.
DWORD DrainTime(std::size_t bytes) {
    return static_cast<DWORD>(500 + bytes * 10 * 1000 / 9600);
}

} // namespace

void SerialLine::Impl::DrainAndStop() {
    Impl& d = *this;
    // The last request before a close (the window closing right after a click) still goes out:
    // the write under way is waited for, then what is queued behind it, each for as long as
    // the line needs for it.
    if (!d.Lost) {
        DWORD written = 0;
        if (d.WritePending &&
            WaitForSingleObject(d.WriteEvent.hEvent, DrainTime(d.Writing.size())) ==
                WAIT_OBJECT_0 &&
            GetOverlappedResult(d.Port, &d.WriteEvent, &written, FALSE)) {
            d.WritePending = false;
            d.Queue.insert(d.Queue.begin(), d.Writing.begin() + written, d.Writing.end());
            d.Writing.clear();
        }
        if (!d.WritePending && !d.Queue.empty()) {
            d.Writing.assign(d.Queue.begin(), d.Queue.end());
            d.Queue.clear();
            ResetEvent(d.WriteEvent.hEvent);
            if (WriteFile(d.Port, d.Writing.data(), static_cast<DWORD>(d.Writing.size()), &written,
                          &d.WriteEvent)) {
                d.Writing.clear();
            } else if (GetLastError() == ERROR_IO_PENDING) {
                d.WritePending = true;
                if (WaitForSingleObject(d.WriteEvent.hEvent, DrainTime(d.Writing.size())) ==
                    WAIT_OBJECT_0) {
                    GetOverlappedResult(d.Port, &d.WriteEvent, &written, FALSE);
                    d.WritePending = false;
                }
            }
        }
    }
    // What still runs is cancelled, and waited for: a cancelled call completes into its
    // OVERLAPPED, its event mask and its buffer, which must still be there when it does.
    CancelIoEx(d.Port, nullptr);
    DWORD ignored = 0;
    if (d.ReadPending) {
        GetOverlappedResult(d.Port, &d.ReadEvent, &ignored, TRUE);
        d.ReadPending = false;
    }
    if (d.WritePending) {
        GetOverlappedResult(d.Port, &d.WriteEvent, &ignored, TRUE);
        d.WritePending = false;
    }
}

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
            // The system gives a COM port to one opener at a time, and says "access denied".
            throw SerialLineRefusal(name, "access denied: the port is in use by another program");
        default:
            throw SerialLineRefusal(name, SystemText(error));
        }
    }
    std::wstring claim = L"Local\\zentrix-port-";
    for (const char c : name) {
        claim += c == '\\' ? L'_' : static_cast<wchar_t>(static_cast<unsigned char>(c));
    }
    d.Claim = CreateMutexW(nullptr, FALSE, claim.c_str());
    if (d.Claim == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) {
        if (d.Claim != nullptr) {
            CloseHandle(d.Claim);
            d.Claim = nullptr;
        }
        CloseHandle(port);
        throw SerialLineRefusal(name, "access denied: the port is in use by another program");
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
    // Raised in the settings themselves: a DCB with the lines disabled drops them, and raising
    // them again after would pulse DTR, which resets a board wired to it.
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    // Reads return at once with what is there; writes never time out.
    COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 0};
    // The driver's queues are sized as the port's own (4 KiB each way); whatever the device
    // received before it was ours is purged before the first read is armed, so that none of
    // it slips past the purge.
    if (!d.HaveSaved || !SetCommState(port, &dcb) || !SetupComm(port, 4096, 4096) ||
        !SetCommTimeouts(port, &timeouts) || !SetCommMask(port, EV_RXCHAR) ||
        !PurgeComm(port, PURGE_RXCLEAR | PURGE_TXCLEAR)) {
        const DWORD error = GetLastError();
        CloseHandle(port);
        CloseHandle(d.Claim);
        d.Claim = nullptr;
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
    d.Opening = true;
    d.ArmRead();
    d.Opening = false;
    if (d.Lost) {
        // The port failed at its first wait: it is not opened, and the open says why.
        const std::string reason = d.OpenFailure;
        Close();
        throw SerialLineRefusal(name, reason);
    }
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
    d.DrainAndStop();
    if (d.HaveSaved && !d.Lost) {
        SetCommState(d.Port, &d.Saved);
    }
    CloseHandle(d.Port);
    if (d.Claim != nullptr) {
        CloseHandle(d.Claim);
        d.Claim = nullptr;
    }
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

std::string SerialLine::Settings() const {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (D_->Port == INVALID_HANDLE_VALUE || !GetCommState(D_->Port, &dcb)) {
        return {};
    }
    std::string said = std::to_string(dcb.BaudRate);
    said += dcb.Parity == NOPARITY ? ",N" : ",parity";
    said += dcb.ByteSize == 8 ? ",8" : ",not 8";
    said += dcb.StopBits == ONESTOPBIT ? ",1" : ",not 1";
    const bool flow = dcb.fOutxCtsFlow || dcb.fOutxDsrFlow || dcb.fOutX || dcb.fInX ||
                      dcb.fRtsControl == RTS_CONTROL_HANDSHAKE ||
                      dcb.fDtrControl == DTR_CONTROL_HANDSHAKE;
    said += flow ? ", flow control" : ", no flow control";
    said += dcb.fDtrControl == DTR_CONTROL_ENABLE ? ", DTR on" : ", DTR off";
    said += dcb.fRtsControl == RTS_CONTROL_ENABLE ? ", RTS on" : ", RTS off";
    return said;
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
    // Purged at open before the first read was armed; later, what the device holds goes, and
    // the read under way goes on waiting.
    if (D_->Port != INVALID_HANDLE_VALUE) {
        PurgeComm(D_->Port, PURGE_RXCLEAR);
    }
}

} // namespace zx
