// zentrix-cli against the virtual module: what the module receives, what a script reads (exit
// status, JSON, messages) and what the records folder holds.
#include "RecordBook.h"
#include "RecordReader.h"
#include "SimProcess.h"
#include "WindowFixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zx::test {
namespace {

namespace fs = std::filesystem;

struct Ran {
    int Exit = -1;
    QByteArray Out;
    QString Err;
};

// A home of its own: the link folder the module registers in, the records folder.
class CliRun : public WindowFixture {
protected:
    CliRun() {
        fs::create_directories(Home() / ".zentrix" / "ports");
        fs::permissions(Home() / ".zentrix", fs::perms::owner_all);
        fs::permissions(Home() / ".zentrix" / "ports", fs::perms::owner_all);
    }
    fs::path Home() const { return fs::path(Dir.path().toStdString()); }
    fs::path Records() const { return Home() / "data" / "zentrix" / "records"; }

    QProcess* Start(const QStringList& arguments, const QString& locale = {}) {
        auto* process = new QProcess;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", Dir.path());
        env.insert("XDG_DATA_HOME", Dir.path() + "/data");
        if (!locale.isEmpty()) {
            env.insert("LC_ALL", locale);
        }
        process->setProcessEnvironment(env);
        process->start(QStringLiteral(ZX_CLI_PATH), arguments);
        return process;
    }
    Ran Cli(const QStringList& arguments, const QString& locale = {}) {
        std::unique_ptr<QProcess> process(Start(arguments, locale));
        process->waitForFinished(20000);
        return {process->exitCode(), process->readAllStandardOutput(),
                QString::fromUtf8(process->readAllStandardError())};
    }
    // The requests the module received, each as its frame's bytes, in order.
    std::vector<std::vector<quint8>> Received(SimProcess& sim) {
        std::vector<std::vector<quint8>> frames;
        std::istringstream lines(sim.ErrorOutput());
        for (std::string line; std::getline(lines, line);) {
            if (line.find("] ") == std::string::npos) {
                continue;
            }
            std::istringstream fields(line.substr(line.find("] ") + 2));
            std::string way;
            fields >> way;
            std::vector<quint8> frame;
            for (std::string hex; fields >> hex && hex.size() == 2;) {
                frame.push_back(static_cast<quint8>(std::stoi(hex, nullptr, 16)));
            }
            if (way == "rx") {
                frames.push_back(frame);
            }
        }
        return frames;
    }
    std::vector<std::string> RecordLines() {
        std::vector<std::string> lines;
        for (const auto& entry : fs::directory_iterator(Records())) {
            std::ifstream in(entry.path());
            for (std::string line; std::getline(in, line);) {
                lines.push_back(line);
            }
        }
        return lines;
    }
    // The records as a reader of them sees them.
    static std::vector<Json> Read(const fs::path& folder) {
        std::vector<Json> records;
        const std::string problem = RecordReader::Read(
            folder, {},
            [&](const std::string&, const Json& r) { return records.push_back(r), true; },
            [](const std::string& broken) { ADD_FAILURE() << broken; });
        EXPECT_EQ(problem, "");
        return records;
    }
    static QJsonObject Object(const Ran& run) { return QJsonDocument::fromJson(run.Out).object(); }

    QTemporaryDir Dir;
};

// What the window writes for an operation, frame by frame, answering each as the module.
std::vector<std::vector<quint8>> Frames(const std::vector<quint8>& bytes) {
    std::vector<std::vector<quint8>> frames(1);
    for (const quint8 b : bytes) {
        frames.back().push_back(b);
        if (b == ETX) {
            frames.emplace_back();
        }
    }
    frames.pop_back();
    return frames;
}

TEST_F(CliRun, TheModuleReceivesTheWindowsBytesAndEachChangeIsRecorded) {
    // The window: ±5 V chosen in the list, limits typed, the range made permanent.
    RecordBook windowRecords(Home() / "window", "zentrix");
    Window.Engine->SetRecords(&windowRecords);
    StartWithPort();
    Window.btnGetPermInpRange->click(); // the first read enables the group
    Sent();
    AnswerInput(4, {1, 5, 1, 0, 0, 0, -10, 10, 25, 23.5f, 0});
    Window.cmbInpRanges->setCurrentIndex(4);
    std::vector<quint8> window = Sent();
    AnswerInput(6, {1, 4, 1, 0, 0, 0, -5, 5, 25, 23.5f, 0});
    Window.edInpMin->setText("-2");
    Window.edInpMax->setText("3.5");
    Window.btnSetInputRange->click();
    const std::vector<quint8> program = Sent();
    AnswerInput(7, {1, 4, 1, 0, 0, 0, -2, 3.5f, 25, 23.5f, 0});
    const std::vector<quint8> toolkit = Sent();
    Answer({51, 1});
    window.insert(window.end(), program.begin(), program.end());
    window.insert(window.end(), toolkit.begin(), toolkit.end());

    // A programming timed out, then answered late: recorded as unanswered, then as answered
    // late, each once.
    Window.btnSetInputRange->click();
    Sent();
    Clock.AdvanceTicks(ResponseTimeoutTicks + 1);
    ProcessEventsFor(50);
    AnswerInput(7, {1, 4, 1, 0, 0, 0, -2, 3.5f, 25, 23.5f, 0});
    ProcessEventsFor(50);
    windowRecords.Flush(RecordBook::FlushBound);
    const std::vector<Json> windowLines = Read(Home() / "window");
    ASSERT_EQ(windowLines.size(), 4u) << "the window records the programming and the version";
    EXPECT_EQ(windowLines[2]["outcome"], "no response");
    EXPECT_FALSE(windowLines[2].contains("late"));
    EXPECT_EQ(windowLines[3]["outcome"], "answered");
    EXPECT_EQ(windowLines[3]["late"], true);
    EXPECT_EQ(windowLines[3]["request"]["code"], 7);
    EXPECT_EQ(windowLines[0]["program"], "zentrix");
    EXPECT_EQ(windowLines[0]["port"], "COM1");

    SimProcess sim({"--fast", "--sw1", "010100"}, 49, Home() / ".zentrix" / "ports");
    const Ran run = Cli({"--com", "49", "input", "--range", "+-5 V", "--program", "--min", "-2",
                         "--max", "3.5", "--json"});
    EXPECT_EQ(run.Exit, 0) << run.Err.toStdString();
    EXPECT_EQ(Received(sim), Frames(window));
    const QJsonObject json = Object(run)["input"].toObject();
    EXPECT_EQ(json["range"].toString(), QString::fromUtf8("\u00B15 V"));
    EXPECT_EQ(json["min"].toDouble(), -2.0);
    EXPECT_EQ(json["max"].toDouble(), 3.5);
    EXPECT_EQ(json["unit"].toString(), "V");

    // Reads leave no record; the programming and the toolkit version do, with what the module
    // answered.
    EXPECT_EQ(Cli({"--com", "49", "read"}).Exit, 0);
    const std::vector<std::string> lines = RecordLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find(R"("request":{"request":"cmdProgramInputRange","code":7,"Range":4,)"
                            R"("Minimum":-2.0,"Maximum":3.5})"),
              std::string::npos)
        << lines[0];
    EXPECT_NE(lines[0].find(R"("MinValue":-2.0,"MaxValue":3.5)"), std::string::npos);
    EXPECT_NE(lines[0].find(R"("port":"COM49","device":")" + sim.DevicePath()), std::string::npos);
    EXPECT_NE(lines[1].find(R"("ToolkitVersion":171},"outcome":"answered","answer":{"Status":1})"),
              std::string::npos)
        << lines[1];
    EXPECT_EQ(fs::status(Records()).permissions() & fs::perms::all, fs::perms::owner_all);

    // Without a record, and into a records folder that cannot be written: the work is done,
    // and the exit status says its record is missing.
    EXPECT_EQ(Cli({"--com", "49", "--full", "mode", "cal", "--no-record"}).Exit, 0);
    EXPECT_EQ(RecordLines().size(), 2u);
    fs::remove_all(Records() / "..");
    fs::create_directories(Records().parent_path());
    std::ofstream blocker(Records()); // a file where the folder should be
    blocker.close();
    const Ran unrecorded = Cli({"--com", "49", "--full", "mode", "run", "--json"});
    EXPECT_EQ(unrecorded.Exit, 6);
    EXPECT_EQ(Object(unrecorded)["mode"].toString(), "RUN");
    EXPECT_TRUE(
        unrecorded.Err.contains(R"("request":{"request":"cmdSetCalMode","code":32,"CalMode":0})"))
        << "the record not written is said whole: " << unrecorded.Err.toStdString();
}

TEST_F(CliRun, RefusalsSendNothingAndEachEndHasItsExitStatus) {
    SimProcess sim({"--fast", "--silent", "20"}, 49, Home() / ".zentrix" / "ports");
    struct Refused {
        QStringList Arguments;
        int Exit;
        const char* Said;
    };
    const Refused refused[] = {
        {{"--com", "49", "input", "--range", "7 V"}, 2, "unknown input range"},
        {{"--com", "49", "input", "--range", "5V", "--program", "--min", "1e3", "--max", "2"},
         2,
         "'1e3' is not a valid floating point value"},
        {{"--com", "49", "input", "--range", "5V", "--program", "--min", "0x10", "--max", "2"},
         2,
         "'0x10' is not a valid floating point value"},
        {{"--com", "49", "output", "--range", "0-20 mA", "--program", "--min", "5", "--max", "5"},
         2,
         "Invalid output range. Valid range must be between 0.000 to 20.000"},
        {{"--com", "49", "input", "--range", "5V", "--program", "--min", "-6", "--max", "2"},
         2,
         "Invalid input range. Valid range must be between -5.000 to 5.000"},
        {{"--com", "49", "clear-flags", "input"}, 2, "give --full"},
        {{"--com", "48", "read"}, 3, "Cannot open COM48"},
    };
    for (const Refused& r : refused) {
        const Ran run = Cli(r.Arguments);
        EXPECT_EQ(run.Exit, r.Exit) << r.Arguments.join(' ').toStdString();
        EXPECT_TRUE(run.Err.contains(r.Said)) << run.Err.toStdString();
    }
    EXPECT_TRUE(Received(sim).empty()) << "a refused command reached the module";

    // A module that never answers the output read: one time-out, and nothing more is asked.
    const Ran silent = Cli({"--com", "49", "read", "--json"});
    EXPECT_EQ(silent.Exit, 4);
    EXPECT_TRUE(silent.Err.contains("No response !"));
    EXPECT_EQ(QJsonDocument::fromJson(silent.Out).object()["exit"].toInt(), 4);
    EXPECT_EQ(Received(sim).size(), 2u) << "the read went on past the unanswered request";

    // A second program on the port while the first holds it.
    QProcess* first = Start({"--com", "49", "read"});
    ASSERT_TRUE(
        WaitUntil([&] { return fs::exists("/proc/" + std::to_string(first->processId())); }));
    ProcessEventsFor(300);
    const Ran second = Cli({"--com", "49", "read"});
    first->waitForFinished(20000);
    EXPECT_EQ(second.Exit, 3);
    EXPECT_TRUE(second.Err.contains("busy") || second.Err.contains("in use") ||
                second.Err.contains("locked"))
        << second.Err.toStdString();
    delete first;

    // Ctrl+C while the module keeps it waiting: the port is given back, its lock removed.
    std::unique_ptr<QProcess> stopped(Start({"--com", "49", "read"}));
    ProcessEventsFor(1500);
    ::kill(static_cast<pid_t>(stopped->processId()), SIGINT);
    ASSERT_TRUE(stopped->waitForFinished(5000));
    EXPECT_EQ(stopped->exitCode(), 130);
    const std::string pts = fs::path(sim.DevicePath()).filename().string();
    EXPECT_FALSE(fs::exists("/run/lock/LCK..pts_" + pts)) << "the lock outlived the run";
}

TEST_F(CliRun, EveryChangeIsTheModulesAnswerChecked) {
    // A module that acknowledges every change and makes none: each is a failure that names
    // what differs, and reports what the module holds, never what was asked.
    SimProcess ignoring({"--fast", "--ignore", "all"}, 49, Home() / ".zentrix" / "ports");
    struct Contradicted {
        QStringList Arguments;
        std::vector<const char*> Fields;
    };
    const Contradicted cases[] = {
        {{"--full", "mode", "cal"}, {"mode"}},
        {{"input", "--range", "5 V", "--program", "--min", "-1", "--max", "1"}, {"min", "max"}},
        {{"output", "--range", "10 V", "--program", "--invert", "yes"}, {"invert"}},
        {{"--full", "dac", "zero", "--range", "10 V", "--code", "3300", "--write"}, {"zeroCode"}},
        {{"--full", "calibrate", "input", "full", "--range", "20 mA"}, {"fullCalibrated"}},
        {{"--full", "clear-flags", "input"}, {"zeroCalFlags", "fullCalFlags"}},
    };
    for (const Contradicted& c : cases) {
        const Ran run = Cli(QStringList{"--com", "49", "--json"} + c.Arguments);
        const QJsonObject json = Object(run);
        EXPECT_EQ(run.Exit, 1) << c.Arguments.join(' ').toStdString();
        EXPECT_EQ(json["exit"].toInt(), 1);
        const QJsonArray mismatches = json["mismatches"].toArray();
        ASSERT_EQ(mismatches.size(), static_cast<qsizetype>(c.Fields.size()))
            << run.Out.toStdString();
        for (std::size_t k = 0; k < c.Fields.size(); ++k) {
            EXPECT_EQ(mismatches[static_cast<qsizetype>(k)].toObject()["field"].toString(),
                      c.Fields[k]);
        }
    }
    EXPECT_EQ(Object(Cli({"--com", "49", "--json", "--full", "mode", "cal"}))["mode"].toString(),
              "RUN");
    const QJsonObject dac = Object(Cli({"--com", "49", "--json", "--full", "dac", "zero", "--range",
                                        "10 V", "--code", "3300", "--write"}));
    EXPECT_EQ(dac["zeroCode"].toInt(), 3277) << "the code the module holds, not the one asked";
    ignoring.Stop();

    // A module that makes them: COM50 by either name, any case of a range's name, the whole
    // span of DAC codes; and a range SW1 is not set for stops a script.
    SimProcess module({"--fast"}, 50, Home() / ".zentrix" / "ports");
    EXPECT_EQ(Cli({"--com", "COM50", "--full", "mode", "cal"}).Exit, 0);
    const Ran top = Cli({"--com", "50", "--json", "--full", "dac", "full", "--range", "10 v",
                         "--code", "65535", "--write"});
    EXPECT_EQ(top.Exit, 0) << top.Err.toStdString();
    EXPECT_EQ(Object(top)["fullCode"].toInt(), 65535);
    const Ran wrong = Cli({"--com", "50", "--json", "input", "--range", "5 mA", "--program"});
    EXPECT_EQ(wrong.Exit, 5);
    EXPECT_EQ(Object(wrong)["input"].toObject()["rangeOk"].toBool(), false);
    EXPECT_TRUE(wrong.Err.contains("set SW1's levers 1 up, 2 down, 3 up, 4 down, 5 down, 6 down"))
        << wrong.Err.toStdString();
    // A calibrator value off the full-scale side, or out of all reason, is never sent.
    for (const char* value : {"-0", "4", "123456789", "340000000000000000000000000000000000000"}) {
        EXPECT_EQ(Cli({"--com", "50", "--full", "calibrate", "input", "full", "--range", "10 V",
                       "--value", value})
                      .Exit,
                  2)
            << value;
    }
    EXPECT_EQ(Cli({"--com", "50", "--full", "calibrate", "input", "full", "--range", "10 V",
                   "--value", "9.998"})
                  .Exit,
              0);
}

TEST_F(CliRun, NoStaleAnswerNoChangeAfterASignalAndNothingReachesTheModuleUnrecorded) {
    const fs::path links = Home() / ".zentrix" / "ports";
    {
        // The previous run's late answer is still on its way when the next run opens the port:
        // it costs the next run a time-out, never a success.
        SimProcess late({"--fast", "--late", "32", "--late-ms", "4700"}, 49, links);
        EXPECT_EQ(Cli({"--com", "49", "--full", "mode", "cal"}).Exit, 4);
        const Ran next = Cli({"--com", "49", "--json", "--full", "mode", "run"});
        EXPECT_EQ(next.Exit, 4) << next.Out.toStdString();
        EXPECT_FALSE(Object(next).contains("mode"));
    }
    const std::vector<Json> timedOut = Read(Records());
    ASSERT_EQ(timedOut.size(), 2u);
    EXPECT_EQ(timedOut[0]["outcome"], "no response");

    // A signal before the first request: nothing is written to the module.
    SimProcess module({"--fast", "--silent", "5"}, 49, links);
    const std::string lock =
        "/run/lock/LCK..pts_" + fs::path(module.DevicePath()).filename().string();
    std::unique_ptr<QProcess> early(Start({"--com", "49", "--full", "clear-flags", "input"}));
    // The port is taken, the module settling: the request has not left yet.
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(lock); }, 5000));
    ::kill(static_cast<pid_t>(early->processId()), SIGINT);
    ASSERT_TRUE(early->waitForFinished(2000));
    EXPECT_EQ(early->exitCode(), 130);
    EXPECT_TRUE(Received(module).empty());

    // A signal while a change is on the line: its record says the outcome is unknown. A private
    // lock name a killed run left behind goes, one whose process lives stays.
    pid_t dead = ::fork();
    if (dead == 0) {
        ::_exit(0);
    }
    ::waitpid(dead, nullptr, 0);
    const std::string left = lock + ".zx" + std::to_string(dead) + ".Ab3dEf";
    const std::string live = lock + ".zx" + std::to_string(::getpid()) + ".Ab3dEf";
    std::ofstream(left) << dead;
    std::ofstream(live) << ::getpid();
    std::unique_ptr<QProcess> cut(Start({"--com", "49", "--full", "clear-flags", "input"}));
    ASSERT_TRUE(WaitUntil([&] { return !Received(module).empty(); }, 3000));
    ::kill(static_cast<pid_t>(cut->processId()), SIGTERM);
    const auto signalled = std::chrono::steady_clock::now();
    ASSERT_TRUE(cut->waitForFinished(3000));
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::milliseconds(1500));
    EXPECT_EQ(cut->exitCode(), 130);
    const std::vector<Json> records = Read(Records());
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[2]["change"], "clear input calibration flags");
    EXPECT_EQ(records[2]["outcome"], "unknown");
    EXPECT_FALSE(fs::exists(left));
    EXPECT_TRUE(fs::exists(live));
    fs::remove(live);

    // Another program holds the month's lock for good: the module's answer is not held up past
    // the bound, and the run says the record is missing.
    const fs::path month = Records() / (UtcNow().substr(0, 7) + ".jsonl");
    const int held = ::open(month.c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    SimProcess answering({"--fast"}, 48, links);
    const auto started = std::chrono::steady_clock::now();
    const Ran blocked = Cli({"--com", "48", "--full", "mode", "cal"});
    ::close(held);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(6));
    EXPECT_EQ(blocked.Exit, 6);
    EXPECT_TRUE(blocked.Err.contains("another program holds the lock"))
        << blocked.Err.toStdString();
}

TEST_F(CliRun, WhatPeopleScriptsAndSpreadsheetsRead) {
    const std::string version = "=HYPERLINK(\"x\") \x1b]0;owned\x07\x1b[2J\rFAKE: Status Success.";
    SimProcess module({"--fast", "--version-text", version}, 49, Home() / ".zentrix" / "ports");
    const Ran text = Cli({"--com", "49", "read"}, "de_DE.UTF-8");
    EXPECT_EQ(text.Exit, 0);
    EXPECT_FALSE(text.Out.contains('\x1b') || text.Out.contains('\r') || text.Out.contains('\x07'));
    EXPECT_TRUE(text.Out.contains(R"(\x1b]0;owned\x07\x1b[2J\x0dFAKE)")) << text.Out.toStdString();
    const QJsonObject read = Object(Cli({"--com", "49", "--json", "read"}, "de_DE.UTF-8"));
    EXPECT_EQ(read["schema"].toInt(), 1);
    EXPECT_EQ(read["TCAL"].toDouble(), 23.5);
    EXPECT_GT(read["TA"].toDouble(), 26.0) << "TA is the module's temperature, not TCAL";
    EXPECT_FALSE(read["input"].toObject().contains("activeRange"));
    EXPECT_EQ(read["output"].toObject()["invert"].toBool(), false);
    EXPECT_EQ(read["output"].toObject()["jp6Needed"].toString(), "V");
    EXPECT_EQ(Cli({"--com", "49", "output", "--range", "10 V", "--program", "--min", "-8.2",
                   "--max", "8.2"},
                  "de_DE.UTF-8")
                  .Exit,
              0);

    // Under a comma locale the records stay JSON, and their CSV is what a spreadsheet can take,
    // whatever text a module sent.
    std::string problem;
    Json crafted = {{"time", "2026-01-01T00:00:00.000Z"},
                    {"version", "=HYPERLINK(\"x\")"},
                    {"machine", "-2+3"},
                    {"change", "line\nbreak"}};
    ASSERT_TRUE(RecordBook(Records(), "zentrix-cli").Append(JsonText(crafted), problem));
    const Ran csv = Cli({"records", "--csv"}, "de_DE.UTF-8");
    QProcess python;
    python.start("python3", {"-c", R"(
import csv, io, json, os, sys
folder = sys.argv[1]
for name in sorted(os.listdir(folder)):
    if name.endswith('.jsonl'):
        for line in open(os.path.join(folder, name), encoding='utf-8'):
            json.loads(line)
rows = list(csv.DictReader(io.StringIO(sys.stdin.read(), newline='')))
print(rows[0]['version'], rows[0]['machine'], rows[0]['change'], sep='|')
row = rows[-1]
print(row['change'], row['range'], row['minimum'], row['maximum'], row['invert'], row['outcome'], sep='|')
)",
                             QString::fromStdString(Records().string())});
    python.write(csv.Out);
    python.closeWriteChannel();
    ASSERT_TRUE(python.waitForFinished(10000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    EXPECT_EQ(python.readAllStandardOutput().trimmed().toStdString(),
              "'=HYPERLINK(\"x\")|'-2+3|line\nbreak\n"
              "make output range permanent|\u00B110 V|-8.2|8.2|no|answered");

    // Held through a link, the port is named busy by its device's lock.
    SimProcess silent({"--fast", "--silent", "4"}, 48, Home() / ".zentrix" / "ports");
    std::unique_ptr<QProcess> holder(Start({"--com", "48", "read"}));
    ASSERT_TRUE(WaitUntil([&] { return !Received(silent).empty(); }, 5000));
    const QJsonArray ports = Object(Cli({"ports", "--json"}))["ports"].toArray();
    holder->waitForFinished(10000);
    bool named = false;
    for (const auto& port : ports) {
        if (port.toObject()["com"].toInt() == 48) {
            named = true;
            EXPECT_EQ(port.toObject()["state"].toString(), "busy");
        }
    }
    EXPECT_TRUE(named);

    // What a script did not mean is refused, as JSON when it asked for JSON.
    for (const QStringList& wrong :
         {QStringList{"--com", "49", "read", "--program", "--json"},
          QStringList{"--com", "49", "read", "extra", "--json"},
          QStringList{"--com", "49", "--com", "48", "read", "--json"},
          QStringList{"--com", "49", "--json", "input", "--range", QString::fromLatin1("\xff")},
          QStringList{"--bogus", "--json"}}) {
        const Ran run = Cli(wrong);
        EXPECT_EQ(run.Exit, 2) << wrong.join(' ').toStdString();
        EXPECT_EQ(Object(run)["exit"].toInt(), 2) << run.Out.toStdString();
    }
}

TEST_F(CliRun, RecordsAreReadAsAReaderNeedsThem) {
    // A writer that died in its line left a tail without its newline: the next record keeps it
    // aside and cuts it off; a whole record that lacks only its newline is kept.
    fs::create_directories(Records());
    fs::permissions(Records(), fs::perms::owner_all);
    RecordBook book(Records(), "zentrix-cli");
    std::string problem;
    ASSERT_TRUE(book.Append(R"({"time":"2026-01-01T00:00:00.000Z","n":1})", problem)) << problem;
    const fs::path month = Records() / "2026-01.jsonl";
    ASSERT_TRUE(fs::exists(month)) << "a record goes to the month of its own time";
    std::ofstream(month, std::ios::app) << R"({"time":"2026-01-01T00:00:01.000Z","n":)";
    ASSERT_TRUE(book.Append(R"({"time":"2026-01-01T00:00:02.000Z","n":3})", problem));
    std::ofstream(month, std::ios::app) << R"({"time":"2026-01-31T23:00:00.000Z","n":4})";
    EXPECT_EQ(Read(Records()).size(), 3u) << "the whole last record without its newline is read";
    ASSERT_TRUE(book.Append(R"({"time":"2026-02-01T00:00:00.000Z","n":5})", problem));
    ASSERT_TRUE(book.Append(R"({"time":"2026-01-31T23:30:00.000Z","n":6})", problem));
    std::ifstream aside(month.string() + ".cut");
    std::string cut;
    std::getline(aside, cut);
    EXPECT_EQ(cut, R"({"time":"2026-01-01T00:00:01.000Z","n":)") << "the cut bytes are kept";

    // ISO 8601 bounds with offsets; a day named includes itself; anything else is refused.
    const auto count = [&](const QStringList& bounds) {
        const Ran run = Cli(QStringList{"records"} + bounds);
        EXPECT_EQ(run.Exit, 0) << run.Err.toStdString();
        return run.Out.count('\n');
    };
    EXPECT_EQ(count({"--since", "2026-01-01T00:00:01Z"}), 4);
    EXPECT_EQ(count({"--since", "2026-01-01T01:00:01+01:00", "--until", "2026-01-31T23:00Z"}), 2);
    EXPECT_EQ(count({"--since", "2026-02-01T01:00+01:00"}), 1);
    EXPECT_EQ(count({"--until", "2026-01-01T00:00:00.000Z"}), 1);
    for (const char* wrong : {"yesterday", "2026/11/25", "11.12.2026", "2026-02-30"}) {
        EXPECT_EQ(Cli({"records", "--since", wrong}).Exit, 2) << wrong;
    }
    // A line that is not a record is said with its place and never passed on.
    std::ofstream(Records() / "2026-02.jsonl", std::ios::app)
        << "{\"time\":\"2026-02-02\",\"a\":[1,\n";
    const Ran broken = Cli({"records", "--since", "2026-02-01"});
    EXPECT_EQ(broken.Out.count('\n'), 1);
    EXPECT_TRUE(broken.Err.contains("2026-02.jsonl:2: not a record")) << broken.Err.toStdString();
    // A month file that others can write is refused, in writing and in reading.
    fs::permissions(month, fs::perms::others_write, fs::perm_options::add);
    EXPECT_FALSE(book.Append(R"({"time":"2026-01-31T23:40:00.000Z","n":7})", problem));
    EXPECT_NE(problem.find("can be written by others"), std::string::npos) << problem;
    const Ran refused = Cli({"records"});
    EXPECT_EQ(refused.Exit, 6);
    EXPECT_TRUE(refused.Err.contains("can be written by others"));
    // Output that cannot be written is an error.
    fs::permissions(month, fs::perms::others_write, fs::perm_options::remove);
    QProcess full;
    full.setStandardOutputFile("/dev/full");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", Dir.path() + "/data");
    full.setProcessEnvironment(env);
    full.start(QStringLiteral(ZX_CLI_PATH), {"records", "--csv"});
    ASSERT_TRUE(full.waitForFinished(10000));
    EXPECT_EQ(full.exitCode(), 7);
}

} // namespace
} // namespace zx::test
