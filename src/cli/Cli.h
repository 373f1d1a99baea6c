#pragma once

#include "Arguments.h"
#include "Catalogue.h"
#include "RecordBook.h"
#include "Report.h"
#include "Session.h"
#include "SystemDriverClock.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zx {

// The exit statuses, as the manual page lists them.
enum Exit {
    Done = 0,
    ModuleFailed = 1, // refused, an error, an unknown answer, or an answer that contradicts
    Usage = 2,
    PortFailed = 3,
    NoAnswer = 4,
    SwitchesWrong = 5, // the module holds the range, but SW1 or JP6 is not set for it
    RecordsFailed = 6, // a record not written, or the records not read
    OutputLost = 7,
    Interrupted = 130
};

// One run of zentrix-cli.
class Cli {
public:
    explicit Cli(Options options) : O_(std::move(options)), Out_(O_.Json) {}
    int Run();
    // The system asked the program to end: the wait under way ends, nothing more is sent.
    void Interrupt();

    struct Outcome {
        int Code = Done;
        std::string Message;
    };

private:
    Outcome Ports();
    Outcome Records();
    Outcome Connected();
    std::optional<Outcome> Check();
    // One request; an outcome for anything but an answer the window shows as a success.
    std::optional<Outcome> Ask(const Request& request, Session::Answer& answer);
    Outcome Read();
    Outcome Input();
    Outcome Output();
    Outcome Mode();
    Outcome Calibrate();
    Outcome Dac();
    Outcome ClearFlags();
    // Ends the connection and waits for its records; an outcome when one is missing.
    std::optional<Outcome> Disconnect();

    std::string Word(std::size_t i) const { return i < O_.Words.size() ? O_.Words[i] : ""; }

    Options O_;
    Report Out_;
    SystemDriverClock Clock_; // outlives the session, which lets the module settle at its end
    std::unique_ptr<RecordBook> Book_;
    std::unique_ptr<Session> Session_;
    int Com_ = 0;
    int InputRange_ = -1;
    int OutputRange_ = -1;
    float Min_ = 0.0f, Max_ = 0.0f, Value_ = 0.0f;
    int DacCode_ = 0;
};

} // namespace zx
