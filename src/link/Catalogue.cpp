#include "Catalogue.h"

#include <array>
#include <span>
#include <type_traits>

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

// ---- Requests ---------------------------------------------------------------------------

namespace {

// The payload of every request, field by field in catalogue order: the one place the request
// layouts are written, for the tool's builders and the module's reader alike.
enum class Field : std::uint8_t { Range, DacCode, FullScale, Minimum, Maximum, Invert, Value };
struct Payload {
    std::uint8_t Code;
    std::array<Field, 5> Fields;
    std::size_t Count;
};
using F = Field;
constexpr Payload Payloads[] = {
    {cmdCalInputZero, {F::Range}, 1},
    {cmdCalInputFull, {F::Range, F::FullScale}, 2},
    {cmdReadActiveInput, {F::Range}, 1},
    {cmdSelectInputRange, {F::Range}, 1},
    {cmdProgramInputRange, {F::Range, F::Minimum, F::Maximum}, 3},
    {cmdSetOutputCode, {F::Range, F::DacCode}, 2},
    {cmdWriteOutputZero, {F::Range, F::DacCode, F::Minimum, F::Maximum, F::Invert}, 5},
    {cmdWriteOutputFull, {F::Range, F::DacCode, F::Minimum, F::Maximum, F::Invert}, 5},
    {cmdReadActiveOutput, {F::Range}, 1},
    {cmdSelectOutputRange, {F::Range}, 1},
    {cmdProgramOutputRange, {F::Range, F::Minimum, F::Maximum, F::Invert}, 4},
    {cmdSetCalMode, {F::Value}, 1},
    {cmdQueryCalMode, {F::Value}, 1},
    {cmdSetToolkitVersion, {F::Value}, 1},
};

std::span<const Field> FieldsOf(std::uint8_t code) {
    for (const Payload& p : Payloads) {
        if (p.Code == code) {
            return {p.Fields.data(), p.Count};
        }
    }
    return {}; // the requests without payload, and codes that are none
}

} // namespace

namespace {

// Hands each payload field of the request's code to the visitor, in catalogue order, with its
// name and as the member it is kept in: its type says how it travels (byte, word, single; a
// flag as a byte).
template <typename R, typename Visitor> void ForEachField(R& r, Visitor visit) {
    for (Field field : FieldsOf(r.Code)) {
        switch (field) {
        case F::Range:
            visit("Range", r.Range);
            break;
        case F::DacCode:
            visit("DacCode", r.DacCode);
            break;
        case F::FullScale:
            visit("FullScale", r.FullScale);
            break;
        case F::Minimum:
            visit("Minimum", r.Minimum);
            break;
        case F::Maximum:
            visit("Maximum", r.Maximum);
            break;
        case F::Invert:
            visit("Invert", r.Invert);
            break;
        case F::Value:
            // One byte, named by what it carries.
            visit(r.Code == cmdSetToolkitVersion ? "ToolkitVersion" : "CalMode", r.Value);
            break;
        }
    }
}

} // namespace

void BuildRequest(FrameCodec& c, const Request& r) {
    c.BeginRequest(r.Code);
    ForEachField(r, [&c]<typename T>(const char*, const T& value) {
        if constexpr (std::is_same_v<T, std::uint16_t>) {
            c.PutWord(value);
        } else if constexpr (std::is_same_v<T, float>) {
            c.PutLong(value);
        } else if constexpr (std::is_same_v<T, bool>) {
            c.PutByte(value ? 1u : 0u);
        } else {
            c.PutByte(value);
        }
    });
}

void ForEachRequestField(const Request& r, const RequestFieldVisitor& visit) {
    ForEachField(r, [&visit]<typename T>(const char* name, const T& value) {
        visit(name, static_cast<float>(value));
    });
}

Request ReadRequest(FrameCodec& c) {
    Request r;
    r.Code = c.RxBuffer[0];
    c.RxPos = 1;
    ForEachField(r, [&c]<typename T>(const char*, T& value) {
        if constexpr (std::is_same_v<T, std::uint16_t>) {
            value = c.GetWord();
        } else if constexpr (std::is_same_v<T, float>) {
            value = c.GetSingle();
        } else if constexpr (std::is_same_v<T, bool>) {
            value = c.GetByte() != 0;
        } else {
            value = c.GetByte();
        }
    });
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
#define ZX_NAME_REQUEST(name, code) {code, #name},
constexpr Named Names[] = {ZX_REQUESTS(ZX_NAME_REQUEST)};
#undef ZX_NAME_REQUEST

} // namespace

ResponseKind DispatchKind(std::uint8_t code) {
    return DispatchTable[code];
}

bool ChangesModule(std::uint8_t code) {
    switch (code) {
    case cmdReadActiveInput:
    case cmdReadProgrammedInput:
    case cmdReadActiveOutput:
    case cmdReadProgrammedOutput:
    case cmdQueryCalMode:
    case cmdReadVersion:
        return false;
    default:
        return !CommandName(code).empty();
    }
}

std::string_view CommandName(std::uint8_t code) {
    for (const Named& n : Names) {
        if (n.Code == code) {
            return n.Name;
        }
    }
    return {};
}

bool AnswerFits(FrameCodec& codec, const Request& request) {
    const std::uint8_t code = codec.RxBuffer[0];
    if (code != request.Code) {
        return false;
    }
    const auto carries = [&request](std::string_view field) {
        bool found = false;
        ForEachRequestField(request, [&](std::string_view name, float) { found |= name == field; });
        return found;
    };
    switch (DispatchKind(code)) {
    case ResponseKind::ActiveInput:
    case ResponseKind::ProgramInput: {
        const InputRangeStatus r = ReadInputRangeStatus(codec);
        if (r.Status == 0 || !carries("Range")) {
            return true;
        }
        return r.RangeCode == request.Range &&
               (code != cmdProgramInputRange ||
                (r.MinValue == request.Minimum && r.MaxValue == request.Maximum));
    }
    case ResponseKind::ActiveOutput: {
        const OutputRangeStatus r = ReadOutputRangeStatus(codec);
        if (r.Status == 0 || !carries("Range")) {
            return true;
        }
        const bool stores = code == cmdProgramOutputRange || code == cmdWriteOutputZero ||
                            code == cmdWriteOutputFull;
        return r.RangeCode == request.Range &&
               (!stores || (r.MinValue == request.Minimum && r.MaxValue == request.Maximum &&
                            (r.Invert != 0) == request.Invert)) &&
               (code != cmdWriteOutputZero || r.ZeroCode == request.DacCode) &&
               (code != cmdWriteOutputFull || r.FullCode == request.DacCode);
    }
    case ResponseKind::CalMode:
        return code != cmdSetCalMode || (ReadCalMode(codec) != 0) == (request.Value != 0);
    default:
        return true;
    }
}

bool AnswerRefuses(FrameCodec& codec) {
    switch (DispatchKind(codec.RxBuffer[0])) {
    case ResponseKind::ActiveInput:
    case ResponseKind::ProgrammedInput:
    case ResponseKind::ProgramInput:
        return ReadInputRangeStatus(codec).Status == 0;
    case ResponseKind::ActiveOutput:
    case ResponseKind::ProgrammedOutput:
        return ReadOutputRangeStatus(codec).Status == 0;
    case ResponseKind::ToolkitAck:
        return ReadToolkitAck(codec) == 0;
    default:
        return false;
    }
}

} // namespace zx
