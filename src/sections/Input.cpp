// The Input group: reading, selecting, programming and calibrating input ranges.
#include "TfrmMain.h"

#include "Catalogue.h"
#include "Limits.h"
#include "NumberText.h"
#include "RangeTables.h"
#include "SectionText.h"

namespace zx {

using namespace section;

void TfrmMain::FillInputRangeCombo() {
    for (const IRange& range : InputRanges) {
        cmbInpRanges->AddItem(Text(range.Caption));
    }
    cmbInpRanges->setCurrentIndex(0);
}

void TfrmMain::FillInputCalList() {
    FillCalList(lvInpCalStat, InputRanges);
}

void TfrmMain::ShowInputCalFlags(quint16 zero, quint16 full) {
    ShowCalFlags(lvInpCalStat, zero, full);
}

void TfrmMain::lvInpCalStatCustomDrawSubItem(StatusList* Sender, int row, int subItem,
                                             QColor& color) {
    if (!FormReady) {
        return;
    }
    const QString text = Sender->SubItem(row, subItem - 1);
    if (text == QLatin1String("OK")) {
        color = clGreen;
    } else if (text == QLatin1String("UNCAL")) {
        color = clRed;
    } else {
        color = clBlack;
    }
}

// ---- Requests ----------------------------------------------------------------------------

void TfrmMain::beInpZeroPropertiesButtonClick(QObject*) {
    ShowStatus(QStringLiteral("Calibrating input ZS..."), Busy);
    BuildRequest(Codec, {.Code = cmdCalInputZero, .Range = RangeCodeOf(cmbInpRanges)});
    SendRequest();
}

void TfrmMain::beInpFullPropertiesButtonClick(QObject*) {
    ShowStatus(QStringLiteral("Calibrating input FS..."), Busy);
    const auto full = EditValue(beInpFull->text());
    if (!full) {
        return;
    }
    BuildRequest(Codec,
                 {.Code = cmdCalInputFull, .Range = RangeCodeOf(cmbInpRanges), .FullScale = *full});
    SendRequest();
}

void TfrmMain::btnGetPermInpRangeClick(QObject*) {
    ShowStatus(QStringLiteral("Reading range..."), Busy);
    BuildRequest(Codec, {.Code = cmdReadProgrammedInput});
    SendRequest();
}

void TfrmMain::btnGetTempInpRangeClick(QObject*) {
    ShowStatus(QStringLiteral("Reading active range..."), Busy);
    BuildRequest(Codec, {.Code = cmdReadActiveInput, .Range = RangeCodeOf(cmbInpRanges)});
    SendRequest();
}

void TfrmMain::cmbInpRangesPropertiesEditValueChanged(QObject*) {
    if (!InputEventsArmed) {
        return; // the program's own selection sends nothing
    }
    ShowStatus(QStringLiteral("Changing input range..."), Busy);
    BuildRequest(Codec, {.Code = cmdSelectInputRange, .Range = RangeCodeOf(cmbInpRanges)});
    SendRequest(RequestQueue::Sets::InputRange);
}

bool TfrmMain::InputLimitsInvalid() {
    const SingleConversion minimum = TextToSingle(edInpMin->text().toStdString());
    const SingleConversion maximum = TextToSingle(edInpMax->text().toStdString());
    if (!minimum.Ok || !maximum.Ok) {
        return false; // the request builder reports the text that is not a number
    }
    return !InputLimitsFit(CurrentInputRange, minimum.Value, maximum.Value);
}

void TfrmMain::btnSetInputRangeClick(QObject*) {
    if (InputLimitsInvalid()) {
        Prompts_.Error(this, QString::fromStdString(InputLimitsRefusal(CurrentInputRange)));
        return;
    }
    // No range change may start while the permanent range is being built and sent.
    InputEventsArmed = false;
    ShowStatus(QStringLiteral("Setting range..."), Busy);
    const auto minimum = EditValue(edInpMin->text());
    const auto maximum = minimum ? EditValue(edInpMax->text()) : std::nullopt;
    if (minimum && maximum) {
        BuildRequest(Codec, {.Code = cmdProgramInputRange,
                             .Range = RangeCodeOf(cmbInpRanges),
                             .Minimum = *minimum,
                             .Maximum = *maximum});
        SendRequest();
    }
    InputEventsArmed = true;
}

// An emptied limit takes the limit of the range last shown.
void TfrmMain::edInpMinExit(QObject*) {
    const IRange& range = InputRanges[static_cast<std::size_t>(CurrentInputRange)];
    FillEmptyLimit(edInpMin, range.MinLimit, range.DisplayFormat);
}

void TfrmMain::edInpMaxExit(QObject*) {
    const IRange& range = InputRanges[static_cast<std::size_t>(CurrentInputRange)];
    FillEmptyLimit(edInpMax, range.MaxLimit, range.DisplayFormat);
}

void TfrmMain::mnuClearInCalClick(QObject*) {
    BuildRequest(Codec, {.Code = cmdClearInputCalFlags});
    SendRequest();
}

// ---- Status records ----------------------------------------------------------------------

namespace {
enum class InputView { Active, Programmed, Both };
} // namespace

// The three readers differ only in which half of the group they fill; the steps run in one
// fixed order for all of them.
static void ApplyInput(TfrmMain& w, InputView view) {
    const InputRangeStatus r = ReadInputRangeStatus(w.Codec);
    if (r.Status == 0) {
        w.ShowStatus(QStringLiteral("Failed."), Error);
        return;
    }
    // A range the tables do not know is refused as a whole rather than shown in part.
    if (!IsInputRangeCode(r.RangeCode)) {
        w.ShowStatus(QStringLiteral("Failed."), Error);
        return;
    }
    // While a newer choice of the technician waits, the list and what belongs to its range
    // stay where the hand put them: the answer to that choice will set them.
    const bool held = w.Requests().Holds(RequestQueue::Sets::InputRange);
    const bool active = view != InputView::Programmed && !held; // the lower, active half
    const bool programmed = view != InputView::Active;          // the upper, programmed half
    if (active) {
        w.InputEventsArmed = false;
    }
    const IRange& range = InputRanges[r.RangeCode];
    const QColor okColor = OkColor(r.RangeOk != 0);

    if (!held && active) {
        w.ShowInputRange(r.RangeCode);
    } else if (!held) {
        // The calibration points belong to the range in the list, which the calibrations name;
        // SW1 shows how the module must be set for the range it reports.
        w.ShowInputRange(RangeCodeOf(w.cmbInpRanges));
        w.ShowSwitchPattern(r.RangeCode);
    }
    if (programmed) {
        w.pnlPermInpRange->setText(Text(range.Caption));
    }
    if (active) {
        w.cmbInpRanges->setCurrentIndex(r.RangeCode);
        w.pnlTempInpReading->SetFontColor(okColor);
    }
    if (programmed) {
        w.pnlPermInpRange->SetFontColor(okColor);
        // Said in words too, for those who do not see the red.
        w.pnlPermInpRange->setAccessibleDescription(
            r.RangeOk != 0 ? QString()
                           : QStringLiteral("SW1 is not set for this range: set it as SW1 shows"));
    }
    if (active) {
        w.pnlTempInpReading->setText(WithUnit(r.Reading, range.DisplayFormat, range.UnitText));
    }
    if (programmed) {
        w.pnlPermInpReading->setText(WithUnit(r.Reading, range.DisplayFormat, range.UnitText));
    }
    w.ShowInputCalFlags(r.ZeroCalFlags, r.FullCalFlags);
    if (active) {
        w.edInpMin->setText(Number(r.MinValue, range.DisplayFormat));
        w.edInpMax->setText(Number(r.MaxValue, range.DisplayFormat));
    }
    if (programmed) {
        w.pnlPermInpMin->setText(WithUnit(r.MinValue, range.DisplayFormat, range.UnitText));
        w.pnlPermInpMax->setText(WithUnit(r.MaxValue, range.DisplayFormat, range.UnitText));
    }
    w.pnlTemp->setText(Temperature(r.TA));
    w.pnlCalTemp->setText(Temperature(r.TCAL));
    w.SetToggle(r.CalMode);
    if (programmed) {
        w.EnableInputControls();
    }
    w.ShowStatus(QStringLiteral("Success."), Success);
    if (active) {
        w.InputEventsArmed = true;
    }
}

void TfrmMain::ApplyActiveInputStatus() {
    ApplyInput(*this, InputView::Active);
}

void TfrmMain::ApplyProgrammedInputStatus() {
    ApplyInput(*this, InputView::Programmed);
}

void TfrmMain::ApplyInputStatus() {
    ApplyInput(*this, InputView::Both);
}

} // namespace zx
