#pragma once

#include "Catalogue.h"
#include "Json.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zx {

// Whether a request's outcome is recorded: the changes that stay in the module or set its mode
// (programming, calibrating, DAC codes written, flags cleared, CAL/RUN, the toolkit version).
// A range chosen for the moment and a DAC code driven while trimming are not: they are the
// technician's way to a change, and the list's every notch would bury the changes themselves.
bool IsRecordedChange(std::uint8_t code);

// A recorded change in words, for people: "make input range permanent".
std::string_view ChangeInWords(std::uint8_t code);

// The fields of a request, by the catalogue's names, only those its code carries:
// {"request":"cmdProgramInputRange","code":7,"Range":3,"Minimum":0,"Maximum":5}.
Json RequestJson(const Request& request);
// The request a written frame (STX to ETX) carries.
Request RequestOfFrame(const std::vector<std::uint8_t>& frame);

// The record fields of an answer as the module reported them, read from the codec's receive
// buffer (RxPos is moved; every reader sets it again): a status record whole, a mode, a toolkit
// acknowledgement, or {} for an answer that is its code alone.
Json AnswerJson(FrameCodec& codec);

// Text the module sends byte by byte, made UTF-8 for JSON.
std::string Latin1ToUtf8(std::string_view text);

// Where a change was made and by whom, for its record.
struct RecordPlace {
    std::string User;
    std::string Machine;
    std::string Program; // "zentrix", "zentrix-cli"
    std::string Port;    // "COM49"
    std::string Device;  // "/dev/ttyUSB0"
    std::string Version; // the module's version text if read on this connection
};

// How a recorded change ended.
struct RecordOutcome {
    enum class Kind { Answered, NoResponse, Unknown };
    Kind What = Kind::Answered;
    const Json* Answer = nullptr; // Answered: the answer's record fields
    bool Late = false;            // Answered after its time-out had been told
    std::string Reason;           // Unknown: why the answer can no longer be waited for

    static RecordOutcome Of(const Json& answer, bool late) {
        return {Kind::Answered, &answer, late, {}};
    }
    static RecordOutcome NoAnswer() { return {Kind::NoResponse, nullptr, false, {}}; }
    static RecordOutcome Cut(std::string reason) {
        return {Kind::Unknown, nullptr, false, std::move(reason)};
    }
};

// The time in UTC, ISO 8601 to the millisecond: "2026-12-10T15:17:18.042Z".
std::string UtcText(std::chrono::system_clock::time_point time);
std::string UtcNow();

// Version of the record lines' shape.
inline constexpr int RecordSchema = 1;

// One record line (without its newline): the time in UTC, the user, the machine, the place,
// the change in words, the request, and how it ended with the module's answer.
std::string RecordLine(const RecordPlace& place, const Request& request,
                       const RecordOutcome& outcome);

} // namespace zx
