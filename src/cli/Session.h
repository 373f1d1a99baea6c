#pragma once

#include "Catalogue.h"
#include "ComPort.h"
#include "DataPacket.h"
#include "LinkEngine.h"

#include <QEventLoop>

#include <memory>
#include <optional>
#include <string>

namespace zx {

class RecordBook;

// One connection of the command-line tool: the window's engine on the same driver, asked one
// request at a time, each waited for to its outcome.
class Session final : public LinkEngine::Client {
public:
    enum class Outcome { Answered, NoResponse, Lost, NotSent, Interrupted };
    // What the module answered to one request.
    struct Answer {
        Outcome What = Outcome::NotSent;
        std::uint8_t Code = 0;
        InputRangeStatus Input;
        OutputRangeStatus Output;
        std::uint8_t CalMode = 0;
        std::string Version;
        std::uint8_t ToolkitAck = 0;
        // The window would say "Failed." (a status of 0, a range it does not know) or its error.
        bool Failed = false;
        std::string Said; // what the window's status line would say

        static Answer Of(Outcome what, std::uint8_t code, std::string said) {
            Answer a;
            a.What = what;
            a.Code = code;
            a.Said = std::move(said);
            return a;
        }
    };

    Session(DriverClock& clock, PortNamespace ports, RecordBook* records, bool trace);
    ~Session();

    // Opens COM number as the window does; ComPortError says why not.
    void Open(std::uint16_t number);
    // Writes the request and waits for its answer, its time-out or the line's loss. After an
    // input programming, also waits for the toolkit version the engine writes behind it; its
    // answer is in ToolkitAnswer().
    Answer Ask(const Request& request);
    // Ends the wait for the request under way; no request leaves after it.
    void Interrupt();
    const Answer& ToolkitAnswer() const { return Toolkit_; }
    const std::string& LossReason() const { return LossReason_; }
    const std::string& RecordProblem() const { return RecordProblem_; }
    ComPort& Port() { return *Port_; }

    void Answered(std::uint8_t code, bool late) override;
    void Leaving(const RequestQueue::Request&) override {}
    void NoResponse(const RequestQueue::Request& request) override;
    void TransmitQueueFull() override;
    void RecordFailed(const std::string& problem) override { RecordProblem_ = problem; }

private:
    void Wait();
    void Finish(Answer answer);

    FrameCodec Codec_;
    std::unique_ptr<ComPort> Port_;
    std::unique_ptr<DataPacket> Collector_;
    std::unique_ptr<LinkEngine> Engine_;
    QEventLoop Loop_;
    // The outcome of the request waited for, once it has one (a flag beside it rather than an
    // optional: gcc 14 misreads copies out of an optional of this size).
    Answer Last_;
    bool Done_ = false;
    Answer Toolkit_;
    std::string LossReason_;
    std::string RecordProblem_;
    bool Interrupted_ = false;
};

} // namespace zx
