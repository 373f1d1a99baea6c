// zentrix-cli: reads and configures Zentrix signal-conditioning modules from scripts, with the
// window's engine, catalogue and codec, and records every change made to a module.
#include "ChangeRecord.h"
#include "HardwarePicture.h"
#include "Json.h"
#include "Limits.h"
#include "NumberFormat.h"
#include "NumberText.h"
#include "OutputValue.h"
#include "PortState.h"
#include "RangeTables.h"
#include "RecordBook.h"
#include "Session.h"
#include "SystemDriverClock.h"
#include "SystemEnd.h"

#include <QCoreApplication>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zx {
namespace {

const char* const Help = R"(Usage: zentrix-cli [OPTIONS] COMMAND [ARGUMENTS]

Reads and configures a Zentrix signal-conditioning module over its COM port, with the same
requests, checks and messages as the window (zentrix).

Commands:
  ports                                  the COM ports the port dialog lists
  --com N read                           everything the window shows of the module
  --com N input --range NAME [--min X --max Y] [--program]
                                         chooses the active input range; --program makes it
                                         permanent with the limits (the module's own if none)
  --com N output --range NAME [--min X --max Y] [--invert yes|no] [--program]
  --full --com N mode cal|run
  --full --com N calibrate input zero|full --range NAME [--value X]
  --full --com N dac zero|full --range NAME --code N [--write]
  --full --com N clear-flags input|output
  records [--since DATE] [--csv]         the record of every change made to modules

Options:
  --json        the result as JSON on standard output
  --trace       each frame in hex, with a time stamp in milliseconds, on standard error
  --no-record   no record of the changes this run makes
  --full        allows the calibration commands, as the window's full mode does
  --help, --version

Range names are the window's ("±10 V", "0-20 mA"); "+-10V" and "10 V" name the same.
Records go to $XDG_DATA_HOME/zentrix/records/YYYY-MM.jsonl (~/.local/share when unset).

Exit status: 0 done; 1 the module answered "Failed." or an error; 2 bad usage or a value the
window would refuse; 3 the port could not be opened or was lost; 4 no response.
)";

enum Exit {
    Done = 0,
    ModuleFailed = 1,
    Usage = 2,
    PortFailed = 3,
    NoAnswer = 4,
    Interrupted = 130
};

struct Options {
    bool Json = false;
    bool Trace = false;
    bool NoRecord = false;
    bool Full = false;
    bool Program = false;
    bool Write = false;
    bool Csv = false;
    std::optional<std::string> Com, Range, Min, Max, Invert, Value, Code, Since;
    std::vector<std::string> Words;
};

struct Refusal {
    int Code;
    std::string Message;
};

// The result printed: JSON members, or lines of text.
class Report {
public:
    explicit Report(bool json) : Json_(json) {}
    void Field(const std::string& label, const std::string& key, const std::string& text) {
        Object_.Add(key, text);
        Lines_ += Pad(label) + text + "\n";
    }
    void Raw(const std::string& key, const std::string& json, const std::string& text) {
        Object_.Raw(key, json);
        Lines_ += text;
    }
    int Finish(int code, const std::string& message) {
        if (Json_) {
            Object_.Add("exit", code);
            if (code != Done) {
                Object_.Add("error", message);
            }
            std::printf("%s\n", Object_.Text().c_str());
        } else {
            std::fputs(Lines_.c_str(), stdout);
        }
        if (code != Done) {
            std::fprintf(stderr, "zentrix-cli: %s\n", message.c_str());
        }
        return code;
    }
    static std::string Pad(const std::string& label) {
        // Columns count characters, not the bytes of their UTF-8 ("±" is two).
        std::size_t width = 0;
        for (const char c : label) {
            width += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
        }
        return label + std::string(width < 24 ? 24 - width : 1, ' ');
    }

private:
    bool Json_;
    JsonObject Object_;
    std::string Lines_;
};

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

// A number as the window's edits take it; the window's message when it would refuse it.
std::optional<Refusal> Number(const std::string& text, float& value) {
    const SingleConversion c = TextToSingle(text);
    if (!c.Ok) {
        return Refusal{Usage, c.Message()};
    }
    value = c.Value;
    return std::nullopt;
}

// What an edit shows of a value the module reported, read back as the window reads it.
float AsShown(float value, std::string_view pattern) {
    return TextToSingle(FormatNumber(value, pattern)).Value;
}

std::string CalFlags(unsigned zero, unsigned full, std::size_t rows, auto caption,
                     std::string& text) {
    std::string json = "[";
    for (std::size_t i = 0; i < rows && i < 16; ++i) {
        const char* z = (zero >> i & 1u) != 0 ? "OK" : "UNCAL";
        const char* f = (full >> i & 1u) != 0 ? "OK" : "UNCAL";
        json += (i == 0 ? "" : ",") +
                JsonObject().Add("range", caption(i)).Add("zero", z).Add("full", f).Text();
        text += "  " + Report::Pad(caption(i)) + "zero " + z + ", full " + f + "\n";
    }
    return json + "]";
}

std::string Sw1(int range) {
    std::string text;
    for (int k = 1; k <= SwitchPositions; ++k) {
        text += (k == 1 ? "" : ", ") + std::to_string(k) +
                (LeverTop(range, k) == LeverTopUp ? " up" : " down");
    }
    return text;
}

// A refused link folder is said, never skipped in silence, as the window says it.
void TellRefusedLinkFolder(const PortNamespace& ports) {
    if (const std::string refused = RefusedLinkFolderText(ports); !refused.empty()) {
        std::fprintf(stderr, "zentrix-cli: %s\n", refused.c_str());
    }
}

class Cli {
public:
    explicit Cli(Options options) : O_(std::move(options)), Out_(O_.Json) {}
    int Run();
    // The system asked the program to end: the request under way is left, the port closed.
    void Interrupt() {
        if (Session_) {
            Session_->Interrupt();
        } else {
            std::_Exit(130);
        }
    }

private:
    int Ports();
    int Records();
    int Connected();
    std::optional<Refusal> Check();
    // One request; a refusal for anything but an answer the window shows as a success.
    std::optional<Refusal> Ask(const Request& request, Session::Answer* answer = nullptr);
    int Read();
    int Input();
    int Output();

    // The result, with a record that could not be written said once beside it.
    int Finish(int code, const std::string& message) {
        if (Session_ && !Session_->RecordProblem().empty()) {
            Out_.Field("Record", "recordProblem", "not written: " + Session_->RecordProblem());
            std::fprintf(stderr, "zentrix-cli: the change was not recorded: %s\n",
                         Session_->RecordProblem().c_str());
        }
        return Out_.Finish(code, message);
    }
    std::string Command() const { return O_.Words.empty() ? std::string() : O_.Words[0]; }
    std::string Word(std::size_t i) const { return i < O_.Words.size() ? O_.Words[i] : ""; }

    Options O_;
    Report Out_;
    SystemDriverClock Clock_; // outlives the session, which lets the module settle at its end
    std::unique_ptr<RecordBook> Book_;
    std::unique_ptr<Session> Session_;
    int InputRange_ = -1;
    int OutputRange_ = -1;
    float Min_ = 0.0f, Max_ = 0.0f, Value_ = 0.0f;
    int DacCode_ = 0;
};

int Cli::Run() {
    const std::string command = Command();
    if (command == "ports") {
        return Ports();
    }
    if (command == "records") {
        return Records();
    }
    static const std::map<std::string, bool> Connecting = {
        {"read", false},     {"input", false}, {"output", false},    {"mode", true},
        {"calibrate", true}, {"dac", true},    {"clear-flags", true}};
    const auto known = Connecting.find(command);
    if (known == Connecting.end()) {
        return Finish(Usage, command.empty() ? "no command given; see --help"
                                             : "unknown command \"" + command + "\"");
    }
    if (known->second && !O_.Full) {
        return Finish(Usage, "\"" + command + "\" is a full-mode command: give --full");
    }
    return Connected();
}

int Cli::Ports() {
    const PortNamespace ports = PortNamespace::ForCurrentUser();
    TellRefusedLinkFolder(ports);
    std::string json = "[";
    std::string text;
    for (int n = 1; n <= PortNamespace::HighestComNumber; ++n) {
        if (!PortAvailable(ports, n)) {
            continue;
        }
        const PortState state = LookAtPort(ports, n);
        const char* kind = state.What == PortState::Kind::Free   ? "free"
                           : state.What == PortState::Kind::Busy ? "busy"
                                                                 : "not permitted";
        JsonObject port;
        port.Add("com", n).Add("name", "COM" + std::to_string(n));
        port.Add("device", ports.DevicePath(n)).Add("state", kind);
        if (!state.Holder.empty()) {
            port.Add("holder", state.Holder);
        }
        json += (json.size() > 1 ? "," : "") + port.Text();
        text += Report::Pad("COM" + std::to_string(n)) + ports.DevicePath(n) + "  " + kind +
                (state.Holder.empty() ? "" : " (" + state.Holder + ")") + "\n";
    }
    Out_.Raw("ports", json + "]", text);
    return Finish(Done, {});
}

// A CSV field: quoted when it holds a comma, a quote or a line break.
std::string Csv(const std::string& field) {
    if (field.find_first_of(",\"\n\r") == std::string::npos) {
        return field;
    }
    std::string quoted = "\"";
    for (const char c : field) {
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    return quoted + "\"";
}

// The top-level members of a record line, each as its JSON text (strings unquoted).
std::map<std::string, std::string> Members(const std::string& line) {
    std::map<std::string, std::string> members;
    std::size_t i = 1;
    const auto string = [&](std::size_t& at) {
        std::string s;
        for (++at; at < line.size() && line[at] != '"'; ++at) {
            if (line[at] == '\\' && at + 1 < line.size()) {
                s += line[++at] == 'n' ? '\n' : line[at];
            } else {
                s += line[at];
            }
        }
        ++at;
        return s;
    };
    // A line edited by hand may end anywhere: every step looks before it reads.
    while (i < line.size() && line[i] == '"') {
        const std::string key = string(i);
        ++i; // ':'
        if (i >= line.size()) {
            break;
        }
        if (line[i] == '"') {
            members[key] = string(i);
        } else {
            const std::size_t start = i;
            int depth = 0;
            bool quoted = false;
            for (; i < line.size(); ++i) {
                const char c = line[i];
                if (quoted) {
                    if (c == '\\') {
                        ++i;
                    } else if (c == '"') {
                        quoted = false;
                    }
                } else if (c == '"') {
                    quoted = true;
                } else if (c == '{' || c == '[') {
                    ++depth;
                } else if (c == '}' || c == ']') {
                    if (depth-- == 0) {
                        break;
                    }
                } else if (c == ',' && depth == 0) {
                    break;
                }
            }
            members[key] = line.substr(start, i - start);
        }
        if (i < line.size() && line[i] == ',') {
            ++i;
        }
    }
    return members;
}

int Cli::Records() {
    const auto folder = RecordBook::DefaultFolder();
    const std::vector<std::string> lines = RecordBook::Read(folder, O_.Since.value_or(""));
    if (O_.Csv) {
        std::printf("time,user,machine,program,port,device,version,request,answer,late\n");
        for (const std::string& line : lines) {
            auto m = Members(line);
            std::printf("%s\n",
                        (Csv(m["time"]) + "," + Csv(m["user"]) + "," + Csv(m["machine"]) + "," +
                         Csv(m["program"]) + "," + Csv(m["port"]) + "," + Csv(m["device"]) + "," +
                         Csv(m["version"]) + "," + Csv(m["request"]) + "," + Csv(m["answer"]) +
                         "," + Csv(m.contains("late") ? "true" : ""))
                            .c_str());
        }
        return Done;
    }
    for (const std::string& line : lines) {
        std::printf("%s\n", line.c_str());
    }
    return Done;
}

std::optional<Refusal> Cli::Check() {
    const std::string command = Command();
    int com = 0;
    if (!O_.Com || O_.Com->empty() || O_.Com->size() > 2 ||
        O_.Com->find_first_not_of("0123456789") != std::string::npos ||
        (com = std::stoi(*O_.Com)) < 1 || com > PortNamespace::HighestComNumber) {
        return Refusal{Usage, "give the module's port as --com N, N from 1 to 50"};
    }
    const bool limits = O_.Min || O_.Max;
    if (command == "input" || command == "output" || command == "calibrate" || command == "dac") {
        const bool input = command == "input" || (command == "calibrate" && Word(1) == "input");
        if (!O_.Range) {
            return Refusal{Usage, "give the range as --range NAME"};
        }
        if (input) {
            InputRange_ = RangeNamed(InputRanges, *O_.Range);
            if (InputRange_ < 0) {
                return Refusal{Usage, "unknown input range \"" + *O_.Range +
                                          "\"; the input ranges are " + Names(InputRanges)};
            }
        } else {
            OutputRange_ = RangeNamed(OutputRanges, *O_.Range);
            if (OutputRange_ < 0) {
                return Refusal{Usage, "unknown output range \"" + *O_.Range +
                                          "\"; the output ranges are " + Names(OutputRanges)};
            }
        }
    }
    if (command == "input" || command == "output") {
        if ((limits || O_.Invert) && !O_.Program) {
            return Refusal{Usage, "--min, --max and --invert go to the module only with --program"};
        }
        if (O_.Invert && (command == "input" || (*O_.Invert != "yes" && *O_.Invert != "no"))) {
            return Refusal{Usage, "--invert takes yes or no, for the output"};
        }
        if (limits && !(O_.Min && O_.Max)) {
            return Refusal{Usage, "give both --min and --max, or neither"};
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
                return Refusal{Usage, command == "input" ? InputLimitsRefusal(InputRange_)
                                                         : OutputLimitsRefusal(OutputRange_)};
            }
        }
    } else if (command == "mode") {
        if (Word(1) != "cal" && Word(1) != "run") {
            return Refusal{Usage, "mode takes cal or run"};
        }
    } else if (command == "calibrate") {
        if (Word(1) != "input" || (Word(2) != "zero" && Word(2) != "full")) {
            return Refusal{Usage, "calibrate takes input zero or input full"};
        }
        if (O_.Value && Word(2) == "zero") {
            return Refusal{Usage, "--value is the full-scale calibrator's value"};
        }
        const IRange& range = InputRanges[static_cast<std::size_t>(InputRange_)];
        // The window's field holds the range's full-scale point until the technician types.
        if (auto refused = Number(
                O_.Value.value_or(FormatNumber(range.CalFull, range.DisplayFormat)), Value_)) {
            return refused;
        }
    } else if (command == "dac") {
        if (Word(1) != "zero" && Word(1) != "full") {
            return Refusal{Usage, "dac takes zero or full"};
        }
        if (!O_.Code || O_.Code->empty() || O_.Code->size() > 5 ||
            O_.Code->find_first_not_of("0123456789") != std::string::npos ||
            (DacCode_ = std::stoi(*O_.Code)) > 65535) {
            return Refusal{Usage, "give the DAC code as --code N, N from 0 to 65535"};
        }
    } else if (command == "clear-flags") {
        if (Word(1) != "input" && Word(1) != "output") {
            return Refusal{Usage, "clear-flags takes input or output"};
        }
    }
    return std::nullopt;
}

std::optional<Refusal> Cli::Ask(const Request& request, Session::Answer* answer) {
    const Session::Answer a = Session_->Ask(request);
    if (answer != nullptr) {
        *answer = a;
    }
    switch (a.What) {
    case Session::Outcome::Answered:
        if (a.Failed) {
            return Refusal{ModuleFailed, a.Said};
        }
        if (request.Code == cmdProgramInputRange) {
            const Session::Answer& toolkit = Session_->ToolkitAnswer();
            if (toolkit.What == Session::Outcome::NoResponse) {
                return Refusal{NoAnswer, "No response ! (to the toolkit version)"};
            }
            if (toolkit.What != Session::Outcome::Answered || toolkit.Failed) {
                return Refusal{ModuleFailed, toolkit.Said};
            }
        }
        return std::nullopt;
    case Session::Outcome::NoResponse:
        return Refusal{NoAnswer, std::string(a.Said) + " (to " +
                                     std::string(CommandName(request.Code)) + ")"};
    case Session::Outcome::Lost:
        return Refusal{PortFailed, "No COM port ! " + Session_->LossReason()};
    case Session::Outcome::NotSent:
        return Refusal{PortFailed, a.Said};
    case Session::Outcome::Interrupted:
        return Refusal{Interrupted, "ended by a signal; the port is closed"};
    }
    return std::nullopt;
}

int Cli::Connected() {
    if (auto refused = Check()) {
        return Finish(refused->Code, refused->Message);
    }
    const PortNamespace ports = PortNamespace::ForCurrentUser();
    TellRefusedLinkFolder(ports);
    if (!O_.NoRecord) {
        Book_ = std::make_unique<RecordBook>(RecordBook::DefaultFolder(), "zentrix-cli");
    }
    Session_ = std::make_unique<Session>(Clock_, ports, Book_.get(), O_.Trace);
    const auto com = static_cast<std::uint16_t>(std::stoi(*O_.Com));
    try {
        Session_->Open(com);
    } catch (const ComPortError& e) {
        return Finish(PortFailed, e.what());
    }
    Out_.Field("Port", "port", "COM" + std::to_string(com));
    Out_.Field("Device", "device", Session_->Port().DevicePath().toStdString());

    const std::string command = Command();
    if (command == "read") {
        return Read();
    }
    if (command == "input") {
        return Input();
    }
    if (command == "output") {
        return Output();
    }
    std::optional<Refusal> refused;
    Session::Answer a;
    if (command == "mode") {
        refused = Ask({.Code = cmdSetCalMode, .Value = std::uint8_t(Word(1) == "cal" ? 1 : 0)}, &a);
        if (!refused) {
            Out_.Field("Mode", "mode", a.CalMode != 0 ? "CAL" : "RUN");
        }
    } else if (command == "calibrate") {
        const auto range = static_cast<std::uint8_t>(InputRange_);
        // The window calibrates the range chosen in its list: the module is first set to it.
        refused = Ask({.Code = cmdSelectInputRange, .Range = range});
        if (!refused) {
            refused = Word(2) == "zero"
                          ? Ask({.Code = cmdCalInputZero, .Range = range}, &a)
                          : Ask({.Code = cmdCalInputFull, .Range = range, .FullScale = Value_}, &a);
        }
        if (!refused) {
            std::string text;
            const std::string flags = CalFlags(
                a.Input.ZeroCalFlags, a.Input.FullCalFlags, InputRanges.size(),
                [](std::size_t i) { return std::string(InputRanges[i].Caption); }, text);
            Out_.Raw("calibration", flags, "Input calibration\n" + text);
        }
    } else if (command == "dac") {
        const auto range = static_cast<std::uint8_t>(OutputRange_);
        const bool full = Word(1) == "full";
        Session::Answer chosen;
        refused = Ask({.Code = cmdSelectOutputRange, .Range = range}, &chosen);
        if (!refused) {
            refused = Ask({.Code = cmdSetOutputCode,
                           .Range = range,
                           .DacCode = static_cast<std::uint16_t>(DacCode_)},
                          &a);
        }
        if (!refused && O_.Write) {
            // The write carries the limits and inversion the window's fields show for the range.
            const ORange& r = OutputRanges[range];
            refused = Ask({.Code = full ? cmdWriteOutputFull : cmdWriteOutputZero,
                           .Range = range,
                           .DacCode = static_cast<std::uint16_t>(DacCode_),
                           .Minimum = AsShown(chosen.Output.MinValue, r.DisplayFormat),
                           .Maximum = AsShown(chosen.Output.MaxValue, r.DisplayFormat),
                           .Invert = chosen.Output.Invert != 0},
                          &a);
        }
        if (!refused) {
            Out_.Field("DAC code", "dacCode", std::to_string(DacCode_));
            Out_.Field("Written", "written", O_.Write ? "yes" : "no");
        }
    } else if (command == "clear-flags") {
        refused =
            Ask({.Code = Word(1) == "input" ? cmdClearInputCalFlags : cmdClearOutputCalFlags});
    }
    if (refused) {
        return Finish(refused->Code, refused->Message);
    }
    Out_.Field("Status", "status", "Success.");
    return Finish(Done, {});
}

int Cli::Read() {
    Session::Answer in, out, mode, version;
    std::optional<Refusal> refused = Ask({.Code = cmdReadProgrammedInput}, &in);
    if (!refused) {
        refused = Ask({.Code = cmdReadProgrammedOutput}, &out);
    }
    if (!refused) {
        refused = Ask({.Code = cmdQueryCalMode, .Value = 0}, &mode);
    }
    if (!refused) {
        refused = Ask({.Code = cmdReadVersion}, &version);
    }
    if (refused) {
        return Finish(refused->Code, refused->Message);
    }
    Out_.Field("Version", "version", Latin1ToUtf8(version.Version));
    Out_.Field("Mode", "mode", mode.CalMode != 0 ? "CAL" : "RUN");
    const InputRangeStatus& i = in.Input;
    const IRange& ir = InputRanges[i.RangeCode];
    // The module reports its active range in answers to a choice; after a read, the window
    // shows the programmed range in both halves, and so does this.
    JsonObject input;
    std::string text;
    input.Add("programmedRange", ir.Caption).Add("activeRange", ir.Caption);
    input.Add("rangeOk", i.RangeOk != 0);
    input.Add("min", FormatNumber(i.MinValue, ir.DisplayFormat));
    input.Add("max", FormatNumber(i.MaxValue, ir.DisplayFormat));
    input.Add("reading", FormatWithUnit(i.Reading, ir.DisplayFormat, ir.UnitText));
    input.Add("unit", ir.UnitText).Add("sw1", Sw1(i.RangeCode));
    text += Report::Pad("Input range") + std::string(ir.Caption) +
            (i.RangeOk != 0 ? "" : " (not OK)") + "\n";
    text += Report::Pad("Input limits") + FormatNumber(i.MinValue, ir.DisplayFormat) + " to " +
            FormatWithUnit(i.MaxValue, ir.DisplayFormat, ir.UnitText) + "\n";
    text += Report::Pad("Input reading") +
            FormatWithUnit(i.Reading, ir.DisplayFormat, ir.UnitText) + "\n";
    text += Report::Pad("SW1") + Sw1(i.RangeCode) + "\n";
    std::string flagsText;
    input.Raw("calibration",
              CalFlags(
                  i.ZeroCalFlags, i.FullCalFlags, InputRanges.size(),
                  [](std::size_t k) { return std::string(InputRanges[k].Caption); }, flagsText));
    Out_.Raw("input", input.Text(), text + "Input calibration\n" + flagsText);

    const OutputRangeStatus& o = out.Output;
    const ORange& orr = OutputRanges[o.RangeCode];
    JsonObject output;
    text.clear();
    flagsText.clear();
    const std::string value = FormatOutputValue(o.RangeCode, o.ZeroCode, o.FullCode, o.OutputCode);
    output.Add("programmedRange", orr.Caption).Add("activeRange", orr.Caption);
    output.Add("rangeOk", o.RangeOk != 0);
    output.Add("min", FormatNumber(o.MinValue, orr.DisplayFormat));
    output.Add("max", FormatNumber(o.MaxValue, orr.DisplayFormat));
    output.Add("unit", orr.UnitText).Add("invert", o.Invert != 0);
    output.Add("zeroCode", static_cast<int>(o.ZeroCode))
        .Add("fullCode", static_cast<int>(o.FullCode));
    output.Add("outputCode", static_cast<int>(o.OutputCode)).Add("output", value);
    output.Add("jp6", JumperLeft(o.RangeCode) == JumperLeftCurrent ? "mA" : "V");
    text += Report::Pad("Output range") + std::string(orr.Caption) +
            (o.RangeOk != 0 ? "" : " (not OK)") + "\n";
    text += Report::Pad("Output limits") + FormatNumber(o.MinValue, orr.DisplayFormat) + " to " +
            FormatWithUnit(o.MaxValue, orr.DisplayFormat, orr.UnitText) + "\n";
    text += Report::Pad("Output inverted") + (o.Invert != 0 ? "yes" : "no") + "\n";
    text += Report::Pad("DAC codes") + "zero " + std::to_string(o.ZeroCode) + ", full " +
            std::to_string(o.FullCode) + ", now " + std::to_string(o.OutputCode) + "\n";
    text += Report::Pad("Output signal") + value + "\n";
    text += Report::Pad("JP6") + (JumperLeft(o.RangeCode) == JumperLeftCurrent ? "mA" : "V") + "\n";
    output.Raw("calibration",
               CalFlags(
                   o.ZeroCalFlags, o.FullCalFlags, OutputRanges.size(),
                   [](std::size_t k) { return std::string(OutputRanges[k].Caption); }, flagsText));
    Out_.Raw("output", output.Text(), text + "Output calibration\n" + flagsText);
    Out_.Field("TA (Celcius)", "TA", FormatNumber(o.TA, TemperatureFormat));
    Out_.Field("TCAL (Celcius)", "TCAL", FormatNumber(o.TCAL, TemperatureFormat));
    return Finish(Done, {});
}

int Cli::Input() {
    const auto range = static_cast<std::uint8_t>(InputRange_);
    Session::Answer chosen, programmed;
    std::optional<Refusal> refused = Ask({.Code = cmdSelectInputRange, .Range = range}, &chosen);
    if (!refused && O_.Program) {
        const IRange& shown = InputRanges[chosen.Input.RangeCode];
        if (!O_.Min) {
            // The window's limit fields hold what the module reported for the range.
            Min_ = AsShown(chosen.Input.MinValue, shown.DisplayFormat);
            Max_ = AsShown(chosen.Input.MaxValue, shown.DisplayFormat);
            if (!InputLimitsFit(chosen.Input.RangeCode, Min_, Max_)) {
                return Finish(Usage, InputLimitsRefusal(chosen.Input.RangeCode));
            }
        }
        refused =
            Ask({.Code = cmdProgramInputRange, .Range = range, .Minimum = Min_, .Maximum = Max_},
                &programmed);
    }
    if (refused) {
        return Finish(refused->Code, refused->Message);
    }
    const InputRangeStatus& r = O_.Program ? programmed.Input : chosen.Input;
    const IRange& ir = InputRanges[r.RangeCode];
    Out_.Field("Input range", "range", std::string(ir.Caption));
    Out_.Field("Programmed", "programmed", O_.Program ? "yes" : "no");
    Out_.Field("Input limits", "limits",
               FormatNumber(r.MinValue, ir.DisplayFormat) + " to " +
                   FormatWithUnit(r.MaxValue, ir.DisplayFormat, ir.UnitText));
    Out_.Field("Input reading", "reading",
               FormatWithUnit(r.Reading, ir.DisplayFormat, ir.UnitText));
    Out_.Field("SW1", "sw1", Sw1(r.RangeCode));
    Out_.Field("Status", "status", "Success.");
    return Finish(Done, {});
}

int Cli::Output() {
    const auto range = static_cast<std::uint8_t>(OutputRange_);
    Session::Answer chosen, programmed;
    std::optional<Refusal> refused = Ask({.Code = cmdSelectOutputRange, .Range = range}, &chosen);
    if (!refused && O_.Program) {
        const ORange& shown = OutputRanges[chosen.Output.RangeCode];
        if (!O_.Min) {
            Min_ = AsShown(chosen.Output.MinValue, shown.DisplayFormat);
            Max_ = AsShown(chosen.Output.MaxValue, shown.DisplayFormat);
            if (!OutputLimitsFit(range, Min_, Max_)) {
                return Finish(Usage, OutputLimitsRefusal(range));
            }
        }
        const bool invert = O_.Invert ? *O_.Invert == "yes" : chosen.Output.Invert != 0;
        refused = Ask({.Code = cmdProgramOutputRange,
                       .Range = range,
                       .Minimum = Min_,
                       .Maximum = Max_,
                       .Invert = invert},
                      &programmed);
    }
    if (refused) {
        return Finish(refused->Code, refused->Message);
    }
    const OutputRangeStatus& r = O_.Program ? programmed.Output : chosen.Output;
    const ORange& orr = OutputRanges[r.RangeCode];
    Out_.Field("Output range", "range", std::string(orr.Caption));
    Out_.Field("Programmed", "programmed", O_.Program ? "yes" : "no");
    Out_.Field("Output limits", "limits",
               FormatNumber(r.MinValue, orr.DisplayFormat) + " to " +
                   FormatWithUnit(r.MaxValue, orr.DisplayFormat, orr.UnitText));
    Out_.Field("Output inverted", "invert", r.Invert != 0 ? "yes" : "no");
    Out_.Field("JP6", "jp6", JumperLeft(r.RangeCode) == JumperLeftCurrent ? "mA" : "V");
    Out_.Field("Status", "status", "Success.");
    return Finish(Done, {});
}

std::optional<Options> Parse(int argc, char** argv, std::string& problem) {
    Options o;
    const std::map<std::string, std::optional<std::string> Options::*> valued = {
        {"--com", &Options::Com},   {"--range", &Options::Range},   {"--min", &Options::Min},
        {"--max", &Options::Max},   {"--invert", &Options::Invert}, {"--value", &Options::Value},
        {"--code", &Options::Code}, {"--since", &Options::Since}};
    const std::map<std::string, bool Options::*> flags = {{"--json", &Options::Json},
                                                          {"--trace", &Options::Trace},
                                                          {"--no-record", &Options::NoRecord},
                                                          {"--full", &Options::Full},
                                                          {"--program", &Options::Program},
                                                          {"--write", &Options::Write},
                                                          {"--csv", &Options::Csv}};
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::optional<std::string> inline_;
        if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
            inline_ = arg.substr(eq + 1);
            arg.resize(eq);
        }
        if (const auto f = flags.find(arg); f != flags.end() && !inline_) {
            o.*(f->second) = true;
        } else if (const auto v = valued.find(arg); v != valued.end()) {
            if (!inline_ && i + 1 >= argc) {
                problem = arg + " needs a value";
                return std::nullopt;
            }
            o.*(v->second) = inline_ ? *inline_ : std::string(argv[++i]);
        } else if (arg.starts_with("--")) {
            problem = "unknown option " + arg;
            return std::nullopt;
        } else {
            o.Words.push_back(arg);
        }
    }
    return o;
}

} // namespace
} // namespace zx

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(zx::Help, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("zentrix-cli %s\n", ZX_VERSION);
            return 0;
        }
    }
    std::string problem;
    const auto options = zx::Parse(argc, argv, problem);
    if (!options) {
        std::fprintf(stderr, "zentrix-cli: %s; see --help\n", problem.c_str());
        return zx::Usage;
    }
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zentrix-cli"));
    zx::Cli cli(*options);
    // Ctrl+C, kill and a closed terminal end the run as its end does: the port closed, its lock
    // gone, the line's settings given back; the exit status says the run was cut short.
    zx::OnSystemEnd(&app, [&cli] { cli.Interrupt(); });
    return cli.Run();
}
