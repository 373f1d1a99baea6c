#include "ModuleModel.h"

#include "Limits.h"
#include "RangeTables.h"

#include <algorithm>
#include <cmath>

namespace zx::sim {
namespace {

constexpr double Pi = 3.14159265358979323846;

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

void Answer::Encode(FrameCodec& codec) const {
    if (Input) {
        WriteInputRangeStatus(codec, Code, *Input);
    } else if (Output) {
        WriteOutputRangeStatus(codec, Code, *Output);
    } else if (CalMode) {
        WriteCalMode(codec, Code, *CalMode);
    } else if (Version) {
        WriteVersionText(codec, Code, *Version);
    } else if (ToolkitAck) {
        WriteToolkitAck(codec, Code, *ToolkitAck);
    } else {
        codec.BeginRequest(Code);
    }
}

Answer ModuleModel::InputStatus(std::uint8_t code, bool ok, int range, double now) {
    const IRange* r = FindInputRange(range);
    const std::size_t i = r != nullptr ? static_cast<std::size_t>(range) : 0;
    Answer answer{code, {}, {}, {}, {}, {}};
    answer.Input = InputRangeStatus{
        static_cast<std::uint8_t>(ok && r != nullptr ? 1 : 0),
        static_cast<std::uint8_t>(range),
        static_cast<std::uint8_t>(r != nullptr && Settings_.Sw1 == r->SwitchPattern),
        InputReading(range, now),
        InputZeroCal,
        InputFullCal,
        InputMin[i],
        InputMax[i],
        Temperature(now),
        TCAL,
        static_cast<std::uint8_t>(CalMode ? 1 : 0)};
    return answer;
}

Answer ModuleModel::OutputStatus(std::uint8_t code, bool ok, int range, double now) {
    const ORange* r = FindOutputRange(range);
    const std::size_t i = r != nullptr ? static_cast<std::size_t>(range) : 0;
    Answer answer{code, {}, {}, {}, {}, {}};
    answer.Output =
        OutputRangeStatus{static_cast<std::uint8_t>(ok && r != nullptr ? 1 : 0),
                          static_cast<std::uint8_t>(range),
                          static_cast<std::uint8_t>(r != nullptr && Settings_.Jp6 == r->UnitText),
                          ZeroCode[i],
                          FullCode[i],
                          static_cast<std::uint8_t>(Invert[i] ? 1 : 0),
                          OutputZeroCal,
                          OutputFullCal,
                          OutputMin[i],
                          OutputMax[i],
                          OutputCode(now),
                          Temperature(now),
                          TCAL,
                          static_cast<std::uint8_t>(CalMode ? 1 : 0)};
    return answer;
}

std::optional<Answer> ModuleModel::Handle(const Request& in, double now) {
    const std::uint8_t code = in.Code;
    const int range = in.Range;
    switch (code) {
    case cmdCalInputZero:
    case cmdCalInputFull: {
        // The calibrator's value of a full-scale calibration is trusted as it comes.
        const bool ok = IsInputRangeCode(range);
        if (ok) {
            auto& flags = code == cmdCalInputZero ? InputZeroCal : InputFullCal;
            flags = static_cast<std::uint16_t>(flags | (1u << range));
        }
        return InputStatus(code, ok, range, now);
    }
    case cmdReadActiveInput:
        return InputStatus(code, IsInputRangeCode(range), range, now);
    case cmdReadProgrammedInput:
        return InputStatus(code, true, ProgrammedInput, now);
    case cmdClearInputCalFlags:
        InputZeroCal = 0;
        InputFullCal = 0;
        return InputStatus(code, true, ActiveInput, now);
    case cmdSelectInputRange: {
        const bool ok = IsInputRangeCode(range);
        if (ok) {
            ActiveInput = range;
        }
        return InputStatus(code, ok, range, now);
    }
    case cmdProgramInputRange: {
        const bool ok = InputLimitsFit(range, in.Minimum, in.Maximum);
        if (ok) {
            ProgrammedInput = range;
            ActiveInput = range;
            InputMin[static_cast<std::size_t>(range)] = in.Minimum;
            InputMax[static_cast<std::size_t>(range)] = in.Maximum;
        }
        return InputStatus(code, ok, range, now);
    }
    case cmdSetOutputCode:
        if (CalMode && IsOutputRangeCode(range)) {
            ActiveOutput = range;
            DrivenCode = in.DacCode;
        }
        return Answer{code, {}, {}, {}, {}, {}};
    case cmdWriteOutputZero:
    case cmdWriteOutputFull: {
        const bool ok = CalMode && IsOutputRangeCode(range);
        if (ok) {
            const auto i = static_cast<std::size_t>(range);
            (code == cmdWriteOutputZero ? ZeroCode : FullCode)[i] = in.DacCode;
            OutputMin[i] = in.Minimum;
            OutputMax[i] = in.Maximum;
            Invert[i] = in.Invert;
            auto& flags = code == cmdWriteOutputZero ? OutputZeroCal : OutputFullCal;
            flags = static_cast<std::uint8_t>(flags | (1u << range));
        }
        return OutputStatus(code, ok, range, now);
    }
    case cmdReadActiveOutput:
        return OutputStatus(code, IsOutputRangeCode(range), range, now);
    case cmdReadProgrammedOutput:
        return OutputStatus(code, true, ProgrammedOutput, now);
    case cmdClearOutputCalFlags:
        OutputZeroCal = 0;
        OutputFullCal = 0;
        return OutputStatus(code, true, ActiveOutput, now);
    case cmdSelectOutputRange: {
        const bool ok = IsOutputRangeCode(range);
        if (ok) {
            ActiveOutput = range;
        }
        return OutputStatus(code, ok, range, now);
    }
    case cmdProgramOutputRange: {
        const bool ok = OutputLimitsFit(range, in.Minimum, in.Maximum);
        if (ok) {
            const auto i = static_cast<std::size_t>(range);
            ProgrammedOutput = range;
            ActiveOutput = range;
            OutputMin[i] = in.Minimum;
            OutputMax[i] = in.Maximum;
            Invert[i] = in.Invert;
        }
        return OutputStatus(code, ok, range, now);
    }
    case cmdSetCalMode:
        CalMode = in.Value != 0;
        if (CalMode) {
            DrivenCode = ZeroCode[static_cast<std::size_t>(ActiveOutput)];
        }
        [[fallthrough]];
    case cmdQueryCalMode:
        return Answer{code, {}, {}, static_cast<std::uint8_t>(CalMode ? 1 : 0), {}, {}};
    case cmdReadVersion:
        return Answer{code, {}, {}, {}, Settings_.VersionText, {}};
    case cmdSetToolkitVersion:
        ToolkitVersion = in.Value;
        return Answer{code, {}, {}, {}, {}, std::uint8_t{1}};
    default:
        return std::nullopt;
    }
}

} // namespace zx::sim
