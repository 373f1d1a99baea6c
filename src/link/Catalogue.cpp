#include "Catalogue.h"

#include <array>

namespace zx {

// ---- Readers ----------------------------------------------------------------------------

InputRangeStatus ReadInputRangeStatus(FrameCodec& codec) {
    InputRangeStatus r;
    codec.RxPos = 1;
    r.Status = codec.GetByte();
    if (r.Status == 0) {
        return r;
    }
    r.RangeCode = codec.GetByte();
    r.RangeOk = codec.GetByte();
    r.Reading = codec.GetSingle();
    r.ZeroCalFlags = codec.GetWord();
    r.FullCalFlags = codec.GetWord();
    r.MinValue = codec.GetSingle();
    r.MaxValue = codec.GetSingle();
    r.TA = codec.GetSingle();
    r.TCAL = codec.GetSingle();
    r.CalMode = codec.GetByte();
    return r;
}

OutputRangeStatus ReadOutputRangeStatus(FrameCodec& codec) {
    OutputRangeStatus r;
    codec.RxPos = 1;
    r.Status = codec.GetByte();
    if (r.Status == 0) {
        return r;
    }
    r.RangeCode = codec.GetByte();
    r.RangeOk = codec.GetByte();
    r.ZeroCode = codec.GetWord();
    r.FullCode = codec.GetWord();
    r.Invert = codec.GetByte();
    r.ZeroCalFlags = codec.GetByte();
    r.FullCalFlags = codec.GetByte();
    r.MinValue = codec.GetSingle();
    r.MaxValue = codec.GetSingle();
    r.OutputCode = codec.GetWord();
    r.TA = codec.GetSingle();
    r.TCAL = codec.GetSingle();
    r.CalMode = codec.GetByte();
    return r;
}

std::uint8_t ReadCalMode(FrameCodec& codec) {
    codec.RxPos = 1;
    return codec.GetByte();
}

std::string ReadVersionText(FrameCodec& codec) {
    codec.RxPos = 1;
    std::string text;
    text.reserve(VersionTextLength);
    for (std::size_t i = 0; i < VersionTextLength; ++i) {
        text.push_back(static_cast<char>(codec.GetByte()));
    }
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32) {
        text.pop_back();
    }
    return text;
}

std::uint8_t ReadToolkitAck(FrameCodec& codec) {
    codec.RxPos = 1;
    return codec.GetByte();
}

// ---- Writers (the module's side) ----------------------------------------------------------------

void WriteInputRangeStatus(FrameCodec& c, std::uint8_t code, const InputRangeStatus& r) {
    c.BeginRequest(code);
    c.PutByte(r.Status);
    c.PutByte(r.RangeCode);
    c.PutByte(r.RangeOk);
    c.PutLong(r.Reading);
    c.PutWord(r.ZeroCalFlags);
    c.PutWord(r.FullCalFlags);
    c.PutLong(r.MinValue);
    c.PutLong(r.MaxValue);
    c.PutLong(r.TA);
    c.PutLong(r.TCAL);
    c.PutByte(r.CalMode);
}

void WriteOutputRangeStatus(FrameCodec& c, std::uint8_t code, const OutputRangeStatus& r) {
    c.BeginRequest(code);
    c.PutByte(r.Status);
    c.PutByte(r.RangeCode);
    c.PutByte(r.RangeOk);
    c.PutWord(r.ZeroCode);
    c.PutWord(r.FullCode);
    c.PutByte(r.Invert);
    c.PutByte(r.ZeroCalFlags);
    c.PutByte(r.FullCalFlags);
    c.PutLong(r.MinValue);
    c.PutLong(r.MaxValue);
    c.PutWord(r.OutputCode);
    c.PutLong(r.TA);
    c.PutLong(r.TCAL);
    c.PutByte(r.CalMode);
}

void WriteCalMode(FrameCodec& c, std::uint8_t code, std::uint8_t calMode) {
    c.BeginRequest(code);
    c.PutByte(calMode);
}

void WriteVersionText(FrameCodec& c, std::uint8_t code, std::string_view text) {
    c.BeginRequest(code);
    for (std::size_t i = 0; i < VersionTextLength; ++i) {
        c.PutByte(i < text.size() ? static_cast<unsigned char>(text[i]) : ' ');
    }
}

void WriteToolkitAck(FrameCodec& c, std::uint8_t code, std::uint8_t status) {
    c.BeginRequest(code);
    c.PutByte(status);
}

// ---- Request builders ---------------------------------------------------------------------

namespace {
// The requests whose whole payload is one byte.
void BuildWithByte(FrameCodec& c, std::uint8_t code, std::uint8_t value) {
    c.BeginRequest(code);
    c.PutByte(value);
}
} // namespace

void BuildCalInputZero(FrameCodec& c, std::uint8_t range) {
    BuildWithByte(c, cmdCalInputZero, range);
}

void BuildCalInputFull(FrameCodec& c, std::uint8_t range, float fullScale) {
    c.BeginRequest(cmdCalInputFull);
    c.PutByte(range);
    c.PutLong(fullScale);
}

void BuildReadActiveInput(FrameCodec& c, std::uint8_t range) {
    BuildWithByte(c, cmdReadActiveInput, range);
}

void BuildReadProgrammedInput(FrameCodec& c) {
    c.BeginRequest(cmdReadProgrammedInput);
}

void BuildClearInputCalFlags(FrameCodec& c) {
    c.BeginRequest(cmdClearInputCalFlags);
}

void BuildSelectInputRange(FrameCodec& c, std::uint8_t range) {
    BuildWithByte(c, cmdSelectInputRange, range);
}

void BuildProgramInputRange(FrameCodec& c, std::uint8_t range, float minimum, float maximum) {
    c.BeginRequest(cmdProgramInputRange);
    c.PutByte(range);
    c.PutLong(minimum);
    c.PutLong(maximum);
}

void BuildSetOutputCode(FrameCodec& c, std::uint8_t range, std::uint16_t dacCode) {
    c.BeginRequest(cmdSetOutputCode);
    c.PutByte(range);
    c.PutWord(dacCode);
}

namespace {
void BuildOutputWrite(FrameCodec& c, std::uint8_t code, std::uint8_t range, std::uint16_t dacCode,
                      float minimum, float maximum, bool invert) {
    c.BeginRequest(code);
    c.PutByte(range);
    c.PutWord(dacCode);
    c.PutLong(minimum);
    c.PutLong(maximum);
    c.PutByte(invert ? 1u : 0u);
}
} // namespace

void BuildWriteOutputZero(FrameCodec& c, std::uint8_t range, std::uint16_t zeroCode, float minimum,
                          float maximum, bool invert) {
    BuildOutputWrite(c, cmdWriteOutputZero, range, zeroCode, minimum, maximum, invert);
}

void BuildWriteOutputFull(FrameCodec& c, std::uint8_t range, std::uint16_t fullCode, float minimum,
                          float maximum, bool invert) {
    BuildOutputWrite(c, cmdWriteOutputFull, range, fullCode, minimum, maximum, invert);
}

void BuildReadActiveOutput(FrameCodec& c, std::uint8_t range) {
    BuildWithByte(c, cmdReadActiveOutput, range);
}

void BuildReadProgrammedOutput(FrameCodec& c) {
    c.BeginRequest(cmdReadProgrammedOutput);
}

void BuildClearOutputCalFlags(FrameCodec& c) {
    c.BeginRequest(cmdClearOutputCalFlags);
}

void BuildSelectOutputRange(FrameCodec& c, std::uint8_t range) {
    BuildWithByte(c, cmdSelectOutputRange, range);
}

void BuildProgramOutputRange(FrameCodec& c, std::uint8_t range, float minimum, float maximum,
                             bool invert) {
    c.BeginRequest(cmdProgramOutputRange);
    c.PutByte(range);
    c.PutLong(minimum);
    c.PutLong(maximum);
    c.PutByte(invert ? 1u : 0u);
}

void BuildSetCalMode(FrameCodec& c, std::uint8_t calMode) {
    BuildWithByte(c, cmdSetCalMode, calMode);
}

void BuildQueryCalMode(FrameCodec& c, std::uint8_t calMode) {
    BuildWithByte(c, cmdQueryCalMode, calMode);
}

void BuildReadVersion(FrameCodec& c) {
    c.BeginRequest(cmdReadVersion);
}

void BuildSetToolkitVersion(FrameCodec& c) {
    BuildWithByte(c, cmdSetToolkitVersion, ToolkitVersion);
}

// ---- The module's side of a request ------------------------------------------------------

Request ReadRequest(FrameCodec& c) {
    Request r;
    r.Code = c.RxBuffer[0];
    c.RxPos = 1;
    switch (r.Code) {
    case cmdCalInputZero:
    case cmdReadActiveInput:
    case cmdSelectInputRange:
    case cmdReadActiveOutput:
    case cmdSelectOutputRange:
        r.Range = c.GetByte();
        break;
    case cmdCalInputFull:
        r.Range = c.GetByte();
        r.FullScale = c.GetSingle();
        break;
    case cmdSetOutputCode:
        r.Range = c.GetByte();
        r.DacCode = c.GetWord();
        break;
    case cmdProgramInputRange:
        r.Range = c.GetByte();
        r.Minimum = c.GetSingle();
        r.Maximum = c.GetSingle();
        break;
    case cmdWriteOutputZero:
    case cmdWriteOutputFull:
        r.Range = c.GetByte();
        r.DacCode = c.GetWord();
        r.Minimum = c.GetSingle();
        r.Maximum = c.GetSingle();
        r.Invert = c.GetByte() != 0;
        break;
    case cmdProgramOutputRange:
        r.Range = c.GetByte();
        r.Minimum = c.GetSingle();
        r.Maximum = c.GetSingle();
        r.Invert = c.GetByte() != 0;
        break;
    case cmdSetCalMode:
    case cmdQueryCalMode:
    case cmdSetToolkitVersion:
        r.Value = c.GetByte();
        break;
    default:
        break;
    }
    return r;
}

// ---- Dispatch and names --------------------------------------------------------------------

namespace {

constexpr std::array<ResponseKind, 256> MakeDispatchTable() {
    std::array<ResponseKind, 256> table{};
    table.fill(ResponseKind::Unknown);
    for (int code : {1, 2, 3, 5, 6}) {
        table[static_cast<std::size_t>(code)] = ResponseKind::ActiveInput;
    }
    table[4] = ResponseKind::ProgrammedInput;
    table[7] = ResponseKind::ProgramInput;
    table[16] = ResponseKind::CodeOnlySuccess;
    for (int code : {17, 18, 19, 21, 22, 23}) {
        table[static_cast<std::size_t>(code)] = ResponseKind::ActiveOutput;
    }
    table[20] = ResponseKind::ProgrammedOutput;
    table[32] = ResponseKind::CalMode;
    table[33] = ResponseKind::CalMode;
    table[48] = ResponseKind::Version;
    table[51] = ResponseKind::ToolkitAck;
    return table;
}

constexpr auto DispatchTable = MakeDispatchTable();

struct Named {
    std::uint8_t Code;
    std::string_view Name;
};
constexpr Named Names[] = {
    {cmdCalInputZero, "cmdCalInputZero"},
    {cmdCalInputFull, "cmdCalInputFull"},
    {cmdReadActiveInput, "cmdReadActiveInput"},
    {cmdReadProgrammedInput, "cmdReadProgrammedInput"},
    {cmdClearInputCalFlags, "cmdClearInputCalFlags"},
    {cmdSelectInputRange, "cmdSelectInputRange"},
    {cmdProgramInputRange, "cmdProgramInputRange"},
    {cmdSetOutputCode, "cmdSetOutputCode"},
    {cmdWriteOutputZero, "cmdWriteOutputZero"},
    {cmdWriteOutputFull, "cmdWriteOutputFull"},
    {cmdReadActiveOutput, "cmdReadActiveOutput"},
    {cmdReadProgrammedOutput, "cmdReadProgrammedOutput"},
    {cmdClearOutputCalFlags, "cmdClearOutputCalFlags"},
    {cmdSelectOutputRange, "cmdSelectOutputRange"},
    {cmdProgramOutputRange, "cmdProgramOutputRange"},
    {cmdSetCalMode, "cmdSetCalMode"},
    {cmdQueryCalMode, "cmdQueryCalMode"},
    {cmdReadVersion, "cmdReadVersion"},
    {cmdSetToolkitVersion, "cmdSetToolkitVersion"},
};

} // namespace

ResponseKind DispatchKind(std::uint8_t code) {
    return DispatchTable[code];
}

std::string_view CommandName(std::uint8_t code) {
    for (const Named& n : Names) {
        if (n.Code == code) {
            return n.Name;
        }
    }
    return {};
}

} // namespace zx
