#include "ChangeRecord.h"

#include "Json.h"

#include <chrono>
#include <cmath>
#include <ctime>

namespace zx {

bool IsRecordedChange(std::uint8_t code) {
    return ChangesModule(code) && code != cmdSelectInputRange && code != cmdSelectOutputRange &&
           code != cmdSetOutputCode;
}

std::string RequestJson(const Request& request) {
    JsonObject o;
    o.Add("request", CommandName(request.Code)).Add("code", static_cast<int>(request.Code));
    ForEachRequestField(request, [&o](std::string_view name, float value) {
        if (name == "Minimum" || name == "Maximum" || name == "FullScale") {
            o.Add(name, value);
        } else if (name == "Invert") {
            o.Add(name, value != 0.0f);
        } else {
            o.Add(name, static_cast<int>(value));
        }
    });
    return o.Text();
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

std::string AnswerJson(FrameCodec& codec) {
    JsonObject o;
    const auto u = [](unsigned v) { return v; };
    switch (DispatchKind(codec.RxBuffer[0])) {
    case ResponseKind::ActiveInput:
    case ResponseKind::ProgrammedInput:
    case ResponseKind::ProgramInput: {
        const InputRangeStatus r = ReadInputRangeStatus(codec);
        o.Add("Status", u(r.Status));
        if (r.Status != 0) {
            o.Add("RangeCode", u(r.RangeCode))
                .Add("RangeOk", u(r.RangeOk))
                .Add("Reading", r.Reading)
                .Add("ZeroCalFlags", u(r.ZeroCalFlags))
                .Add("FullCalFlags", u(r.FullCalFlags))
                .Add("MinValue", r.MinValue)
                .Add("MaxValue", r.MaxValue)
                .Add("TA", r.TA)
                .Add("TCAL", r.TCAL)
                .Add("CalMode", u(r.CalMode));
        }
        break;
    }
    case ResponseKind::ActiveOutput:
    case ResponseKind::ProgrammedOutput: {
        const OutputRangeStatus r = ReadOutputRangeStatus(codec);
        o.Add("Status", u(r.Status));
        if (r.Status != 0) {
            o.Add("RangeCode", u(r.RangeCode))
                .Add("RangeOk", u(r.RangeOk))
                .Add("ZeroCode", u(r.ZeroCode))
                .Add("FullCode", u(r.FullCode))
                .Add("Invert", u(r.Invert))
                .Add("ZeroCalFlags", u(r.ZeroCalFlags))
                .Add("FullCalFlags", u(r.FullCalFlags))
                .Add("MinValue", r.MinValue)
                .Add("MaxValue", r.MaxValue)
                .Add("OutputCode", u(r.OutputCode))
                .Add("TA", r.TA)
                .Add("TCAL", r.TCAL)
                .Add("CalMode", u(r.CalMode));
        }
        break;
    }
    case ResponseKind::CalMode:
        o.Add("CalMode", u(ReadCalMode(codec)));
        break;
    case ResponseKind::ToolkitAck:
        o.Add("Status", u(ReadToolkitAck(codec)));
        break;
    case ResponseKind::Version:
        o.Add("Version", Latin1ToUtf8(ReadVersionText(codec)));
        break;
    case ResponseKind::CodeOnlySuccess:
    case ResponseKind::Unknown:
        break;
    }
    return o.Text();
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

std::string UtcNow() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
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

std::string RecordLine(const RecordPlace& place, const Request& request,
                       const std::string* answerJson, bool late) {
    JsonObject o;
    o.Add("time", UtcNow())
        .Add("user", place.User)
        .Add("machine", place.Machine)
        .Add("program", place.Program)
        .Add("port", place.Port)
        .Add("device", place.Device);
    if (!place.Version.empty()) {
        o.Add("version", Latin1ToUtf8(place.Version));
    }
    o.Raw("request", RequestJson(request));
    if (answerJson != nullptr) {
        o.Raw("answer", *answerJson);
        if (late) {
            o.Add("late", true); // answered after its time-out had been told
        }
    } else {
        o.Add("answer", "no response");
    }
    return o.Text();
}

} // namespace zx
