#include "Frames.h"
#include "WindowFixture.h"

#include <QTest>
#include <QToolButton>

#include <bit>

namespace zx::test {
namespace {

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

InputRangeStatus Input(quint8 range, quint8 ok = 1) {
    return {1, range, ok, 2.5f, 0x0001, 0x07FF, -9.0f, 9.5f, 31.25f, 23.5f, 0};
}
OutputRangeStatus Output(quint8 range, quint8 ok = 1) {
    return {1, range, ok, 1000, 61000, 1, 3, 1, -9.0f, 8.0f, 46000, 29.5f, 22.5f, 1};
}

class Sections : public WindowFixture {
protected:
    void SetUp() override {
        StartWithPort();
        Prompts.Beeps = 0;
    }
    // These tests answer a request only where the answer is their subject. A request read
    // here is left unanswered until its time is out and its "No response !" has been read,
    // so that the next one leaves.
    Bytes Passed(int waitMs = 50) {
        Bytes bytes = Sent(waitMs);
        if (!bytes.empty()) {
            Clock.Advance(std::chrono::milliseconds(4070 + 2035));
        }
        return bytes;
    }
    void FirstReads(bool full = false) {
        if (full) {
            QTest::keyClick(Window.btnGetPermInpRange, Qt::Key_F11,
                            Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
        }
        Window.btnGetPermInpRange->click();
        AnswerInput(4, Input(5));
        Window.btnGetPermOutRange->click();
        AnswerOutput(20, Output(0));
        Sent();
        Clock.Advance(std::chrono::seconds(1));
    }
};

// ---- Requests on the wire ------------------------------------------------------------------

TEST_F(Sections, InputRequestsCarryTheControlsValues) {
    FirstReads(true);
    Window.cmbInpRanges->setCurrentIndex(3); // the user's choice: a range change
    EXPECT_EQ(StatusText(), "Changing input range...");
    EXPECT_EQ(Passed(), (Bytes{0x02, 0x06, 0x10, 0xFC, 0x03}));

    Window.btnGetTempInpRange->click();
    EXPECT_EQ(Passed(), (Bytes{0x02, 0x10, 0xFC, 0x10, 0xFC, 0x03}));

    Window.beInpZero->Button()->click();
    EXPECT_EQ(StatusText(), "Calibrating input ZS...");
    EXPECT_EQ(Passed(), (Bytes{0x02, 0x01, 0x10, 0xFC, 0x03}));

    // beInpFull shows the full scale of the range last reported (5), sent with the combo's 3.
    ASSERT_EQ(Window.beInpFull->text(), "10.000");
    Window.beInpFull->Button()->click();
    EXPECT_EQ(Passed(), Cat({{0x02, 0x10, 0xFD, 0x10, 0xFC}, Single(10.0f), {0x03}}));

    Window.edInpMin->setText("-5");
    Window.edInpMax->setText("5.");
    Window.btnSetInputRange->click();
    EXPECT_EQ(StatusText(), "Setting range...");
    EXPECT_EQ(Passed(), Cat({{0x02, 0x07, 0x10, 0xFC}, Single(-5.0f), Single(5.0f), {0x03}}));
    EXPECT_TRUE(Window.InputEventsArmed);

    const QString before = StatusText();
    Window.mnuClearInCal->trigger();
    EXPECT_EQ(StatusText(), before) << "clearing shows no Busy text";
    EXPECT_EQ(Passed(), (Bytes{0x02, 0x05, 0x03}));
}

TEST_F(Sections, RefusedLimitsShowTheBoxAndSendNothing) {
    FirstReads();
    const QString limits = "Invalid input range. Valid range must be between -10.000 to 10.000";
    for (const auto& [minimum, maximum] : std::vector<std::pair<const char*, const char*>>{
             {"-10.001", "5"}, {"3", "3"}, {"4", "3"}, {"-1", "10.5"}}) {
        Window.edInpMin->setText(minimum);
        Window.edInpMax->setText(maximum);
        Window.btnSetInputRange->click();
        EXPECT_TRUE(Passed().empty()) << minimum << " " << maximum;
    }
    EXPECT_EQ(Prompts.Errors, QStringList(4, limits));
    Window.edInpMin->setText("-10");
    Window.edInpMax->setText("10");
    Window.btnSetInputRange->click();
    EXPECT_FALSE(Passed().empty()) << "the limits themselves are accepted";
}

TEST_F(Sections, ATextThatIsNoNumberIsNamedAndNothingIsSent) {
    FirstReads(true);
    Window.edInpMin->setText("-");
    Window.edInpMax->setText("5");
    Window.btnSetInputRange->click();
    EXPECT_EQ(Prompts.Errors, QStringList{"'-' is not a valid floating point value"});
    EXPECT_TRUE(Passed().empty());
    EXPECT_EQ(StatusText(), "Setting range...") << "the Busy text stays";
    EXPECT_TRUE(Window.InputEventsArmed);

    Window.edOutMax->setText("-");
    Window.btnOutFull->click();
    EXPECT_TRUE(Passed().empty());
    EXPECT_EQ(StatusText(), "Writing DAC FS...");
    Window.btnSetOutRange->click();
    EXPECT_TRUE(Passed().empty());
    EXPECT_EQ(Prompts.Errors.size(), 3);
}

TEST_F(Sections, EmptiedLimitEditsTakeTheRangeLimitsOnExit) {
    FirstReads();
    Window.ShowInputRange(0);
    Window.edInpMin->setFocus();
    Window.edInpMin->clear();
    Window.edInpMax->setFocus();
    EXPECT_EQ(Window.edInpMin->text(), "-300.0");
    Window.edInpMax->clear();
    Window.edOutMin->setFocus();
    EXPECT_EQ(Window.edInpMax->text(), "300.0");
    Window.edOutMin->clear();
    Window.edOutMax->setFocus();
    EXPECT_EQ(Window.edOutMin->text(), "-10.000");
    OutputRangeStatus r = Output(1);
    Window.btnGetTempOutRange->click();
    AnswerOutput(19, r);
    Window.edOutMin->setFocus();
    Window.edOutMin->clear();
    Window.edOutMax->setFocus();
    EXPECT_EQ(Window.edOutMin->text(), "0.000");
}

TEST_F(Sections, OutputRequestsCarryTheControlsValues) {
    FirstReads(true);
    Window.seOutZero->setValue(4099); // each change drives the DAC, no Busy text
    EXPECT_EQ(Passed(), (Bytes{0x02, 0x10, 0xEF, 0x00, 0x10, 0xFC, 0x10, 0xEF, 0x03}));
    Window.seOutFull->stepUp();
    EXPECT_EQ(Passed(), (Bytes{0x02, 0x10, 0xEF, 0x00, 0x49, 0xEE, 0x03})); // 61001

    Window.edOutMin->setText("-50"); // the DAC writes do not check the limits
    Window.cbInvertOut->setChecked(false);
    Window.btnOutZero->click();
    EXPECT_EQ(StatusText(), "Writing DAC ZS...");
    EXPECT_EQ(Passed(), Cat({{0x02, 0x11, 0x00, 0x10, 0xFC, 0x10, 0xEF},
                             Single(-50.0f),
                             Single(8.0f),
                             {0x00, 0x03}}));

    Window.cbInvertOut->setChecked(true); // ticking sends nothing by itself
    EXPECT_TRUE(Passed().empty());
    Window.btnSetOutRange->click();
    EXPECT_TRUE(Passed().empty()) << "-50 is below the range";
    EXPECT_EQ(Prompts.Errors.last(),
              "Invalid output range. Valid range must be between -10.000 to 10.000");
    Window.edOutMin->setText("-10.000"); // exactly the range's limits are accepted
    Window.edOutMax->setText("10.000");
    const QString before = StatusText();
    Window.btnSetOutRange->click();
    EXPECT_EQ(StatusText(), before) << "programming shows no Busy text";
    EXPECT_EQ(Passed(), Cat({{0x02, 0x17, 0x00}, Single(-10.0f), Single(10.0f), {0x01, 0x03}}));

    Window.cmbOutRanges->setCurrentIndex(1);
    EXPECT_EQ(StatusText(), "Changing range...");
    EXPECT_EQ(Passed(), (Bytes{0x02, 0x16, 0x01, 0x03}));
    Window.mnuClearOutCal->trigger();
    EXPECT_EQ(Passed(), (Bytes{0x02, 0x15, 0x03}));
}

TEST_F(Sections, AnEmptiedSpinEditGoesToZeroOnExit) {
    FirstReads(true);
    Window.seOutFull->setFocus();
    Window.seOutFull->Editor()->clear();
    EXPECT_TRUE(Passed().empty()) << "nothing while the text is empty";
    Window.edOutMin->setFocus();
    EXPECT_EQ(Window.seOutFull->value(), 0);
    EXPECT_EQ(Passed(), (Bytes{0x02, 0x10, 0xEF, 0x00, 0x00, 0x00, 0x03}));
    Window.seOutFull->setFocus(); // emptied while it already holds 0: still drives code 0
    Window.seOutFull->Editor()->clear();
    Window.edOutMin->setFocus();
    EXPECT_EQ(Passed(), (Bytes{0x02, 0x10, 0xEF, 0x00, 0x00, 0x00, 0x03}));
}

TEST_F(Sections, OnlyCtrlEnterCalibratesFromTheKeyboard) {
    FirstReads(true);
    QTest::keyClick(Window.beInpZero, Qt::Key_Return); // out of habit, tabbing through
    QTest::keyClick(Window.beInpFull, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_TRUE(Passed().empty());
    QTest::keyClick(Window.beInpZero, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(Passed(), (Bytes{0x02, 0x01, 0x05, 0x03}));
    QTest::keyClick(Window.beInpZero, Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_EQ(Passed(), (Bytes{0x02, 0x01, 0x05, 0x03})) << "Ctrl with the keypad's Enter";
}

TEST_F(Sections, GeneralRequests) {
    FirstReads(true);
    QTest::mouseClick(Window.calSwitch, Qt::LeftButton, {}, QPoint(20, 10));
    EXPECT_EQ(Sent(), (Bytes{0x02, 0x20, 0x01, 0x03})) << "the state after the press";
    Answer({0x20, 0x00});
    EXPECT_FALSE(Window.calSwitch->On()) << "the module's answer wins";
    Window.sbMainPanels1DblClick(Window.sbMain);
    EXPECT_EQ(StatusText(), "Reading version...");
    EXPECT_EQ(Passed(), (Bytes{0x02, 0x30, 0x03}));
}

// ---- Readers ---------------------------------------------------------------------------------

TEST_F(Sections, TheFirstProgrammedReadFillsBothHalvesAndEnables) {
    Window.btnGetPermInpRange->click();
    Sent();
    InputRangeStatus r = Input(5, 0);
    r.CalMode = 1;
    AnswerInput(4, r);
    EXPECT_EQ(Window.pnlPermInpRange->text(), "\u00B110 V");
    EXPECT_EQ(Window.cmbInpRanges->currentIndex(), 5);
    EXPECT_TRUE(Sent().empty()) << "selecting the reported range sends nothing";
    EXPECT_EQ(Window.pnlPermInpRange->FontColor(), clRed);
    EXPECT_EQ(Window.pnlTempInpReading->FontColor(), clRed);
    EXPECT_EQ(Window.pnlTempInpReading->text(), "2.500 V");
    EXPECT_EQ(Window.pnlPermInpReading->text(), "2.500 V");
    EXPECT_EQ(Window.pnlPermInpMin->text(), "-9.000 V");
    EXPECT_EQ(Window.edInpMax->text(), "9.500");
    EXPECT_EQ(Window.pnlTemp->text(), "31.3");
    EXPECT_EQ(Window.pnlCalTemp->text(), "23.5");
    EXPECT_TRUE(Window.calSwitch->On());
    EXPECT_EQ(Window.lvInpCalStat->SubItem(0, 0), "OK");
    EXPECT_EQ(Window.lvInpCalStat->SubItem(1, 0), "UNCAL");
    EXPECT_EQ(Window.lvInpCalStat->SubItem(10, 1), "OK");
    EXPECT_EQ(Window.lvInpCalStat->CellColor(0, 1), clGreen);
    EXPECT_EQ(Window.lvInpCalStat->CellColor(1, 1), clRed);
    EXPECT_EQ(Window.sw15->y(), 29);
    EXPECT_TRUE(Window.cmbInpRanges->isEnabled());
    EXPECT_TRUE(Window.btnSetOutRange->isEnabled());
    EXPECT_FALSE(Window.beInpZero->isEnabled()) << "not in normal mode";
    EXPECT_TRUE(Window.InputEventsArmed);
    EXPECT_EQ(StatusText(), "Success.");
}

TEST_F(Sections, LaterProgrammedReadsRefreshOnlyTheProgrammedHalf) {
    Window.btnGetPermInpRange->click();
    AnswerInput(4, Input(5));
    Window.btnGetPermInpRange->click();
    InputRangeStatus r = Input(0, 0);
    r.Reading = -12.34f;
    AnswerInput(4, r);
    EXPECT_EQ(Window.pnlPermInpRange->text(), "\u00B1300 mV");
    EXPECT_EQ(Window.pnlPermInpReading->text(), "-12.3 mV");
    EXPECT_EQ(Window.pnlPermInpRange->FontColor(), clRed);
    EXPECT_EQ(Window.cmbInpRanges->currentIndex(), 5) << "the combo keeps the active range";
    EXPECT_EQ(Window.pnlTempInpReading->text(), "2.500 V");
    EXPECT_EQ(Window.pnlTempInpReading->FontColor(), clBlack);
    EXPECT_EQ(Window.edInpMin->text(), "-9.000");
    // SW1 follows the programmed range; the calibration points, the units and the limit checks
    // stay with the range in the list, which a calibration or programming names.
    EXPECT_EQ(Window.sw1->accessibleName().toStdString(),
              "SW1: 1 down, 2 up, 3 up, 4 down, 5 down, 6 down");
    EXPECT_EQ(Window.lblInpMinUnit->text(), "V");
    EXPECT_EQ(Window.beInpFull->text(), "10.000");
    EXPECT_EQ(Window.CurrentInputRange, 5);
}

TEST_F(Sections, ActiveAnswersLeaveTheProgrammedHalf) {
    Window.btnGetPermInpRange->click();
    AnswerInput(4, Input(5));
    Window.cmbInpRanges->setCurrentIndex(7);
    Sent();
    AnswerInput(6, Input(8, 0));
    EXPECT_EQ(Window.cmbInpRanges->currentIndex(), 8) << "the module's range wins";
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(Window.pnlTempInpReading->FontColor(), clRed);
    EXPECT_EQ(Window.pnlPermInpRange->FontColor(), clBlack);
    EXPECT_EQ(Window.pnlPermInpRange->text(), "\u00B110 V");
    EXPECT_EQ(Window.pnlTempInpReading->text(), "2.500 mA");
    Window.btnGetTempInpRange->click();
    AnswerInput(3, Input(8, 1));
    EXPECT_EQ(Window.pnlTempInpReading->FontColor(), clBlack) << "black again";
}

TEST_F(Sections, StatusZeroAndUnknownRangesChangeOnlyTheStatusLine) {
    Window.btnGetPermInpRange->click();
    AnswerInput(4, Input(5));
    const QString before = Window.pnlPermInpRange->text();
    for (const Bytes& body : {Bytes{0x04, 0x00, 0x02, 0x01}, Bytes{0x04}}) {
        Window.btnGetPermInpRange->click();
        Answer(body);
        EXPECT_EQ(StatusText(), "Failed.");
        Clock.Advance(std::chrono::milliseconds(2035)); // read before the next request leaves
    }
    InputRangeStatus bad = Input(255);
    Window.btnGetPermInpRange->click();
    AnswerInput(4, bad);
    EXPECT_EQ(StatusText(), "Failed.");
    Clock.Advance(std::chrono::milliseconds(2035));
    OutputRangeStatus badOut = Output(2);
    Window.btnGetPermOutRange->click();
    AnswerOutput(20, badOut);
    EXPECT_EQ(StatusText(), "Failed.");
    EXPECT_EQ(Window.pnlPermInpRange->text(), before);
    EXPECT_EQ(Window.pnlPermOutRange->text(), "N/A");
    EXPECT_EQ(Window.cmbInpRanges->currentIndex(), 5);
    EXPECT_FALSE(Window.cmbOutRanges->isEnabled());
    EXPECT_EQ(Prompts.Beeps, 4);
}

TEST_F(Sections, OutputReadersFillTheirHalves) {
    Window.btnGetPermOutRange->click();
    Sent();
    AnswerOutput(20, Output(0, 0));
    EXPECT_EQ(Window.pnlPermOutRange->text(), "\u00B110 V");
    EXPECT_EQ(Window.pnlOutZeroP->text(), "1000");
    EXPECT_EQ(Window.pnlOutFsP->text(), "61000");
    EXPECT_EQ(Window.seOutZero->value(), 1000);
    EXPECT_EQ(Window.pnlPermOut->text(), "5.000 V");
    EXPECT_EQ(Window.pnlTempOut->text(), "5.000 V");
    EXPECT_EQ(Window.pnlPermOutMin->text(), "-9.000 V");
    EXPECT_EQ(Window.edOutMax->text(), "8.000");
    EXPECT_EQ(Window.pnlOutInvertP->text(), "Yes");
    EXPECT_TRUE(Window.cbInvertOut->isChecked());
    for (QWidget* w : std::initializer_list<QWidget*>{Window.pnlPermOutRange, Window.pnlPermOut,
                                                      Window.pnlTempOut}) {
        EXPECT_EQ(static_cast<ValueLabel*>(w)->FontColor(), clRed);
    }
    EXPECT_EQ(Window.lblTempOutRange->palette().color(QPalette::WindowText), clRed);
    EXPECT_EQ(Window.lvOutCalStat->SubItem(0, 1), "OK");
    EXPECT_EQ(Window.lvOutCalStat->SubItem(1, 1), "UNCAL");
    EXPECT_EQ(Window.pnlCalTemp->text(), "22.5");
    EXPECT_TRUE(Window.calSwitch->On());
    EXPECT_TRUE(Sent().empty()) << "setting the spin edits sends nothing";
    EXPECT_TRUE(Window.cmbOutRanges->isEnabled());
    EXPECT_FALSE(Window.btnGetTempOutRange->isEnabled()) << "the input enables that one";

    // A later programmed read leaves the active half alone.
    OutputRangeStatus p = Output(1);
    p.Invert = 0;
    p.ZeroCode = p.FullCode = 5000; // no slope
    Window.btnGetPermOutRange->click();
    AnswerOutput(20, p);
    EXPECT_EQ(Window.pnlPermOut->text(), "N/A");
    EXPECT_EQ(Window.pnlOutInvertP->text(), "No");
    EXPECT_TRUE(Window.cbInvertOut->isChecked());
    EXPECT_EQ(Window.seOutZero->value(), 1000);
    EXPECT_EQ(Window.pnlTempOut->text(), "5.000 V");
    EXPECT_EQ(Window.OutJumper->x(), 191) << "the picture follows the programmed range";
    EXPECT_EQ(StatusText(), "Success.");

    // An active answer leaves the programmed half alone.
    OutputRangeStatus a = Output(1);
    a.OutputCode = 16000;
    Window.btnGetPermInpRange->click();
    AnswerInput(4, Input(5)); // enables the output range buttons
    Window.btnGetTempOutRange->click();
    Sent();
    AnswerOutput(19, a);
    EXPECT_EQ(Window.pnlTempOut->text(), "5.000 mA");
    EXPECT_EQ(Window.pnlPermOut->text(), "N/A");
    EXPECT_EQ(Window.cmbOutRanges->currentIndex(), 1);
    EXPECT_TRUE(Sent().empty());
    EXPECT_TRUE(Window.OutputEventsArmed);
}

TEST_F(Sections, ProgrammingAnInputRangeSendsTheToolkitVersionWhateverItsStatus) {
    Window.btnGetPermInpRange->click();
    AnswerInput(4, Input(5));
    Window.edInpMin->setText("-1");
    Window.edInpMax->setText("1");
    Window.btnSetInputRange->click();
    Sent();
    Answer({0x07, 0x00});
    EXPECT_EQ(StatusText(), "Failed.") << "readable before the version is written";
    EXPECT_TRUE(Sent().empty());
    Clock.Advance(std::chrono::milliseconds(2035));
    EXPECT_EQ(StatusText(), "Setting Toolkit version...");
    EXPECT_EQ(Sent(), (Bytes{0x02, 0x33, 0xAB, 0x03}));
    Answer({0x33, 0x00});
    EXPECT_EQ(StatusText(), "Error occured while performing the operation !");
    EXPECT_EQ(StatusColor(), clRed);
    Clock.Advance(std::chrono::milliseconds(2035));
    Window.btnSetInputRange->click();
    Sent();
    AnswerInput(7, Input(5));
    EXPECT_EQ(Sent(), (Bytes{0x02, 0x33, 0xAB, 0x03}));
    Answer({0x33, 0x01});
    EXPECT_EQ(StatusText(), "Success.");
    // Once per programming answer: a code 7 in answer to the toolkit version, or one the
    // module sends on its own, answers nothing and writes nothing.
    Window.btnSetInputRange->click();
    Sent();
    AnswerInput(7, Input(5));
    EXPECT_EQ(Sent(), (Bytes{0x02, 0x33, 0xAB, 0x03}));
    AnswerInput(7, Input(3));
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(Window.pnlPermInpRange->text(), "\u00B110 V");
    EXPECT_EQ(StatusText(), "Setting Toolkit version...");
}

TEST_F(Sections, VersionTextLosesTrailingControlsOnly) {
    Window.sbMainPanels1DblClick(Window.sbMain);
    Bytes body{0x30};
    for (char c : std::string("V 2.0  beta\x01x")) {
        body.push_back(static_cast<quint8>(c));
    }
    body.insert(body.end(), {0x20, 0x00, 0x09, 0x1F});
    Answer(body);
    EXPECT_EQ(Window.sbMain->PanelText(1), QString::fromLatin1("V 2.0  beta\x01x"));
    EXPECT_EQ(StatusText(), "Success.");
    // The module's text is shown as it is, never as markup.
    const std::string markup = "<b>Mod</b> &lt;v2&gt;";
    Window.sbMainPanels1DblClick(Window.sbMain);
    body.assign({0x30});
    body.insert(body.end(), markup.begin(), markup.end());
    Answer(body);
    const QLabel* panel = Window.sbMain->Panel(1);
    EXPECT_EQ(panel->text(), QString::fromStdString(markup));
    EXPECT_GE(panel->sizeHint().width(), panel->fontMetrics().horizontalAdvance(panel->text()));
}

TEST_F(Sections, CalModeTwoShowsCalAndAClickStillSendsZeroOrOne) {
    FirstReads(true);
    Window.QueryCalMode();
    Sent();
    Answer({0x21, 0x02});
    EXPECT_TRUE(Window.calSwitch->On());
    QTest::mouseClick(Window.calSwitch, Qt::LeftButton, {}, QPoint(20, 45));
    EXPECT_EQ(Sent(), (Bytes{0x02, 0x20, 0x00, 0x03}));
}

TEST_F(Sections, CellsAreColouredOnlyOnceStartUpIsDone) {
    Window.FormReady = false;
    const QColor plain = Window.lvInpCalStat->palette().color(QPalette::Text);
    EXPECT_EQ(Window.lvInpCalStat->CellColor(0, 1), plain);
    Window.FormReady = true;
    EXPECT_EQ(Window.lvInpCalStat->CellColor(0, 1), clBlack) << "N/A is black";
    EXPECT_EQ(Window.lvInpCalStat->CellColor(0, 0), plain) << "captions are not coloured";
}

} // namespace
} // namespace zx::test
