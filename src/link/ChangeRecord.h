#pragma once

#include "Catalogue.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zx {

// Whether a request's outcome is recorded: the changes that stay in the module or set its mode
// (programming, calibrating, DAC codes written, flags cleared, CAL/RUN, the toolkit version).
// A range chosen for the moment and a DAC code driven while trimming are not: they are the
// technician's way to a change, and the list's every notch would bury the changes themselves.
bool IsRecordedChange(std::uint8_t code);

// The fields of a request, by the catalogue's names, only those its code carries:
// {"request":"cmdProgramInputRange","code":7,"Range":3,"Minimum":0,"Maximum":5}.
std::string RequestJson(const Request& request);
// The request a written frame (STX to ETX) carries.
Request RequestOfFrame(const std::vector<std::uint8_t>& frame);

// The record fields of an answer as the module reported them, read from the codec's receive
// buffer (RxPos is moved; every reader sets it again): a status record whole, a mode, a toolkit
// acknowledgement, or {} for an answer that is its code alone.
std::string AnswerJson(FrameCodec& codec);

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

// The time now in UTC, ISO 8601 to the millisecond: "2026-12-10T15:17:18.042Z".
std::string UtcNow();

// One record line (without its newline): the time in UTC, the user, the machine, the place,
// the request and the answer, or "no response".
std::string RecordLine(const RecordPlace& place, const Request& request,
                       const std::string* answerJson, bool late);

} // namespace zx
