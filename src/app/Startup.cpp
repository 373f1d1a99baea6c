// The start-up sequence, run once just before the window first reaches the screen.
#include "TfrmMain.h"

#include "Hints.h"

#include <QSignalBlocker>

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

    StartupFace_ = {};
    for (ValueLabel* label : findChildren<ValueLabel*>()) {
        StartupFace_.Labels.emplace_back(label, label->palette());
        StartupFace_.Texts.push_back(label->text());
        StartupFace_.Descriptions.push_back(label->accessibleDescription());
    }
    for (QLineEdit* edit : {edInpMin, edInpMax, edOutMin, edOutMax}) {
        StartupFace_.Edits.push_back(edit);
        StartupFace_.Texts.push_back(edit->text());
    }
    StartupFace_.ZeroCode = seOutZero->value();
    StartupFace_.FullCode = seOutFull->value();
    StartupFace_.Invert = cbInvertOut->isChecked();

    FormReady = true;
}

void TfrmMain::ForgetModule() {
    InputEventsArmed = false;
    OutputEventsArmed = false;
    std::size_t text = 0;
    for (const auto& [label, palette] : StartupFace_.Labels) {
        label->setAccessibleDescription(StartupFace_.Descriptions[text]);
        label->setText(StartupFace_.Texts[text++]);
        label->setPalette(palette);
    }
    for (QLineEdit* edit : StartupFace_.Edits) {
        edit->setText(StartupFace_.Texts[text++]);
    }
    {
        // The program's own settings: no DAC code is driven, no inversion sent.
        const QSignalBlocker zero(seOutZero), full(seOutFull), invert(cbInvertOut);
        seOutZero->setValue(StartupFace_.ZeroCode);
        seOutFull->setValue(StartupFace_.FullCode);
        cbInvertOut->setChecked(StartupFace_.Invert);
    }
    cmbInpRanges->setCurrentIndex(0);
    cmbOutRanges->setCurrentIndex(0);
    FillInputCalList();
    FillOutputCalList();
    DisableInputControls();
    DisableOutputControls();
    ShowInputRange(cmbInpRanges->currentIndex());
    ShowOutputRange(cmbOutRanges->currentIndex());
    sbMain->SetPanelText(1, QString());
    InputEventsArmed = true;
    OutputEventsArmed = true;
}

} // namespace zx
