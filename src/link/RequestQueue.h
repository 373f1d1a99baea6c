#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zx {

// One request on the line at a time, and every answer paired with it. The module answers in
// order, repeats the request's code in its answer and numbers nothing; so an answer completes
// the request on the line only when it carries that request's code. A frame of another code is
// no answer to it: a late answer to an earlier request of its code (its record still tells
// the module's state), or a copy, or noise.
//
// Requests made while one awaits its answer wait here in the technician's order. A waiting
// request is replaced only by a newer one that sets the same thing (the active range of one
// side, one DAC code field) and only while it is the last one waiting, so that nothing asked
// earlier is overtaken. Everything else (reads, calibrations, programming, DAC writes, clears)
// leaves exactly as asked, but for a read pressed again before the same read has left.
class RequestQueue {
public:
    // What a request sets, for replacement and for the controls the technician holds.
    enum class Sets : std::uint8_t { Nothing, InputRange, OutputRange, ZeroCode, FullCode };

    struct Request {
        std::uint8_t Code = 0;
        Sets Choice = Sets::Nothing;
        std::vector<std::uint8_t> Frame; // STX to ETX, as it goes on the line
        std::string BusyText;            // UTF-8; shown when the request leaves; none when empty
    };

    // What an arriving frame is to the requests written.
    enum class Arrival {
        Answer, // completes the request on the line
        Late,   // an earlier request of its code has had no answer yet: this is that answer
        Stray,  // nothing asked for it: a copy, another code, noise
    };
    struct Pairing {
        Arrival What = Arrival::Stray;
        std::optional<Request> Of; // Answer, Late: the request the frame answers
    };
    // A request whose time-out was told is owed its answer this long, and no longer: far
    // longer than any module answers late, so that noise of its code an hour on is no answer.
    static constexpr std::chrono::seconds OwedFor{30};
    // How many requests may be owed at once: a module that never answers owes no more.
    static constexpr std::size_t MostOwed = 64;

    bool Awaiting() const { return OnLine_.has_value(); }
    const Request* OnLine() const { return OnLine_ ? &*OnLine_ : nullptr; }

    // A new request: waits, replacing the last waiting one only where that sets the same thing.
    // A query that repeats the last waiting one is already asked and waits only once.
    void Put(Request request);
    // The first waiting request, taken out to be written.
    std::optional<Request> Take();
    const Request* Next() const { return Waiting_.empty() ? nullptr : &Waiting_.front(); }
    std::size_t Waiting() const { return Waiting_.size(); }
    // How many requests of this code wait.
    std::size_t Waiting(std::uint8_t code) const;

    // The request has been written: nothing more leaves until its answer or its time-out.
    void Written(Request request);
    // A frame with this code arrived at now. fits says whether it may answer a request by the
    // fields it repeats (the catalogue's AnswerFits); it decides between the oldest request
    // owed and the one on the line, where the order alone would pair it with the wrong one.
    Pairing Arrived(std::uint8_t code, std::chrono::milliseconds now,
                    const std::function<bool(const Request&)>& fits);
    // The request on the line had no answer in its time, or an answer the catalogue does not
    // know: it is owed from now on, and its own answer may still come, late.
    std::optional<Request> TimedOut(std::chrono::milliseconds now);
    // Requests owed their answer, oldest first.
    std::size_t Owed() const { return Owed_.size(); }

    // True while a request that sets this thing is on the line or waits: an answer to an
    // older request then does not set the technician's control back.
    bool Holds(Sets choice) const;

    // The port closed: nothing is awaited, nothing waits, nothing is owed.
    void Clear();

private:
    struct OwedRequest {
        Request Asked;
        std::chrono::milliseconds Since;
    };
    std::optional<Request> OnLine_;
    std::deque<Request> Waiting_;
    std::deque<OwedRequest> Owed_; // timed out, oldest first
};

} // namespace zx
