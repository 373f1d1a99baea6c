// One request, one response, one timer: the transaction engine and the status line.
#include "TfrmMain.h"

#include "Catalogue.h"

#include <cstdio>
#include <utility>

namespace zx {

bool TfrmMain::SendRequest() {
    PutRaw(ETX);
    // The Busy text its sender showed while another request was on the line goes with it.
    std::optional<std::string> busyText = std::exchange(DeferredBusyText_, std::nullopt);
    if (!ComPort->Open()) {
        return false;
    }
    if (Codec.TxOverflow()) {
        return false; // a frame that did not fit is never sent cut short
    }
    RequestQueue::Request request{Codec.TxCode,
                                  {Codec.TxBuffer.begin(), Codec.TxBuffer.begin() + Codec.TxLength},
                                  std::move(busyText)};
    if (Requests.Awaiting()) {
        Requests.Put(std::move(request));
        return true;
    }
    request.BusyText.reset(); // shown by its sender already
    return WriteRequest(request);
}

bool TfrmMain::WriteRequest(const RequestQueue::Request& request) {
    if (request.BusyText) {
        ShowStatus(QString::fromStdString(*request.BusyText), Busy);
    }
    try {
        ComPort->WriteBlock(request.Frame.data(), static_cast<quint16>(request.Frame.size()));
    } catch (const ComPortError&) {
        // The line has stopped taking bytes (4 KiB queued and not leaving): this request is
        // not sent, and the technician hears and sees so rather than the program ending.
        ShowStatus(QStringLiteral("Transmit queue full !"), Error);
        return false;
    }
    if (!ComPort->Open()) {
        return false; // the line died under the write; the driver has closed it and said so
    }
    if (request.Code == cmdProgramInputRange) {
        ToolkitVersionDue = true; // only this request's answer is followed by the version
    }
    Requests.Sent();
    // Enabled right after queuing: at 9600 baud the answer cannot start before the request
    // has left.
    DataPacket->SetEnabled(true);
    ComPort->ArmTimerTrigger(TimeoutTrigger, ResponseTimeoutTicks);
    return true;
}

void TfrmMain::SendWaitingRequest() {
    while (!Requests.Awaiting() && ComPort->Open()) {
        const auto next = Requests.Take();
        if (!next) {
            return;
        }
        WriteRequest(*next);
    }
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
    Requests.Answered();
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
    SendWaitingRequest();
}

void TfrmMain::ShowStatus(const QString& text, StatusKind kind) {
    if (!ComPort->Open()) {
        sbMain->SetPanelTextColor(2, clRed);
        sbMain->SetPanelText(2, QStringLiteral("No COM port !"));
        return;
    }
    if (kind == Busy && Requests.Awaiting()) {
        // The request this announces waits behind the one on the line; its text is shown when
        // it leaves, and until then the status line keeps speaking of the request under way.
        DeferredBusyText_ = text.toStdString();
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
    // Whatever the trigger timed, a request on the line has had its time.
    Requests.Answered();
    const int kind = sbMain->Tag();
    if (kind == Error || kind == Success) {
        ShowStatus(QStringLiteral("Ready"), Ready);
    } else {
        ShowStatus(QStringLiteral("No response !"), Error);
    }
    SendWaitingRequest();
}

void TfrmMain::RunGuarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        HandlerFailed(e.what());
    }
    // A Busy text whose request was never made goes with the handler that showed it.
    DeferredBusyText_.reset();
}

void TfrmMain::HandlerFailed(const char* what) {
    // No event handler may end the program: whatever escaped one is said on the status line
    // ("No COM port !" when the line is gone) and on standard error.
    std::fprintf(stderr, "zentrix: %s\n", what);
    ShowStatus(QString::fromUtf8(what), Error);
}

void TfrmMain::ComPortDeviceLost(const QString& reason) {
    std::fprintf(stderr, "zentrix: %s\n", reason.toLocal8Bit().constData());
    // The driver has closed the port; the status line says so at once. Nothing else changes:
    // the technician chooses a port again with a double-click on panel 0.
    ShowStatus(QString(), Busy);
}

} // namespace zx
