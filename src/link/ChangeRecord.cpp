#include "ChangeRecord.h"

#include <chrono>
#include <cmath>
#include <ctime>

namespace zx {

bool IsRecordedChange(std::uint8_t code) {
    return ChangesModule(code) && code != cmdSelectInputRange && code != cmdSelectOutputRange &&
           code != cmdSetOutputCode;
}

std::string_view ChangeInWords(std::uint8_t code) {
    switch (code) {
    case cmdCalInputZero:
        return "calibrate input zero";
    case cmdCalInputFull:
        return "calibrate input full scale";
    case cmdClearInputCalFlags:
        return "clear input calibration flags";
    case cmdProgramInputRange:
        return "make input range permanent";
    case cmdWriteOutputZero:
        return "write output zero DAC code";
    case cmdWriteOutputFull:
        return "write output full-scale DAC code";
    case cmdClearOutputCalFlags:
        return "clear output calibration flags";
    case cmdProgramOutputRange:
        return "make output range permanent";
    case cmdSetCalMode:
        return "switch CAL/RUN mode";
    case cmdSetToolkitVersion:
        return "write toolkit version";
    default:
        return CommandName(code);
    }
}

Json RequestJson(const Request& request) {
    Json o = {{"request", std::string(CommandName(request.Code))},
              {"code", static_cast<int>(request.Code)}};
    ForEachRequestField(request, [&o](std::string_view name, float value) {
        const std::string key(name);
        if (name == "Minimum" || name == "Maximum" || name == "FullScale") {
            o[key] = JsonNumber(value);
        } else if (name == "Invert") {
            o[key] = value != 0.0f;
        } else {
            o[key] = static_cast<int>(value);
        }
    });
    return o;
}

Request RequestOfFrame(const std::vector<std::uint8_t>& frame) {
    FrameCodec codec;
    // The body lies between STX and ETX, escaped as it went.
    if (frame.size() < 3 || !codec.StoreRxRaw(frame.data() + 1, frame.size() - 2)) {
        return {};
    }
    codec.Unescape(frame.size() - 2);
    return ReadRequest(codec);
}

Json AnswerJson(FrameCodec& codec) {
    Json o = Json::object();
    const auto u = [](unsigned v) { return v; };
    const auto f = [](float v) { return JsonNumber(v); };
    switch (DispatchKind(codec.RxBuffer[0])) {
    case ResponseKind::ActiveInput:
    case ResponseKind::ProgrammedInput:
    case ResponseKind::ProgramInput: {
        const InputRangeStatus r = ReadInputRangeStatus(codec);
        o["Status"] = u(r.Status);
        if (r.Status != 0) {
            o["RangeCode"] = u(r.RangeCode);
            o["RangeOk"] = u(r.RangeOk);
            o["Reading"] = f(r.Reading);
            o["ZeroCalFlags"] = u(r.ZeroCalFlags);
            o["FullCalFlags"] = u(r.FullCalFlags);
            o["MinValue"] = f(r.MinValue);
            o["MaxValue"] = f(r.MaxValue);
            o["TA"] = f(r.TA);
            o["TCAL"] = f(r.TCAL);
            o["CalMode"] = u(r.CalMode);
        }
        break;
    }
    case ResponseKind::ActiveOutput:
    case ResponseKind::ProgrammedOutput: {
        const OutputRangeStatus r = ReadOutputRangeStatus(codec);
        o["Status"] = u(r.Status);
        if (r.Status != 0) {
            o["RangeCode"] = u(r.RangeCode);
            o["RangeOk"] = u(r.RangeOk);
            o["ZeroCode"] = u(r.ZeroCode);
            o["FullCode"] = u(r.FullCode);
            o["Invert"] = u(r.Invert);
            o["ZeroCalFlags"] = u(r.ZeroCalFlags);
            o["FullCalFlags"] = u(r.FullCalFlags);
            o["MinValue"] = f(r.MinValue);
            o["MaxValue"] = f(r.MaxValue);
            o["OutputCode"] = u(r.OutputCode);
            o["TA"] = f(r.TA);
            o["TCAL"] = f(r.TCAL);
            o["CalMode"] = u(r.CalMode);
        }
        break;
    }
    case ResponseKind::CalMode:
        o["CalMode"] = u(ReadCalMode(codec));
        break;
    case ResponseKind::ToolkitAck:
        o["Status"] = u(ReadToolkitAck(codec));
        break;
    case ResponseKind::Version:
        o["Version"] = Latin1ToUtf8(ReadVersionText(codec));
        break;
    case ResponseKind::CodeOnlySuccess:
    case ResponseKind::Unknown:
        break;
    }
    return o;
}

std::string Latin1ToUtf8(std::string_view text) {
    std::string utf8;
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            utf8 += c;
        } else {
            utf8 += static_cast<char>(0xC0 | (b >> 6));
            utf8 += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return utf8;
}

std::string UtcText(std::chrono::system_clock::time_point time) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count() %
        1000;
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &seconds);
#else
    gmtime_r(&seconds, &utc);
#endif
    char text[40];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    std::snprintf(text + n, sizeof text - n, ".%03dZ", static_cast<int>(ms));
    return text;
}

std::string UtcNow() {
    return UtcText(std::chrono::system_clock::now());
}

std::string RecordLine(const RecordPlace& place, const Request& request,
                       const RecordOutcome& outcome) {
    Json o = {{"time", UtcNow()},         {"schema", RecordSchema},   {"user", place.User},
              {"machine", place.Machine}, {"program", place.Program}, {"port", place.Port},
              {"device", place.Device}};
    if (!place.Version.empty()) {
        o["version"] = Latin1ToUtf8(place.Version);
    }
    o["change"] = std::string(ChangeInWords(request.Code));
    o["request"] = RequestJson(request);
    switch (outcome.What) {
    case RecordOutcome::Kind::Answered:
        o["outcome"] = "answered";
        o["answer"] = outcome.Answer != nullptr ? *outcome.Answer : Json::object();
        if (outcome.Late) {
            o["late"] = true; // answered after its time-out had been told
        }
        break;
    case RecordOutcome::Kind::NoResponse:
        o["outcome"] = "no response";
        break;
    case RecordOutcome::Kind::Unknown:
        // The request reached the module; whether it took it, nobody heard.
        o["outcome"] = "unknown";
        o["reason"] = outcome.Reason;
        break;
    }
    return JsonText(o);
}

} // namespace zx
