// Every request sender with random control contents: the limit and calibration edits take any
// text (pasted, not typed), the lists and spin edits any index and value. A request is either
// not sent or sent well framed, and never overflows the transmit buffer.
#include "FuzzWindow.h"

#include <QToolButton>

namespace {
zx::fuzz::FuzzWindow* Fuzz = nullptr;

void Check(const zx::TfrmMain& w) {
    if (!zx::fuzz::WellFramed(w.Codec)) {
        std::abort();
    }
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Fuzz = new zx::fuzz::FuzzWindow();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    if (size < 6) {
        return 0;
    }
    zx::TfrmMain& w = *Fuzz->Window;
    Fuzz->SetState(data[0]);
    w.InputEventsArmed = (data[0] & 8) != 0;
    w.OutputEventsArmed = (data[0] & 16) != 0;
    w.CurrentInputRange = data[1] % 11;
    const QStringList texts = QString::fromLatin1(reinterpret_cast<const char*>(data + 6),
                                                  static_cast<qsizetype>(size - 6))
                                  .split(QLatin1Char('\n'));
    w.edInpMin->setText(texts.value(0));
    w.edInpMax->setText(texts.value(1));
    w.edOutMin->setText(texts.value(2));
    w.edOutMax->setText(texts.value(3));
    w.beInpFull->setText(texts.value(4));
    w.cmbInpRanges->setCurrentIndex(data[2] % 12 - 1); // -1: nothing selected
    Check(w);
    w.cmbOutRanges->setCurrentIndex(data[3] % 3 - 1);
    Check(w);
    w.seOutZero->setValue(data[4] * 257);
    Check(w);
    w.seOutFull->setValue(data[5] * 257);
    Check(w);
    w.cbInvertOut->setChecked((data[0] & 32) != 0);
    w.calSwitch->SetOn((data[0] & 64) != 0);

    w.edInpMinExit(w.edInpMin);
    w.edOutMaxExit(w.edOutMax);
    for (const auto& send : std::initializer_list<void (*)(zx::TfrmMain&)>{
             [](zx::TfrmMain& m) { m.btnSetInputRangeClick(nullptr); },
             [](zx::TfrmMain& m) { m.beInpFullPropertiesButtonClick(nullptr); },
             [](zx::TfrmMain& m) { m.beInpZeroPropertiesButtonClick(nullptr); },
             [](zx::TfrmMain& m) { m.btnGetTempInpRangeClick(nullptr); },
             [](zx::TfrmMain& m) { m.btnOutZeroClick(nullptr); },
             [](zx::TfrmMain& m) { m.btnOutFullClick(nullptr); },
             [](zx::TfrmMain& m) { m.btnSetOutRangeClick(nullptr); },
             [](zx::TfrmMain& m) { m.btnGetTempOutRangeClick(nullptr); },
             [](zx::TfrmMain& m) { m.calSwitchClick(nullptr); },
             [](zx::TfrmMain& m) { m.QueryCalMode(); }, [](zx::TfrmMain& m) { m.RequestVersion(); },
             [](zx::TfrmMain& m) { m.mnuClearInCalClick(nullptr); },
             [](zx::TfrmMain& m) { m.mnuClearOutCalClick(nullptr); }}) {
        send(w);
        Check(w);
        Fuzz->DrainLine();
    }
    Fuzz->Prompts.Errors.clear();
    Fuzz->Prompts.Events.clear();
    return 0;
}
