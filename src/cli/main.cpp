// zentrix-cli: reads and configures Zentrix signal-conditioning modules from scripts, with the
// window's engine, catalogue and codec, and records every change made to a module.
#include "Cli.h"
#include "SystemEnd.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <cstring>

namespace zx {
namespace {

const char* const Help = R"(Usage: zentrix-cli [OPTIONS] COMMAND [WORDS]

Reads and configures a Zentrix signal-conditioning module over its COM port, with the same
requests, checks and messages as the window (zentrix). Every change is checked against the
module's answer.

Commands:
  ports                                  the COM ports the port dialog lists
  --com N read                           everything the window shows of the module
  --com N input --range NAME [--program [--min X --max Y]]
                                         chooses the active input range; --program makes it
                                         permanent with the limits (the module's own if none)
  --com N output --range NAME [--program [--min X --max Y] [--invert yes|no]]
  --full --com N mode cal|run
  --full --com N calibrate input zero|full --range NAME [--value X]
  --full --com N dac zero|full --range NAME --code N [--write]
  --full --com N clear-flags input|output
  records [--since TIME] [--until TIME] [--csv]
                                         the record of every change made to modules; TIME
                                         in ISO 8601 (2026-12-01, 2026-12-01T08:30+01:00)

Options:
  --com N       the module's port, N or COMN from 1 to 50
  --json        the result as one JSON object on standard output, errors too
  --trace       each frame in hex, with a time stamp in milliseconds, on standard error
  --no-record   no record of the changes this run makes
  --full        allows the calibration commands, as the window's full mode does
  --help, --version
An option a command does not take, a word too many, or an option given twice is refused.

Range names are the window's ("±10 V", "0-20 mA"); "+-10V" and "10 V" name the same.
Records go to $XDG_DATA_HOME/zentrix/records/YYYY-MM.jsonl (~/.local/share when unset).

Exit status: 0 done, as the module's answer confirms; 1 the module refused, answered an error
or an unknown code, or its answer contradicts the request; 2 bad usage or a value the window
would refuse (nothing sent); 3 the port could not be opened or was lost; 4 no response; 5 the
module holds the range but SW1 or JP6 is not set for it; 6 a change was made but its record
was not written, or the records could not be read; 7 the output could not be written; 130
ended by a signal.
)";

} // namespace
} // namespace zx

int main(int argc, char** argv) {
    // A reader that goes away (| head -1) is an output error the tool says, not a silent death.
    std::signal(SIGPIPE, SIG_IGN);
    bool json = false;
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.emplace_back(argv[i]);
        json = json || std::strcmp(argv[i], "--json") == 0;
    }
    std::string problem;
    const auto options = zx::ParseArguments(arguments, problem);
    if (!options) {
        zx::Report report(json);
        report.Object()["command"] = nullptr;
        return report.Print(zx::Usage, problem + "; see --help");
    }
    if (options->Help) {
        std::fputs(zx::Help, stdout);
        return 0;
    }
    if (options->Version) {
        std::printf("zentrix-cli %s\n", ZX_VERSION);
        return 0;
    }
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zentrix-cli"));
    zx::Cli cli(*options);
    // Ctrl+C, kill and a closed terminal end the run as its end does: nothing more is sent,
    // the port is closed, its lock gone, the line's settings given back, the records written;
    // the exit status says the run was cut short.
    zx::OnSystemEnd(&app, [&cli] { cli.Interrupt(); });
    return cli.Run();
}
