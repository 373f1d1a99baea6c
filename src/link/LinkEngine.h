#pragma once

#include "FrameCodec.h"
#include "RequestQueue.h"

#include <QObject>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace zx {

class ComPort;
class DataPacket;
class RecordBook;
struct RecordOutcome;

// The transaction engine of a connection to a module: it opens the port as a module wants it,
// writes one request at a time, pairs every frame that comes back with the request it answers,
// gives each request its time-out, and keeps the record of every change made to the module.
// The window and the command-line tool each own one and say its outcomes their own way.
class LinkEngine : public QObject {
    Q_OBJECT
public:
    // What the owner does with the engine's outcomes.
    class Client {
    public:
        // A frame answered a request; the codec holds it unescaped, ready to be read. late: the
        // request had its time-out already.
        virtual void Answered(std::uint8_t code, bool late) = 0;
        // A request is about to be written; its Busy text, if any, is to be shown now.
        virtual void Leaving(const RequestQueue::Request& request) = 0;
        virtual void NoResponse(const RequestQueue::Request& request) = 0;
        // The line takes no more bytes: the request was not sent.
        virtual void TransmitQueueFull() = 0;
        // True while the owner holds the next request back (an error still being read).
        virtual bool HoldsLine() const { return false; }
        // The record of a change could not be written (said once per engine).
        virtual void RecordFailed(const std::string& problem) = 0;

    protected:
        ~Client() = default;
    };

    LinkEngine(ComPort& port, DataPacket& collector, FrameCodec& codec, Client& client,
               QObject* parent = nullptr);

    // Closes whatever was open, lets the module settle, opens COM number with DTR and RTS
    // raised and lets it settle again. Raises ComPortError, the port then closed. A program
    // that opens once and settles at its close (the command-line tool) skips the first wait.
    void Open(std::uint16_t number, bool settleFirst = true);
    // Closes the port, letting the module settle; nothing when closed.
    void Close();

    // Closes the request being built in the codec and writes it, or queues it behind the
    // request on the line. busyText is shown when it leaves. False when nothing was sent or
    // queued (no port, a frame that did not fit, a full transmit queue).
    bool Send(RequestQueue::Sets choice, std::string busyText = {});
    // The owner no longer holds the line: the next waiting request leaves.
    void Resume();
    // A request on the line, or the owner holding it.
    bool Held() const;
    const RequestQueue& Requests() const { return Requests_; }

    // The collector's frames and the port's triggers, for the owner to hand on: the owner
    // decides how a failure inside them is told. OnTrigger is false for a handle not the
    // engine's.
    void OnPacket(const std::uint8_t* data, int size);
    bool OnTrigger(std::uint16_t handle);
    std::uint16_t TimeoutTrigger() const { return TimeoutTrigger_; }

    // Where the changes made to the module are written down; none when null.
    void SetRecords(RecordBook* records) { Records_ = records; }
    // Every frame written and read, with its direction ("tx", "rx"), for a trace.
    void SetTrace(std::function<void(const char*, const std::vector<std::uint8_t>&)> trace) {
        Trace_ = std::move(trace);
    }

    static constexpr std::chrono::milliseconds SettleTime{500};

private:
    bool Write(RequestQueue::Request request);
    void SendWaiting();
    void Record(const RequestQueue::Request& request, const RecordOutcome& outcome);
    // A record that could not be written, said once per engine; lines are written on their own
    // thread, so a problem shows after the line that met it.
    void SayRecordProblem();
    void Reset();

    ComPort& Port_;
    DataPacket& Collector_;
    FrameCodec& Codec_;
    Client& Client_;
    RecordBook* Records_ = nullptr;
    std::function<void(const char*, const std::vector<std::uint8_t>&)> Trace_;
    RequestQueue Requests_;
    std::uint16_t TimeoutTrigger_ = 0;
    std::string VersionText_; // the module's, once it answered a version read on this line
    bool RecordFailureTold_ = false;
    // Toolkit versions still waiting when the port closed, and its number.
    int KeptToolkitVersions_ = 0;
    std::uint16_t KeptFor_ = 0;
    static constexpr int StraysToTell = 10; // per connection
    int StraysTold_ = 0;
};

} // namespace zx
