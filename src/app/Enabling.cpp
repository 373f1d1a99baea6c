// Which controls are usable when, and the hidden chord that unlocks full mode.
#include "TfrmMain.h"

namespace zx {

void TfrmMain::DisableInputControls() {
    pnlTempInpReading->setEnabled(false);
    beInpZero->setEnabled(false);
    beInpFull->setEnabled(false);
    edInpMin->setEnabled(false);
    edInpMax->setEnabled(false);
    cmbInpRanges->setEnabled(false);
    btnGetTempInpRange->setEnabled(false);
    btnSetInputRange->setEnabled(false);
    lvInpCalStat->setEnabled(false);
    mnuClearInCal->setEnabled(false);
    calSwitch->setEnabled(false);
}

void TfrmMain::DisableOutputControls() {
    cmbOutRanges->setEnabled(false);
    btnGetTempOutRange->setEnabled(false);
    btnSetOutRange->setEnabled(false);
    seOutZero->setEnabled(false);
    seOutFull->setEnabled(false);
    btnOutZero->setEnabled(false);
    btnOutFull->setEnabled(false);
    pnlTempOut->setEnabled(false);
    edOutMin->setEnabled(false);
    edOutMax->setEnabled(false);
    cbInvertOut->setEnabled(false);
    lvOutCalStat->setEnabled(false);
    mnuClearOutCal->setEnabled(false);
    calSwitch->setEnabled(false);
}

void TfrmMain::EnableInputControls() {
    pnlTempInpReading->setEnabled(true);
    // The output group's range buttons follow the input: making an input range permanent also
    // makes the output range permanent.
    btnGetTempOutRange->setEnabled(true);
    btnSetOutRange->setEnabled(true);
    edInpMin->setEnabled(true);
    edInpMax->setEnabled(true);
    cmbInpRanges->setEnabled(true);
    btnGetTempInpRange->setEnabled(true);
    btnSetInputRange->setEnabled(true);
    lvInpCalStat->setEnabled(true);
    if (!FullMode) {
        return;
    }
    beInpZero->setEnabled(true);
    beInpFull->setEnabled(true);
    calSwitch->setEnabled(true);
    mnuClearInCal->setEnabled(true);
}

void TfrmMain::EnableOutputControls() {
    cmbOutRanges->setEnabled(true);
    pnlTempOut->setEnabled(true);
    edOutMin->setEnabled(true);
    edOutMax->setEnabled(true);
    cbInvertOut->setEnabled(true);
    lvOutCalStat->setEnabled(true);
    if (!FullMode) {
        return;
    }
    seOutZero->setEnabled(true);
    seOutFull->setEnabled(true);
    btnOutZero->setEnabled(true);
    btnOutFull->setEnabled(true);
    mnuClearOutCal->setEnabled(true);
    calSwitch->setEnabled(true);
}

void TfrmMain::EnterFullMode() {
    FullMode = true;
    setWindowTitle(windowTitle() + QStringLiteral(" (full)"));
}

void TfrmMain::btnGetInpRangeKeyDown(QObject*, int& Key, TShiftState Shift) {
    if (Shift != (ssCtrl | ssAlt | ssShift) || Key != Qt::Key_F11 || FullMode) {
        return;
    }
    Prompts_.Beep();
    if (Prompts_.Confirm(this, QStringLiteral("Do you want to switch to full mode?"))) {
        EnterFullMode();
        Key = 0;
    }
}

} // namespace zx
