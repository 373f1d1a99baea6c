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

// ---- Writers (module side) ----------------------------------------------------------------

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

void WriteVersionText(FrameCodec& c, std::string_view text) {
    c.BeginRequest(cmdReadVersion);
    for (std::size_t i = 0; i < VersionTextLength; ++i) {
        c.PutByte(i < text.size() ? static_cast<unsigned char>(text[i]) : 0u);
    }
}

void WriteToolkitAck(FrameCodec& c, std::uint8_t status) {
    c.BeginRequest(cmdSetToolkitVersion);
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

// ---- Dispatch and command facts -----------------------------------------------------------

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

using F = Field;
constexpr CommandInfo Commands[] = {
    {cmdCalInputZero, "cmdCalInputZero", "Calibrating input ZS...", {F::Byte}},
    {cmdCalInputFull, "cmdCalInputFull", "Calibrating input FS...", {F::Byte, F::Single}},
    {cmdReadActiveInput, "cmdReadActiveInput", "Reading active range...", {F::Byte}},
    {cmdReadProgrammedInput, "cmdReadProgrammedInput", "Reading range...", {}},
    {cmdClearInputCalFlags, "cmdClearInputCalFlags", "", {}},
    {cmdSelectInputRange, "cmdSelectInputRange", "Changing input range...", {F::Byte}},
    {cmdProgramInputRange,
     "cmdProgramInputRange",
     "Setting range...",
     {F::Byte, F::Single, F::Single}},
    {cmdSetOutputCode, "cmdSetOutputCode", "", {F::Byte, F::Word}},
    {cmdWriteOutputZero,
     "cmdWriteOutputZero",
     "Writing DAC ZS...",
     {F::Byte, F::Word, F::Single, F::Single, F::Byte}},
    {cmdWriteOutputFull,
     "cmdWriteOutputFull",
     "Writing DAC FS...",
     {F::Byte, F::Word, F::Single, F::Single, F::Byte}},
    {cmdReadActiveOutput, "cmdReadActiveOutput", "Reading active range...", {F::Byte}},
    {cmdReadProgrammedOutput, "cmdReadProgrammedOutput", "Reading range...", {}},
    {cmdClearOutputCalFlags, "cmdClearOutputCalFlags", "", {}},
    {cmdSelectOutputRange, "cmdSelectOutputRange", "Changing range...", {F::Byte}},
    {cmdProgramOutputRange, "cmdProgramOutputRange", "", {F::Byte, F::Single, F::Single, F::Byte}},
    {cmdSetCalMode, "cmdSetCalMode", "", {F::Byte}},
    {cmdQueryCalMode, "cmdQueryCalMode", "", {F::Byte}},
    {cmdReadVersion, "cmdReadVersion", "Reading version...", {}},
    {cmdSetToolkitVersion, "cmdSetToolkitVersion", "Setting Toolkit version...", {F::Byte}},
};

} // namespace

ResponseKind DispatchKind(std::uint8_t code) {
    return DispatchTable[code];
}

const CommandInfo* FindCommand(std::uint8_t code) {
    for (const CommandInfo& info : Commands) {
        if (info.Code == code) {
            return &info;
        }
    }
    return nullptr;
}

std::size_t PayloadLength(const CommandInfo& info) {
    std::size_t length = 0;
    for (Field field : info.Payload) {
        switch (field) {
        case Field::Byte:
            length += 1;
            break;
        case Field::Word:
            length += 2;
            break;
        case Field::Single:
            length += 4;
            break;
        case Field::None:
            break;
        }
    }
    return length;
}

std::vector<std::uint8_t> EncodeFrame(const std::uint8_t* body, std::size_t size) {
    std::vector<std::uint8_t> frame;
    frame.reserve(size * 2 + 2);
    frame.push_back(STX);
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t b = body[i];
        if (b == STX || b == ETX || b == DLE) {
            frame.push_back(DLE);
            frame.push_back(static_cast<std::uint8_t>(0xFF - b));
        } else {
            frame.push_back(b);
        }
    }
    frame.push_back(ETX);
    return frame;
}

std::vector<std::uint8_t> DecodeBody(const std::uint8_t* raw, std::size_t size) {
    std::vector<std::uint8_t> body;
    body.reserve(size);
    bool escaped = false;
    for (std::size_t i = 0; i < size; ++i) {
        if (escaped) {
            body.push_back(static_cast<std::uint8_t>(0xFF - raw[i]));
            escaped = false;
        } else if (raw[i] == DLE) {
            escaped = true;
        } else {
            body.push_back(raw[i]);
        }
    }
    return body;
}

} // namespace zx
