// Opening and closing the module's port (window operations).
#include "TfrmMain.h"

namespace zx {

void TfrmMain::OpenPort(quint16 number) {
    Engine->Open(number); // raises ComPortError; the rest is then skipped
    DisplayTrigger = ComPort->AllocateTimerTrigger();
    LightControl->SetActive(true);
    sbMain->SetPanelText(0, QStringLiteral("COM%1,9600,N,8,1").arg(ComPort->ComNumber()));
}

void TfrmMain::ClosePort() {
    Engine->Close();
}

void TfrmMain::FormClose(QObject*) {
    ClosePort();
}

} // namespace zx
