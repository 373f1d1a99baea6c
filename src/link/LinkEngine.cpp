#include "LinkEngine.h"

#include "Catalogue.h"
#include "ChangeRecord.h"
#include "ComPort.h"
#include "DataPacket.h"
#include "RecordBook.h"
#include "SystemEnd.h"

#include <cstdio>
#include <utility>

namespace zx {

LinkEngine::LinkEngine(ComPort& port, DataPacket& collector, FrameCodec& codec, Client& client,
                       QObject* parent)
    : QObject(parent), Port_(port), Collector_(collector), Codec_(codec), Client_(client) {
    // The port's triggers go with it, and so do the requests: a handle of a closed port names
    // nothing, and nothing is awaited or waits on a line that is gone.
    connect(&Port_, &ComPort::Closed, this, [this] { Reset(); });
}

void LinkEngine::Open(std::uint16_t number, bool settleFirst) {
    Port_.SetOpen(false);
    if (settleFirst) {
        Port_.Clock().Sleep(SettleTime); // the module settles after the line drops
    }
    Port_.SetComNumber(number);
    Port_.SetDTR(true);
    Port_.SetRTS(true);
    Port_.SetOpen(true); // raises ComPortError; the rest is then skipped
    TimeoutTrigger_ = Port_.AllocateTimerTrigger();
    // Listening from the start: whatever the module sends is read as a frame and sorted here,
    // never left to run into the next answer.
    Collector_.SetEnabled(true);
    Port_.Clock().Sleep(SettleTime); // and after it comes up
    // What came in while the module settled is no answer to anything this connection will
    // ask: a late answer to the previous run or module, still on its way at the open, would
    // otherwise be taken for the answer to the first request of its code.
    Port_.DiscardInput();
    // The same module again: the toolkit versions its programmings are owed still go to it.
    // Another port is another module, which made no such programming.
    const int owed = std::exchange(KeptToolkitVersions_, 0);
    if (std::exchange(KeptFor_, 0) == number) {
        for (int k = 0; k < owed; ++k) {
            BuildRequest(Codec_, {.Code = cmdSetToolkitVersion, .Value = ToolkitVersion});
            Send(RequestQueue::Sets::Nothing, "Setting Toolkit version...");
        }
    }
}

void LinkEngine::Close() {
    if (!Port_.Open()) {
        return;
    }
    Port_.SetOpen(false);
    Port_.Clock().Sleep(SettleTime);
}

void LinkEngine::Reset() {
    // A change on the line when the port goes reached the module; whether the module took it,
    // nobody heard, and its record says so.
    if (const RequestQueue::Request* onLine = Requests_.OnLine();
        onLine != nullptr && Records_ != nullptr && IsRecordedChange(onLine->Code)) {
        Record(*onLine,
               RecordOutcome::Cut(Port_.LossReason().isEmpty()
                                      ? "the port was closed before the answer came"
                                      : "the line was lost: " + Port_.LossReason().toStdString()));
    }
    // A toolkit version not yet written is the module's due: kept for a reopen of its port.
    KeptToolkitVersions_ = static_cast<int>(Requests_.Waiting(cmdSetToolkitVersion));
    KeptFor_ = Port_.ComNumber();
    TimeoutTrigger_ = 0;
    StraysTold_ = 0;
    Requests_.Clear();
    VersionText_.clear();
}

bool LinkEngine::Send(RequestQueue::Sets choice, std::string busyText) {
    Codec_.PutRaw(ETX);
    if (!Port_.Open() || Codec_.TxOverflow()) {
        return false; // a frame that did not fit is never sent cut short
    }
    RequestQueue::Request request{
        Codec_.TxCode,
        choice,
        {Codec_.TxBuffer.begin(), Codec_.TxBuffer.begin() + Codec_.TxLength},
        std::move(busyText)};
    if (Held()) {
        Requests_.Put(std::move(request));
        return true;
    }
    return Write(std::move(request));
}

bool LinkEngine::Held() const {
    return Requests_.Awaiting() || Client_.HoldsLine();
}

bool LinkEngine::Write(RequestQueue::Request request) {
    if (SystemEndAsked()) {
        return false; // the program is ending: nothing more goes to the module
    }
    Client_.Leaving(request);
    try {
        Port_.WriteBlock(request.Frame.data(), static_cast<quint16>(request.Frame.size()));
    } catch (const ComPortError&) {
        // The line has stopped taking bytes (4 KiB queued and not leaving): this request is
        // not sent, and its owner says so rather than the program ending.
        Client_.TransmitQueueFull();
        return false;
    }
    if (!Port_.Open()) {
        return false; // the line died under the write; the driver has closed it and said so
    }
    if (Trace_) {
        Trace_("tx", request.Frame);
    }
    Requests_.Written(std::move(request));
    Collector_.SetEnabled(true);
    // Every request gets its own 73 ticks from its write, whatever else is shown meanwhile.
    Port_.ArmTimerTrigger(TimeoutTrigger_, ResponseTimeoutTicks);
    return true;
}

void LinkEngine::Resume() {
    SendWaiting();
}

void LinkEngine::SendWaiting() {
    while (!Held() && Port_.Open()) {
        auto next = Requests_.Take();
        if (!next) {
            return;
        }
        Write(std::move(*next));
    }
}

void LinkEngine::OnPacket(const std::uint8_t* data, int size) {
    // A body longer than the receive buffer cannot be an answer of the catalogue: it is not
    // copied, and goes on as an empty frame, which answers nothing.
    const auto length = static_cast<std::size_t>(std::max(size, 0));
    const std::size_t count = Codec_.StoreRxRaw(data, length) ? length : 0;
    // The collector keeps listening while the port is open: a late answer or a copy must be
    // read as a frame of its own, never run together with the answer awaited.
    Collector_.SetEnabled(true);
    if (Trace_) {
        // The frame as it came: the body is still escaped.
        std::vector<std::uint8_t> frame(length + 2, STX);
        std::copy(data, data + length, frame.begin() + 1);
        frame.back() = ETX;
        Trace_("rx", frame);
    }
    const std::uint8_t code = Codec_.Unescape(count);
    const auto now = Port_.Clock().Now();
    if (DispatchKind(code) == ResponseKind::Unknown) {
        // Something other than the module answered (a code no request has, an empty or an
        // oversized frame): the request on the line ends at once with "Unknown response.",
        // and its own answer, if it still comes, is a late one.
        if (auto request = Requests_.TimedOut(now)) {
            Port_.DisarmTimerTrigger(TimeoutTrigger_);
            if (Records_ != nullptr && IsRecordedChange(request->Code)) {
                Record(*request, RecordOutcome::Cut("an answer the catalogue does not know"));
            }
            Client_.Answered(code, false);
            SendWaiting();
            return;
        }
    }
    RequestQueue::Pairing pairing =
        Requests_.Arrived(code, now, [this](const RequestQueue::Request& r) {
            return AnswerFits(Codec_, RequestOfFrame(r.Frame));
        });
    if (pairing.What == RequestQueue::Arrival::Stray) {
        // Said, but not without end: a babbling line would drown standard error.
        if (StraysTold_ < StraysToTell) {
            std::fprintf(stderr, "zentrix: a frame with code %u answers no request; dropped%s\n",
                         static_cast<unsigned>(code),
                         ++StraysTold_ == StraysToTell ? " (further ones silently)" : "");
        }
        return;
    }
    const bool late = pairing.What == RequestQueue::Arrival::Late;
    if (!late) {
        // Only the request on the line has its time-out running; a late answer leaves it be.
        Port_.DisarmTimerTrigger(TimeoutTrigger_);
    }
    if (DispatchKind(code) == ResponseKind::Version) {
        VersionText_ = ReadVersionText(Codec_);
    }
    if (Records_ != nullptr && IsRecordedChange(code)) {
        const Json answer = AnswerJson(Codec_);
        Record(*pairing.Of, RecordOutcome::Of(answer, late));
    }
    Client_.Answered(code, late);
    // Once per programming answer, whether it came in time or late: the module learns which
    // toolkit made its range permanent.
    if (DispatchKind(code) == ResponseKind::ProgramInput && Port_.Open()) {
        BuildRequest(Codec_, {.Code = cmdSetToolkitVersion, .Value = ToolkitVersion});
        Send(RequestQueue::Sets::Nothing, "Setting Toolkit version...");
    }
    SendWaiting();
}

bool LinkEngine::OnTrigger(std::uint16_t handle) {
    if (handle == 0 || handle != TimeoutTrigger_) {
        return false;
    }
    auto request = Requests_.TimedOut(Port_.Clock().Now());
    if (!request) {
        return true;
    }
    if (Records_ != nullptr && IsRecordedChange(request->Code)) {
        Record(*request, RecordOutcome::NoAnswer());
    }
    Client_.NoResponse(*request);
    SendWaiting();
    return true;
}

void LinkEngine::Record(const RequestQueue::Request& request, const RecordOutcome& outcome) {
    RecordPlace place;
    place.Port = "COM" + std::to_string(Port_.ComNumber());
    place.Device = Port_.DevicePath().toStdString();
    place.Version = VersionText_;
    // Queued: the writer's thread takes it to the disk while the line goes on.
    Records_->Write(place, RequestOfFrame(request.Frame), outcome);
    SayRecordProblem();
}

void LinkEngine::SayRecordProblem() {
    if (Records_ == nullptr) {
        return;
    }
    if (const std::string problem = Records_->TakeNewProblem();
        !problem.empty() && !std::exchange(RecordFailureTold_, true)) {
        Client_.RecordFailed(problem);
    }
}

} // namespace zx
