// zentrix: configures and calibrates Zentrix signal-conditioning modules over a serial line.
#include "HouseLook.h"
#include "RecordBook.h"
#include "SystemDriverClock.h"
#include "SystemEnd.h"
#include "TfrmMain.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

const char* const Help = R"(Usage: zentrix [--no-record] [--help] [--version]

Configures and calibrates Zentrix analogue signal-conditioning modules over a serial line
(9600 baud, 8N1). At start it asks for the module's COM port. On Linux, COMn is the link
~/.zentrix/ports/comN when that folder is yours alone, else COM1-16 /dev/ttyS0-15,
COM17-32 /dev/ttyUSB0-15, COM33-48 /dev/ttyACM0-15; COM49 and COM50 exist only as links.
zentrix-module-sim plays a module for it on a pseudo-terminal.

Every change made to a module (a range made permanent, a calibration, a DAC code written, flags
cleared, CAL/RUN, the toolkit version) is recorded as one JSON line in
$XDG_DATA_HOME/zentrix/records/YYYY-MM.jsonl (~/.local/share when unset);
zentrix-cli records prints them.

SIGTERM, SIGINT and SIGHUP close the port as closing the window does, then end the program.

Options:
  --no-record   keep no record of the changes
  --help        this text
  --version     the program's version
)";

// Before the toolkit has a display, its messages wait: if it cannot get one, its fatal message
// ends the program in one line, with exit status 1, rather than an abort and a core file.
QStringList Waiting;

void BeforeDisplay(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtFatalMsg) {
        Waiting << message;
        return;
    }
    const QString why =
        Waiting.isEmpty() ? message.section(QLatin1Char('\n'), 0, 0) : Waiting.first();
    std::fprintf(stderr, "zentrix: cannot open the display (%s)\n", why.toLocal8Bit().constData());
    std::_Exit(1);
}

} // namespace

int main(int argc, char** argv) {
    bool record = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--no-record") == 0) {
            record = false;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(Help, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("zentrix %s\n", ZX_VERSION);
            return 0;
        }
    }
    if (!zx::DisplayThere()) {
        return 1;
    }

    zx::PrepareHouseLook();
    const QtMessageHandler usual = qInstallMessageHandler(BeforeDisplay);
    QApplication app(argc, argv);
    qInstallMessageHandler(usual);
    for (const QString& message : std::exchange(Waiting, {})) {
        qWarning("%s", qPrintable(message));
    }
    QApplication::setApplicationName(QStringLiteral("zentrix"));
    zx::ApplyHouseLook();
    zx::SystemDriverClock clock;
    zx::SystemUserPrompts prompts;
    zx::RecordBook records(zx::RecordBook::DefaultFolder(), "zentrix"); // outlives the window
    zx::TfrmMain frmMain(clock, zx::PortNamespace::ForCurrentUser(), prompts);
    if (record) {
        frmMain.Engine->SetRecords(&records);
    }

    // Logout, kill and Ctrl+C in the starting terminal end the program as closing the window
    // does: the port is closed, its lock removed and the line's settings given back.
    bool looping = false;
    zx::OnSystemEnd(&app, [&] {
        frmMain.FormClose(&frmMain);
        if (looping) {
            QCoreApplication::exit(0);
            return;
        }
        // Still in the start-up's own boxes: nothing else of the window needs ending.
        std::exit(0);
    });

    frmMain.show();
    QTimer::singleShot(0, &app, [&] { looping = true; });
    return QApplication::exec();
}
