// The start-up sequence, run once just before the window first reaches the screen.
#include "TfrmMain.h"

#include "Hints.h"

namespace zx {

void TfrmMain::FormShow(QObject*) {
    RunStartup([this] { return SelectPort(); });
}

void TfrmMain::RunStartup(const std::function<bool()>& selectPort) {
    Shown_ = true; // once per run, whoever starts it
    FormReady = false;

    // The layout's mask wants a decimal point; the working mask makes it optional. The other
    // edits take theirs from beInpZero.
    beInpZero->SetEditMask(QStringLiteral("\\-?\\d+\\.?\\d+?"));
    for (NumberEdit* edit :
         {static_cast<NumberEdit*>(beInpFull), edInpMin, edInpMax, edOutMin, edOutMax}) {
        edit->SetEditMask(beInpZero->EditMask());
    }

    setWindowTitle(MainTitle);

    if (!selectPort()) {
        Prompts_.Beep();
        Prompts_.Information(
            this,
            QStringLiteral("No COM port defined. Program will not communicate with the unit."));
    }

    FullMode = false;
    InputEventsArmed = false;
    OutputEventsArmed = false;

    FillInputCalList();
    FillOutputCalList();
    FillInputRangeCombo();
    FillOutputRangeCombo();

    DisableInputControls();
    DisableOutputControls();

    ShowInputRange(cmbInpRanges->currentIndex());
    ShowOutputRange(cmbOutRanges->currentIndex());

    SetShowHint(calSwitch, true);

    QueryCalMode();

    InputEventsArmed = true;
    OutputEventsArmed = true;

    btnGetPermInpRange->setFocus(Qt::TabFocusReason);

    FormReady = true;
}

} // namespace zx
