#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zx {

// One request on the line at a time. The module answers in order and requests carry no number,
// so a second request written before the first is answered would have its answer lost or taken
// for the other's. A request made while one awaits its answer waits here; a newer request with
// the same code replaces the one still waiting, so the technician's last choice of a range or
// a DAC code is the one that reaches the module.
class RequestQueue {
public:
    struct Request {
        std::uint8_t Code = 0;
        std::vector<std::uint8_t> Frame;     // STX to ETX, as it goes on the line
        std::optional<std::string> BusyText; // UTF-8; shown when the request leaves
    };

    bool Awaiting() const { return Awaiting_; }
    // A request has been written: nothing more leaves until Answered.
    void Sent() { Awaiting_ = true; }
    // Its answer arrived or its time ran out: the next waiting request may leave.
    void Answered() { Awaiting_ = false; }

    void Put(Request request);
    std::optional<Request> Take();
    std::size_t Waiting() const { return Waiting_.size(); }
    // The port closed: nothing is awaited and nothing waits.
    void Clear();

private:
    std::vector<Request> Waiting_;
    bool Awaiting_ = false;
};

} // namespace zx
