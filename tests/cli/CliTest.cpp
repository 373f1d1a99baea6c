// zentrix-cli against the virtual module: what the module receives, what a script reads (exit
// status, JSON, messages) and what the records folder holds.
#include "RecordBook.h"
#include "RecordReader.h"
#include "SimProcess.h"
#include "WindowFixture.h"

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
            folder, {}, [&](const std::string&, const Json& r) { return records.push_back(r), true; },
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

    windowRecords.Flush(RecordBook::FlushBound);
    const std::vector<Json> windowLines = Read(Home() / "window");
    ASSERT_EQ(windowLines.size(), 2u) << "the window records the programming and the version";
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
    EXPECT_TRUE(unrecorded.Err.contains(R"("request":{"request":"cmdSetCalMode","code":32,"CalMode":0})"))
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
    std::ofstream(Records() / "2026-02.jsonl", std::ios::app) << "{\"time\":\"2026-02-02\",\"a\":[1,\n";
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
