#include "ModuleServer.h"

#include "Catalogue.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace zx::sim {
namespace {

volatile std::sig_atomic_t StopRequested = 0;

void OnSignal(int) {
    StopRequested = 1;
}

// 10 bits a byte (start, 8 data, stop) at 9600 baud.
constexpr std::chrono::nanoseconds ByteTime{10'000'000'000LL / 9600};

} // namespace

ModuleServer::ModuleServer(ServerOptions options, ModuleModel& model)
    : Options_(std::move(options)), Model_(model), Link_(Options_.LinkFolder, Options_.ComNumber) {}

ModuleServer::~ModuleServer() {
    if (Master_ >= 0) {
        close(Master_);
    }
    if (Slave_ >= 0) {
        close(Slave_);
    }
}

void ModuleServer::RequestStop() {
    StopRequested = 1;
}

bool ModuleServer::Start() {
    // Ctrl+C and SIGTERM only set a flag, from before the link exists, so that the link is
    // always removed again; they are held back except while the server waits.
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGHUP);
    sigprocmask(SIG_BLOCK, &blocked, &WaitMask_);
    // The wait lets them through whatever the mask was before: a second Start (--com auto
    // after a taken number) finds them blocked already by the first.
    sigdelset(&WaitMask_, SIGINT);
    sigdelset(&WaitMask_, SIGTERM);
    sigdelset(&WaitMask_, SIGHUP);

    char name[256] = {};
    if (openpty(&Master_, &Slave_, name, nullptr, nullptr) != 0) {
        Error_ = std::string("cannot open a pseudo-terminal (/dev/ptmx): ") + std::strerror(errno);
        return false;
    }
    // Raw from the start, so that a program writing to the device before it sets the line up
    // (a shell's printf) reaches the module unchanged and nothing is echoed back. The module
    // keeps its own descriptor of the slave: without one, the master reports a hang-up each
    // time the tool closes the port.
    termios raw{};
    tcgetattr(Slave_, &raw);
    cfmakeraw(&raw);
    cfsetspeed(&raw, B9600);
    tcsetattr(Slave_, TCSANOW, &raw);
    fcntl(Master_, F_SETFL, fcntl(Master_, F_GETFL) | O_NONBLOCK);
    fcntl(Master_, F_SETFD, FD_CLOEXEC);
    fcntl(Slave_, F_SETFD, FD_CLOEXEC);
    DevicePath_ = name;

    if (!Link_.Claim(DevicePath_)) {
        Error_ = Link_.Error();
        return false;
    }
    for (const std::string& note : Link_.Notes()) {
        std::fprintf(stderr, "zentrix-module-sim: %s\n", note.c_str());
    }
    return true;
}

double ModuleServer::Seconds() const {
    return std::chrono::duration<double>(Clock::now() - Start_).count();
}

void ModuleServer::Trace(const std::string& line) const {
    if (Options_.Trace) {
        std::fprintf(stderr, "[%10.3f ms] -- %s\n", Seconds() * 1000.0, line.c_str());
    }
}

void ModuleServer::TraceFrame(const char* direction, std::span<const std::uint8_t> frame,
                              std::uint8_t code) {
    if (!Options_.Trace) {
        return;
    }
    std::string hex;
    char byte[4];
    for (std::uint8_t b : frame) {
        std::snprintf(byte, sizeof byte, "%02X ", b);
        hex += byte;
    }
    const std::string_view name = CommandName(code);
    std::fprintf(stderr, "[%10.3f ms] %s %s %s\n", Seconds() * 1000.0, direction, hex.c_str(),
                 name.empty() ? "(not a request code)" : std::string(name).c_str());
}

void ModuleServer::Run() {
    sigset_t waitMask = WaitMask_;

    std::uint8_t buffer[4096];
    while (StopRequested == 0 && !Unplugged_) {
        Pump();
        if (Unplugged_) {
            break;
        }
        // With answers waiting, wake when the next one is due, or, while the tool does not
        // read, when the pseudo-terminal takes bytes again. Idle, wait for input alone.
        pollfd p{Master_, POLLIN, 0};
        timespec timeout{};
        timespec* timeoutPtr = nullptr;
        if (!Out_.empty() && Blocked_) {
            p.events |= POLLOUT;
        } else if (!Out_.empty()) {
            const auto wake = std::max(Out_.front().Due, LineFree_);
            const auto left = std::max(Clock::duration::zero(), wake - Clock::now());
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
            timeout.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
            timeout.tv_nsec = static_cast<long>(ns % 1'000'000'000);
            timeoutPtr = &timeout;
        }
        // Signals are let through only while waiting here, so none is lost between the check
        // of StopRequested and the wait.
        const int ready = ppoll(&p, 1, timeoutPtr, &waitMask);
        if (ready > 0 && (p.revents & POLLOUT) != 0) {
            Blocked_ = false;
        }
        if (ready > 0 && (p.revents & POLLIN) != 0) {
            const ssize_t n = read(Master_, buffer, sizeof buffer);
            if (n > 0) {
                OnBytes(buffer, static_cast<std::size_t>(n));
            }
        }
    }
    sigprocmask(SIG_SETMASK, &waitMask, nullptr);
    Link_.Release();
}

void ModuleServer::OnBytes(const std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; i < size && !Unplugged_; ++i) {
        const std::uint8_t b = data[i];
        if (b == STX) {
            // A new STX always starts over: a frame broken off by the tool is forgotten.
            Collecting_ = true;
            Raw_.clear();
            continue;
        }
        if (!Collecting_) {
            continue; // garbage between frames
        }
        if (b != ETX) {
            if (Raw_.size() < 1024) {
                Raw_.push_back(b);
            }
            continue;
        }
        Collecting_ = false;
        // Every request of the catalogue lies within the first bytes of the receive buffer;
        // whatever a longer frame carries behind them is never read.
        FrameCodec in;
        const std::size_t stored = std::min(Raw_.size(), in.RxRaw.size());
        in.StoreRxRaw(Raw_.data(), stored);
        in.Unescape(stored);
        if (Options_.Trace) {
            std::vector<std::uint8_t> frame{STX};
            frame.insert(frame.end(), Raw_.begin(), Raw_.end());
            frame.push_back(ETX);
            TraceFrame("rx", frame, in.RxBuffer[0]);
        }
        OnRequest(in);
    }
}

Request ModuleServer::AsRead(const Request& change) const {
    switch (DispatchKind(change.Code)) {
    case ResponseKind::ActiveInput:
    case ResponseKind::ProgramInput:
        return {.Code = cmdReadActiveInput,
                .Range = change.Code == cmdClearInputCalFlags
                             ? static_cast<std::uint8_t>(Model_.ActiveInput)
                             : change.Range};
    case ResponseKind::ActiveOutput:
        return {.Code = cmdReadActiveOutput,
                .Range = change.Code == cmdClearOutputCalFlags
                             ? static_cast<std::uint8_t>(Model_.ActiveOutput)
                             : change.Range};
    case ResponseKind::CalMode:
        return {.Code = cmdQueryCalMode};
    default:
        return change;
    }
}

void ModuleServer::OnRequest(FrameCodec& in) {
    ++Requests_;
    const Faults& f = Options_.Faults;
    if (f.UnplugAfter && Requests_ >= *f.UnplugAfter) {
        Unplug();
        return;
    }
    const Request request = ReadRequest(in);
    const std::uint8_t code = request.Code;
    if (f.Silent.Contains(code)) {
        Trace("silent on purpose");
        return;
    }
    // An ignored change is answered as a read of what it would have changed: the module says
    // "done" with its state as it was, which only a check of the answer against the request
    // can catch.
    const bool ignored = f.Ignore.Contains(code) && ChangesModule(code);
    std::optional<Answer> answer =
        in.RxLength == 0 ? std::nullopt
                         : Model_.Handle(ignored ? AsRead(request) : request, Seconds());
    if (answer && ignored) {
        answer->Code = code;
    }
    if (!answer) {
        Trace("no answer: not a request of the catalogue");
        return;
    }
    // Faults change the record, or the frame once it is encoded: never bytes at counted places.
    if (f.Fail.Contains(code)) {
        for (auto* status : {answer->Input ? &answer->Input->Status : nullptr,
                             answer->Output ? &answer->Output->Status : nullptr,
                             answer->ToolkitAck ? &*answer->ToolkitAck : nullptr}) {
            if (status != nullptr) {
                *status = 0;
            }
        }
    }
    if (f.BadRange.Contains(code)) {
        if (answer->Input) {
            answer->Input->RangeCode = 255;
        }
        if (answer->Output) {
            answer->Output->RangeCode = 255;
        }
    }
    if (f.CalModeTwo) {
        for (auto* mode : {answer->Input ? &answer->Input->CalMode : nullptr,
                           answer->Output ? &answer->Output->CalMode : nullptr,
                           answer->CalMode ? &*answer->CalMode : nullptr}) {
            if (mode != nullptr) {
                *mode = 2;
            }
        }
    }
    if (f.UnknownCode.Contains(code)) {
        answer->Code = 9;
    }
    FrameCodec out;
    answer->Encode(out);
    out.PutRaw(ETX);
    std::span<const std::uint8_t> frame(out.TxBuffer.data(), out.TxLength);
    std::vector<std::uint8_t> oversize;
    if (f.Oversize.Contains(code) && frame.size() < OversizeBody + 2) {
        oversize.assign(frame.begin(), frame.end() - 1);
        oversize.resize(OversizeBody + 1, 'A');
        oversize.push_back(ETX);
        frame = oversize;
    }
    const auto delay = std::chrono::milliseconds(
        f.Late.Contains(code) ? f.LateMs : (Options_.Fast ? 0 : Options_.DelayMs));
    Queue(frame, code, delay);
    if (f.Twice.Contains(code)) {
        Queue(frame, code, delay);
    }
}

void ModuleServer::Queue(std::span<const std::uint8_t> frame, std::uint8_t requestCode,
                         std::chrono::milliseconds delay) {
    const Faults& f = Options_.Faults;
    const std::size_t size = static_cast<std::size_t>(f.NoiseBytes) + frame.size();
    if (!Out_.empty() && QueuedBytes_ + size > MaxQueuedBytes) {
        if (Options_.Trace) {
            Trace("answer to " + std::string(CommandName(requestCode)) + " dropped: " +
                  std::to_string(QueuedBytes_) + " bytes already wait for the tool to read them");
        }
        return;
    }
    if (f.Broken.Contains(requestCode)) {
        frame = frame.first(std::max<std::size_t>(2, frame.size() / 2)); // no ETX
    }
    Outgoing out{Clock::now() + delay, {}};
    out.Bytes.reserve(static_cast<std::size_t>(f.NoiseBytes) + frame.size());
    for (int i = 0; i < f.NoiseBytes; ++i) {
        std::uint8_t b = static_cast<std::uint8_t>(Random_() & 0xFF);
        out.Bytes.push_back(b == STX ? 0x55 : b);
    }
    TraceFrame("tx", frame, requestCode);
    out.Bytes.insert(out.Bytes.end(), frame.begin(), frame.end());
    QueuedBytes_ += out.Bytes.size();
    Out_.push_back(std::move(out));
}

void ModuleServer::Pump() {
    while (!Out_.empty() && !Blocked_) {
        Outgoing& out = Out_.front();
        const auto now = Clock::now();
        if (out.Due > now) {
            return;
        }
        std::size_t chunk = out.Bytes.size();
        if (!Options_.Fast) {
            // A pseudo-terminal does not pace bytes: the module's line rate is ours to keep.
            LineFree_ = std::max(LineFree_, out.Due);
            if (LineFree_ + ByteTime < now) {
                LineFree_ = now; // the line was idle: start pacing from now
            }
            if (LineFree_ > now) {
                return;
            }
            chunk = 1;
        }
        const ssize_t n = write(Master_, out.Bytes.data(), chunk);
        if (n <= 0) {
            Blocked_ = true; // the tool is not reading: wait until it does
            return;
        }
        out.Bytes.erase(out.Bytes.begin(), out.Bytes.begin() + n);
        QueuedBytes_ -= static_cast<std::size_t>(n);
        if (!Options_.Fast) {
            LineFree_ += std::chrono::duration_cast<Clock::duration>(ByteTime);
        }
        if (out.Bytes.empty()) {
            Out_.pop_front();
        }
    }
}

void ModuleServer::Unplug() {
    Trace("unplugged after " + std::to_string(Requests_) + " requests");
    Link_.Release();
    close(Master_);
    close(Slave_);
    Master_ = -1;
    Slave_ = -1;
    Unplugged_ = true;
}

} // namespace zx::sim
