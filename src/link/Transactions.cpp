// One request on the line, its answer paired by code, two timers: the transaction engine and
// the status line.
#include "TfrmMain.h"

#include "Catalogue.h"

#include <cstdio>
#include <utility>

namespace zx {

bool TfrmMain::SendRequest(RequestQueue::Sets choice) {
    PutRaw(ETX);
    // The Busy text its sender showed while the line was held goes with it.
    std::string busyText = std::exchange(DeferredBusyText_, {});
    if (!ComPort->Open()) {
        return false;
    }
    if (Codec.TxOverflow()) {
        return false; // a frame that did not fit is never sent cut short
    }
    RequestQueue::Request request{Codec.TxCode,
                                  choice,
                                  {Codec.TxBuffer.begin(), Codec.TxBuffer.begin() + Codec.TxLength},
                                  std::move(busyText)};
    if (LineHeld()) {
        Requests.Put(std::move(request));
        return true;
    }
    request.BusyText.clear(); // shown by its sender already
    return WriteRequest(std::move(request));
}

bool TfrmMain::LineHeld() const {
    // A request on the line holds the next one back, and so does an error while it is read.
    return Requests.Awaiting() || ErrorShowing_;
}

bool TfrmMain::WriteRequest(RequestQueue::Request request) {
    if (!request.BusyText.empty()) {
        ShowStatus(QString::fromStdString(request.BusyText), Busy);
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
    Requests.Written(std::move(request));
    DataPacket->SetEnabled(true);
    // Every request gets its own 73 ticks from its write, whatever a message's display time.
    ComPort->ArmTimerTrigger(TimeoutTrigger, ResponseTimeoutTicks);
    return true;
}

void TfrmMain::SendWaitingRequest() {
    while (!LineHeld() && ComPort->Open()) {
        auto next = Requests.Take();
        if (!next) {
            return;
        }
        WriteRequest(std::move(*next));
    }
}

void TfrmMain::DataPacketPacket(QObject*, const quint8* Data, int Size) {
    // A body longer than the receive buffer cannot be an answer of the catalogue: it is not
    // copied, and goes on as an empty frame, which answers nothing.
    const auto size = static_cast<std::size_t>(std::max(Size, 0));
    HandleResponse(Codec.StoreRxRaw(Data, size) ? size : 0);
}

void TfrmMain::HandleResponse(std::size_t count) {
    // The collector keeps listening while the port is open: a late answer or a copy must be
    // read as a frame of its own, never run together with the answer awaited.
    DataPacket->SetEnabled(true);
    const std::vector<quint8> body(Codec.RxRaw.begin(),
                                   Codec.RxRaw.begin() + static_cast<std::ptrdiff_t>(count));
    const quint8 code = Unescape(count);
    switch (Requests.Arrived(code, body)) {
    case RequestQueue::Arrival::Answer:
        ComPort->DisarmTimerTrigger(TimeoutTrigger);
        Dispatch(code);
        break;
    case RequestQueue::Arrival::Late: {
        // The answer to a request that has had its "No response !": what it reports is the
        // module's latest state, and is shown; the status line belongs to the request on the
        // line and is left alone.
        const bool quiet = std::exchange(StatusQuiet_, true);
        try {
            Dispatch(code);
        } catch (...) {
            StatusQuiet_ = quiet;
            throw;
        }
        StatusQuiet_ = quiet;
        break;
    }
    case RequestQueue::Arrival::Stray:
        // Said, but not without end: a babbling line would drown standard error.
        if (StraysTold_ < StraysToTell) {
            std::fprintf(stderr, "zentrix: a frame with code %u answers no request; dropped%s\n",
                         static_cast<unsigned>(code),
                         ++StraysTold_ == StraysToTell ? " (further ones silently)" : "");
        }
        return;
    }
    // Once per programming answer, whether it came in time or late.
    if (DispatchKind(code) == ResponseKind::ProgramInput) {
        SendToolkitVersion();
    }
    SendWaitingRequest();
}

void TfrmMain::Dispatch(quint8 code) {
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
        // No request of the tool has such a code, so no such frame is ever paired with one.
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
    if (StatusQuiet_) {
        return;
    }
    if (kind == Busy && LineHeld()) {
        // The request this announces waits behind the one on the line, or behind an error
        // still being read; its text is shown when it leaves.
        DeferredBusyText_ = text.toStdString();
        return;
    }
    sbMain->SetPanelText(2, text);
    ErrorShowing_ = kind == Error;
    switch (kind) {
    case Busy:
    case Ready:
        sbMain->SetPanelTextColor(2, clBlack);
        ComPort->DisarmTimerTrigger(DisplayTrigger);
        break;
    case Error:
        Prompts_.Beep();
        sbMain->SetPanelTextColor(2, clRed);
        ComPort->ArmTimerTrigger(DisplayTrigger, ErrorDisplayTicks);
        break;
    case Success:
        sbMain->SetPanelTextColor(2, clGreen);
        ComPort->ArmTimerTrigger(DisplayTrigger, SuccessDisplayTicks);
        break;
    }
    sbMain->SetTag(kind);
}

void TfrmMain::ComPortTriggerTimer(QObject*, quint16 TriggerHandle) {
    if (TriggerHandle == 0) {
        return;
    }
    if (TriggerHandle == TimeoutTrigger) {
        const auto request = Requests.TimedOut();
        if (!request) {
            return;
        }
        ShowStatus(QStringLiteral("No response !"), Error);
        if (request->Code == cmdSetCalMode) {
            SetToggle(ReportedCalMode_); // the switch goes back to what the module said last
        }
        SendWaitingRequest();
    } else if (TriggerHandle == DisplayTrigger) {
        ErrorShowing_ = false;
        const int kind = sbMain->Tag();
        const RequestQueue::Request* next = Requests.Awaiting() ? nullptr : Requests.Next();
        // A request that waited behind the message says what it does instead.
        if ((kind == Error || kind == Success) && !(next != nullptr && !next->BusyText.empty())) {
            ShowStatus(QStringLiteral("Ready"), Ready);
        }
        SendWaitingRequest();
    }
    // Any other handle is a trigger of the collector or of the lamps.
}

void TfrmMain::RunGuarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        HandlerFailed(e.what());
    }
    // A Busy text whose request was never made goes with the handler that showed it.
    DeferredBusyText_.clear();
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
