// One request, one response, one timer: the transaction engine and the status line.
#include "TfrmMain.h"

#include "Catalogue.h"

#include <utility>

namespace zx {

bool TfrmMain::SendRequest() {
    PutRaw(ETX);
    if (!ComPort->Open()) {
        return false;
    }
    if (Codec.TxOverflow()) {
        return false; // a frame that did not fit is never sent cut short
    }
    try {
        ComPort->WriteBlock(Codec.TxBuffer.data(), Codec.TxLength);
    } catch (const ComPortError&) {
        // The line has stopped taking bytes (4 KiB queued and not leaving): this request is
        // not sent, and the technician hears and sees so rather than the program ending.
        ShowStatus(QStringLiteral("Transmit queue full !"), Error);
        return false;
    }
    // Enabled right after queuing: at 9600 baud the answer cannot start before the request
    // has left.
    DataPacket->SetEnabled(true);
    ComPort->ArmTimerTrigger(TimeoutTrigger, ResponseTimeoutTicks);
    return true;
}

void TfrmMain::DataPacketPacket(QObject*, const quint8* Data, int Size) {
    // A body longer than the receive buffer cannot be an answer of the catalogue: it is not
    // copied, and goes on as an empty frame, which the dispatch reports as unknown.
    const auto size = static_cast<std::size_t>(std::max(Size, 0));
    HandleResponse(Codec.StoreRxRaw(Data, size) ? size : 0);
}

void TfrmMain::HandleResponse(std::size_t count) {
    DataPacket->SetEnabled(false);
    ComPort->DisarmTimerTrigger(TimeoutTrigger);
    const quint8 code = Unescape(count);
    switch (DispatchKind(code)) {
    case ResponseKind::ActiveInput:
        ApplyActiveInputStatus();
        break;
    case ResponseKind::ProgrammedInput:
        if (cmbInpRanges->isEnabled()) {
            ApplyProgrammedInputStatus();
        } else {
            ApplyInputStatus();
        }
        break;
    case ResponseKind::ProgramInput:
        ApplyInputStatus();
        // Once per programming request: a module that answers the toolkit version with code 7,
        // or sends code 7 on its own, must not start an endless train of writes into its memory.
        if (std::exchange(ToolkitVersionDue, false)) {
            SendToolkitVersion();
        }
        break;
    case ResponseKind::CodeOnlySuccess:
        ShowStatus(QStringLiteral("Success."), Success);
        break;
    case ResponseKind::ActiveOutput:
        ApplyActiveOutputStatus();
        break;
    case ResponseKind::ProgrammedOutput:
        if (cmbOutRanges->isEnabled()) {
            ApplyProgrammedOutputStatus();
        } else {
            ApplyOutputStatus();
        }
        break;
    case ResponseKind::CalMode:
        ApplyCalMode();
        break;
    case ResponseKind::Version:
        ApplyVersion();
        break;
    case ResponseKind::ToolkitAck:
        ApplyToolkitAck();
        break;
    case ResponseKind::Unknown:
        ShowStatus(QStringLiteral("Unknown response."), Error);
        break;
    }
}

void TfrmMain::ShowStatus(const QString& text, StatusKind kind) {
    if (!ComPort->Open()) {
        sbMain->SetPanelTextColor(2, clRed);
        sbMain->SetPanelText(2, QStringLiteral("No COM port !"));
        return;
    }
    sbMain->SetPanelText(2, text);
    switch (kind) {
    case Busy:
    case Ready:
        sbMain->SetPanelTextColor(2, clBlack);
        break;
    case Error:
        Prompts_.Beep();
        sbMain->SetPanelTextColor(2, clRed);
        ComPort->ArmTimerTrigger(TimeoutTrigger, ErrorDisplayTicks);
        break;
    case Success:
        sbMain->SetPanelTextColor(2, clGreen);
        ComPort->ArmTimerTrigger(TimeoutTrigger, SuccessDisplayTicks);
        break;
    }
    sbMain->SetTag(kind);
}

void TfrmMain::ComPortTriggerTimer(QObject*, quint16 TriggerHandle) {
    if (TriggerHandle != TimeoutTrigger) {
        return; // the collector's or a lamp's own trigger
    }
    const int kind = sbMain->Tag();
    if (kind == Error || kind == Success) {
        ShowStatus(QStringLiteral("Ready"), Ready);
    } else {
        ShowStatus(QStringLiteral("No response !"), Error);
    }
}

void TfrmMain::ComPortDeviceLost(const QString&) {
    // The driver has closed the port; the status line says so at once. Nothing else changes:
    // the technician chooses a port again with a double-click on panel 0.
    ShowStatus(QString(), Busy);
}

} // namespace zx
