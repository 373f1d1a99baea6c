// Bytes from the line into the real window: collector, unescape, dispatch and every reader,
// with the window's combo boxes enabled or not and full mode on or off.
#include "FuzzWindow.h"

namespace {
zx::fuzz::FuzzWindow* Fuzz = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Fuzz = new zx::fuzz::FuzzWindow();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    zx::TfrmMain& w = *Fuzz->Window;
    Fuzz->SetState(data[0]);
    w.DataPacket->SetEnabled(true);
    // Straight into the driver's receive signal: the same path as bytes read from the device.
    emit w.ComPort->DataReceived(
        QByteArray(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1)));
    Fuzz->Clock.AdvanceTicks(data[0] >> 3); // let display times and frame time-outs run
    if (!zx::fuzz::WellFramed(w.Codec)) {
        std::abort();
    }
    w.DataPacket->SetEnabled(false);
    Fuzz->DrainLine();
    Fuzz->Prompts.Events.clear(); // the harness's record of beeps, not the tool's memory
    return 0;
}
