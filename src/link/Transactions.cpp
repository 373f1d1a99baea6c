// The window's side of the transaction engine: its outcomes on the status line, and the
// status line's own display time.
#include "TfrmMain.h"

#include "Catalogue.h"

#include <cstdio>
#include <utility>

namespace zx {

bool TfrmMain::SendRequest(RequestQueue::Sets choice) {
    // The Busy text its sender showed while the line was held goes with it.
    return Engine->Send(choice, std::exchange(DeferredBusyText_, {}));
}

const RequestQueue& TfrmMain::Requests() const {
    return Engine->Requests();
}

bool TfrmMain::LineHeld() const {
    // A request on the line holds the next one back, and so does an error while it is read.
    return Engine->Held();
}

bool TfrmMain::HoldsLine() const {
    return ErrorShowing_;
}

void TfrmMain::Leaving(const RequestQueue::Request& request) {
    if (!request.BusyText.empty()) {
        ShowStatus(QString::fromStdString(request.BusyText), Busy);
    }
}

void TfrmMain::TransmitQueueFull() {
    // The line has stopped taking bytes: the technician hears and sees so rather than the
    // program ending.
    ShowStatus(QStringLiteral("Transmit queue full !"), Error);
}

void TfrmMain::NoResponse(const RequestQueue::Request& request) {
    ShowStatus(QStringLiteral("No response !"), Error);
    if (request.Code == cmdSetCalMode) {
        SetToggle(ReportedCalMode_); // the switch goes back to what the module said last
    }
}

void TfrmMain::RecordFailed(const std::string& problem) {
    std::fprintf(stderr, "zentrix: changes are not being recorded: %s\n", problem.c_str());
}

void TfrmMain::DataPacketPacket(QObject*, const quint8* Data, int Size) {
    Engine->OnPacket(Data, Size);
}

void TfrmMain::Answered(std::uint8_t code, bool late) {
    // The answer to a request that has had its "No response !" is the module's latest state,
    // and is shown. It speaks on the status line as an answer in time does, unless another
    // request is on the line, whose outcome the line then belongs to; a refusal is always said,
    // and, being an error, holds the next request back (a programming's toolkit version among
    // them) until it has been read.
    const bool quiet = late && Requests().Awaiting() && !AnswerRefuses(Codec);
    const bool was = std::exchange(StatusQuiet_, quiet);
    try {
        Dispatch(code);
    } catch (...) {
        StatusQuiet_ = was;
        throw;
    }
    StatusQuiet_ = was;
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
        // Something other than the module answered the request on the line.
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
    if (TriggerHandle == 0 || Engine->OnTrigger(TriggerHandle)) {
        return;
    }
    if (TriggerHandle == DisplayTrigger) {
        ErrorShowing_ = false;
        const int kind = sbMain->Tag();
        const RequestQueue::Request* next = Requests().Awaiting() ? nullptr : Requests().Next();
        // A request that waited behind the message says what it does instead.
        if ((kind == Error || kind == Success) && !(next != nullptr && !next->BusyText.empty())) {
            ShowStatus(QStringLiteral("Ready"), Ready);
        }
        Engine->Resume();
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
