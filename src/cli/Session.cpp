#include "Session.h"

#include "RangeTables.h"
#include "SystemEnd.h"

#include <QElapsedTimer>

#include <cstdio>

namespace zx {

Session::Session(DriverClock& clock, PortNamespace ports, RecordBook* records, bool trace)
    : Port_(std::make_unique<ComPort>(clock, std::move(ports))),
      Collector_(std::make_unique<DataPacket>(*Port_)),
      Engine_(std::make_unique<LinkEngine>(*Port_, *Collector_, Codec_, *this)) {
    Engine_->SetRecords(records);
    if (trace) {
        auto started = std::make_shared<QElapsedTimer>();
        started->start();
        Engine_->SetTrace([started](const char* way, const std::vector<std::uint8_t>& frame) {
            std::string hex;
            for (const std::uint8_t b : frame) {
                char text[4];
                std::snprintf(text, sizeof text, " %02x", b);
                hex += text;
            }
            std::fprintf(stderr, "%8.3f ms %s%s\n",
                         static_cast<double>(started->nsecsElapsed()) / 1e6, way, hex.c_str());
        });
    }
    QObject::connect(Collector_.get(), &DataPacket::OnPacket, &Loop_,
                     [this](const quint8* data, int size) { Engine_->OnPacket(data, size); });
    QObject::connect(Port_.get(), &ComPort::OnTriggerTimer, &Loop_,
                     [this](quint16 handle) { Engine_->OnTrigger(handle); });
    QObject::connect(Port_.get(), &ComPort::DeviceLost, &Loop_, [this](const QString& reason) {
        LossReason_ = reason.toStdString();
        Finish(Answer::Of(Outcome::Lost, 0, "No COM port !"));
    });
}

Session::~Session() {
    Engine_->Close();
}

void Session::Open(std::uint16_t number) {
    // A fresh process has held no line: the wait after the previous close was that run's own.
    Engine_->Open(number, false);
}

void Session::Wait() {
    while (!Done_) {
        Loop_.exec();
    }
}

void Session::Finish(Answer answer) {
    Last_ = std::move(answer);
    Done_ = true;
    Loop_.quit();
}

void Session::Interrupt() {
    Interrupted_ = true;
    Finish(Answer::Of(Outcome::Interrupted, 0, "interrupted"));
}

Session::Answer Session::Ask(const Request& request) {
    if (Interrupted_ || SystemEndAsked()) {
        return Answer::Of(Outcome::Interrupted, 0, "interrupted");
    }
    Done_ = false;
    BuildRequest(Codec_, request);
    if (!Engine_->Send(RequestQueue::Sets::Nothing)) {
        if (!Done_) {
            Finish(Answer::Of(Port_->Open() ? Outcome::NotSent : Outcome::Lost, 0,
                              Port_->Open() ? "not sent" : "No COM port !"));
        }
        return Last_;
    }
    Wait();
    Answer answer = Last_;
    if (answer.What == Outcome::Answered &&
        DispatchKind(request.Code) == ResponseKind::ProgramInput &&
        Engine_->Requests().Awaiting()) {
        // The engine has written the toolkit version behind the programming.
        Done_ = false;
        Wait();
        Toolkit_ = Last_;
    }
    return answer;
}

void Session::Answered(std::uint8_t code, bool late) {
    if (late) {
        return; // the command stopped at the request that had no answer
    }
    Answer a = Answer::Of(Outcome::Answered, code, "Success.");
    const auto failed = [&a](bool refused) {
        if (refused) {
            a.Failed = true;
            a.Said = "Failed.";
        }
    };
    switch (DispatchKind(code)) {
    case ResponseKind::ActiveInput:
    case ResponseKind::ProgrammedInput:
    case ResponseKind::ProgramInput:
        a.Input = ReadInputRangeStatus(Codec_);
        failed(a.Input.Status == 0 || !IsInputRangeCode(a.Input.RangeCode));
        break;
    case ResponseKind::ActiveOutput:
    case ResponseKind::ProgrammedOutput:
        a.Output = ReadOutputRangeStatus(Codec_);
        failed(a.Output.Status == 0 || !IsOutputRangeCode(a.Output.RangeCode));
        break;
    case ResponseKind::CalMode:
        a.CalMode = ReadCalMode(Codec_);
        break;
    case ResponseKind::Version:
        a.Version = ReadVersionText(Codec_);
        break;
    case ResponseKind::ToolkitAck:
        a.ToolkitAck = ReadToolkitAck(Codec_);
        if (a.ToolkitAck == 0) {
            a.Failed = true;
            a.Said = "Error occured while performing the operation !";
        }
        break;
    case ResponseKind::CodeOnlySuccess:
        break;
    case ResponseKind::Unknown:
        a.Failed = true;
        a.Said = "Unknown response.";
        break;
    }
    Finish(a);
}

void Session::NoResponse(const RequestQueue::Request& request) {
    Finish(Answer::Of(Outcome::NoResponse, request.Code, "No response !"));
}

void Session::TransmitQueueFull() {
    Finish(Answer::Of(Outcome::NotSent, 0, "Transmit queue full !"));
}

} // namespace zx
