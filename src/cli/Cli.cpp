#include "Cli.h"

#include "ChangeRecord.h"
#include "HardwarePicture.h"
#include "Limits.h"
#include "NumberFormat.h"
#include "NumberText.h"
#include "OutputValue.h"
#include "PortState.h"
#include "RangeTables.h"
#include "SystemEnd.h"

#include <cctype>
#include <cstdio>

namespace zx {
namespace {

// A range's name as written by a person or a script: the window's caption, "+-" or nothing for
// "±", blanks anywhere, any case.
std::string Squeezed(std::string_view name) {
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (c == 0xC2 && i + 1 < name.size() && static_cast<unsigned char>(name[i + 1]) == 0xB1) {
            ++i; // ±
        } else if (c == '+' && i + 1 < name.size() && name[i + 1] == '-') {
            ++i;
        } else if (c != ' ') {
            out += static_cast<char>(std::tolower(c));
        }
    }
    return out;
}

template <typename Table> int RangeNamed(const Table& table, const std::string& name) {
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (Squeezed(table[i].Caption) == Squeezed(name)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

template <typename Table> std::string Names(const Table& table) {
    std::string names;
    for (const auto& range : table) {
        names += (names.empty() ? "" : ", ") + std::string(range.Caption);
    }
    return names;
}

std::optional<Cli::Outcome> Number(const std::string& text, float& value) {
    const SingleConversion c = TextToSingle(text);
    if (!c.Ok) {
        return Cli::Outcome{Usage, c.Message()};
    }
    value = c.Value;
    return std::nullopt;
}

// What an edit shows of a value the module reported, read back as the window reads it.
float AsShown(float value, std::string_view pattern) {
    return TextToSingle(FormatNumber(value, pattern)).Value;
}

const char* OnOff(bool on) {
    return on ? "CAL" : "RUN";
}

// The calibration state of every range of a side, from an answer's flags.
template <typename Table>
Json CalFlags(const Table& table, unsigned zero, unsigned full, std::string& text) {
    Json list = Json::array();
    for (std::size_t i = 0; i < table.size(); ++i) {
        const bool z = (zero >> i & 1u) != 0;
        const bool f = (full >> i & 1u) != 0;
        list.push_back({{"range", std::string(table[i].Caption)},
                        {"zeroCalibrated", z},
                        {"fullCalibrated", f}});
        text += "  " + Report::Pad(table[i].Caption) + "zero " + (z ? "OK" : "UNCAL") + ", full " +
                (f ? "OK" : "UNCAL") + "\n";
    }
    return list;
}

// How SW1's levers must be set for an input range, as the General group draws them.
std::vector<std::string> Sw1Needed(int range) {
    std::vector<std::string> levers;
    for (int k = 1; k <= SwitchPositions; ++k) {
        levers.emplace_back(LeverTop(range, k) == LeverTopUp ? "up" : "down");
    }
    return levers;
}

std::string Sw1Words(int range) {
    std::string text;
    const auto levers = Sw1Needed(range);
    for (std::size_t k = 0; k < levers.size(); ++k) {
        text += (k == 0 ? "" : ", ") + std::to_string(k + 1) + " " + levers[k];
    }
    return text;
}

std::string Jp6Needed(int range) {
    return JumperLeft(range) == JumperLeftCurrent ? "mA" : "V";
}

// The answer checked against what was asked: each field that differs, asked and answered.
class Differences {
public:
    void Compare(const char* field, const Json& asked, const Json& answered) {
        if (asked != answered) {
            List_.push_back({{"field", field}, {"asked", asked}, {"answered", answered}});
        }
    }
    void Range(int asked, int answered, const auto& table) {
        const auto name = [&table](int code) -> Json {
            return code >= 0 && code < static_cast<int>(table.size())
                       ? Json(std::string(table[static_cast<std::size_t>(code)].Caption))
                       : Json(code);
        };
        Compare("range", name(asked), name(answered));
    }
    bool Any() const { return !List_.empty(); }
    // Into the report, and the outcome that says them.
    Cli::Outcome Tell(Report& out) const {
        std::string text = "the module's answer differs from the request:";
        for (const Json& d : List_) {
            text += " " + d["field"].get<std::string>() + " asked " + Shown(d["asked"]) +
                    ", answered " + Shown(d["answered"]) + ";";
        }
        text.pop_back();
        out.Object()["mismatches"] = List_;
        return {ModuleFailed, text};
    }

private:
    static std::string Shown(const Json& v) {
        return v.is_string() ? v.get<std::string>() : JsonText(v);
    }
    Json List_ = Json::array();
};

} // namespace

void Cli::Interrupt() {
    if (Session_) {
        Session_->Interrupt();
    }
}

int Cli::Run() {
    const std::string command = Word(0);
    Out_.Object()["command"] = command;
    Outcome outcome;
    if (command == "ports") {
        outcome = Ports();
    } else if (command == "records") {
        return Records().Code; // JSON lines or CSV, printed as they are read
    } else {
        outcome = Connected();
        if (auto missing = Disconnect(); missing && outcome.Code == Done) {
            outcome = *missing;
        }
    }
    return Out_.Print(outcome.Code, outcome.Message);
}

Cli::Outcome Cli::Ports() {
    const PortNamespace ports = PortNamespace::ForCurrentUser();
    if (const std::string refused = RefusedLinkFolderText(ports); !refused.empty()) {
        std::fprintf(stderr, "zentrix-cli: %s\n", refused.c_str());
    }
    Json list = Json::array();
    for (int n = 1; n <= PortNamespace::HighestComNumber; ++n) {
        if (!PortAvailable(ports, n)) {
            continue;
        }
        const PortState state = LookAtPort(ports, n);
        const char* kind = state.What == PortState::Kind::Free   ? "free"
                           : state.What == PortState::Kind::Busy ? "busy"
                                                                 : "not permitted";
        Json port = {{"com", n},
                     {"name", "COM" + std::to_string(n)},
                     {"device", ports.DevicePath(n)},
                     {"state", kind}};
        if (!state.Holder.empty()) {
            port["holder"] = state.Holder;
        }
        list.push_back(port);
        Out_.Line("COM" + std::to_string(n),
                  SafeText(ports.DevicePath(n)) + "  " + kind +
                      (state.Holder.empty() ? "" : " (" + SafeText(state.Holder) + ")"));
    }
    Out_.Object()["ports"] = list;
    return {};
}

std::optional<Cli::Outcome> Cli::Check() {
    const std::string command = Word(0);
    std::string com = O_.Com.value_or("");
    if (com.size() > 3 && Squeezed(com.substr(0, 3)) == "com") {
        com.erase(0, 3); // "COM41" as the dialog names it
    }
    if (com.empty() || com.size() > 2 || com.find_first_not_of("0123456789") != std::string::npos ||
        (Com_ = std::stoi(com)) < 1 || Com_ > PortNamespace::HighestComNumber) {
        return Outcome{Usage, "give the module's port as --com N or --com COMN, N from 1 to 50"};
    }
    const bool full =
        command == "mode" || command == "calibrate" || command == "dac" || command == "clear-flags";
    if (full && !O_.Full) {
        return Outcome{Usage, "\"" + command + "\" is a full-mode command: give --full"};
    }
    if (command == "input" || command == "output" || command == "calibrate" || command == "dac") {
        const bool input = command == "input" || command == "calibrate";
        if (!O_.Range) {
            return Outcome{Usage, "give the range as --range NAME"};
        }
        int& range = input ? InputRange_ : OutputRange_;
        range = input ? RangeNamed(InputRanges, *O_.Range) : RangeNamed(OutputRanges, *O_.Range);
        if (range < 0) {
            return Outcome{Usage, "unknown " + std::string(input ? "input" : "output") +
                                      " range \"" + *O_.Range + "\"; the " +
                                      (input ? "input" : "output") + " ranges are " +
                                      (input ? Names(InputRanges) : Names(OutputRanges))};
        }
    }
    if (command == "input" || command == "output") {
        const bool limits = O_.Min || O_.Max;
        if ((limits || O_.Invert) && !O_.Program) {
            return Outcome{Usage, "--min, --max and --invert go to the module only with --program"};
        }
        if (O_.Invert && *O_.Invert != "yes" && *O_.Invert != "no") {
            return Outcome{Usage, "--invert takes yes or no"};
        }
        if (limits && !(O_.Min && O_.Max)) {
            return Outcome{Usage, "give both --min and --max, or neither"};
        }
        if (limits) {
            if (auto refused = Number(*O_.Min, Min_)) {
                return refused;
            }
            if (auto refused = Number(*O_.Max, Max_)) {
                return refused;
            }
            const bool fit = command == "input" ? InputLimitsFit(InputRange_, Min_, Max_)
                                                : OutputLimitsFit(OutputRange_, Min_, Max_);
            if (!fit) {
                return Outcome{Usage, command == "input" ? InputLimitsRefusal(InputRange_)
                                                         : OutputLimitsRefusal(OutputRange_)};
            }
        }
    } else if (command == "mode") {
        if (Word(1) != "cal" && Word(1) != "run") {
            return Outcome{Usage, "mode takes cal or run"};
        }
    } else if (command == "calibrate") {
        if (Word(1) != "input" || (Word(2) != "zero" && Word(2) != "full")) {
            return Outcome{Usage, "calibrate takes input zero or input full"};
        }
        if (O_.Value && Word(2) == "zero") {
            return Outcome{Usage, "--value is the full-scale calibrator's value"};
        }
        const IRange& range = InputRanges[static_cast<std::size_t>(InputRange_)];
        // The window's field holds the range's full-scale point until the technician types.
        if (auto refused = Number(
                O_.Value.value_or(FormatNumber(range.CalFull, range.DisplayFormat)), Value_)) {
            return refused;
        }
        // A full-scale point lies on the upper side of the range, at most at its top (or at
        // its calibration point where that lies above): a typo must not become a calibration.
        const float top = std::max(range.MaxLimit, range.CalFull);
        const float floor = range.CalFull / 2;
        if (!(Value_ > floor && Value_ <= top)) {
            return Outcome{Usage, "the full-scale value for " + std::string(range.Caption) +
                                      " must be above " +
                                      FormatWithUnit(floor, range.DisplayFormat, range.UnitText) +
                                      " and at most " +
                                      FormatWithUnit(top, range.DisplayFormat, range.UnitText)};
        }
    } else if (command == "dac") {
        if (Word(1) != "zero" && Word(1) != "full") {
            return Outcome{Usage, "dac takes zero or full"};
        }
        if (!O_.Code || O_.Code->empty() || O_.Code->size() > 5 ||
            O_.Code->find_first_not_of("0123456789") != std::string::npos ||
            (DacCode_ = std::stoi(*O_.Code)) > 65535) {
            return Outcome{Usage, "give the DAC code as --code N, N from 0 to 65535"};
        }
    } else if (command == "clear-flags") {
        if (Word(1) != "input" && Word(1) != "output") {
            return Outcome{Usage, "clear-flags takes input or output"};
        }
    }
    return std::nullopt;
}

std::optional<Cli::Outcome> Cli::Ask(const Request& request, Session::Answer& a) {
    a = Session_->Ask(request);
    switch (a.What) {
    case Session::Outcome::Answered:
        if (a.Failed) {
            return Outcome{ModuleFailed,
                           a.Said + " (to " + std::string(CommandName(request.Code)) + ")"};
        }
        if (request.Code == cmdProgramInputRange) {
            const Session::Answer& toolkit = Session_->ToolkitAnswer();
            if (toolkit.What == Session::Outcome::Interrupted) {
                return Outcome{Interrupted, "ended by a signal; the port is closed"};
            }
            if (toolkit.What == Session::Outcome::NoResponse) {
                return Outcome{NoAnswer, "No response ! (to the toolkit version)"};
            }
            if (toolkit.What != Session::Outcome::Answered || toolkit.Failed) {
                return Outcome{ModuleFailed, toolkit.Said + " (to the toolkit version)"};
            }
        }
        return std::nullopt;
    case Session::Outcome::NoResponse:
        return Outcome{NoAnswer, a.Said + " (to " + std::string(CommandName(request.Code)) + ")"};
    case Session::Outcome::Lost:
        return Outcome{PortFailed, "No COM port ! " + Session_->LossReason()};
    case Session::Outcome::NotSent:
        return Outcome{PortFailed, a.Said};
    case Session::Outcome::Interrupted:
        return Outcome{Interrupted, "ended by a signal; the port is closed"};
    }
    return std::nullopt;
}

Cli::Outcome Cli::Connected() {
    if (auto refused = Check()) {
        return *refused;
    }
    const PortNamespace ports = PortNamespace::ForCurrentUser();
    if (const std::string refused = RefusedLinkFolderText(ports); !refused.empty()) {
        std::fprintf(stderr, "zentrix-cli: %s\n", refused.c_str());
    }
    if (!O_.NoRecord) {
        Book_ = std::make_unique<RecordBook>(RecordBook::DefaultFolder(), "zentrix-cli");
    }
    Session_ = std::make_unique<Session>(Clock_, ports, Book_.get(), O_.Trace);
    Out_.Object()["port"] = "COM" + std::to_string(Com_);
    Out_.Line("Port", "COM" + std::to_string(Com_));
    if (SystemEndAsked()) {
        return {Interrupted, "ended by a signal before the port was opened"};
    }
    try {
        Session_->Open(static_cast<std::uint16_t>(Com_));
    } catch (const ComPortError& e) {
        return {PortFailed, e.what()};
    }
    const std::string device = Session_->Port().DevicePath().toStdString();
    Out_.Object()["device"] = device;
    Out_.Line("Device", SafeText(device));
    const std::string command = Word(0);
    if (command == "read") {
        return Read();
    }
    if (command == "input") {
        return Input();
    }
    if (command == "output") {
        return Output();
    }
    if (command == "mode") {
        return Mode();
    }
    if (command == "calibrate") {
        return Calibrate();
    }
    if (command == "dac") {
        return Dac();
    }
    return ClearFlags();
}

std::optional<Cli::Outcome> Cli::Disconnect() {
    // The port closes first: a change still on the line is then recorded as cut off.
    Session_.reset();
    if (!Book_) {
        return std::nullopt;
    }
    Book_->Flush(RecordBook::FlushBound, [] { return SystemEndAsked(); });
    const auto unwritten = Book_->TakeUnwritten();
    if (unwritten.empty()) {
        return std::nullopt;
    }
    for (const auto& u : unwritten) {
        // Said in full, so that nothing that reached the module is lost from sight.
        std::fprintf(stderr, "zentrix-cli: a record was not written (%s): %s\n", u.Reason.c_str(),
                     u.Line.c_str());
    }
    Out_.Object()["recordProblem"] = unwritten.front().Reason;
    Out_.Line("Record", "NOT WRITTEN: " + unwritten.front().Reason);
    return Outcome{RecordsFailed, "the change was made but its record was not written: " +
                                      unwritten.front().Reason};
}

Cli::Outcome Cli::Read() {
    Session::Answer in, out, mode, version;
    for (auto [request, answer] : {std::pair{Request{.Code = cmdReadProgrammedInput}, &in},
                                   std::pair{Request{.Code = cmdReadProgrammedOutput}, &out},
                                   std::pair{Request{.Code = cmdQueryCalMode, .Value = 0}, &mode},
                                   std::pair{Request{.Code = cmdReadVersion}, &version}}) {
        if (auto failed = Ask(request, *answer)) {
            return *failed;
        }
    }
    Out_.Object()["version"] = Latin1ToUtf8(version.Version);
    Out_.Line("Version", SafeText(version.Version));
    Out_.Object()["mode"] = OnOff(mode.CalMode != 0);
    Out_.Line("Mode", OnOff(mode.CalMode != 0));

    // Only what the module reported: a read names the programmed range, never the active one.
    const InputRangeStatus& i = in.Input;
    const IRange& ir = InputRanges[i.RangeCode];
    std::string flags;
    Json input = {{"range", std::string(ir.Caption)}, {"rangeCode", i.RangeCode},
                  {"rangeOk", i.RangeOk != 0},        {"min", JsonNumber(i.MinValue)},
                  {"max", JsonNumber(i.MaxValue)},    {"reading", JsonNumber(i.Reading)},
                  {"unit", std::string(ir.UnitText)}, {"sw1Needed", Sw1Needed(i.RangeCode)}};
    input["calibration"] = CalFlags(InputRanges, i.ZeroCalFlags, i.FullCalFlags, flags);
    Out_.Object()["input"] = input;
    Out_.Line("Input range",
              std::string(ir.Caption) + (i.RangeOk != 0 ? "" : " (SW1 not set for it)"));
    Out_.Line("Input limits", FormatNumber(i.MinValue, ir.DisplayFormat) + " to " +
                                  FormatWithUnit(i.MaxValue, ir.DisplayFormat, ir.UnitText));
    Out_.Line("Input reading", FormatWithUnit(i.Reading, ir.DisplayFormat, ir.UnitText));
    Out_.Line("SW1 needed", Sw1Words(i.RangeCode));
    Out_.Text("Input calibration\n" + flags);

    const OutputRangeStatus& o = out.Output;
    const ORange& orr = OutputRanges[o.RangeCode];
    flags.clear();
    const auto signal = OutputValue(o.RangeCode, o.ZeroCode, o.FullCode, o.OutputCode);
    Json output = {{"range", std::string(orr.Caption)},
                   {"rangeCode", o.RangeCode},
                   {"rangeOk", o.RangeOk != 0},
                   {"min", JsonNumber(o.MinValue)},
                   {"max", JsonNumber(o.MaxValue)},
                   {"unit", std::string(orr.UnitText)},
                   {"invert", o.Invert != 0},
                   {"zeroCode", o.ZeroCode},
                   {"fullCode", o.FullCode},
                   {"outputCode", o.OutputCode},
                   {"outputSignal", signal ? JsonNumber(*signal) : Json(nullptr)},
                   {"jp6Needed", Jp6Needed(o.RangeCode)}};
    output["calibration"] = CalFlags(OutputRanges, o.ZeroCalFlags, o.FullCalFlags, flags);
    Out_.Object()["output"] = output;
    Out_.Line("Output range",
              std::string(orr.Caption) + (o.RangeOk != 0 ? "" : " (JP6 not set for it)"));
    Out_.Line("Output limits", FormatNumber(o.MinValue, orr.DisplayFormat) + " to " +
                                   FormatWithUnit(o.MaxValue, orr.DisplayFormat, orr.UnitText));
    Out_.Line("Output inverted", o.Invert != 0 ? "yes" : "no");
    Out_.Line("DAC codes", "zero " + std::to_string(o.ZeroCode) + ", full " +
                               std::to_string(o.FullCode) + ", now " +
                               std::to_string(o.OutputCode));
    Out_.Line("Output signal",
              FormatOutputValue(o.RangeCode, o.ZeroCode, o.FullCode, o.OutputCode));
    Out_.Line("JP6 needed", Jp6Needed(o.RangeCode));
    Out_.Text("Output calibration\n" + flags);
    Out_.Object()["TA"] = JsonNumber(o.TA);
    Out_.Object()["TCAL"] = JsonNumber(o.TCAL);
    Out_.Object()["temperatureUnit"] = "°C";
    Out_.Line("TA (Celcius)", FormatNumber(o.TA, TemperatureFormat));
    Out_.Line("TCAL (Celcius)", FormatNumber(o.TCAL, TemperatureFormat));
    return {};
}

Cli::Outcome Cli::Input() {
    const auto range = static_cast<std::uint8_t>(InputRange_);
    Session::Answer chosen, programmed;
    if (auto failed = Ask({.Code = cmdSelectInputRange, .Range = range}, chosen)) {
        return *failed;
    }
    Differences differ;
    differ.Range(range, chosen.Input.RangeCode, InputRanges);
    if (differ.Any()) {
        return differ.Tell(Out_);
    }
    if (O_.Program) {
        if (!O_.Min) {
            // The window's limit fields hold what the module reported for the range.
            Min_ = AsShown(chosen.Input.MinValue, InputRanges[range].DisplayFormat);
            Max_ = AsShown(chosen.Input.MaxValue, InputRanges[range].DisplayFormat);
            if (!InputLimitsFit(range, Min_, Max_)) {
                return {Usage, InputLimitsRefusal(range)};
            }
        }
        if (auto failed = Ask(
                {.Code = cmdProgramInputRange, .Range = range, .Minimum = Min_, .Maximum = Max_},
                programmed)) {
            return *failed;
        }
        differ.Range(range, programmed.Input.RangeCode, InputRanges);
        differ.Compare("min", JsonNumber(Min_), JsonNumber(programmed.Input.MinValue));
        differ.Compare("max", JsonNumber(Max_), JsonNumber(programmed.Input.MaxValue));
        if (differ.Any()) {
            return differ.Tell(Out_);
        }
    }
    const InputRangeStatus& r = O_.Program ? programmed.Input : chosen.Input;
    const IRange& ir = InputRanges[r.RangeCode];
    Out_.Object()["input"] = {
        {"range", std::string(ir.Caption)},   {"rangeCode", r.RangeCode},
        {"programmed", O_.Program},           {"rangeOk", r.RangeOk != 0},
        {"min", JsonNumber(r.MinValue)},      {"max", JsonNumber(r.MaxValue)},
        {"reading", JsonNumber(r.Reading)},   {"unit", std::string(ir.UnitText)},
        {"sw1Needed", Sw1Needed(r.RangeCode)}};
    Out_.Line("Input range",
              std::string(ir.Caption) + (O_.Program ? ", made permanent" : ", active"));
    Out_.Line("Input limits", FormatNumber(r.MinValue, ir.DisplayFormat) + " to " +
                                  FormatWithUnit(r.MaxValue, ir.DisplayFormat, ir.UnitText));
    Out_.Line("Input reading", FormatWithUnit(r.Reading, ir.DisplayFormat, ir.UnitText));
    Out_.Line("SW1 needed", Sw1Words(r.RangeCode));
    if (r.RangeOk == 0) {
        return {SwitchesWrong, "the module holds " + std::string(ir.Caption) +
                                   ", but its switch SW1 is not set for it: set SW1's levers " +
                                   Sw1Words(r.RangeCode)};
    }
    return {};
}

Cli::Outcome Cli::Output() {
    const auto range = static_cast<std::uint8_t>(OutputRange_);
    Session::Answer chosen, programmed;
    if (auto failed = Ask({.Code = cmdSelectOutputRange, .Range = range}, chosen)) {
        return *failed;
    }
    Differences differ;
    differ.Range(range, chosen.Output.RangeCode, OutputRanges);
    if (differ.Any()) {
        return differ.Tell(Out_);
    }
    if (O_.Program) {
        if (!O_.Min) {
            Min_ = AsShown(chosen.Output.MinValue, OutputRanges[range].DisplayFormat);
            Max_ = AsShown(chosen.Output.MaxValue, OutputRanges[range].DisplayFormat);
            if (!OutputLimitsFit(range, Min_, Max_)) {
                return {Usage, OutputLimitsRefusal(range)};
            }
        }
        const bool invert = O_.Invert ? *O_.Invert == "yes" : chosen.Output.Invert != 0;
        if (auto failed = Ask({.Code = cmdProgramOutputRange,
                               .Range = range,
                               .Minimum = Min_,
                               .Maximum = Max_,
                               .Invert = invert},
                              programmed)) {
            return *failed;
        }
        const OutputRangeStatus& p = programmed.Output;
        differ.Range(range, p.RangeCode, OutputRanges);
        differ.Compare("min", JsonNumber(Min_), JsonNumber(p.MinValue));
        differ.Compare("max", JsonNumber(Max_), JsonNumber(p.MaxValue));
        differ.Compare("invert", invert, p.Invert != 0);
        if (differ.Any()) {
            return differ.Tell(Out_);
        }
    }
    const OutputRangeStatus& r = O_.Program ? programmed.Output : chosen.Output;
    const ORange& orr = OutputRanges[r.RangeCode];
    Out_.Object()["output"] = {
        {"range", std::string(orr.Caption)},  {"rangeCode", r.RangeCode},
        {"programmed", O_.Program},           {"rangeOk", r.RangeOk != 0},
        {"min", JsonNumber(r.MinValue)},      {"max", JsonNumber(r.MaxValue)},
        {"unit", std::string(orr.UnitText)},  {"invert", r.Invert != 0},
        {"jp6Needed", Jp6Needed(r.RangeCode)}};
    Out_.Line("Output range",
              std::string(orr.Caption) + (O_.Program ? ", made permanent" : ", active"));
    Out_.Line("Output limits", FormatNumber(r.MinValue, orr.DisplayFormat) + " to " +
                                   FormatWithUnit(r.MaxValue, orr.DisplayFormat, orr.UnitText));
    Out_.Line("Output inverted", r.Invert != 0 ? "yes" : "no");
    Out_.Line("JP6 needed", Jp6Needed(r.RangeCode));
    if (r.RangeOk == 0) {
        return {SwitchesWrong, "the module holds " + std::string(orr.Caption) +
                                   ", but its jumper JP6 is not set for it: put JP6 in its " +
                                   Jp6Needed(r.RangeCode) + " position"};
    }
    return {};
}

Cli::Outcome Cli::Mode() {
    const bool cal = Word(1) == "cal";
    Session::Answer a;
    if (auto failed = Ask({.Code = cmdSetCalMode, .Value = std::uint8_t(cal ? 1 : 0)}, a)) {
        return *failed;
    }
    Differences differ;
    differ.Compare("mode", OnOff(cal), OnOff(a.CalMode != 0));
    Out_.Object()["mode"] = OnOff(a.CalMode != 0);
    Out_.Line("Mode", OnOff(a.CalMode != 0));
    return differ.Any() ? differ.Tell(Out_) : Outcome{};
}

Cli::Outcome Cli::Calibrate() {
    const auto range = static_cast<std::uint8_t>(InputRange_);
    const bool zero = Word(2) == "zero";
    Session::Answer chosen, a;
    // The window calibrates the range chosen in its list: the module is first set to it.
    if (auto failed = Ask({.Code = cmdSelectInputRange, .Range = range}, chosen)) {
        return *failed;
    }
    Differences differ;
    differ.Range(range, chosen.Input.RangeCode, InputRanges);
    if (differ.Any()) {
        return differ.Tell(Out_);
    }
    if (auto failed =
            Ask(zero ? Request{.Code = cmdCalInputZero, .Range = range}
                     : Request{.Code = cmdCalInputFull, .Range = range, .FullScale = Value_},
                a)) {
        return *failed;
    }
    const IRange& ir = InputRanges[range];
    const unsigned flags = zero ? a.Input.ZeroCalFlags : a.Input.FullCalFlags;
    differ.Range(range, a.Input.RangeCode, InputRanges);
    differ.Compare(zero ? "zeroCalibrated" : "fullCalibrated", true, (flags >> range & 1u) != 0);
    std::string text;
    Out_.Object()["calibrated"] = {{"range", std::string(ir.Caption)},
                                   {"point", zero ? "zero" : "full"}};
    if (!zero) {
        Out_.Object()["calibrated"]["value"] = JsonNumber(Value_);
        Out_.Object()["calibrated"]["unit"] = std::string(ir.UnitText);
    }
    Out_.Object()["calibration"] =
        CalFlags(InputRanges, a.Input.ZeroCalFlags, a.Input.FullCalFlags, text);
    Out_.Line("Calibrated", std::string(ir.Caption) +
                                (zero ? ", zero"
                                      : ", full scale at " +
                                            FormatWithUnit(Value_, ir.DisplayFormat, ir.UnitText)));
    Out_.Text("Input calibration\n" + text);
    return differ.Any() ? differ.Tell(Out_) : Outcome{};
}

Cli::Outcome Cli::Dac() {
    const auto range = static_cast<std::uint8_t>(OutputRange_);
    const bool full = Word(1) == "full";
    const auto code = static_cast<std::uint16_t>(DacCode_);
    Session::Answer chosen, driven, written;
    if (auto failed = Ask({.Code = cmdSelectOutputRange, .Range = range}, chosen)) {
        return *failed;
    }
    Differences differ;
    differ.Range(range, chosen.Output.RangeCode, OutputRanges);
    if (differ.Any()) {
        return differ.Tell(Out_);
    }
    if (auto failed = Ask({.Code = cmdSetOutputCode, .Range = range, .DacCode = code}, driven)) {
        return *failed;
    }
    // The module acknowledges a driven code by its answer's code alone.
    Out_.Object()["drivenCode"] = code;
    Out_.Line("DAC code driven", std::to_string(code));
    if (!O_.Write) {
        Out_.Object()["written"] = false;
        return {};
    }
    // The write carries the limits and inversion the window's fields show for the range.
    const ORange& r = OutputRanges[range];
    const Request write{.Code = full ? cmdWriteOutputFull : cmdWriteOutputZero,
                        .Range = range,
                        .DacCode = code,
                        .Minimum = AsShown(chosen.Output.MinValue, r.DisplayFormat),
                        .Maximum = AsShown(chosen.Output.MaxValue, r.DisplayFormat),
                        .Invert = chosen.Output.Invert != 0};
    if (auto failed = Ask(write, written)) {
        return *failed;
    }
    const OutputRangeStatus& w = written.Output;
    const std::uint16_t stored = full ? w.FullCode : w.ZeroCode;
    differ.Range(range, w.RangeCode, OutputRanges);
    differ.Compare(full ? "fullCode" : "zeroCode", code, stored);
    differ.Compare("min", JsonNumber(write.Minimum), JsonNumber(w.MinValue));
    differ.Compare("max", JsonNumber(write.Maximum), JsonNumber(w.MaxValue));
    differ.Compare("invert", write.Invert, w.Invert != 0);
    Out_.Object()["written"] = true;
    Out_.Object()[full ? "fullCode" : "zeroCode"] = stored;
    Out_.Line(full ? "Full-scale code stored" : "Zero code stored", std::to_string(stored));
    return differ.Any() ? differ.Tell(Out_) : Outcome{};
}

Cli::Outcome Cli::ClearFlags() {
    const bool input = Word(1) == "input";
    Session::Answer a;
    if (auto failed = Ask({.Code = input ? cmdClearInputCalFlags : cmdClearOutputCalFlags}, a)) {
        return *failed;
    }
    const unsigned zero = input ? a.Input.ZeroCalFlags : a.Output.ZeroCalFlags;
    const unsigned full = input ? a.Input.FullCalFlags : a.Output.FullCalFlags;
    Differences differ;
    differ.Compare("zeroCalFlags", 0, zero);
    differ.Compare("fullCalFlags", 0, full);
    std::string text;
    Out_.Object()["calibration"] =
        input ? CalFlags(InputRanges, zero, full, text) : CalFlags(OutputRanges, zero, full, text);
    Out_.Text(std::string(input ? "Input" : "Output") + " calibration\n" + text);
    return differ.Any() ? differ.Tell(Out_) : Outcome{};
}

} // namespace zx
