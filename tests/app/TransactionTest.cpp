#include "Hints.h"
#include "WindowFixture.h"

#include <QMessageBox>
#include <QTest>
#include <QToolButton>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zx::test {
namespace {

using namespace std::chrono_literals;

const InputRangeStatus GoodInput{1, 5, 1, 2.5f, 0x7FF, 0x7FF, -10.0f, 10.0f, 30.0f, 23.0f, 0};

class Transactions : public WindowFixture {
protected:
    void SetUp() override {
        StartWithPort();
        ASSERT_TRUE(Window.ComPort->Open());
        Prompts.Beeps = 0;
    }
    void Read() {
        Window.btnGetPermInpRange->click();
        ASSERT_EQ(Sent(), (Bytes{0x02, 0x04, 0x03}));
    }
    void ExpectStatus(const char* text, const QColor& color) {
        EXPECT_EQ(StatusText(), text);
        EXPECT_EQ(StatusColor(), color);
    }
};

class StartUp : public WindowFixture {};

TEST_F(StartUp, OpensThePortAndAsksForCalRun) {
    StartWithPort(false);
    EXPECT_EQ(StartupQuery, (Bytes{0x02, 0x21, 0x00, 0x03}));
    EXPECT_EQ(Window.sbMain->PanelText(0), "COM1,9600,N,8,1");
    EXPECT_TRUE(Window.sbMain->PanelText(1).isEmpty());
    EXPECT_TRUE(StatusText().isEmpty()) << "the query shows no status";
    EXPECT_TRUE(Prompts.Infos.isEmpty());
    EXPECT_EQ(Clock.Slept(), 1000ms) << "two settle times of 500 ms";
    EXPECT_NE(Window.Engine->TimeoutTrigger(), 0);
    EXPECT_TRUE(Window.FormReady);
    EXPECT_TRUE(Window.InputEventsArmed);
    EXPECT_TRUE(Window.OutputEventsArmed);
    EXPECT_FALSE(Window.FullMode);
    EXPECT_EQ(Window.focusWidget(), Window.btnGetPermInpRange);
    EXPECT_EQ(Window.windowTitle(), MainTitle);
    EXPECT_TRUE(HintShown(Window.calSwitch));
    EXPECT_EQ(Window.cmbInpRanges->currentIndex(), 0);
    EXPECT_EQ(Window.lvInpCalStat->RowCount(), 11);
    EXPECT_EQ(Window.lvOutCalStat->SubItem(1, 1), "N/A");
    EXPECT_EQ(Window.beInpFull->text(), "312.0");
    EXPECT_EQ(Window.sw12->y(), 29) << "range 0 pictured";
    EXPECT_EQ(Window.OutJumper->x(), 224);
    EXPECT_FALSE(Window.cmbInpRanges->isEnabled());
    Answer({0x21, 0x01});
    EXPECT_TRUE(Window.calSwitch->On()) << "the module is in CAL";
    EXPECT_TRUE(StatusText().isEmpty());
}

TEST_F(Transactions, AnsweredWithSuccessShowsGreenThenReady) {
    Read();
    ExpectStatus("Reading range...", clBlack);
    EXPECT_TRUE(Window.LedTx->Lit());
    AnswerInput(4, GoodInput);
    ExpectStatus("Success.", clGreen);
    Clock.Advance(385ms);
    EXPECT_EQ(StatusText(), "Success.");
    Clock.Advance(55ms);
    ExpectStatus("Ready", clBlack);
    EXPECT_FALSE(Window.LedTx->Lit());
    EXPECT_EQ(Prompts.Beeps, 0);
}

TEST_F(Transactions, AnsweredWithFailureShowsRedWithABeepThenReady) {
    Read();
    Answer({0x04, 0x00});
    ExpectStatus("Failed.", clRed);
    EXPECT_EQ(Prompts.Beeps, 1);
    Clock.Advance(1980ms);
    EXPECT_EQ(StatusText(), "Failed.");
    Clock.Advance(55ms);
    ExpectStatus("Ready", clBlack);
}

TEST_F(Transactions, UnansweredShowsNoResponseThenReady) {
    Read();
    Clock.Advance(4015ms);
    EXPECT_EQ(StatusText(), "Reading range...");
    Clock.Advance(55ms);
    ExpectStatus("No response !", clRed);
    EXPECT_EQ(Prompts.Beeps, 1);
    Clock.Advance(1980ms);
    EXPECT_EQ(StatusText(), "No response !");
    Clock.Advance(55ms);
    ExpectStatus("Ready", clBlack);
    Clock.Advance(60s);
    EXPECT_EQ(Prompts.Beeps, 1) << "nothing more happens";
}

TEST_F(Transactions, EveryRequestEndsOnceAfterItsOwnTime) {
    Read();
    AnswerInput(4, GoodInput);
    // The switch, thrown while "Success." shows, is never answered: its own 73 ticks end it.
    Window.calSwitch->SetOn(true);
    Window.calSwitchClick(Window.calSwitch);
    EXPECT_EQ(Sent(), (Bytes{0x02, 0x20, 0x01, 0x03}));
    Clock.Advance(440ms);
    ExpectStatus("Ready", clBlack);
    Clock.Advance(4015ms - 440ms);
    EXPECT_EQ(Prompts.Beeps, 0);
    Clock.Advance(55ms);
    ExpectStatus("No response !", clRed);
    EXPECT_EQ(Prompts.Beeps, 1);
    EXPECT_FALSE(Window.calSwitch->On()) << "back to RUN, as the module said last";

    // An error shown while a request awaits does not cut that request's time short.
    Clock.Advance(2035ms);
    Read();
    Window.HandlerFailed("a handler failed");
    Clock.Advance(4015ms);
    EXPECT_EQ(StatusText(), "Ready");
    Clock.Advance(55ms);
    ExpectStatus("No response !", clRed);
    EXPECT_EQ(Prompts.Beeps, 3);
}

TEST_F(Transactions, LateAnswersShowTheModulesStateButLeaveTheStatusLine) {
    Read();
    AnswerInput(4, GoodInput); // ±10 V
    Clock.Advance(440ms);
    // ±5 V goes unanswered in time; ±2.5 V is chosen; then both answers come, the late first.
    Window.cmbInpRanges->setCurrentIndex(4);
    EXPECT_EQ(Sent(), (Bytes{0x02, 0x06, 0x04, 0x03}));
    Clock.Advance(4070ms + 2035ms);
    Window.cmbInpRanges->setCurrentIndex(3);
    EXPECT_EQ(Sent(), (Bytes{0x02, 0x06, 0x10, 0xFC, 0x03}));
    InputRangeStatus late = GoodInput;
    late.RangeCode = 4;
    InputRangeStatus real = GoodInput;
    real.RangeCode = 3;
    real.MinValue = -2.5f;
    real.MaxValue = 2.5f;
    AnswerInput(6, late);
    AnswerInput(6, real);
    EXPECT_EQ(Window.cmbInpRanges->currentText(), "\u00B12.5 V");
    EXPECT_EQ(Window.sw1->accessibleName().toStdString(),
              "SW1: 1 down, 2 up, 3 up, 4 down, 5 down, 6 down");
    Window.btnSetInputRange->click();
    const Bytes program = Sent();
    ASSERT_GT(program.size(), 3u);
    EXPECT_EQ(program[2], 0x10) << "S programs the module's range, ±2.5 V";

    // A late version answer while a read awaits: shown, and the read still gets its own.
    Clock.Advance(10s);
    Window.RequestVersion();
    Sent();
    Clock.Advance(4070ms + 2035ms);
    Read();
    Answer({0x30, 'V', '9'});
    EXPECT_EQ(Window.sbMain->PanelText(1), "V9");
    EXPECT_EQ(StatusText(), "Reading range...");
    AnswerInput(4, GoodInput);
    ExpectStatus("Success.", clGreen);
}

TEST_F(Transactions, CopiesAndFramesOfAnotherCodeAnswerNothing) {
    Read();
    Window.btnGetPermOutRange->click(); // waits for the read
    FrameCodec module;
    WriteInputRangeStatus(module, 4, GoodInput);
    const Bytes input = test::Sent(module);
    Bytes twice = input;
    twice.insert(twice.end(), input.begin(), input.end());
    AnswerRaw(twice); // the module sent its answer twice, in one write
    EXPECT_EQ(Sent(), (Bytes{0x02, 0x14, 0x03}));
    EXPECT_EQ(StatusText(), "Reading range...") << "the copy did not answer the output read";
    EXPECT_EQ(Window.pnlPermOutRange->text(), "N/A");

    // An answer with the input's code is no answer to the output read; a frame of a code the
    // catalogue does not know ends it at once: something other than the module answered.
    AnswerRaw(input);
    EXPECT_EQ(StatusText(), "Reading range...");
    AnswerRaw({0x02, 0x09, 0x03});
    ExpectStatus("Unknown response.", clRed);
    EXPECT_EQ(Prompts.Beeps, 1);
    // Unknown codes, an empty and an oversized frame with nothing on the line change nothing,
    // and no time-out follows the request already ended.
    Bytes oversized{0x02, 0x30};
    oversized.insert(oversized.end(), 200, 0x41);
    oversized.push_back(0x03);
    for (const Bytes& frame : {Bytes{0x02, 0xC8, 0x03}, Bytes{0x02, 0x03}, oversized}) {
        AnswerRaw(frame);
    }
    EXPECT_TRUE(Window.sbMain->PanelText(1).isEmpty());
    Clock.Advance(4070ms);
    EXPECT_EQ(StatusText(), "Ready");
    EXPECT_EQ(Window.pnlPermOutRange->text(), "N/A");
    EXPECT_EQ(Prompts.Beeps, 1);
    // An empty frame ends a request as well; its own answer, coming after, is a late one.
    Window.btnGetPermOutRange->click();
    Sent();
    AnswerRaw({0x02, 0x03});
    ExpectStatus("Unknown response.", clRed);
    Clock.Advance(2035ms);
    OutputRangeStatus out{1, 0, 1, 3277, 62258, 0, 3, 1, -10.0f, 10.0f, 3277, 30.0f, 23.0f, 0};
    AnswerOutput(20, out);
    ExpectStatus("Success.", clGreen);
    EXPECT_EQ(Window.pnlPermOutRange->text(), "\u00B110 V");
}

TEST_F(Transactions, CodeSixteenIsSuccessWhateverFollows) {
    BuildRequest(Window.Codec, {.Code = cmdSetOutputCode, .Range = 1, .DacCode = 7});
    Window.SendRequest();
    Sent();
    Answer({0x10, 0x00, 0x00, 0x00});
    ExpectStatus("Success.", clGreen);
}

TEST_F(Transactions, TheHandWinsAndRequestsKeepTheirOrder) {
    Read();
    AnswerInput(4, GoodInput);
    Window.btnGetPermOutRange->click();
    Sent();
    OutputRangeStatus out{1, 0, 1, 3277, 62258, 0, 3, 1, -10.0f, 10.0f, 3277, 30.0f, 23.0f, 0};
    AnswerOutput(20, out);
    // On the line: a read. Then range 1, a read of the active range 1, and range 0.
    Window.btnGetPermOutRange->click();
    Window.cmbOutRanges->setCurrentIndex(1);
    Window.btnGetTempOutRange->click();
    Window.cmbOutRanges->setCurrentIndex(0);
    EXPECT_EQ(Sent(), (Bytes{0x02, 0x14, 0x03}));
    AnswerOutput(20, out);
    EXPECT_EQ(Sent(), (Bytes{0x02, 0x16, 0x01, 0x03}));
    out.RangeCode = 1;
    AnswerOutput(22, out);
    EXPECT_EQ(Window.cmbOutRanges->currentIndex(), 0) << "the newer choice waits: no jump back";
    EXPECT_EQ(Sent(), (Bytes{0x02, 0x13, 0x01, 0x03}));
    AnswerOutput(19, out);
    EXPECT_EQ(Window.cmbOutRanges->currentIndex(), 0);
    EXPECT_EQ(Sent(), (Bytes{0x02, 0x16, 0x00, 0x03}));
    out.RangeCode = 0;
    AnswerOutput(22, out);
    EXPECT_EQ(Window.cmbOutRanges->currentIndex(), 0);

    // A slow wheel: ten notches while the first is on the line, from ±300 mV to ±30 mA.
    Clock.Advance(1s);
    Window.cmbInpRanges->setCurrentIndex(0);
    Sent();
    AnswerInput(6, InputRangeStatus{1, 0, 1, 0.0f, 0, 0, -300.0f, 300.0f, 30.0f, 23.0f, 0});
    for (int notch = 1; notch <= 10; ++notch) {
        Window.cmbInpRanges->setCurrentIndex(notch);
        if (notch == 1) {
            EXPECT_EQ(Sent(), (Bytes{0x02, 0x06, 0x01, 0x03}));
        }
    }
    InputRangeStatus r = GoodInput;
    r.RangeCode = 1;
    AnswerInput(6, r);
    EXPECT_EQ(Window.cmbInpRanges->currentIndex(), 10);
    EXPECT_EQ(Sent(), (Bytes{0x02, 0x06, 0x0A, 0x03})) << "only the last notch follows";
    r.RangeCode = 10;
    AnswerInput(6, r);
    EXPECT_EQ(Window.cmbInpRanges->currentIndex(), 10);
}

TEST_F(Transactions, OneToolkitVersionPerProgrammingAnswer) {
    Read();
    AnswerInput(4, GoodInput);
    const Bytes version{0x02, 0x33, 0xAB, 0x03};
    Window.btnSetInputRange->click(); // A: answered too late
    Sent();
    Clock.Advance(4070ms + 2035ms);
    Window.btnSetInputRange->click(); // B
    Sent();
    AnswerInput(7, GoodInput); // A's late answer: its version waits behind B
    EXPECT_TRUE(Sent().empty());
    InputRangeStatus own = GoodInput;
    own.Reading = 2.75f;
    AnswerInput(7, own); // B's own, byte for byte another answer
    EXPECT_EQ(Sent(), version);
    Answer({0x33, 0x01});
    EXPECT_EQ(Sent(), version) << "a second write, for the second answer";
    Answer({0x33, 0x01});
    Answer({0x33, 0x01});      // a copy
    AnswerInput(7, GoodInput); // and a code 7 nobody asked for
    EXPECT_TRUE(Sent().empty());
}

TEST_F(Transactions, LateAnswersPairOldestFirstAndSpeak) {
    Read();
    AnswerInput(4, GoodInput);
    Clock.Advance(440ms);
    // A: ±5 V goes unanswered in time; B: ±2.5 V is chosen. The module answers in order: A's
    // success first, then its refusal of B, which is what the status line ends on.
    Window.cmbInpRanges->setCurrentIndex(4);
    Sent();
    Clock.Advance(4070ms + 2035ms);
    Window.cmbInpRanges->setCurrentIndex(3);
    Sent();
    InputRangeStatus a = GoodInput;
    a.RangeCode = 4;
    AnswerInput(6, a);
    EXPECT_EQ(StatusText(), "Changing input range...") << "B's outcome is B's answer";
    AnswerInput(6, InputRangeStatus{});
    ExpectStatus("Failed.", clRed);

    // A late answer with nothing else on the line speaks as one in time; a late refusal speaks
    // whatever is on the line.
    Clock.Advance(2035ms);
    Window.btnGetPermOutRange->click();
    Sent();
    Clock.Advance(4070ms);
    ExpectStatus("No response !", clRed);
    Clock.Advance(2035ms);
    OutputRangeStatus out{1, 0, 1, 3277, 62258, 0, 3, 1, -10.0f, 10.0f, 3277, 30.0f, 23.0f, 0};
    AnswerOutput(20, out);
    ExpectStatus("Success.", clGreen);
    Clock.Advance(440ms);
    Window.btnSetInputRange->click();
    Sent();
    Clock.Advance(4070ms + 2035ms);
    Read();
    AnswerInput(7, InputRangeStatus{});
    ExpectStatus("Failed.", clRed);
    EXPECT_TRUE(Sent().empty()) << "the toolkit version waits until the refusal was read";
    AnswerInput(4, GoodInput);
    Clock.Advance(2035ms);
    EXPECT_EQ(Sent(), (Bytes{0x02, 0x33, 0xAB, 0x03}));

    // A late answer leaves the time-out of the request on the line running.
    Answer({0x33, 0x01});
    Clock.Advance(440ms);
    Window.RequestVersion();
    Sent();
    Clock.Advance(4070ms + 2035ms);
    Read();
    Answer({0x30, 'V', '9'});
    Clock.Advance(4070ms);
    ExpectStatus("No response !", clRed);
}

TEST_F(Transactions, AnErrorStaysReadableBeforeTheNextRequestLeaves) {
    Read();
    Window.btnGetPermOutRange->click();
    Answer({0x04, 0x00});
    ExpectStatus("Failed.", clRed);
    EXPECT_TRUE(Sent().empty());
    Clock.Advance(1980ms);
    EXPECT_EQ(StatusText(), "Failed.");
    Clock.Advance(55ms);
    EXPECT_EQ(Sent(), (Bytes{0x02, 0x14, 0x03}));
    ExpectStatus("Reading range...", clBlack);
}

TEST_F(Transactions, AHandlerThatThrowsIsSeenHeardAndLogged) {
    Read();
    AnswerInput(4, GoodInput);
    Prompts.ThrowOnError = true;
    Window.edInpMin->setText("4");
    Window.edInpMax->setText("3");
    testing::internal::CaptureStderr();
    Window.btnSetInputRange->click();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("zentrix: the box could not be shown"), std::string::npos) << said;
    ExpectStatus("the box could not be shown", clRed);
    EXPECT_EQ(Prompts.Beeps, 1);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(Transactions, OneRequestIsOnTheLineAtATimeAndTheLastChoiceWins) {
    Read();
    // Three range changes before the read is answered: only the last one will leave.
    Window.EnableInputControls();
    Window.cmbInpRanges->setCurrentIndex(1);
    Window.cmbInpRanges->setCurrentIndex(2);
    Window.cmbInpRanges->setCurrentIndex(3);
    EXPECT_TRUE(Sent().empty()) << "nothing leaves while the read awaits its answer";
    EXPECT_EQ(StatusText(), "Reading range...") << "the status speaks of the request under way";
    AnswerInput(4, GoodInput);
    EXPECT_EQ(Sent(), (Bytes{0x02, 0x06, 0x10, 0xFC, 0x03})) << "range 3, once";
    ExpectStatus("Changing input range...", clBlack);

    // A waiting request leaves when the one on the line times out, with its own time-out.
    Window.btnGetPermOutRange->click();
    EXPECT_TRUE(Sent().empty());
    Clock.Advance(4070ms);
    EXPECT_EQ(Prompts.Beeps, 1) << "No response ! for the range change";
    EXPECT_TRUE(Sent().empty()) << "not while the error is read";
    Clock.Advance(2035ms);
    EXPECT_EQ(Sent(), (Bytes{0x02, 0x14, 0x03}));
    ExpectStatus("Reading range...", clBlack);
    Clock.Advance(4015ms);
    EXPECT_EQ(Prompts.Beeps, 1) << "the read's own 73 ticks run from its send";

    // A closed port drops what waits.
    Window.btnGetPermInpRange->click();
    Window.ComPort->SetOpen(false);
    EXPECT_EQ(Window.Requests().Waiting(), 0u);
    EXPECT_FALSE(Window.Requests().Awaiting());
}

TEST_F(Transactions, OtherTriggersNeverTouchTheStatusLine) {
    Read();
    Window.ComPortTriggerTimer(Window.ComPort,
                               static_cast<quint16>(Window.Engine->TimeoutTrigger() + 77));
    EXPECT_EQ(StatusText(), "Reading range...");
    Clock.Advance(500ms); // the lamps' triggers fire meanwhile
    EXPECT_EQ(StatusText(), "Reading range...");
}

TEST_F(Transactions, ChoosingTheOpenPortAgainReopensIt) {
    const quint16 before = Window.Engine->TimeoutTrigger();
    const auto slept = Clock.Slept();
    AnswerPortDialog("COM1");
    Window.sbMainPanels0DblClick(Window.sbMain);
    EXPECT_TRUE(Window.ComPort->Open());
    EXPECT_NE(Window.Engine->TimeoutTrigger(), before) << "a fresh trigger";
    EXPECT_EQ(Clock.Slept() - slept, 1000ms);
    ExpectStatus("COM port opened.", clBlack);
    EXPECT_EQ(Sent(), (Bytes{0x02, 0x21, 0x00, 0x03})) << "the module's CAL/RUN, as at start";
    Answer({0x21, 0x00});
    Read();
    AnswerInput(4, GoodInput);
    EXPECT_EQ(StatusText(), "Success.");
}

TEST_F(Transactions, AnotherPortShowsNothingOfThePreviousModule) {
    const QString range = Window.pnlPermInpRange->text();
    const QString temperature = Window.pnlTemp->text();
    const QString minimum = Window.edInpMin->text();
    Read();
    AnswerInput(4, GoodInput);
    Window.btnGetPermOutRange->click();
    Sent();
    AnswerOutput(20, {1, 1, 1, 3000, 60000, 1, 3, 1, 4.0f, 20.0f, 3277, 30.0f, 23.0f, 0});
    ASSERT_TRUE(Window.btnSetInputRange->isEnabled());
    AnswerPortDialog("COM1");
    Window.sbMainPanels0DblClick(Window.sbMain);
    EXPECT_EQ(Window.pnlPermInpRange->text(), range);
    EXPECT_EQ(Window.pnlTemp->text(), temperature);
    EXPECT_EQ(Window.edInpMin->text(), minimum);
    EXPECT_EQ(Window.lvInpCalStat->SubItem(5, 0), "N/A");
    EXPECT_FALSE(Window.cbInvertOut->isChecked());
    // S cannot program this module with the last one's values until it has been read.
    EXPECT_FALSE(Window.btnSetInputRange->isEnabled());
    EXPECT_FALSE(Window.btnSetOutRange->isEnabled());
    EXPECT_FALSE(Window.cmbInpRanges->isEnabled());
    EXPECT_EQ(Sent(), (Bytes{0x02, 0x21, 0x00, 0x03})) << "nothing else is sent";
}

TEST_F(Transactions, ARangeTheSwitchesDoNotMatchIsSaidInWords) {
    Read();
    InputRangeStatus wrong = GoodInput;
    wrong.RangeOk = 0;
    AnswerInput(4, wrong);
    EXPECT_TRUE(Window.pnlPermInpRange->accessibleDescription().contains("SW1 is not set"));
    Clock.Advance(440ms);
    Read();
    AnswerInput(4, GoodInput);
    EXPECT_TRUE(Window.pnlPermInpRange->accessibleDescription().isEmpty());
}

TEST_F(Transactions, ThePortDialogHasTheOpenPortChosen) {
    PtyPair other;
    std::filesystem::create_symlink(other.SlavePath(), Pty.LinkFolder() / "com3");
    AnswerPortDialog("COM3");
    Window.sbMainPanels0DblClick(Window.sbMain);
    ASSERT_EQ(Window.ComPort->ComNumber(), 3);
    int chosen = 0;
    QTimer::singleShot(0, [&chosen] {
        auto* dialog = qobject_cast<TfrmComSelect*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        chosen = dialog->SelectedPortNumber();
        dialog->btnCancel->click();
    });
    Window.sbMainPanels0DblClick(Window.sbMain);
    EXPECT_EQ(chosen, 3) << "OK alone keeps the module on its port";
}

TEST_F(Transactions, ACalibrationUsesThePointsOfTheRangeItNames) {
    Window.EnterFullMode();
    Read();
    AnswerInput(4, GoodInput); // ±10 V programmed and active
    Clock.Advance(440ms);
    Window.cmbInpRanges->setCurrentIndex(4); // ±5 V active
    Sent();
    InputRangeStatus five = GoodInput;
    five.RangeCode = 4;
    AnswerInput(6, five);
    Clock.Advance(440ms);
    Read(); // the programmed range, ±10 V, is read again
    AnswerInput(4, GoodInput);
    EXPECT_EQ(Window.cmbInpRanges->currentIndex(), 4);
    EXPECT_EQ(Window.beInpFull->text(), "5.000") << "the full scale of the range in the list";
    Clock.Advance(440ms);
    Window.beInpFull->Button()->click();
    EXPECT_EQ(Sent(), Built({.Code = cmdCalInputFull, .Range = 4, .FullScale = 5.0f}));
}

TEST_F(Transactions, TheToolkitVersionOutlivesAReopenOfTheSamePort) {
    Read();
    AnswerInput(4, GoodInput);
    Window.btnSetInputRange->click();
    Sent();
    AnswerInput(7, InputRangeStatus{}); // refused: the version waits while "Failed." is read
    ExpectStatus("Failed.", clRed);
    AnswerPortDialog("COM1");
    Window.sbMainPanels0DblClick(Window.sbMain);
    ASSERT_TRUE(Window.ComPort->Open());
    EXPECT_EQ(Sent(), (Bytes{0x02, 0x33, 0xAB, 0x03})) << "the programming's version, once";
    Answer({0x33, 0x01});
    EXPECT_EQ(Sent(), (Bytes{0x02, 0x21, 0x00, 0x03}));
}

TEST_F(Transactions, CancellingTheDialogLeavesTheOpenPort) {
    QStringList listed;
    AnswerPortDialog(QString(), &listed);
    Window.sbMainPanels0DblClick(Window.sbMain);
    EXPECT_TRUE(listed.contains("COM1")) << "the port this program has open is listed";
    EXPECT_TRUE(Window.ComPort->Open());
    ExpectStatus("COM port opened.", clBlack);
}

TEST_F(Transactions, APortHeldElsewhereIsRefusedWithItsReason) {
    Window.ClosePort();
    const int held = open(Pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    QStringList listed;
    AnswerPortDialog("COM1", &listed);
    Window.sbMainPanels0DblClick(Window.sbMain);
    close(held);
    EXPECT_TRUE(listed.contains("COM1")) << "a busy port is listed";
    EXPECT_FALSE(Window.ComPort->Open());
    ASSERT_EQ(Prompts.Errors.size(), 1);
    EXPECT_TRUE(Prompts.Errors[0].startsWith("Cannot open COM1 (" +
                                             QString::fromStdString(Pty.SlavePath()) + ")"));
    EXPECT_TRUE(Prompts.Errors[0].contains("in use by another program"));
    EXPECT_EQ(Window.sbMain->PanelText(0), "COM1,9600,N,8,1") << "panel 0 keeps its text";
    ExpectStatus("No COM port !", clRed);
    Window.btnGetPermInpRange->click();
    EXPECT_TRUE(Sent().empty());
}

TEST_F(Transactions, AStuckLineRefusesTheRequestInsteadOfEndingTheProgram) {
    // A backlog the device does not take and the driver cannot queue any more of.
    const Bytes backlog(1, 0x41);
    std::size_t queued = 0;
    try {
        for (; queued < 1000000; ++queued) {
            Window.ComPort->WriteBlock(backlog.data(), 1);
        }
    } catch (const ComPortError&) {
    }
    Window.btnGetPermInpRange->click();
    ExpectStatus("Transmit queue full !", clRed);
    EXPECT_EQ(Prompts.Beeps, 1);
    EXPECT_EQ(Pty.ReadExactly(queued, 10000).size(), queued);
    EXPECT_TRUE(Pty.ReadAvailable(100).empty()) << "the refused request queued nothing";
    Clock.Advance(2035ms);
    Read();
}

TEST_F(Transactions, AnswersAreHandledWhileAModalBoxRunsItsLoop) {
    Read();
    QString seenInsideTheBox;
    QTimer::singleShot(0, [&] {
        AnswerInput(4, GoodInput);
        seenInsideTheBox = StatusText();
        if (QWidget* box = QApplication::activeModalWidget()) {
            box->close();
        }
    });
    QMessageBox box(QMessageBox::Information, "Information", "modal", QMessageBox::Ok);
    box.exec();
    EXPECT_EQ(seenInsideTheBox, "Success.");
}

TEST_F(Transactions, ALostDeviceLeavesNoComPortUntilThePortIsChosenAgain) {
    // The line dies before the event loop has noticed: the request's own write finds it gone,
    // and the request ends there rather than the program.
    Pty.CloseMaster();
    Window.btnGetPermInpRange->click();
    EXPECT_FALSE(Window.ComPort->Open());
    ExpectStatus("No COM port !", clRed);
    EXPECT_EQ(Window.Engine->TimeoutTrigger(), 0) << "the closed port's trigger names nothing";
    Clock.Advance(10s);
    EXPECT_EQ(StatusText(), "No COM port !") << "no time-out after the loss";
    EXPECT_EQ(Window.sbMain->PanelText(0), "COM1,9600,N,8,1");
    Window.btnGetPermInpRange->click();
    EXPECT_EQ(StatusText(), "No COM port !");

    // The adapter is plugged in again: COM1 names a line once more.
    PtyPair again;
    std::filesystem::remove(Pty.LinkFolder() / "com1");
    std::filesystem::create_symlink(again.SlavePath(), Pty.LinkFolder() / "com1");
    AnswerPortDialog("COM1");
    Window.sbMainPanels0DblClick(Window.sbMain);
    ASSERT_EQ(again.ReadAvailable(50), (Bytes{0x02, 0x21, 0x00, 0x03}));
    again.Write(EncodeFrame(Bytes{0x21, 0x00}.data(), 2));
    ProcessEventsFor(40);
    Window.btnGetPermInpRange->click();
    ASSERT_EQ(again.ReadAvailable(50), (Bytes{0x02, 0x04, 0x03}));
    again.Write(EncodeFrame(Bytes{0x04, 0x01, 0x05, 0x01}.data(), 4));
    ProcessEventsFor(40);
    EXPECT_EQ(StatusText(), "Success.");
}

TEST_F(Transactions, ClosingTheWindowReleasesThePortAtOnce) {
    Window.close();
    ComPort other(Clock, PortNamespace(Pty.LinkFolder(), Pty.LockFolder()));
    other.SetComNumber(1);
    EXPECT_NO_THROW(other.SetOpen(true));
}

TEST_F(Transactions, AnAnswerWithoutStatusTextLeavesNoTimeOutArmed) {
    Window.calSwitch->setEnabled(true);
    Window.calSwitchClick(Window.calSwitch);
    Sent();
    Answer({0x20, 0x01});
    Clock.Advance(5s);
    EXPECT_TRUE(StatusText().isEmpty()) << "no No response !";
    EXPECT_EQ(Prompts.Beeps, 0);
}

class NoPort : public WindowFixture {
protected:
    void SetUp() override { StartWithoutPort(); }
};

TEST_F(NoPort, StartUpBeepsAndSaysSoBeforeTheWindowAppears) {
    EXPECT_EQ(
        Prompts.Events,
        QStringList({"beep", "info: No COM port defined. Program will not communicate with the "
                             "unit."}));
    EXPECT_FALSE(Window.ComPort->Open());
    EXPECT_TRUE(StatusText().isEmpty());
    EXPECT_TRUE(Window.FormReady);
    EXPECT_FALSE(Window.cmbInpRanges->isEnabled());
}

TEST_F(NoPort, RequestsAreNotSentAndNoTimeOutComes) {
    Window.btnGetPermInpRange->click();
    EXPECT_EQ(StatusText(), "No COM port !");
    EXPECT_EQ(StatusColor(), clRed);
    Clock.Advance(10s);
    EXPECT_EQ(StatusText(), "No COM port !");
    EXPECT_EQ(Prompts.Beeps, 1) << "only start-up's";
    AnswerPortDialog(QString());
    Window.sbMainPanels0DblClick(Window.sbMain);
    EXPECT_EQ(StatusText(), "No COM port !");
}

TEST_F(NoPort, APortChosenLaterWorks) {
    AnswerPortDialog("COM1");
    Window.sbMainPanels0DblClick(Window.sbMain);
    EXPECT_EQ(StatusText(), "COM port opened.");
    EXPECT_EQ(Sent(), (Bytes{0x02, 0x21, 0x00, 0x03}));
    Answer({0x21, 0x00});
    Window.btnGetPermInpRange->click();
    EXPECT_EQ(Sent(), (Bytes{0x02, 0x04, 0x03}));
}

class FreshStart : public WindowFixture {};

TEST_F(FreshStart, BytesWaitingBeforeThePortOpensAnswerNothing) {
    // A late version answer of an earlier run still sits in the device.
    const Bytes stale = EncodeFrame(Bytes{0x30, 'o', 'l', 'd'}.data(), 4);
    Pty.Write(stale);
    StartWithPort(false);
    EXPECT_EQ(StartupQuery, (Bytes{0x02, 0x21, 0x00, 0x03}));
    Answer({0x21, 0x01});
    EXPECT_TRUE(Window.sbMain->PanelText(1).isEmpty());
    EXPECT_TRUE(Window.calSwitch->On()) << "the module's own answer was taken";
}

TEST_F(FreshStart, ARefusedLinkFolderIsSaidOnceBeforeThePortDialog) {
    ::chmod(Pty.LinkFolder().c_str(), 0777);
    int saidBeforeDialog = -1;
    QTimer::singleShot(0, [&] {
        saidBeforeDialog = static_cast<int>(Prompts.Infos.size());
        static_cast<QDialog*>(QApplication::activeModalWidget())->reject();
    });
    Window.show();
    EXPECT_EQ(saidBeforeDialog, 1);
    ASSERT_FALSE(Prompts.Infos.isEmpty());
    const QString folder = QString::fromStdString(Pty.LinkFolder().string());
    EXPECT_EQ(Prompts.Infos.first(), "The port links in " + folder + " are not used: " + folder +
                                         " can be written by others (mode 0777). Fix: chmod 700 " +
                                         folder +
                                         ". Until then, COM numbers follow the built-in "
                                         "table (COM1-16 /dev/ttyS0-15, COM17-32 "
                                         "/dev/ttyUSB0-15, COM33-48 /dev/ttyACM0-15).");
    AnswerPortDialog(QString());
    Window.sbMainPanels0DblClick(Window.sbMain);
    EXPECT_EQ(Prompts.Infos.size(), 2) << "once per run, then the no-port box of start-up";
}

TEST(PortDialog, ListsPresentPortsInOrderAndReadsTheNumber) {
    PtyPair three(3);
    std::filesystem::create_symlink(three.SlavePath(), three.LinkFolder() / "com12");
    std::filesystem::create_symlink("/dev/zx-gone", three.LinkFolder() / "com5");
    PtyPair other(1);
    std::filesystem::create_symlink(other.SlavePath(), three.LinkFolder() / "com1");
    const PortNamespace ports(three.LinkFolder());
    TfrmComSelect dialog(ports);
    QStringList entries;
    for (int i = 0; i < dialog.cbComPorts->count(); ++i) {
        entries << dialog.cbComPorts->itemText(i);
    }
    // Whatever real ports this machine has (COM1-48) may be listed too; ours must be in order.
    EXPECT_TRUE(entries.indexOf("COM1") < entries.indexOf("COM3"));
    EXPECT_TRUE(entries.indexOf("COM3") < entries.indexOf("COM12"));
    EXPECT_FALSE(entries.contains("COM5"));
    EXPECT_EQ(dialog.cbComPorts->currentIndex(), 0);
    EXPECT_EQ(dialog.windowTitle(), "Select COM Port");
    EXPECT_EQ(dialog.size(), QSize(258, 119));
    dialog.cbComPorts->setCurrentIndex(entries.indexOf("COM12"));
    EXPECT_EQ(dialog.SelectedPortNumber(), 12);
    EXPECT_EQ(dialog.btnOk->text(), "&OK");
    EXPECT_FALSE(dialog.btnOk->isDefault());
}

TEST(PortDialog, ItsFocusIsFramedFromTheStart) {
    PtyPair pty;
    const PortNamespace ports(pty.LinkFolder(), pty.LockFolder());
    TfrmComSelect dialog(ports);
    ShowActive(dialog);
    if (!WaitUntil([&] { return dialog.cbComPorts->hasFocus(); }, 2000)) {
        GTEST_SKIP() << "the display server gave the dialog no keyboard (a Wayland compositor "
                        "decides that itself)";
    }
    const QImage framed = dialog.cbComPorts->grab().toImage();
    dialog.btnOk->setFocus();
    EXPECT_NE(dialog.cbComPorts->grab().toImage(), framed) << "no focus frame when it opened";
}

TEST(PortDialog, OkOnAnEmptyListCountsAsCancel) {
    FakeClock clock;
    FakePrompts prompts;
    TfrmMain window(clock, PortNamespace("/nonexistent/zx-ports"), prompts);
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<TfrmComSelect*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->cbComPorts->clear(); // as on a machine with no serial port at all
        dialog->btnOk->click();
    });
    int number = 77;
    EXPECT_EQ(window.RunPortDialog(number), 2);
    EXPECT_EQ(number, 77);
}

} // namespace
} // namespace zx::test
