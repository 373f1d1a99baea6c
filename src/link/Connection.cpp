// Opening and closing the module's port (window operations).
#include "TfrmMain.h"

namespace zx {
namespace {
// The module needs this long to settle after the line drops and after it comes up.
constexpr std::chrono::milliseconds PortSettleTime{500};
} // namespace

void TfrmMain::OpenPort(quint16 number) {
    ComPort->SetOpen(false);
    Clock_.Sleep(PortSettleTime);
    ComPort->SetComNumber(number);
    ComPort->SetDTR(true);
    ComPort->SetRTS(true);
    ComPort->SetOpen(true); // raises ComPortError; the rest is then skipped
    TimeoutTrigger = ComPort->AllocateTimerTrigger();
    DisplayTrigger = ComPort->AllocateTimerTrigger();
    // Listening from the start: whatever the module sends is read as a frame and sorted by
    // the engine, never left to run into the next answer.
    DataPacket->SetEnabled(true);
    LightControl->SetActive(true);
    Clock_.Sleep(PortSettleTime);
    sbMain->SetPanelText(0, QStringLiteral("COM%1,9600,N,8,1").arg(ComPort->ComNumber()));
}

void TfrmMain::ClosePort() {
    if (!ComPort->Open()) {
        return;
    }
    ComPort->SetOpen(false);
    Clock_.Sleep(PortSettleTime);
}

void TfrmMain::FormClose(QObject*) {
    ClosePort();
}

} // namespace zx
