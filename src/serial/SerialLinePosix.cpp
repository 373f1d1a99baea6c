// The module's line on Linux: termios, a UUCP lock file, TIOCEXCL and flock, and a socket
// notifier on the descriptor for both directions.
#include "SerialLine.h"

#include "PortNamespace.h"
#include "ShellQuote.h"
#include "UucpLock.h"

#include <QSocketNotifier>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <grp.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace zx {
namespace {

// What the technician can do about a device the user may not open. Never the group root, and
// never a group the device gives no access to: joining either changes nothing but the user's
// rights.
std::string PermissionAdvice(const struct stat& node) {
    const group* owner = getgrgid(node.st_gid);
    const std::string name = owner != nullptr && owner->gr_name != nullptr
                                 ? owner->gr_name
                                 : std::to_string(node.st_gid);
    if (node.st_gid == 0 || (node.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP)) {
        return "permission denied. The device gives its group ('" + name +
               "') no read and write access, so joining a group will not help. A udev rule can "
               "give the adapter to the group dialout: see "
               "/usr/share/doc/zentrix/examples/99-zentrix-serial.rules.";
    }
    return "permission denied. Your user must belong to the group '" + name +
           "' that owns the device (for example: sudo usermod -aG " + ShellQuote(name) +
           " \"$USER\"), then log out and in again.";
}

} // namespace

struct SerialLine::Impl {
    SerialLine& Owner;
    int Fd = -1;
    std::string Device;
    dev_t Node = 0;
    termios Saved{};
    bool HaveSaved = false;
    bool Lost = false;
    UucpLock Lock;
    std::deque<std::uint8_t> Queue;
    QSocketNotifier* Reader = nullptr;
    QSocketNotifier* Writer = nullptr;

    explicit Impl(SerialLine& owner) : Owner(owner) {}

    // The device is still the one opened and still answers: a hung-up terminal refuses every
    // request of its settings, and an unplugged adapter's node vanishes or is reused.
    bool Answers() const {
        termios settings{};
        struct stat node = {};
        return tcgetattr(Fd, &settings) == 0 && stat(Device.c_str(), &node) == 0 &&
               node.st_rdev == Node;
    }

    void Gone(const char* what, int error) {
        if (Lost) {
            return;
        }
        Lost = true;
        Reader->setEnabled(false);
        Writer->setEnabled(false);
        const std::string reason =
            error != 0 ? std::string(what) + ": " + std::strerror(error) : std::string(what);
        emit Owner.Lost(QString::fromStdString(reason));
    }

    void ReadAll() {
        QByteArray bytes;
        char buffer[4096];
        for (;;) {
            const ssize_t n = read(Fd, buffer, sizeof buffer);
            if (n > 0) {
                bytes.append(buffer, n);
                continue;
            }
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                break; // nothing more now; another reader of the tty may have taken it
            }
            // End of file on a raw terminal that waits for one byte is a hang-up; an I/O error
            // is a far end that went away. Anything else counts only when the device no longer
            // answers.
            const int error = n < 0 ? errno : 0;
            if (n == 0 || error == EIO || error == ENXIO || error == ENODEV || !Answers()) {
                if (!bytes.isEmpty()) {
                    emit Owner.Received(bytes);
                }
                Gone(n == 0 ? "the line was hung up" : "read failed", error);
                return;
            }
            break;
        }
        if (!bytes.isEmpty()) {
            emit Owner.Received(bytes);
        }
    }

    void Flush() {
        while (!Queue.empty() && !Lost) {
            std::uint8_t chunk[1024];
            const std::size_t size = std::min(Queue.size(), sizeof chunk);
            std::copy_n(Queue.begin(), size, chunk);
            const ssize_t n = write(Fd, chunk, size);
            if (n > 0) {
                Queue.erase(Queue.begin(), Queue.begin() + n);
                continue;
            }
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                break;
            }
            const int error = n < 0 ? errno : 0;
            if (error == EIO || error == ENXIO || error == ENODEV || !Answers()) {
                Queue.clear();
                Gone("write failed", error);
                return;
            }
            break;
        }
        Writer->setEnabled(!Queue.empty() && !Lost);
    }
};

SerialLine::SerialLine(QObject* parent) : QObject(parent), D_(std::make_unique<Impl>(*this)) {}

SerialLine::~SerialLine() {
    Close();
}

bool SerialLine::IsOpen() const {
    return D_->Fd >= 0;
}

const std::string& SerialLine::Device() const {
    return D_->Device;
}

void SerialLine::Open(const std::string& name, std::int32_t baud, const std::string& lockFolder) {
    Close();
    // Open the device itself, not a link to it, so that the lock file and the exclusive lock
    // are the same whichever name another program uses.
    std::error_code ec;
    const std::string path = std::filesystem::canonical(name, ec).string();
    if (ec) {
        throw SerialLineRefusal(name, "no such device");
    }
    struct stat node = {};
    // A link to /dev/null, a file or the pseudo-terminal multiplexer is no serial line, and
    // the multiplexer would even "open".
    if (stat(path.c_str(), &node) != 0 || !IsLineNode(node.st_mode, node.st_rdev)) {
        throw SerialLineRefusal(path, "not a serial port");
    }
    if (access(path.c_str(), R_OK | W_OK) != 0 && errno == EACCES) {
        throw SerialLineRefusal(path, PermissionAdvice(node));
    }
    // Another program's lock file is honoured before the device is touched: opening a line
    // raises its modem lines, which may reset what hangs on it.
    Impl& d = *D_;
    try {
        d.Lock.Acquire(path, lockFolder);
    } catch (const UucpLockRefusal& e) {
        throw SerialLineRefusal(path, e.what());
    }
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        d.Lock.Release();
        switch (error) {
        case EBUSY:
            throw SerialLineRefusal(path, "the port is in use by another program");
        case ENOENT:
        case ENODEV:
        case ENXIO:
            throw SerialLineRefusal(path, "no such device");
        case EACCES:
        case EPERM:
            throw SerialLineRefusal(path, PermissionAdvice(node));
        default:
            throw SerialLineRefusal(path, std::strerror(error));
        }
    }
    // TIOCEXCL keeps other openers out, except root; flock stops the programs that use it,
    // root's too. A line found exclusive (root may open another program's) is left so.
    int wasExclusive = 0;
    ioctl(fd, TIOCGEXCL, &wasExclusive);
    const bool exclusive = ioctl(fd, TIOCEXCL) == 0;
    if (!exclusive || flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (exclusive && wasExclusive == 0) {
            ioctl(fd, TIOCNXCL);
        }
        close(fd);
        d.Lock.Release();
        const bool busy = error == EWOULDBLOCK || error == EBUSY;
        throw SerialLineRefusal(path, busy ? "the port is in use by another program"
                                           : std::string("cannot take the port for itself: ") +
                                                 std::strerror(error));
    }
    termios settings{};
    d.HaveSaved = tcgetattr(fd, &d.Saved) == 0;
    settings = d.Saved;
    cfmakeraw(&settings);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    // Non-blocking with one byte wanted: "no data" is EAGAIN, and only a hang-up reads as end
    // of file.
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    // The module speaks 9600 baud only; termios names its speeds, it takes no number.
    const speed_t speed = baud == 9600 ? B9600 : B0;
    if (!d.HaveSaved || speed == B0 || cfsetispeed(&settings, speed) != 0 ||
        cfsetospeed(&settings, speed) != 0 || tcsetattr(fd, TCSANOW, &settings) != 0) {
        const std::string detail = std::strerror(errno);
        ioctl(fd, TIOCNXCL);
        close(fd);
        d.Lock.Release();
        throw SerialLineRefusal(path, "the line cannot be set to 9600 baud 8N1 (" + detail + ")");
    }
    d.Fd = fd;
    d.Device = path;
    d.Node = node.st_rdev;
    d.Lost = false;
    d.Reader = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(d.Reader, &QSocketNotifier::activated, this, [this] { D_->ReadAll(); });
    d.Writer = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    d.Writer->setEnabled(false);
    connect(d.Writer, &QSocketNotifier::activated, this, [this] { D_->Flush(); });
}

void SerialLine::Close() {
    Impl& d = *D_;
    if (d.Fd < 0) {
        return;
    }
    // The notifiers may be the ones whose event is being handled: they go at the next turn.
    for (QSocketNotifier* n : {d.Reader, d.Writer}) {
        n->setEnabled(false);
        n->deleteLater();
    }
    d.Reader = d.Writer = nullptr;
    if (d.HaveSaved && !d.Lost) {
        // The last bytes leave at the speed they were written in before the settings change;
        // a line that takes nothing (no far end reading) is not waited for longer than its
        // bytes could need.
        int queued = 0;
        ioctl(d.Fd, TIOCOUTQ, &queued);
        const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(100) +
                           std::chrono::microseconds(1100) * std::max(queued, 0);
        while (ioctl(d.Fd, TIOCOUTQ, &queued) == 0 && queued > 0 &&
               std::chrono::steady_clock::now() < limit) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        tcsetattr(d.Fd, queued > 0 ? TCSANOW : TCSADRAIN, &d.Saved);
    }
    ioctl(d.Fd, TIOCNXCL);
    close(d.Fd);
    d.Fd = -1;
    d.Queue.clear();
    d.Lock.Release();
}

void SerialLine::SetModemLines(bool dtr, bool rts) {
    const int fd = D_->Fd;
    if (fd < 0) {
        return;
    }
    // A pseudo-terminal has no modem lines and refuses these; the line works all the same.
    int bit = TIOCM_DTR;
    ioctl(fd, dtr ? TIOCMBIS : TIOCMBIC, &bit);
    bit = TIOCM_RTS;
    ioctl(fd, rts ? TIOCMBIS : TIOCMBIC, &bit);
}

std::string SerialLine::Settings() const {
    termios t{};
    if (D_->Fd < 0 || tcgetattr(D_->Fd, &t) != 0) {
        return {};
    }
    const speed_t speed = cfgetospeed(&t);
    std::string said = speed == B9600 ? "9600" : "speed " + std::to_string(speed);
    said += (t.c_cflag & PARENB) != 0 ? ",E" : ",N";
    said += (t.c_cflag & CSIZE) == CS8 ? ",8" : ",not 8";
    said += (t.c_cflag & CSTOPB) != 0 ? ",2" : ",1";
    const bool flow = (t.c_cflag & CRTSCTS) != 0 || (t.c_iflag & (IXON | IXOFF)) != 0;
    said += flow ? ", flow control" : ", no flow control";
    int lines = 0;
    if (ioctl(D_->Fd, TIOCMGET, &lines) == 0) {
        said += (lines & TIOCM_DTR) != 0 ? ", DTR on" : ", DTR off";
        said += (lines & TIOCM_RTS) != 0 ? ", RTS on" : ", RTS off";
    }
    return said;
}

void SerialLine::Write(const std::uint8_t* data, std::size_t count) {
    Impl& d = *D_;
    if (d.Fd < 0 || d.Lost || count == 0) {
        return;
    }
    d.Queue.insert(d.Queue.end(), data, data + count);
    d.Flush();
}

std::size_t SerialLine::BytesQueued() const {
    return D_->Queue.size();
}

std::size_t SerialLine::BytesWaiting() const {
    int waiting = 0;
    if (D_->Fd < 0 || ioctl(D_->Fd, FIONREAD, &waiting) != 0 || waiting < 0) {
        return 0;
    }
    return static_cast<std::size_t>(waiting);
}

void SerialLine::DiscardInput() {
    if (D_->Fd < 0) {
        return;
    }
    tcflush(D_->Fd, TCIFLUSH);
}

} // namespace zx
