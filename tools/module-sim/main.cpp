// zentrix-module-sim: plays a signal-conditioning module on a pseudo-terminal and names it
// COMn for the configuration tool.
#include "ModuleModel.h"
#include "ModuleServer.h"
#include "PortNamespace.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

const char* const Help = R"(Usage: zentrix-module-sim [options]

Plays a Zentrix signal-conditioning module on a pseudo-terminal, registers it as COMn
(a link ~/.zentrix/ports/comN) and answers the configuration tool until Ctrl+C or SIGTERM,
then removes the link. It prints the COM number and the device at start and traces every
frame, in hex with a millisecond time stamp and the command's name, on standard error.

The link is live while its module runs: the module holds a lock on comN.lock beside it.
A link left by a killed module is stale; a new module replaces it, and first removes every
link that names its own new pseudo-terminal. A live link, or a link that is not a virtual
module's (a link to /dev/ttyUSB0), is never touched.
The home is $HOME when it names an existing folder, else the user database's (the tool's
rule); a missing home is never created. Missing link folders are created with mode 0700;
existing folders keep their mode, and a folder the tool would not trust is refused.
When the tool does not read, at most 64 KiB of answers wait; further answers are dropped
whole, each drop traced. Setup failures name the path and the reason and exit with 2.

Options:
  --com N              register as COMN (1..50, default 1); an existing link is replaced
                       only when it is stale (see above)
  --com auto           the first free number of 1, 49, 50, 2..48: one that no serial port of
                       the built-in table answers to and whose link is free or stale
  --link-folder DIR    the link folder (default ~/.zentrix/ports); every folder from the
                       home down (from / for a folder outside the home) must belong to you
                       or root and be writable by nobody else
  --fast               answer at once, without processing delay or 9600-baud pacing
  --delay MS           processing delay before each answer (default 5)
  --sw1 PATTERN        DIP switch SW1, six 0/1 for levers 1..6 (default 010010: range +-10 V)
  --jp6 V|mA           jumper JP6 (default V)
  --reading X          a fixed input reading instead of the live signal
  --version-text TEXT  the version text (50 characters at most)
  --quiet              no frame trace
  --help               this text
  --version            the module's version

Faults (CODES is "all" or a comma list of request codes such as 4,20,48; they combine):
  --silent CODES       no answer
  --fail CODES         Status 0 in status records and in the toolkit acknowledgement
  --late CODES         answer after the tool's 4-second time-out (--late-ms, default 4500)
  --twice CODES        answer twice
  --broken CODES       the answer breaks off half-way, without ETX
  --unknown-code CODES the answer carries code 9
  --oversize CODES     the answer's body is 200 bytes, longer than the tool's buffers
  --bad-range CODES    RangeCode 255 in status records
  --ignore CODES       changes acknowledged as done but not made: the answer reports the
                       state as it was (a read of the same range, or the mode)
  --calmode2           CalMode 2 wherever a CalMode travels
  --noise N            N random bytes (never STX) before every answer
  --unplug-after N     the line goes dead on the Nth request, unanswered, as an unplugged
                       adapter would; the link is removed and the program ends

The module's rules:
  - Ranges: 6/22 select the active range; 7/23 program a range (permanent and active) with
    its limits (and invert); limits must lie within the range and min < max.
  - Requests that name a range read or act on that range; 4 and 20 report the programmed
    range, 5 and 21 clear every calibration flag of their side and report the active range.
  - RangeOk: the range's SW1 pattern (input) or JP6 position (output) matches --sw1/--jp6.
  - Input calibration (1, 2) sets the range's zero or full flag, in RUN or CAL.
  - The output DAC follows the tool only in CAL: 16 drives the output with the code (in RUN
    it is acknowledged and ignored); 17/18 store the zero/full-scale code with the limits
    and invert and set the range's flag, and are refused (Status 0) in RUN. In RUN the output
    follows the input signal through the programmed limits.
  - 32 switches CAL/RUN and echoes the mode; 33 reports it; 48 sends the version text;
    51 stores the toolkit version and acknowledges it with 1.
  - Refused requests answer Status 0: an unknown range code, bad limits, DAC writes in RUN.
    A code that is not a request of the catalogue gets no answer.
  - TA warms from 27 C towards 31 C over minutes; TCAL is 23.5 C.
)";

// COM1 first, then the numbers that exist only as links, then the rest of the table.
std::vector<int> AutoOrder() {
    std::vector<int> order{1, 49, 50};
    for (int n = 2; n <= 48; ++n) {
        order.push_back(n);
    }
    return order;
}

[[noreturn]] void Usage(const std::string& problem) {
    std::fprintf(stderr, "zentrix-module-sim: %s\nTry --help.\n", problem.c_str());
    std::exit(2);
}

int ToInt(const std::string& text, const char* option, int lo, int hi) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < lo || value > hi) {
        Usage(std::string(option) + " takes a whole number from " + std::to_string(lo) + " to " +
              std::to_string(hi));
    }
    return static_cast<int>(value);
}

} // namespace

int main(int argc, char** argv) {
    // A reader of the trace that goes away (| head -1) must not end the module by SIGPIPE and
    // leave its link behind: the trace is then written to nobody.
    std::signal(SIGPIPE, SIG_IGN);
    zx::sim::ServerOptions options;
    zx::sim::ModuleSettings settings;
    bool autoNumber = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                Usage(arg + " needs a value");
            }
            return argv[++i];
        };
        auto codes = [&](zx::sim::CodeSet& set) {
            if (!set.Parse(value())) {
                Usage(arg + " takes \"all\" or a comma list of codes 0..255");
            }
        };
        auto& f = options.Faults;
        if (arg == "--help" || arg == "-h") {
            std::fputs(Help, stdout);
            return 0;
        } else if (arg == "--version") {
            std::printf("zentrix-module-sim %s\n", ZX_VERSION);
            return 0;
        } else if (arg == "--com") {
            const std::string number = value();
            autoNumber = number == "auto";
            options.ComNumber = autoNumber ? 1 : ToInt(number, "--com", 1, 50);
        } else if (arg == "--link-folder") {
            options.LinkFolder = value();
        } else if (arg == "--fast") {
            options.Fast = true;
        } else if (arg == "--delay") {
            options.DelayMs = ToInt(value(), "--delay", 0, 60000);
        } else if (arg == "--sw1") {
            settings.Sw1 = value();
            if (settings.Sw1.size() != 6 ||
                settings.Sw1.find_first_not_of("01") != std::string::npos) {
                Usage("--sw1 takes six characters 0 or 1");
            }
        } else if (arg == "--jp6") {
            settings.Jp6 = value();
            if (settings.Jp6 != "V" && settings.Jp6 != "mA") {
                Usage("--jp6 takes V or mA");
            }
        } else if (arg == "--reading") {
            const std::string text = value();
            char* end = nullptr;
            settings.FixedReading = std::strtof(text.c_str(), &end);
            if (text.empty() || *end != '\0') {
                Usage("--reading takes a number");
            }
        } else if (arg == "--version-text") {
            settings.VersionText = value().substr(0, 50);
        } else if (arg == "--quiet") {
            options.Trace = false;
        } else if (arg == "--silent") {
            codes(f.Silent);
        } else if (arg == "--fail") {
            codes(f.Fail);
        } else if (arg == "--late") {
            codes(f.Late);
        } else if (arg == "--late-ms") {
            f.LateMs = ToInt(value(), "--late-ms", 0, 600000);
        } else if (arg == "--twice") {
            codes(f.Twice);
        } else if (arg == "--broken") {
            codes(f.Broken);
        } else if (arg == "--unknown-code") {
            codes(f.UnknownCode);
        } else if (arg == "--oversize") {
            codes(f.Oversize);
        } else if (arg == "--bad-range") {
            codes(f.BadRange);
        } else if (arg == "--ignore") {
            codes(f.Ignore);
        } else if (arg == "--calmode2") {
            f.CalModeTwo = true;
        } else if (arg == "--noise") {
            f.NoiseBytes = ToInt(value(), "--noise", 0, 100000);
        } else if (arg == "--unplug-after") {
            f.UnplugAfter = ToInt(value(), "--unplug-after", 1, 1000000);
        } else {
            Usage("unknown option " + arg);
        }
    }

    zx::sim::ModuleModel model(settings);
    std::optional<zx::sim::ModuleServer> server;
    for (int n : autoNumber ? AutoOrder() : std::vector<int>{options.ComNumber}) {
        // The tool's own table: a number a real serial port answers to is not free.
        const std::string device = zx::PortNamespace::TableDevice(n);
        if (autoNumber && zx::PortAvailable(zx::PortNamespace({}), n)) {
            std::fprintf(stderr, "zentrix-module-sim: COM%d is taken here (%s)\n", n,
                         device.c_str());
            continue;
        }
        options.ComNumber = n;
        server.emplace(options, model);
        if (server->Start()) {
            break;
        }
        if (!autoNumber || !server->NumberTaken()) {
            std::fprintf(stderr, "zentrix-module-sim: %s\n", server->Error().c_str());
            return 2;
        }
        server.reset();
    }
    if (!server) {
        std::fprintf(stderr, "zentrix-module-sim: no free COM number\n");
        return 2;
    }
    std::printf("COM%d %s %s\n", options.ComNumber, server->DevicePath().c_str(),
                server->LinkPath().c_str());
    std::fflush(stdout);
    server->Run();
    return 0;
}
