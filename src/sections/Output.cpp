// The Output group: output ranges, limits, invert, and the live DAC trim in full mode.
#include "TfrmMain.h"

#include "Catalogue.h"
#include "Limits.h"
#include "NumberText.h"
#include "OutputValue.h"
#include "RangeTables.h"
#include "SectionText.h"

namespace zx {

using namespace section;

void TfrmMain::FillOutputRangeCombo() {
    for (const ORange& range : OutputRanges) {
        cmbOutRanges->AddItem(Text(range.Caption));
    }
    cmbOutRanges->setCurrentIndex(0);
}

void TfrmMain::FillOutputCalList() {
    FillCalList(lvOutCalStat, OutputRanges);
}

void TfrmMain::ShowOutputCalFlags(quint8 zero, quint8 full) {
    ShowCalFlags(lvOutCalStat, zero, full);
}

// ---- Requests ----------------------------------------------------------------------------

void TfrmMain::btnGetPermOutRangeClick(QObject*) {
    ShowStatus(QStringLiteral("Reading range..."), Busy);
    BuildRequest(Codec, {.Code = cmdReadProgrammedOutput});
    SendRequest();
}

void TfrmMain::btnGetTempOutRangeClick(QObject*) {
    ShowStatus(QStringLiteral("Reading active range..."), Busy);
    BuildRequest(Codec, {.Code = cmdReadActiveOutput, .Range = RangeCodeOf(cmbOutRanges)});
    SendRequest();
}

void TfrmMain::cmbOutRangesPropertiesEditValueChanged(QObject*) {
    if (!OutputEventsArmed) {
        return;
    }
    ShowStatus(QStringLiteral("Changing range..."), Busy);
    BuildRequest(Codec, {.Code = cmdSelectOutputRange, .Range = RangeCodeOf(cmbOutRanges)});
    SendRequest(RequestQueue::Sets::OutputRange);
}

// Each change of a DAC code drives the module's output at once, with no Busy text: the
// technician trims against a meter. While the text is empty the spin edit keeps its last
// value and reports no change, so nothing is sent until a number stands there again.
static void DriveDac(TfrmMain& w, const CodeSpinEdit* code) {
    if (!w.OutputEventsArmed) {
        return;
    }
    BuildRequest(w.Codec, {.Code = cmdSetOutputCode,
                           .Range = RangeCodeOf(w.cmbOutRanges),
                           .DacCode = static_cast<quint16>(code->value())});
    w.SendRequest(code == w.seOutZero ? RequestQueue::Sets::ZeroCode
                                      : RequestQueue::Sets::FullCode);
}

void TfrmMain::seOutZeroPropertiesChange(QObject*) {
    DriveDac(*this, seOutZero);
}

void TfrmMain::seOutFullPropertiesChange(QObject*) {
    DriveDac(*this, seOutFull);
}

// An emptied spin edit becomes 0 on exit, and that drives the DAC to code 0 like any other
// change, also when the edit held 0 before it was emptied (the spin box then reports no change
// of its own).
static void EmptyCodeToZero(TfrmMain& w, CodeSpinEdit* edit) {
    if (!edit->IsEmpty()) {
        return;
    }
    const bool unchanged = edit->value() == 0;
    edit->setValue(0);
    if (unchanged) {
        DriveDac(w, edit);
    }
}

void TfrmMain::seOutZeroExit(QObject*) {
    EmptyCodeToZero(*this, seOutZero);
}

void TfrmMain::seOutFullExit(QObject*) {
    EmptyCodeToZero(*this, seOutFull);
}

// An emptied limit takes the limit of the range chosen in the list.
void TfrmMain::edOutMinExit(QObject*) {
    if (const ORange* range = FindOutputRange(cmbOutRanges->currentIndex())) {
        FillEmptyLimit(edOutMin, range->MinLimit, range->DisplayFormat);
    }
}

void TfrmMain::edOutMaxExit(QObject*) {
    if (const ORange* range = FindOutputRange(cmbOutRanges->currentIndex())) {
        FillEmptyLimit(edOutMax, range->MaxLimit, range->DisplayFormat);
    }
}

// The DAC writes carry the limits unchecked: only making the range permanent checks them.
static void WriteDacCode(TfrmMain& w, bool full) {
    w.ShowStatus(full ? QStringLiteral("Writing DAC FS...") : QStringLiteral("Writing DAC ZS..."),
                 Busy);
    const auto minimum = w.EditValue(w.edOutMin->text());
    const auto maximum = minimum ? w.EditValue(w.edOutMax->text()) : std::nullopt;
    if (!minimum || !maximum) {
        return;
    }
    const CodeSpinEdit* code = full ? w.seOutFull : w.seOutZero;
    BuildRequest(w.Codec, {.Code = full ? cmdWriteOutputFull : cmdWriteOutputZero,
                           .Range = RangeCodeOf(w.cmbOutRanges),
                           .DacCode = static_cast<quint16>(code->value()),
                           .Minimum = *minimum,
                           .Maximum = *maximum,
                           .Invert = w.cbInvertOut->isChecked()});
    w.SendRequest();
}

void TfrmMain::btnOutZeroClick(QObject*) {
    WriteDacCode(*this, false);
}

void TfrmMain::btnOutFullClick(QObject*) {
    WriteDacCode(*this, true);
}

bool TfrmMain::OutputLimitsInvalid() {
    const SingleConversion minimum = TextToSingle(edOutMin->text().toStdString());
    const SingleConversion maximum = TextToSingle(edOutMax->text().toStdString());
    if (!minimum.Ok || !maximum.Ok) {
        return false; // the request builder reports the text that is not a number
    }
    return !OutputLimitsFit(cmbOutRanges->currentIndex(), minimum.Value, maximum.Value);
}

void TfrmMain::btnSetOutRangeClick(QObject*) {
    const ORange* range = FindOutputRange(cmbOutRanges->currentIndex());
    if (range == nullptr) {
        return;
    }
    if (OutputLimitsInvalid()) {
        Prompts_.Error(this,
                       QString::fromStdString(OutputLimitsRefusal(cmbOutRanges->currentIndex())));
        return;
    }
    const auto minimum = EditValue(edOutMin->text());
    const auto maximum = minimum ? EditValue(edOutMax->text()) : std::nullopt;
    if (!minimum || !maximum) {
        return;
    }
    BuildRequest(Codec, {.Code = cmdProgramOutputRange,
                         .Range = RangeCodeOf(cmbOutRanges),
                         .Minimum = *minimum,
                         .Maximum = *maximum,
                         .Invert = cbInvertOut->isChecked()});
    SendRequest();
}

void TfrmMain::mnuClearOutCalClick(QObject*) {
    BuildRequest(Codec, {.Code = cmdClearOutputCalFlags});
    SendRequest();
}

// ---- Status records ----------------------------------------------------------------------

namespace {
enum class OutputView { Active, Programmed, Both };
} // namespace

static void ApplyOutput(TfrmMain& w, OutputView view) {
    const OutputRangeStatus r = ReadOutputRangeStatus(w.Codec);
    if (r.Status == 0 || !IsOutputRangeCode(r.RangeCode)) {
        w.ShowStatus(QStringLiteral("Failed."), Error);
        return;
    }
    // While a newer choice of the technician waits (the list, a DAC code field), the answer to
    // an older request does not set that control back.
    const bool held = w.Requests().Holds(RequestQueue::Sets::OutputRange);
    const bool active = view != OutputView::Programmed && !held;
    const bool programmed = view != OutputView::Active;
    if (active) {
        w.OutputEventsArmed = false;
    }
    const ORange& range = OutputRanges[r.RangeCode];
    const QColor okColor = OkColor(r.RangeOk != 0);
    const QString output = QString::fromStdString(
        FormatOutputValue(r.RangeCode, r.ZeroCode, r.FullCode, r.OutputCode));

    if (!held && active) {
        w.ShowOutputRange(r.RangeCode);
    } else if (!held) {
        // The units belong to the range in the list, whose limits the edits hold; JP6 shows
        // how the module must be set for the range it reports.
        w.ShowOutputRange(RangeCodeOf(w.cmbOutRanges));
        w.ShowJumper(r.RangeCode);
    }
    if (programmed) {
        w.pnlPermOutRange->setText(Text(range.Caption));
    }
    if (active) {
        w.cmbOutRanges->setCurrentIndex(r.RangeCode);
    }
    if (programmed) {
        w.pnlPermOutRange->SetFontColor(okColor);
        w.pnlPermOutRange->setAccessibleDescription(
            r.RangeOk != 0 ? QString()
                           : QStringLiteral("JP6 is not set for this range: set it as JP6 shows"));
        w.pnlPermOut->SetFontColor(okColor);
    }
    if (active) {
        w.pnlTempOut->SetFontColor(okColor);
        SetLabelColor(w.lblTempOutRange, okColor);
    }
    if (programmed) {
        w.pnlOutZeroP->setText(QString::number(r.ZeroCode));
        w.pnlOutFsP->setText(QString::number(r.FullCode));
    }
    if (active && !w.Requests().Holds(RequestQueue::Sets::ZeroCode)) {
        w.seOutZero->setValue(r.ZeroCode);
    }
    if (active && !w.Requests().Holds(RequestQueue::Sets::FullCode)) {
        w.seOutFull->setValue(r.FullCode);
    }
    if (programmed) {
        w.pnlPermOutMin->setText(WithUnit(r.MinValue, range.DisplayFormat, range.UnitText));
        w.pnlPermOutMax->setText(WithUnit(r.MaxValue, range.DisplayFormat, range.UnitText));
    }
    if (active) {
        w.edOutMin->setText(Number(r.MinValue, range.DisplayFormat));
        w.edOutMax->setText(Number(r.MaxValue, range.DisplayFormat));
    }
    if (programmed) {
        w.pnlOutInvertP->setText(r.Invert != 0 ? QStringLiteral("Yes") : QStringLiteral("No"));
    }
    if (active) {
        w.cbInvertOut->setChecked(r.Invert != 0);
    }
    if (programmed) {
        w.pnlPermOut->setText(output);
    }
    if (active) {
        w.pnlTempOut->setText(output);
    }
    w.ShowOutputCalFlags(r.ZeroCalFlags, r.FullCalFlags);
    w.pnlTemp->setText(Temperature(r.TA));
    w.pnlCalTemp->setText(Temperature(r.TCAL));
    w.SetToggle(r.CalMode);
    if (programmed) {
        w.EnableOutputControls();
    }
    // The first read re-arms before its status text, an active answer only after it.
    if (view == OutputView::Both) {
        w.OutputEventsArmed = true;
    }
    w.ShowStatus(QStringLiteral("Success."), Success);
    if (view == OutputView::Active) {
        w.OutputEventsArmed = true;
    }
}

void TfrmMain::ApplyActiveOutputStatus() {
    ApplyOutput(*this, OutputView::Active);
}

void TfrmMain::ApplyProgrammedOutputStatus() {
    ApplyOutput(*this, OutputView::Programmed);
}

void TfrmMain::ApplyOutputStatus() {
    ApplyOutput(*this, OutputView::Both);
}

} // namespace zx
