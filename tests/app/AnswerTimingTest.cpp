// A technician's random sequences against a module model whose answers come on time, late,
// twice, two in one write, with another code, or never. Whatever the timing, once the line is
// quiet the window shows the module's state, every request written had exactly one outcome on
// the status line, and the toolkit version was written once per programming answer.
#include "ModuleModel.h"
#include "RecordBook.h"
#include "RecordReader.h"
#include "WindowFixture.h"

#include <QTemporaryDir>
#include <QToolButton>

#include <cstdlib>
#include <deque>
#include <random>

namespace zx::test {
namespace {

using namespace std::chrono_literals;

enum class Timing { OnTime, Late, Twice, Together, OtherCode, Never, Refused };

// A request the module read off the line, and the outcomes the status line showed since.
// Bytes the module sends in one write, the answers they carry first, and whether they come late.
struct Chunk {
    Bytes Line;
    std::vector<std::uint8_t> Answers;
    bool Late = false;
    std::chrono::milliseconds Read{0}; // when the module read the request
};

struct Written {
    std::uint8_t Code = 0;
    int Outcomes = 0;
};

class AnswerTiming : public WindowFixture, public ::testing::WithParamInterface<unsigned> {
protected:
    void SetUp() override {
        Window.Engine->SetRecords(&Book);
        connect();
        StartWithPort(false);
        Serve(Frames(StartupQuery), Timing::OnTime);
        Deliver(true);
        Prompts.ConfirmAnswer = true;
        QTest::keyClick(Window.btnGetPermInpRange, Qt::Key_F11,
                        Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
        for (QPushButton* first : {Window.btnGetPermInpRange, Window.btnGetPermOutRange}) {
            first->click();
            Serve(Frames(Pty.ReadAvailable(20)), Timing::OnTime);
            Deliver(true);
        }
    }

    // The module's side of the status line: what a person reads there, message by message.
    void connect() {
        QObject::connect(
            Window.sbMain, &StatusPanels::PanelTextSet, [this](int panel, const QString& text) {
                static const QStringList outcomes{"Success.", "Failed.", "No response !",
                                                  "Error occured while performing the operation !",
                                                  "Unknown response."};
                if (panel == 2 && outcomes.contains(text) && !Log.empty()) {
                    ++Log.back().Outcomes;
                    NoResponses += text == "No response !";
                }
            });
    }

    static std::vector<Bytes> Frames(const Bytes& line) {
        std::vector<Bytes> bodies;
        Bytes body;
        bool in = false;
        for (quint8 b : line) {
            if (b == STX) {
                in = true;
                body.clear();
            } else if (b == ETX && in) {
                bodies.push_back(body);
                in = false;
            } else if (in) {
                body.push_back(b);
            }
        }
        return bodies;
    }

    Bytes Encoded(const sim::Answer& answer) {
        FrameCodec codec;
        answer.Encode(codec);
        return test::Sent(codec);
    }

    // The module takes each request in order; how its answer travels is the fault's.
    void Serve(const std::vector<Bytes>& bodies, std::optional<Timing> forced = std::nullopt) {
        for (const Bytes& body : bodies) {
            FrameCodec codec = Received(body);
            const Request request = ReadRequest(codec);
            Log.push_back({request.Code});
            Timing timing = forced ? *forced : Pick();
            // A request that changes the module is always carried out and answered, sooner or
            // later: otherwise nothing could know the module's state. Reads may be lost.
            if (ChangesModule(request.Code) &&
                (timing == Timing::Never || timing == Timing::OtherCode)) {
                timing = Timing::OnTime;
            }
            // Only an answer with a Status can refuse; a mode or a code alone cannot. A refused
            // choice leaves the hand's range in the list, as it should, which is then not the
            // module's: choices are carried out here.
            const ResponseKind kind = DispatchKind(request.Code);
            if (timing == Timing::Refused &&
                (kind == ResponseKind::CalMode || kind == ResponseKind::Version ||
                 kind == ResponseKind::CodeOnlySuccess || request.Code == cmdSelectInputRange ||
                 request.Code == cmdSelectOutputRange)) {
                timing = Timing::OnTime;
            }
            if (request.Code == cmdProgramInputRange) {
                ++Programmings;
            } else if (request.Code == cmdSetToolkitVersion) {
                ++VersionWrites;
            }
            ++Unanswered[request.Code]; // until its answer has gone out, or for good
            if (timing == Timing::Never) {
                continue;
            }
            Chunk chunk = std::exchange(Held, {});
            if (chunk.Line.empty()) {
                chunk.Read = Clock.Now(); // a held answer keeps the time of its own request
            }
            if (timing == Timing::OtherCode) {
                const Bytes lie = Lie(request.Code);
                chunk.Line.insert(chunk.Line.end(), lie.begin(), lie.end());
            } else if (timing == Timing::Refused) {
                // Refused: the module's state stays as it was, its answer says Status 0.
                sim::ModuleModel unchanged = Module;
                auto answer = unchanged.Handle(request, Now());
                if (answer && answer->Input) {
                    answer->Input->Status = 0;
                } else if (answer && answer->Output) {
                    answer->Output->Status = 0;
                } else if (answer && answer->ToolkitAck) {
                    answer->ToolkitAck = 0;
                }
                if (answer) {
                    const Bytes frame = Encoded(*answer);
                    chunk.Line.insert(chunk.Line.end(), frame.begin(), frame.end());
                    chunk.Answers.push_back(request.Code);
                }
            } else if (const auto answer = Module.Handle(request, Now())) {
                const Bytes frame = Encoded(*answer);
                for (int copies = timing == Timing::Twice ? 2 : 1; copies > 0; --copies) {
                    chunk.Line.insert(chunk.Line.end(), frame.begin(), frame.end());
                }
                chunk.Answers.push_back(request.Code);
            }
            chunk.Late = timing == Timing::Late;
            if (timing == Timing::Together) {
                Held = std::move(chunk); // goes with the next answer, in one write
                continue;
            }
            Stream.push_back(std::move(chunk));
        }
    }

    // A frame of a code nobody awaits, telling a state the module is not in. (A frame of a code
    // whose answer is still owed cannot be told from that answer: no module numbers them.)
    Bytes Lie(std::uint8_t asked) {
        for (std::uint8_t code : {3, 4, 19, 20, 33}) {
            if (code != asked && Unanswered[code] == 0) {
                FrameCodec codec;
                if (code <= 7) {
                    WriteInputRangeStatus(codec, code, {1, 9, 1, 1.0f, 0, 0, -1, 1, 99, 99, 1});
                } else if (code <= 23) {
                    WriteOutputRangeStatus(codec, code,
                                           {1, 1, 1, 1, 2, 1, 0, 0, 0, 1, 1, 99, 99, 1});
                } else {
                    WriteCalMode(codec, code, Module.CalMode ? 0 : 1);
                }
                return test::Sent(codec);
            }
        }
        return {};
    }

    Timing Pick() {
        const int p = static_cast<int>(Random() % 100);
        return p < 45   ? Timing::OnTime
               : p < 50 ? Timing::Refused
               : p < 62 ? Timing::Late
               : p < 72 ? Timing::Twice
               : p < 82 ? Timing::Together
               : p < 91 ? Timing::OtherCode
                        : Timing::Never;
    }

    // Answers leave in the module's order; a late one holds back those behind it.
    // A late answer comes after the tool's time-out, and within a module's worst, 20 s: far
    // within the time the tool keeps a request owed. So does one held to go with the next.
    void Deliver(bool lateToo) {
        if (!Held.Line.empty() && Clock.Now() - Held.Read >= std::chrono::seconds(20)) {
            Stream.push_back(std::exchange(Held, {}));
        }
        while (!Stream.empty() && (lateToo || !Stream.front().Late ||
                                   Clock.Now() - Stream.front().Read >= std::chrono::seconds(20))) {
            Pty.Write(Stream.front().Line);
            for (const std::uint8_t code : Stream.front().Answers) {
                --Unanswered[code];
            }
            Stream.pop_front();
            ProcessEventsFor(6);
        }
    }

    double Now() const { return std::chrono::duration<double>(Clock.Now()).count(); }

    void Act() {
        auto& w = Window;
        switch (Random() % 14) {
        case 0:
        case 1:
            w.cmbInpRanges->setCurrentIndex(
                std::clamp(w.cmbInpRanges->currentIndex() + (Random() % 2 ? 1 : -1), 0, 10));
            break;
        case 2:
            w.cmbOutRanges->setCurrentIndex(1 - w.cmbOutRanges->currentIndex());
            break;
        case 3:
            (Random() % 2 ? w.btnGetPermInpRange : w.btnGetTempInpRange)->click();
            break;
        case 4:
            (Random() % 2 ? w.btnGetPermOutRange : w.btnGetTempOutRange)->click();
            break;
        case 5:
            w.btnSetInputRange->click();
            break;
        case 6:
            w.btnSetOutRange->click();
            break;
        case 7:
            QTest::mouseClick(w.calSwitch, Qt::LeftButton, {}, QPoint(20, 20));
            break;
        case 8:
        case 9:
            (Random() % 2 ? w.seOutZero : w.seOutFull)->stepBy(Random() % 2 ? 1 : -1);
            break;
        case 10:
            (Random() % 2 ? w.beInpZero : w.beInpFull)->Button()->click();
            break;
        case 11:
            (Random() % 2 ? w.btnOutZero : w.btnOutFull)->click();
            break;
        case 12:
            (Random() % 2 ? w.mnuClearInCal : w.mnuClearOutCal)->trigger();
            break;
        case 13:
            w.sbMainPanels1DblClick(w.sbMain);
            break;
        }
    }

    std::mt19937 Random{GetParam()};
    sim::ModuleModel Module{{.FixedReading = std::nullopt, .Seed = GetParam()}};
    std::deque<Chunk> Stream;
    Chunk Held;
    std::array<int, 256> Unanswered{};
    std::vector<Written> Log;
    int Programmings = 0;
    int VersionWrites = 0;
    int NoResponses = 0; // each may be followed by its late answer's own outcome
    QTemporaryDir Folder;
    RecordBook Book{std::filesystem::path(Folder.path().toStdString()) / "records", "zentrix"};
};

TEST_P(AnswerTiming, TheWindowEndsOnTheModulesState) {
    for (int step = 0; step < 40; ++step) {
        Act();
        Serve(Frames(Pty.ReadAvailable(0)));
        Deliver(false);
        static constexpr std::chrono::milliseconds Pauses[] = {0ms, 100ms, 500ms, 2100ms, 4100ms};
        const auto pause = Pauses[Random() % 5];
        Clock.Advance(pause);
        Deliver(pause >= 4100ms);
    }
    // The technician stops; the module answers what is left, and the line goes quiet.
    if (!Held.Line.empty()) {
        Stream.push_back(std::exchange(Held, {}));
    }
    Deliver(true);
    for (int round = 0, quiet = 0; quiet < 3; ++round) {
        ASSERT_LT(round, 300) << "the line never went quiet";
        const Bytes line = Pty.ReadAvailable(10);
        Serve(Frames(line), Timing::OnTime);
        Deliver(true);
        quiet = line.empty() ? quiet + 1 : 0;
        Clock.Advance(line.empty() ? 6200ms : 0ms);
    }

    const auto& w = Window;
    EXPECT_EQ(w.cmbInpRanges->currentIndex(), Module.ActiveInput);
    EXPECT_EQ(w.cmbOutRanges->currentIndex(), Module.ActiveOutput);
    EXPECT_EQ(w.calSwitch->On(), Module.CalMode);
    EXPECT_EQ(w.pnlPermInpRange->text(), w.cmbInpRanges->itemText(Module.ProgrammedInput));
    for (int r = 0; r < 11; ++r) {
        EXPECT_EQ(w.lvInpCalStat->SubItem(r, 0), (Module.InputZeroCal >> r) & 1 ? "OK" : "UNCAL")
            << "input range " << r;
        EXPECT_EQ(w.lvInpCalStat->SubItem(r, 1), (Module.InputFullCal >> r) & 1 ? "OK" : "UNCAL")
            << "input range " << r;
    }
    for (int r = 0; r < 2; ++r) {
        EXPECT_EQ(w.lvOutCalStat->SubItem(r, 0), (Module.OutputZeroCal >> r) & 1 ? "OK" : "UNCAL")
            << "output range " << r;
        EXPECT_EQ(w.lvOutCalStat->SubItem(r, 1), (Module.OutputFullCal >> r) & 1 ? "OK" : "UNCAL")
            << "output range " << r;
    }
    // Outcomes are counted over the whole run: every request one, but the CAL/RUN answers,
    // which show none; a request that had its "No response !" may speak again when its answer
    // comes late.
    int outcomes = 0;
    int silentAtBest = 0;
    for (const Written& request : Log) {
        outcomes += request.Outcomes;
        silentAtBest += request.Code == cmdSetCalMode || request.Code == cmdQueryCalMode;
    }
    EXPECT_LE(outcomes, static_cast<int>(Log.size()) + NoResponses);
    EXPECT_GE(outcomes, static_cast<int>(Log.size()) - silentAtBest);
    EXPECT_EQ(VersionWrites, Programmings);

    // Each record pairs a request with its own answer: what the answer repeats of its request
    // (range, limits, inversion, DAC code, mode) is what the request asked.
    Book.Flush(RecordBook::FlushBound);
    int records = 0;
    RecordReader::Read(
        std::filesystem::path(Folder.path().toStdString()) / "records", {},
        [&](const std::string& line, const Json& r) {
            ++records;
            const Json& asked = r["request"];
            if (r["outcome"] != "answered" || !r["answer"].contains("RangeCode") ||
                !asked.contains("Range")) {
                return true;
            }
            const Json& answer = r["answer"];
            EXPECT_EQ(answer["RangeCode"], asked["Range"]) << line;
            for (const auto& [field, value] :
                 {std::pair{"Minimum", "MinValue"}, std::pair{"Maximum", "MaxValue"}}) {
                if (asked.contains(field)) {
                    EXPECT_EQ(answer[value], asked[field]) << line;
                }
            }
            if (asked["code"] == cmdWriteOutputZero || asked["code"] == cmdWriteOutputFull) {
                EXPECT_EQ(answer[asked["code"] == cmdWriteOutputZero ? "ZeroCode" : "FullCode"],
                          asked["DacCode"])
                    << line;
            }
            return true;
        },
        [](const std::string& broken) { ADD_FAILURE() << broken; });
    EXPECT_GT(records, 0);
}

// Each seed a sequence of 40 steps. Among these, 1 and 5 caught answers paired whatever their
// code, 9 and 12 older answers that set the technician's list back, and most of them a
// replacement that overtook other waiting requests. ZX_TIMING_SEEDS=N runs seeds 1 to N for a
// longer soak.
unsigned LastSeed() {
    const char* wanted = std::getenv("ZX_TIMING_SEEDS");
    return wanted != nullptr && std::atoi(wanted) > 0 ? static_cast<unsigned>(std::atoi(wanted))
                                                      : 16u;
}
INSTANTIATE_TEST_SUITE_P(Seeds, AnswerTiming, ::testing::Range(1u, LastSeed() + 1));

} // namespace
} // namespace zx::test
