// The driver on Windows, run under Wine by scripts/windows --test against virtual modules on
// pseudo-terminals registered as Wine's COM ports: ZX_WINE_MODULE_COM answers every request,
// ZX_WINE_UNPLUG_COM goes dead on its second request. Wine's ports are pseudo-terminals: what
// they cannot show (modem lines, a write the device holds back) is said, not asserted.
#include "Catalogue.h"
#include "ComPort.h"
#include "DataPacket.h"
#include "SystemDriverClock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace zx {
namespace {

quint16 Com(const char* variable) {
    const char* value = std::getenv(variable);
    return static_cast<quint16>(value != nullptr ? std::atoi(value) : 0);
}

// Waits in the event loop until the condition holds or the time is up.
bool WaitFor(const std::function<bool()>& done, int ms) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) {
            loop.quit();
        }
    });
    poll.start(10);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    if (!done()) {
        loop.exec();
    }
    return done();
}

std::vector<quint8> Frame(const Request& request) {
    FrameCodec codec;
    BuildRequest(codec, request);
    codec.PutRaw(ETX);
    return {codec.TxBuffer.begin(), codec.TxBuffer.begin() + codec.TxLength};
}

// A port on the module with its collector: the bodies of the frames it hears.
struct Line {
    SystemDriverClock Clock;
    ComPort Port{Clock, PortNamespace({})};
    DataPacket Collector{Port};
    std::vector<std::vector<quint8>> Bodies;
    QString LostReason;

    explicit Line(quint16 com) {
        QObject::connect(&Collector, &DataPacket::OnPacket, [this](const quint8* data, int size) {
            Bodies.emplace_back(data, data + size);
            Collector.SetEnabled(true); // a frame disables the collector, as the engine knows
        });
        QObject::connect(&Port, &ComPort::DeviceLost,
                         [this](const QString& reason) { LostReason = reason; });
        Port.SetComNumber(com);
        Port.SetDTR(true);
        Port.SetRTS(true);
    }
    void Open() {
        Port.SetOpen(true);
        Collector.SetEnabled(true);
    }
    void Send(const Request& request) {
        const std::vector<quint8> frame = Frame(request);
        Port.WriteBlock(frame.data(), static_cast<quint16>(frame.size()));
    }
    // The body of the next answer, empty when none came within the time.
    std::vector<quint8> Answer(int ms = 3000) {
        const std::size_t before = Bodies.size();
        WaitFor([&] { return Bodies.size() > before; }, ms);
        return Bodies.size() > before ? Bodies.back() : std::vector<quint8>{};
    }
};

TEST(ComPortUnderWine, OpensAtTheModulesSettingsAndCollectsItsAnswer) {
    Line line(Com("ZX_WINE_MODULE_COM"));
    ASSERT_NO_THROW(line.Open());
    EXPECT_TRUE(line.Port.Open());
    // DTR and RTS are raised in the settings themselves, never dropped at open and raised
    // again after. A pseudo-terminal has no modem lines: the pulse itself cannot be seen here,
    // the settings that prevent it can.
    EXPECT_EQ(line.Port.LineSettings(), "9600,N,8,1, no flow control, DTR on, RTS on");
    std::printf("note: a DTR pulse at open cannot be seen on Wine's pseudo-terminals (no modem "
                "lines); the settings that keep DTR and RTS raised are checked instead\n");
    std::printf("note: a port that fails at its very first wait cannot be made here (a "
                "pseudo-terminal that exists answers); the open then fails as a refusal\n");
    line.Send({.Code = cmdQueryCalMode});
    EXPECT_EQ(line.Answer(), (std::vector<quint8>{cmdQueryCalMode, 0}));
}

// Wine lets a second opener into a port; the refusal asserted here is the tool's own claim on
// the port, which Windows' own refusal (access denied) comes before.
TEST(ComPortUnderWine, ASecondOpenerIsRefusedAndTheFirstKeepsTheLine) {
    std::printf("note: Wine lets a second opener into a port; the refusal asserted is the "
                "tool's own claim on it (Windows refuses before, as access denied)\n");
    Line first(Com("ZX_WINE_MODULE_COM"));
    first.Open();
    Line second(Com("ZX_WINE_MODULE_COM"));
    try {
        second.Open();
        ADD_FAILURE() << "the second opener got the port";
    } catch (const ComPortError& e) {
        EXPECT_NE(std::string(e.what()).find("in use by another program"), std::string::npos)
            << e.what();
    }
    EXPECT_FALSE(second.Port.Open());
    first.Send({.Code = cmdQueryCalMode});
    EXPECT_EQ(first.Answer(), (std::vector<quint8>{cmdQueryCalMode, 0}));
}

TEST(ComPortUnderWine, ALastRequestWrittenBeforeTheCloseReachesTheModule) {
    {
        Line line(Com("ZX_WINE_MODULE_COM"));
        line.Open();
        // A block the line needs seconds for, then the request, then the close at once: the
        // read is under way, and the write too where the device holds it back.
        const std::vector<quint8> noise(3000, 0x55);
        line.Port.WriteBlock(noise.data(), static_cast<quint16>(noise.size()));
        line.Send({.Code = cmdSetCalMode, .Value = 1});
        std::printf("note: bytes still queued at the close: %lld (Wine's pseudo-terminal takes "
                    "them at once: the wait for a write the device holds back runs on Windows)\n",
                    static_cast<long long>(line.Port.BytesQueued()));
        line.Port.SetOpen(false);
        EXPECT_FALSE(line.Port.Open());
        // The module's answer to it comes into the closed line, and goes at the next open.
        WaitFor([] { return false; }, 300);
    }
    // Reopened, the module says CAL: the request was drained, not dropped; the old answer was
    // purged at the open.
    Line again(Com("ZX_WINE_MODULE_COM"));
    again.Open();
    again.Send({.Code = cmdQueryCalMode});
    EXPECT_EQ(again.Answer(), (std::vector<quint8>{cmdQueryCalMode, 1}));
    again.Send({.Code = cmdSetCalMode, .Value = 0});
    EXPECT_EQ(again.Answer(), (std::vector<quint8>{cmdSetCalMode, 0}));
}

TEST(ComPortUnderWine, AModuleThatGoesAwayIsALostLine) {
    Line line(Com("ZX_WINE_UNPLUG_COM"));
    line.Open();
    line.Send({.Code = cmdQueryCalMode});
    EXPECT_EQ(line.Answer(), (std::vector<quint8>{cmdQueryCalMode, 0}));
    line.Send({.Code = cmdQueryCalMode}); // the module goes dead on this one
    EXPECT_TRUE(WaitFor([&] { return !line.LostReason.isEmpty(); }, 8000))
        << "the loss was never told";
    EXPECT_FALSE(line.Port.Open());
    std::printf("note: the loss as told: %s\n", line.LostReason.toLocal8Bit().constData());
}

} // namespace
} // namespace zx

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
