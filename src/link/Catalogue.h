#pragma once

#include "FrameCodec.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace zx {

// ---- Response records -------------------------------------------------------------------

// Carried by responses 1..7: 28 bytes behind the code.
struct InputRangeStatus {
    std::uint8_t Status = 0;
    std::uint8_t RangeCode = 0;
    std::uint8_t RangeOk = 0;
    float Reading = 0.0f;
    std::uint16_t ZeroCalFlags = 0;
    std::uint16_t FullCalFlags = 0;
    float MinValue = 0.0f;
    float MaxValue = 0.0f;
    float TA = 0.0f;
    float TCAL = 0.0f;
    std::uint8_t CalMode = 0;
    bool operator==(const InputRangeStatus&) const = default;
};

// Carried by responses 17..23: 29 bytes behind the code. The calibration flags are bytes here,
// not words, and OutputCode sits between MaxValue and TA.
struct OutputRangeStatus {
    std::uint8_t Status = 0;
    std::uint8_t RangeCode = 0;
    std::uint8_t RangeOk = 0;
    std::uint16_t ZeroCode = 0;
    std::uint16_t FullCode = 0;
    std::uint8_t Invert = 0;
    std::uint8_t ZeroCalFlags = 0;
    std::uint8_t FullCalFlags = 0;
    float MinValue = 0.0f;
    float MaxValue = 0.0f;
    std::uint16_t OutputCode = 0;
    float TA = 0.0f;
    float TCAL = 0.0f;
    std::uint8_t CalMode = 0;
    bool operator==(const OutputRangeStatus&) const = default;
};

// Readers set RxPos to 1 and read strictly in record order. A status record whose Status is 0
// is read no further: every other field stays at its default.
InputRangeStatus ReadInputRangeStatus(FrameCodec& codec);
OutputRangeStatus ReadOutputRangeStatus(FrameCodec& codec);
std::uint8_t ReadCalMode(FrameCodec& codec);
// Exactly 50 bytes from offset 1, one character each; trailing characters of code 32 or below
// are removed, inner ones kept.
std::string ReadVersionText(FrameCodec& codec);
std::uint8_t ReadToolkitAck(FrameCodec& codec);

// Writers for the module's side (the virtual module and tests): begin a frame with the code and
// append the whole record in order, whatever its Status.
void WriteInputRangeStatus(FrameCodec& codec, std::uint8_t code, const InputRangeStatus& r);
void WriteOutputRangeStatus(FrameCodec& codec, std::uint8_t code, const OutputRangeStatus& r);
void WriteCalMode(FrameCodec& codec, std::uint8_t code, std::uint8_t calMode);
// The text in 50 bytes, cut or filled with blanks as a module keeps it.
void WriteVersionText(FrameCodec& codec, std::uint8_t code, std::string_view text);
void WriteToolkitAck(FrameCodec& codec, std::uint8_t code, std::uint8_t status);

// ---- Requests ---------------------------------------------------------------------------

// A request's payload fields by name; each code carries only its own, in catalogue order.
struct Request {
    std::uint8_t Code = 0;
    std::uint8_t Range = 0;    // 1, 2, 3, 6, 7, 16 to 19, 22, 23: the list's item index
    std::uint16_t DacCode = 0; // 16, 17, 18
    float FullScale = 0.0f;    // 2
    float Minimum = 0.0f;      // 7, 17, 18, 23
    float Maximum = 0.0f;      // 7, 17, 18, 23
    bool Invert = false;       // 17, 18, 23
    std::uint8_t Value = 0;    // 32, 33: CalMode; 51: ToolkitVersion
    bool operator==(const Request&) const = default;
};

// Begins the request with its code and appends the payload its code carries; the transaction
// engine closes and sends the frame.
void BuildRequest(FrameCodec& codec, const Request& request);
// Each payload field the request's code carries, in catalogue order, by its name ("Range",
// "DacCode", "FullScale", "Minimum", "Maximum", "Invert", and "CalMode" or "ToolkitVersion" for the
// one byte of 32, 33 and 51) and value.
using RequestFieldVisitor = std::function<void(std::string_view name, float value)>;
void ForEachRequestField(const Request& request, const RequestFieldVisitor& visit);
// The module's side: the request in RxBuffer, unescaped; fields the frame lacks read as 0.
Request ReadRequest(FrameCodec& codec);

// ---- Dispatch ---------------------------------------------------------------------------

// What the transaction engine does with a response, by its code.
enum class ResponseKind : std::uint8_t {
    Unknown,          // "Unknown response."
    ActiveInput,      // 1, 2, 3, 5, 6
    ProgrammedInput,  // 4: programmed or first read, by the input combo's enabled state
    ProgramInput,     // 7: input status, then the toolkit version
    CodeOnlySuccess,  // 16
    ActiveOutput,     // 17, 18, 19, 21, 22, 23
    ProgrammedOutput, // 20: programmed or first read, by the output combo's enabled state
    CalMode,          // 32, 33
    Version,          // 48
    ToolkitAck,       // 51
};

ResponseKind DispatchKind(std::uint8_t code);

// True for a request that changes the module (selects, programs, calibrates, writes, clears,
// switches CAL/RUN, the toolkit version); false for the reads, which only ask.
bool ChangesModule(std::uint8_t code);

// Whether the answer in the codec's receive buffer may be the answer to this request, by the
// fields an answer repeats of its request: the range code of a status record, the limits and
// inversion a programming or a DAC write stored, the DAC code written, the CAL/RUN mode set.
// An answer that repeats nothing (a read of the programmed range, a refusal, a code alone)
// may answer any request of its code. RxPos is moved.
bool AnswerFits(FrameCodec& codec, const Request& request);
// Whether the answer in the receive buffer is a refusal: a status record or toolkit
// acknowledgement whose Status is 0. RxPos is moved.
bool AnswerRefuses(FrameCodec& codec);

// The catalogue's name of a request code ("cmdReadVersion"), empty for a code that is none.
std::string_view CommandName(std::uint8_t code);

} // namespace zx
