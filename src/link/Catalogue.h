#pragma once

#include "FrameCodec.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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
// append the record in order.
void WriteInputRangeStatus(FrameCodec& codec, std::uint8_t code, const InputRangeStatus& r);
void WriteOutputRangeStatus(FrameCodec& codec, std::uint8_t code, const OutputRangeStatus& r);
void WriteCalMode(FrameCodec& codec, std::uint8_t code, std::uint8_t calMode);
void WriteVersionText(FrameCodec& codec, std::string_view text);
void WriteToolkitAck(FrameCodec& codec, std::uint8_t status);

// ---- Requests ---------------------------------------------------------------------------
// Each builder begins the request and appends its payload in catalogue order; the frame is
// closed and sent by the transaction engine.

void BuildCalInputZero(FrameCodec& c, std::uint8_t range);
void BuildCalInputFull(FrameCodec& c, std::uint8_t range, float fullScale);
void BuildReadActiveInput(FrameCodec& c, std::uint8_t range);
void BuildReadProgrammedInput(FrameCodec& c);
void BuildClearInputCalFlags(FrameCodec& c);
void BuildSelectInputRange(FrameCodec& c, std::uint8_t range);
void BuildProgramInputRange(FrameCodec& c, std::uint8_t range, float minimum, float maximum);
void BuildSetOutputCode(FrameCodec& c, std::uint8_t range, std::uint16_t dacCode);
void BuildWriteOutputZero(FrameCodec& c, std::uint8_t range, std::uint16_t zeroCode, float minimum,
                          float maximum, bool invert);
void BuildWriteOutputFull(FrameCodec& c, std::uint8_t range, std::uint16_t fullCode, float minimum,
                          float maximum, bool invert);
void BuildReadActiveOutput(FrameCodec& c, std::uint8_t range);
void BuildReadProgrammedOutput(FrameCodec& c);
void BuildClearOutputCalFlags(FrameCodec& c);
void BuildSelectOutputRange(FrameCodec& c, std::uint8_t range);
void BuildProgramOutputRange(FrameCodec& c, std::uint8_t range, float minimum, float maximum,
                             bool invert);
void BuildSetCalMode(FrameCodec& c, std::uint8_t calMode);
void BuildQueryCalMode(FrameCodec& c, std::uint8_t calMode);
void BuildReadVersion(FrameCodec& c);
void BuildSetToolkitVersion(FrameCodec& c);

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

// The catalogue's facts about one request code, for traces and for the module's side.
enum class Field : std::uint8_t { None, Byte, Word, Single };
struct CommandInfo {
    std::uint8_t Code;
    std::string_view Name;
    std::string_view BusyText; // empty: the request shows none
    Field Payload[5];
};

// nullptr for a code that is not a request of the catalogue.
const CommandInfo* FindCommand(std::uint8_t code);

// Length of a request's payload once unescaped.
std::size_t PayloadLength(const CommandInfo& info);

// A whole frame (STX, escaped body, ETX) as bytes; for the module's side and for tests.
std::vector<std::uint8_t> EncodeFrame(const std::uint8_t* body, std::size_t size);

// An escaped body (the bytes between STX and ETX) unescaped, of any length: the rule of
// FrameCodec::Unescape without its buffer; for the module's side and for tests.
std::vector<std::uint8_t> DecodeBody(const std::uint8_t* raw, std::size_t size);

} // namespace zx
