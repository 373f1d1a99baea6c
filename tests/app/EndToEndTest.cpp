#include "SimProcess.h"
#include "WindowFixture.h"

#include <QTest>
#include <QToolButton>

namespace zx::test {
namespace {

using namespace std::chrono_literals;

// The tool with the virtual module as the far end, started with the given options.
class WithModule : public ::testing::Test {
protected:
    explicit WithModule(std::vector<std::string> options)
        : Sim(std::move(options)),
          Window(Clock, PortNamespace(Sim.LinkFolder(), PrivateLockFolder(Sim.LinkFolder())),
                 Prompts) {}

    void SetUp() override {
        AnswerPortDialog("COM1");
        ShowActive(Window);
        ASSERT_TRUE(Window.ComPort->Open());
        // The answer to the start-up CAL/RUN query comes first; a request sent before it is
        // handled would take it as its own answer.
        ASSERT_TRUE(
            WaitUntil([&] { return Sim.ErrorOutput().find("tx 02 21") != std::string::npos; }));
        ProcessEventsFor(100);
    }
    // Lets the last message time out to "Ready", does the step, waits for its outcome.
    bool Step(const std::function<void()>& action, const QString& outcome = "Success.") {
        Clock.Advance(3s);
        action();
        const bool ok = WaitUntil([&] { return Status() == outcome; }, 3000);
        EXPECT_TRUE(ok) << "status: " << Status().toStdString() << "\n" << Sim.ErrorOutput();
        return ok;
    }
    QString Status() const { return Window.sbMain->PanelText(2); }

    SimProcess Sim;
    FakeClock Clock;
    FakePrompts Prompts;
    TfrmMain Window;
};

class EndToEnd : public WithModule {
protected:
    EndToEnd() : WithModule({"--fast", "--reading", "1.5"}) {}
};

TEST_F(EndToEnd, TheTechniciansWork) {
    // First reads fill both halves and enable the groups.
    ASSERT_TRUE(Step([&] { Window.btnGetPermInpRange->click(); }));
    EXPECT_EQ(Window.pnlPermInpRange->text(), "\u00B110 V");
    EXPECT_EQ(Window.cmbInpRanges->currentIndex(), 5);
    EXPECT_EQ(Window.pnlTempInpReading->text(), "1.500 V");
    EXPECT_TRUE(Window.cmbInpRanges->isEnabled());
    ASSERT_TRUE(Step([&] { Window.btnGetPermOutRange->click(); }));
    EXPECT_EQ(Window.pnlOutZeroP->text(), "3277");
    EXPECT_TRUE(Window.cmbOutRanges->isEnabled());
    EXPECT_FALSE(Window.seOutZero->isEnabled());

    // Changing the active range: the module reports it, SW1 does not match it.
    ASSERT_TRUE(Step([&] { Window.cmbInpRanges->setCurrentIndex(2); }));
    EXPECT_EQ(Window.cmbInpRanges->currentIndex(), 2);
    EXPECT_EQ(Window.pnlTempInpReading->FontColor(), clRed);
    EXPECT_EQ(Window.beInpFull->text(), "1.250");

    // Refused limits: the box, nothing sent.
    Window.edInpMin->setText("3");
    Window.edInpMax->setText("3");
    Window.btnSetInputRange->click();
    EXPECT_EQ(Prompts.Errors.size(), 1);

    // Programming with limits, then the toolkit version exchange.
    ASSERT_TRUE(Step([&] {
        Window.edInpMin->setText("-1");
        Window.edInpMax->setText("1.2");
        Window.btnSetInputRange->click();
    }));
    EXPECT_NE(Sim.ErrorOutput().find("cmdSetToolkitVersion"), std::string::npos);
    ASSERT_TRUE(Step([&] { Window.btnGetPermInpRange->click(); }));
    EXPECT_EQ(Window.pnlPermInpRange->text(), "\u00B11.25 V");
    EXPECT_EQ(Window.pnlPermInpMax->text(), "1.200 V");

    // Full mode, then the calibration cycle.
    QTest::keyClick(Window.btnGetPermInpRange, Qt::Key_F11,
                    Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
    ASSERT_TRUE(Window.FullMode);
    ASSERT_TRUE(Step([&] { Window.btnGetPermInpRange->click(); }));
    ASSERT_TRUE(Window.beInpZero->isEnabled());
    ASSERT_TRUE(Step([&] { Window.mnuClearInCal->trigger(); }));
    EXPECT_EQ(Window.lvInpCalStat->SubItem(2, 0), "UNCAL");
    ASSERT_TRUE(Step([&] { Window.beInpZero->Button()->click(); }));
    EXPECT_EQ(Window.lvInpCalStat->SubItem(2, 0), "OK");
    EXPECT_EQ(Window.lvInpCalStat->SubItem(3, 0), "UNCAL");
    ASSERT_TRUE(Step([&] { Window.beInpFull->Button()->click(); }));
    EXPECT_EQ(Window.lvInpCalStat->SubItem(2, 1), "OK");

    ASSERT_TRUE(Step([&] { Window.btnGetPermOutRange->click(); }));
    ASSERT_TRUE(Window.seOutZero->isEnabled());
    Clock.Advance(3s);
    QTest::mouseClick(Window.calSwitch, Qt::LeftButton, {}, QPoint(20, 10));
    ASSERT_TRUE(
        WaitUntil([&] { return Sim.ErrorOutput().find("tx 02 20 01 03") != std::string::npos; }));
    ProcessEventsFor(50);
    EXPECT_TRUE(Window.calSwitch->On());

    for (int i = 0; i < 3; ++i) { // each trim step drives the DAC, without Busy text
        ASSERT_TRUE(Step([&] { Window.seOutZero->stepUp(); }));
    }
    EXPECT_NE(Sim.ErrorOutput().find("rx 02 10 EF 00 D0 0C 03"), std::string::npos)
        << "code 3277 + 3 = 0x0CD0";
    ASSERT_TRUE(Step([&] { Window.btnOutZero->click(); }));
    EXPECT_EQ(Window.seOutZero->value(), 3280);
    EXPECT_EQ(Window.lvOutCalStat->SubItem(0, 0), "OK");
    ASSERT_TRUE(Step([&] { Window.seOutFull->setValue(62000); }));
    ASSERT_TRUE(Step([&] { Window.btnOutFull->click(); }));
    EXPECT_EQ(Window.seOutFull->value(), 62000);
    ASSERT_TRUE(Step([&] { Window.btnGetPermOutRange->click(); }));
    EXPECT_EQ(Window.pnlOutFsP->text(), "62000");
    ASSERT_TRUE(Step([&] { Window.mnuClearOutCal->trigger(); }));
    EXPECT_EQ(Window.lvOutCalStat->SubItem(0, 0), "UNCAL");

    Clock.Advance(3s);
    QTest::mouseClick(Window.calSwitch, Qt::LeftButton, {}, QPoint(20, 45));
    ASSERT_TRUE(
        WaitUntil([&] { return Sim.ErrorOutput().find("tx 02 20 00 03") != std::string::npos; }));
    ProcessEventsFor(50);
    EXPECT_FALSE(Window.calSwitch->On());

    // The version text.
    ASSERT_TRUE(Step([&] { Window.sbMainPanels1DblClick(Window.sbMain); }));
    EXPECT_EQ(Window.sbMain->PanelText(1), "Zentrix virtual module  V2.03  (simulated)");
}

TEST_F(EndToEnd, TheModuleRefusesDacWritesInRun) {
    QTest::keyClick(Window.btnGetPermInpRange, Qt::Key_F11,
                    Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
    ASSERT_TRUE(Step([&] { Window.btnGetPermOutRange->click(); }));
    Prompts.Beeps = 0;
    ASSERT_TRUE(Step([&] { Window.btnOutZero->click(); }, "Failed."));
    EXPECT_EQ(Prompts.Beeps, 1);
}

class NoisyBrokenModule : public WithModule {
protected:
    NoisyBrokenModule()
        : WithModule({"--fast", "--noise", "64", "--broken", "48", "--oversize", "19",
                      "--unknown-code", "22", "--silent", "3", "--bad-range", "6"}) {}
};

TEST_F(NoisyBrokenModule, EachFaultEndsAsTheStatusLineSays) {
    // Noise between frames is ignored.
    ASSERT_TRUE(Step([&] { Window.btnGetPermInpRange->click(); }));
    ASSERT_TRUE(Step([&] { Window.btnGetPermOutRange->click(); }));
    // A frame broken off: dropped after the collector's time-out, then no response.
    Clock.Advance(3s);
    Window.sbMainPanels1DblClick(Window.sbMain);
    ProcessEventsFor(100);
    Clock.Advance(4100ms);
    EXPECT_EQ(Status(), "No response !");
    EXPECT_TRUE(Window.sbMain->PanelText(1).isEmpty());
    // An oversized answer and one of a code the catalogue does not know: something other than
    // the module answered, said at once, and no time-out follows.
    for (const auto& action :
         std::vector<std::function<void()>>{[&] { Window.btnGetTempOutRange->click(); },
                                            [&] { Window.cmbOutRanges->setCurrentIndex(1); }}) {
        Clock.Advance(3s);
        action();
        ProcessEventsFor(100);
        EXPECT_EQ(Status(), "Unknown response.");
        Clock.Advance(4100ms);
        EXPECT_NE(Status(), "No response !");
    }
    Clock.Advance(3s);
    // A range outside the tables is refused as a whole.
    ASSERT_TRUE(Step([&] { Window.cmbInpRanges->setCurrentIndex(3); }, "Failed."));
    EXPECT_EQ(Window.cmbInpRanges->currentIndex(), 3) << "the user's choice stays";
    // Silence.
    Clock.Advance(3s);
    Window.btnGetTempInpRange->click();
    ProcessEventsFor(100);
    Clock.Advance(4100ms);
    EXPECT_EQ(Status(), "No response !");
    // Still talking afterwards.
    ASSERT_TRUE(Step([&] { Window.btnGetPermInpRange->click(); }));
}

class UnpluggedModule : public WithModule {
protected:
    UnpluggedModule() : WithModule({"--fast", "--unplug-after", "3"}) {}
};

TEST_F(UnpluggedModule, TheLineGoingDeadLeavesNoComPort) {
    ASSERT_TRUE(Step([&] { Window.btnGetPermInpRange->click(); }));
    Clock.Advance(3s);
    Window.btnGetPermOutRange->click(); // the third request: the adapter is pulled
    ASSERT_TRUE(WaitUntil([&] { return !Window.ComPort->Open(); }));
    EXPECT_EQ(Status(), "No COM port !");
    EXPECT_EQ(Window.sbMain->PanelTextColor(2), clRed);
    EXPECT_TRUE(Prompts.Errors.isEmpty()) << "no storm of boxes";
}

} // namespace
} // namespace zx::test
