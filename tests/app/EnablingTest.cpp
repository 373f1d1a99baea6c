#include "WindowFixture.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>

#include <clocale>

namespace zx::test {
namespace {

class Enabling : public WindowFixture {
protected:
    void SetUp() override { StartWithoutPort(); }

    std::map<std::string, bool> States() const {
        std::map<std::string, bool> s;
        for (QWidget* w : WorkingControls()) {
            s[w->objectName().toStdString()] = w->isEnabled();
        }
        s["mnuClearInCal"] = Window.mnuClearInCal->isEnabled();
        s["mnuClearOutCal"] = Window.mnuClearOutCal->isEnabled();
        return s;
    }
    std::vector<QWidget*> WorkingControls() const {
        const TfrmMain& w = Window;
        return {w.pnlTempInpReading, w.beInpZero,    w.beInpFull,          w.edInpMin,
                w.edInpMax,          w.cmbInpRanges, w.btnGetTempInpRange, w.btnSetInputRange,
                w.lvInpCalStat,      w.calSwitch,    w.cmbOutRanges,       w.btnGetTempOutRange,
                w.btnSetOutRange,    w.seOutZero,    w.seOutFull,          w.btnOutZero,
                w.btnOutFull,        w.pnlTempOut,   w.edOutMin,           w.edOutMax,
                w.cbInvertOut,       w.lvOutCalStat};
    }
    std::set<std::string> Enabled() const {
        std::set<std::string> on;
        for (const auto& [name, enabled] : States()) {
            if (enabled) {
                on.insert(name);
            }
        }
        return on;
    }
    void PressChord(Qt::KeyboardModifiers mods, QWidget* target = nullptr) {
        QTest::keyClick(target != nullptr ? target : Window.btnGetPermInpRange, Qt::Key_F11, mods);
    }
    static constexpr auto AllThree = Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier;
};

TEST_F(Enabling, StartUpDisablesEveryWorkingControl) {
    EXPECT_TRUE(Enabled().empty()) << "only the read-programmed buttons react";
    EXPECT_TRUE(Window.btnGetPermInpRange->isEnabled());
    EXPECT_TRUE(Window.btnGetPermOutRange->isEnabled());
    EXPECT_TRUE(Window.pnlPermInpRange->isEnabled());
}

TEST_F(Enabling, InputEnablesItsGroupAndTheOutputRangeButtons) {
    Window.EnableInputControls();
    EXPECT_EQ(Enabled(),
              (std::set<std::string>{"pnlTempInpReading", "edInpMin", "edInpMax", "cmbInpRanges",
                                     "btnGetTempInpRange", "btnSetInputRange", "lvInpCalStat",
                                     "btnGetTempOutRange", "btnSetOutRange"}));
}

TEST_F(Enabling, OutputEnablesItsWorkingControlsButNotTheRangeButtons) {
    Window.EnableOutputControls();
    EXPECT_EQ(Enabled(), (std::set<std::string>{"cmbOutRanges", "pnlTempOut", "edOutMin",
                                                "edOutMax", "cbInvertOut", "lvOutCalStat"}));
}

TEST_F(Enabling, FullModeControlsOnlyAtTheNextEnableInFullMode) {
    PressChord(AllThree);
    ASSERT_TRUE(Window.FullMode);
    EXPECT_TRUE(Enabled().empty()) << "entering full mode enables nothing by itself";
    Window.EnableInputControls();
    const auto input = Enabled();
    for (const char* name : {"beInpZero", "beInpFull", "calSwitch", "mnuClearInCal"}) {
        EXPECT_EQ(input.count(name), 1u) << name;
    }
    EXPECT_EQ(input.count("seOutZero"), 0u);
    Window.EnableOutputControls();
    const auto all = Enabled();
    for (const char* name :
         {"seOutZero", "seOutFull", "btnOutZero", "btnOutFull", "mnuClearOutCal"}) {
        EXPECT_EQ(all.count(name), 1u) << name;
    }
    EXPECT_EQ(all.size(), WorkingControls().size() + 2) << "everything is usable";
}

TEST_F(Enabling, TheChordAsksOnceAndMarksTheTitle) {
    Prompts.Events.clear();
    Prompts.ConfirmAnswer = false;
    PressChord(AllThree);
    EXPECT_FALSE(Window.FullMode);
    EXPECT_EQ(Prompts.Events,
              QStringList({"beep", "confirm: Do you want to switch to full mode?"}));
    Prompts.ConfirmAnswer = true;
    PressChord(AllThree);
    EXPECT_TRUE(Window.FullMode);
    EXPECT_EQ(Window.windowTitle(), MainTitle + " (full)");
    PressChord(AllThree);
    EXPECT_EQ(Prompts.Confirms.size(), 2) << "in full mode the chord does nothing";
    EXPECT_EQ(Prompts.Beeps, 3); // start-up's no-port beep and the two chords
    EXPECT_EQ(Window.windowTitle(), MainTitle + " (full)");
}

TEST_F(Enabling, TheChordNeedsExactlyCtrlAltShiftOnTheButton) {
    const int beeps = Prompts.Beeps;
    PressChord(Qt::ControlModifier | Qt::AltModifier);
    PressChord(Qt::ControlModifier | Qt::ShiftModifier);
    PressChord(AllThree | Qt::MetaModifier);
    QTest::keyClick(Window.btnGetPermInpRange, Qt::Key_F10, AllThree);
    PressChord(AllThree, Window.btnGetPermOutRange); // another control has the focus
    EXPECT_FALSE(Window.FullMode);
    EXPECT_EQ(Prompts.Beeps, beeps);
    int key = Qt::Key_F11;
    Window.btnGetInpRangeKeyDown(Window.btnGetPermInpRange, key, ssCtrl | ssAlt | ssShift | ssLeft);
    EXPECT_FALSE(Window.FullMode) << "a mouse button held";
    EXPECT_EQ(key, Qt::Key_F11);
}

TEST_F(Enabling, ADisabledListOpensNoMenuAndShiftF10OpensItToo) {
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 30), QPoint(10, 30));
    QApplication::sendEvent(Window.lvInpCalStat->viewport(), &event);
    ProcessEventsFor(20);
    EXPECT_FALSE(Window.popInCal->isVisible());
    Window.EnableInputControls();
    QApplication::sendEvent(Window.lvInpCalStat->viewport(), &event);
    // A compositor may take its time to show a popup on a loaded machine.
    EXPECT_TRUE(WaitUntil([&] { return Window.popInCal->isVisible(); }, 2000));
    EXPECT_FALSE(Window.mnuClearInCal->isEnabled()) << "its item needs full mode";
    Window.popInCal->close();
    // From the keyboard, on a laptop without a Menu key; the description says how.
    QTest::keyClick(Window.lvInpCalStat, Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_TRUE(WaitUntil([&] { return Window.popInCal->isVisible(); }, 2000));
    Window.popInCal->close();
    EXPECT_TRUE(Window.lvInpCalStat->accessibleDescription().contains("Shift+F10"));
    EXPECT_TRUE(Window.beInpZero->accessibleDescription().contains("Ctrl+Enter"));
}

TEST_F(Enabling, TheToggleTurnsOnlyByTheHalfThatIsPressed) {
    ToggleSwitch* s = Window.calSwitch;
    s->setEnabled(true);
    int clicks = 0;
    QObject::connect(s, &ToggleSwitch::Clicked, [&] { ++clicks; });
    const QPoint upper(20, 10);
    const QPoint lower(20, 45);
    QTest::mouseClick(s, Qt::LeftButton, {}, lower); // lower half while RUN: stays RUN
    EXPECT_FALSE(s->On());
    QTest::mouseClick(s, Qt::LeftButton, {}, upper);
    EXPECT_TRUE(s->On());
    QTest::mouseClick(s, Qt::LeftButton, {}, upper); // upper half while CAL: stays CAL
    EXPECT_TRUE(s->On());
    QTest::mouseClick(s, Qt::LeftButton, {}, lower);
    EXPECT_FALSE(s->On());
    EXPECT_EQ(clicks, 4) << "every release over it is a click";
    QTest::mousePress(s, Qt::LeftButton, {}, upper);
    QTest::mouseRelease(s, Qt::LeftButton, {}, QPoint(200, 200));
    EXPECT_EQ(clicks, 4) << "released elsewhere: no click";
    s->SetOn(false);
    EXPECT_EQ(clicks, 4) << "the program's setting raises no click";
}

TEST_F(Enabling, TheMaskAdmitsNumbersAndRefusesTheRest) {
    NumberEdit* edit = Window.edInpMin;
    EXPECT_EQ(edit->EditMask(), "\\-?\\d+\\.?\\d+?");
    edit->setEnabled(true);
    // A comma is the point wherever a point fits, whatever the locale: the keypad's decimal key
    // types one under a comma locale.
    const std::vector<std::pair<const char*, const char*>> typed = {
        {"5", "5"},        {"-5", "-5"}, {"5.", "5."},   {"5.25", "5.25"}, {"-0.125", "-0.125"},
        {"5.2.1", "5.21"}, {"+5", "5"},  {"1e3", "13"},  {".5", "5"},      {"a7", "7"},
        {"--5", "-5"},     {"5-", "5"},  {"0,5", "0.5"}, {"-7,5", "-7.5"}, {"1,,2", "1.2"},
        {"1.5,", "1.5"},   {",5", "5"}};
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    for (const char* locale : {"C", "de_DE.UTF-8"}) {
        ASSERT_NE(std::setlocale(LC_ALL, locale), nullptr);
        QLocale::setDefault(QLocale(QString::fromLatin1(locale)));
        for (const auto& [keys, expected] : typed) {
            edit->clear();
            QTest::keyClicks(edit, keys);
            EXPECT_EQ(edit->text(), expected) << keys << " under " << locale;
        }
        edit->clear();
        QTest::keyClick(edit, Qt::Key_3, Qt::KeypadModifier);
        QTest::keyClick(edit, Qt::Key_Comma, Qt::KeypadModifier);
        QTest::keyClick(edit, Qt::Key_7, Qt::KeypadModifier);
        EXPECT_EQ(edit->text(), "3.7") << "the keypad under " << locale;
    }
    std::setlocale(LC_ALL, saved.c_str());
    QLocale::setDefault(QLocale::c());
    edit->setText("12");
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    EXPECT_TRUE(edit->text().isEmpty()) << "an edit may be emptied";
}

TEST_F(Enabling, SpinEditsStepByOneAndPageByAHundredWithinTheirLimits) {
    CodeSpinEdit* spin = Window.seOutZero;
    spin->setEnabled(true);
    spin->setFocus();
    QTest::keyClick(spin, Qt::Key_Up);
    EXPECT_EQ(spin->value(), 1);
    QTest::keyClick(spin, Qt::Key_PageUp);
    EXPECT_EQ(spin->value(), 101);
    spin->setValue(65500);
    QTest::keyClick(spin, Qt::Key_PageUp);
    EXPECT_EQ(spin->value(), 65535);
    spin->setValue(50);
    QTest::keyClick(spin, Qt::Key_PageDown);
    EXPECT_EQ(spin->value(), 0);
}

} // namespace
} // namespace zx::test
