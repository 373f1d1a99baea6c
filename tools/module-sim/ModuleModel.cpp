#include "ModuleModel.h"

#include "Protocol.h"
#include "RangeTables.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace zx::sim {
namespace {

constexpr double Pi = 3.14159265358979323846;

// Little-endian fields, unescaped; the server frames them.
class BodyWriter {
public:
    explicit BodyWriter(std::uint8_t code) { Bytes.push_back(code); }
    void Byte(unsigned v) { Bytes.push_back(static_cast<std::uint8_t>(v & 0xFF)); }
    void Word(std::uint16_t v) {
        Byte(v & 0xFF);
        Byte(v >> 8);
    }
    void Single(float v) {
        const auto bits = std::bit_cast<std::uint32_t>(v);
        for (int shift = 0; shift < 32; shift += 8) {
            Byte((bits >> shift) & 0xFF);
        }
    }
    Body Bytes;
};

// Reads a request's payload; missing bytes read as 0, as on the tool's side.
class BodyReader {
public:
    explicit BodyReader(const Body& b) : B(b) {}
    std::uint8_t Byte() { return Pos < B.size() ? B[Pos++] : 0; }
    std::uint16_t Word() {
        const unsigned low = Byte();
        return static_cast<std::uint16_t>(low | (Byte() << 8));
    }
    float Single() {
        std::uint32_t bits = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            bits |= static_cast<std::uint32_t>(Byte()) << shift;
        }
        return std::bit_cast<float>(bits);
    }
    const Body& B;
    std::size_t Pos = 1;
};

bool LimitsFit(float lo, float hi, float minimum, float maximum) {
    return std::isfinite(minimum) && std::isfinite(maximum) && minimum >= lo && maximum <= hi &&
           minimum < maximum;
}

} // namespace

ModuleModel::ModuleModel(ModuleSettings settings)
    : Settings_(std::move(settings)), Noise_(Settings_.Seed) {
    for (std::size_t r = 0; r < InputRanges.size(); ++r) {
        InputMin[r] = InputRanges[r].MinLimit;
        InputMax[r] = InputRanges[r].MaxLimit;
    }
    for (std::size_t r = 0; r < OutputRanges.size(); ++r) {
        OutputMin[r] = OutputRanges[r].MinLimit;
        OutputMax[r] = OutputRanges[r].MaxLimit;
    }
    DrivenCode = ZeroCode[0];
}

float ModuleModel::InputReading(int range, double now) {
    const IRange* r = FindInputRange(range);
    if (r == nullptr) {
        return 0.0f;
    }
    if (Settings_.FixedReading) {
        return *Settings_.FixedReading;
    }
    // A slow signal over 60 % of the range with a little noise.
    std::normal_distribution<double> noise(0.0, 0.0005);
    const double fraction = 0.6 * std::sin(2 * Pi * now / 20.0) + noise(Noise_);
    return static_cast<float>(fraction * r->CalFull);
}

float ModuleModel::Temperature(double now) const {
    // The module warms up over the first minutes and then breathes with the room.
    const double warmUp = 4.0 * (1.0 - std::exp(-now / 120.0));
    return static_cast<float>(27.0 + warmUp + 0.4 * std::sin(2 * Pi * now / 300.0));
}

std::uint16_t ModuleModel::OutputCode(double now) {
    if (CalMode) {
        return DrivenCode;
    }
    // In RUN the output follows the input: the active input range's limits map onto the
    // active output range's limits, and the DAC codes carry that onto the scale.
    const int in = ActiveInput;
    const int out = ActiveOutput;
    const float reading = InputReading(in, now);
    double fraction =
        (reading - InputMin[static_cast<std::size_t>(in)]) /
        (InputMax[static_cast<std::size_t>(in)] - InputMin[static_cast<std::size_t>(in)]);
    fraction = std::clamp(fraction, 0.0, 1.0);
    if (Invert[static_cast<std::size_t>(out)]) {
        fraction = 1.0 - fraction;
    }
    const ORange& range = OutputRanges[static_cast<std::size_t>(out)];
    const double value = OutputMin[static_cast<std::size_t>(out)] +
                         fraction * (OutputMax[static_cast<std::size_t>(out)] -
                                     OutputMin[static_cast<std::size_t>(out)]);
    const double scale = (value - range.ScaleLow) / (range.ScaleHigh - range.ScaleLow);
    const double code =
        ZeroCode[static_cast<std::size_t>(out)] +
        scale * (FullCode[static_cast<std::size_t>(out)] - ZeroCode[static_cast<std::size_t>(out)]);
    return static_cast<std::uint16_t>(std::clamp(std::lround(code), 0L, 65535L));
}

Body ModuleModel::InputStatus(std::uint8_t code, bool ok, int range, double now) {
    BodyWriter w(code);
    const IRange* r = FindInputRange(range);
    ok = ok && r != nullptr;
    w.Byte(ok ? 1 : 0);
    w.Byte(static_cast<unsigned>(range));
    w.Byte(r != nullptr && Settings_.Sw1 == r->SwitchPattern ? 1 : 0);
    const std::size_t i = r != nullptr ? static_cast<std::size_t>(range) : 0;
    w.Single(InputReading(range, now));
    w.Word(InputZeroCal);
    w.Word(InputFullCal);
    w.Single(InputMin[i]);
    w.Single(InputMax[i]);
    w.Single(Temperature(now));
    w.Single(TCAL);
    w.Byte(CalMode ? 1 : 0);
    return w.Bytes;
}

Body ModuleModel::OutputStatus(std::uint8_t code, bool ok, int range, double now) {
    BodyWriter w(code);
    const ORange* r = FindOutputRange(range);
    ok = ok && r != nullptr;
    const std::size_t i = r != nullptr ? static_cast<std::size_t>(range) : 0;
    w.Byte(ok ? 1 : 0);
    w.Byte(static_cast<unsigned>(range));
    w.Byte(r != nullptr && Settings_.Jp6 == r->UnitText ? 1 : 0);
    w.Word(ZeroCode[i]);
    w.Word(FullCode[i]);
    w.Byte(Invert[i] ? 1 : 0);
    w.Byte(OutputZeroCal);
    w.Byte(OutputFullCal);
    w.Single(OutputMin[i]);
    w.Single(OutputMax[i]);
    w.Word(OutputCode(now));
    w.Single(Temperature(now));
    w.Single(TCAL);
    w.Byte(CalMode ? 1 : 0);
    return w.Bytes;
}

std::optional<Body> ModuleModel::Handle(const Body& request, double now) {
    if (request.empty()) {
        return std::nullopt;
    }
    BodyReader in(request);
    const std::uint8_t code = request[0];
    switch (code) {
    case cmdCalInputZero:
    case cmdCalInputFull: {
        const int range = in.Byte();
        if (code == cmdCalInputFull) {
            (void)in.Single(); // the calibrator's value; the model trusts it
        }
        const bool ok = IsInputRangeCode(range);
        if (ok) {
            auto& flags = code == cmdCalInputZero ? InputZeroCal : InputFullCal;
            flags = static_cast<std::uint16_t>(flags | (1u << range));
        }
        return InputStatus(code, ok, range, now);
    }
    case cmdReadActiveInput: {
        const int range = in.Byte();
        return InputStatus(code, IsInputRangeCode(range), range, now);
    }
    case cmdReadProgrammedInput:
        return InputStatus(code, true, ProgrammedInput, now);
    case cmdClearInputCalFlags:
        InputZeroCal = 0;
        InputFullCal = 0;
        return InputStatus(code, true, ActiveInput, now);
    case cmdSelectInputRange: {
        const int range = in.Byte();
        const bool ok = IsInputRangeCode(range);
        if (ok) {
            ActiveInput = range;
        }
        return InputStatus(code, ok, range, now);
    }
    case cmdProgramInputRange: {
        const int range = in.Byte();
        const float minimum = in.Single();
        const float maximum = in.Single();
        const IRange* r = FindInputRange(range);
        const bool ok = r != nullptr && LimitsFit(r->MinLimit, r->MaxLimit, minimum, maximum);
        if (ok) {
            ProgrammedInput = range;
            ActiveInput = range;
            InputMin[static_cast<std::size_t>(range)] = minimum;
            InputMax[static_cast<std::size_t>(range)] = maximum;
        }
        return InputStatus(code, ok, range, now);
    }
    case cmdSetOutputCode: {
        const int range = in.Byte();
        const std::uint16_t dac = in.Word();
        if (CalMode && IsOutputRangeCode(range)) {
            ActiveOutput = range;
            DrivenCode = dac;
        }
        return Body{code};
    }
    case cmdWriteOutputZero:
    case cmdWriteOutputFull: {
        const int range = in.Byte();
        const std::uint16_t dac = in.Word();
        const float minimum = in.Single();
        const float maximum = in.Single();
        const bool invert = in.Byte() != 0;
        const bool ok = CalMode && IsOutputRangeCode(range);
        if (ok) {
            const auto i = static_cast<std::size_t>(range);
            (code == cmdWriteOutputZero ? ZeroCode : FullCode)[i] = dac;
            OutputMin[i] = minimum;
            OutputMax[i] = maximum;
            Invert[i] = invert;
            auto& flags = code == cmdWriteOutputZero ? OutputZeroCal : OutputFullCal;
            flags = static_cast<std::uint8_t>(flags | (1u << range));
        }
        return OutputStatus(code, ok, range, now);
    }
    case cmdReadActiveOutput: {
        const int range = in.Byte();
        return OutputStatus(code, IsOutputRangeCode(range), range, now);
    }
    case cmdReadProgrammedOutput:
        return OutputStatus(code, true, ProgrammedOutput, now);
    case cmdClearOutputCalFlags:
        OutputZeroCal = 0;
        OutputFullCal = 0;
        return OutputStatus(code, true, ActiveOutput, now);
    case cmdSelectOutputRange: {
        const int range = in.Byte();
        const bool ok = IsOutputRangeCode(range);
        if (ok) {
            ActiveOutput = range;
        }
        return OutputStatus(code, ok, range, now);
    }
    case cmdProgramOutputRange: {
        const int range = in.Byte();
        const float minimum = in.Single();
        const float maximum = in.Single();
        const bool invert = in.Byte() != 0;
        const ORange* r = FindOutputRange(range);
        const bool ok = r != nullptr && LimitsFit(r->MinLimit, r->MaxLimit, minimum, maximum);
        if (ok) {
            const auto i = static_cast<std::size_t>(range);
            ProgrammedOutput = range;
            ActiveOutput = range;
            OutputMin[i] = minimum;
            OutputMax[i] = maximum;
            Invert[i] = invert;
        }
        return OutputStatus(code, ok, range, now);
    }
    case cmdSetCalMode:
        CalMode = in.Byte() != 0;
        if (CalMode) {
            DrivenCode = ZeroCode[static_cast<std::size_t>(ActiveOutput)];
        }
        return Body{code, static_cast<std::uint8_t>(CalMode ? 1 : 0)};
    case cmdQueryCalMode:
        return Body{code, static_cast<std::uint8_t>(CalMode ? 1 : 0)};
    case cmdReadVersion: {
        Body body{code};
        for (std::size_t i = 0; i < VersionTextLength; ++i) {
            body.push_back(i < Settings_.VersionText.size()
                               ? static_cast<std::uint8_t>(Settings_.VersionText[i])
                               : static_cast<std::uint8_t>(' '));
        }
        return body;
    }
    case cmdSetToolkitVersion:
        ToolkitVersion = in.Byte();
        return Body{code, 1};
    default:
        return std::nullopt;
    }
}

} // namespace zx::sim
