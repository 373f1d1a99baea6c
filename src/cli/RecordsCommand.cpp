// zentrix-cli records: the records of changes, as JSON lines or as CSV for people.
#include "Cli.h"

#include "ChangeRecord.h"
#include "RangeTables.h"
#include "RecordReader.h"
#include "SystemEnd.h"

#include <cstdio>

namespace zx {
namespace {

// A CSV field (RFC 4180): quoted when it holds a comma, a quote or a line break. Text that a
// spreadsheet would run as a formula (=, +, -, @, tab, CR first) gets a leading apostrophe.
std::string CsvText(const std::string& text) {
    std::string field = text;
    if (!field.empty() && std::string_view("=+-@\t\r").find(field[0]) != std::string_view::npos) {
        field.insert(0, "'");
    }
    if (field.find_first_of(",\"\r\n") == std::string::npos) {
        return field;
    }
    std::string quoted = "\"";
    for (const char c : field) {
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    return quoted + "\"";
}

// A number as JSON writes it, whatever the locale.
std::string CsvNumber(const Json& value) {
    return value.is_number() ? JsonText(value) : std::string();
}

const Json& Member(const Json& object, const char* key) {
    static const Json none;
    if (!object.is_object()) {
        return none;
    }
    const auto it = object.find(key);
    return it != object.end() ? *it : none;
}

// The module's answer where it gave one, else what was asked.
const Json& Told(const Json& answer, const char* answered, const Json& request, const char* asked) {
    const Json& a = Member(answer, answered);
    return a.is_null() ? Member(request, asked) : a;
}

constexpr const char* CsvHeader =
    "time,user,machine,program,port,device,version,change,range,minimum,maximum,invert,"
    "dacCode,mode,outcome,late";

std::string CsvRow(const Json& r) {
    const Json& request = Member(r, "request");
    const Json& answer = Member(r, "answer");
    const int code =
        Member(request, "code").is_number_integer() ? Member(request, "code").get<int>() : -1;
    const bool input =
        code == cmdCalInputZero || code == cmdCalInputFull || code == cmdProgramInputRange;
    const bool output =
        code == cmdWriteOutputZero || code == cmdWriteOutputFull || code == cmdProgramOutputRange;
    std::string range;
    if (const Json& rc = Told(answer, "RangeCode", request, "Range"); rc.is_number_integer()) {
        const int c = rc.get<int>();
        if (input && IsInputRangeCode(c)) {
            range = InputRanges[static_cast<std::size_t>(c)].Caption;
        } else if (output && IsOutputRangeCode(c)) {
            range = OutputRanges[static_cast<std::size_t>(c)].Caption;
        }
    }
    const bool limits = code == cmdProgramInputRange || output;
    std::string invert;
    if (output) {
        const Json& i = Told(answer, "Invert", request, "Invert");
        invert = i.is_boolean()  ? (i.get<bool>() ? "yes" : "no")
                 : i.is_number() ? (i.get<double>() != 0 ? "yes" : "no")
                                 : "";
    }
    std::string dac;
    if (code == cmdWriteOutputZero || code == cmdWriteOutputFull) {
        dac = CsvNumber(
            Told(answer, code == cmdWriteOutputZero ? "ZeroCode" : "FullCode", request, "DacCode"));
    }
    std::string mode;
    if (code == cmdSetCalMode) {
        const Json& m = Told(answer, "CalMode", request, "CalMode");
        mode = m.is_number() ? (m.get<double>() != 0 ? "CAL" : "RUN") : "";
    }
    // How it ended, in words; records of older programs said "no response" in the answer.
    std::string outcome = JsonString(r, "outcome");
    if (outcome.empty()) {
        outcome = answer.is_string() ? answer.get<std::string>() : "answered";
    }
    if (outcome == "answered" && Member(answer, "Status").is_number() &&
        Member(answer, "Status").get<double>() == 0) {
        outcome = "refused";
    }
    if (outcome == "unknown") {
        outcome += ": " + JsonString(r, "reason");
    }
    const Json& late = Member(r, "late");
    std::string row;
    for (const char* key : {"time", "user", "machine", "program", "port", "device", "version"}) {
        row += CsvText(JsonString(r, key)) + ",";
    }
    row += CsvText(
               JsonString(r, "change", std::string(CommandName(static_cast<std::uint8_t>(code))))) +
           ",";
    row += CsvText(range) + ",";
    row += (limits ? CsvNumber(Told(answer, "MinValue", request, "Minimum")) : "") + ",";
    row += (limits ? CsvNumber(Told(answer, "MaxValue", request, "Maximum")) : "") + ",";
    row += invert + "," + dac + "," + mode + "," + CsvText(outcome) + ",";
    row += late.is_boolean() && late.get<bool>() ? "yes" : "";
    return row;
}

} // namespace

Cli::Outcome Cli::Records() {
    RecordReader::Window window;
    for (auto [text, bound, upper] : {std::tuple{&O_.Since, &window.Since, false},
                                      std::tuple{&O_.Until, &window.Until, true}}) {
        if (!*text) {
            continue;
        }
        *bound = ParseIsoTime(**text, upper);
        if (!*bound) {
            return {Out_.Print(Usage, "--since and --until take an ISO 8601 date or time, such "
                                      "as 2026-12-01 or 2026-12-01T08:30:00+01:00"),
                    {}};
        }
    }
    if (O_.Csv && O_.Json) {
        return {Out_.Print(Usage, "--csv and --json are two ways to print: give one"), {}};
    }
    if (O_.Csv) {
        std::fputs((std::string(CsvHeader) + "\r\n").c_str(), stdout);
    }
    std::string outputProblem;
    bool interrupted = false;
    const std::string problem = RecordReader::Read(
        RecordBook::DefaultFolder(), window,
        [&](const std::string& line, const Json& record) {
            if (SystemEndAsked()) {
                interrupted = true;
                return false;
            }
            std::fputs(O_.Csv ? (CsvRow(record) + "\r\n").c_str() : (line + "\n").c_str(), stdout);
            if (std::ferror(stdout) != 0) {
                OutputFailed(outputProblem);
                return false;
            }
            return true;
        },
        [](const std::string& broken) {
            std::fprintf(stderr, "zentrix-cli: records: %s\n", broken.c_str());
        });
    if (!outputProblem.empty() || OutputFailed(outputProblem)) {
        std::fprintf(stderr, "zentrix-cli: the output could not be written: %s\n",
                     outputProblem.c_str());
        return {OutputLost, {}};
    }
    if (interrupted || SystemEndAsked()) {
        std::fprintf(stderr, "zentrix-cli: ended by a signal; the records printed are whole\n");
        return {Interrupted, {}};
    }
    if (!problem.empty()) {
        std::fprintf(stderr, "zentrix-cli: %s\n", problem.c_str());
        return {RecordsFailed, {}};
    }
    return {};
}

} // namespace zx
