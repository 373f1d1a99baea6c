// What a range looks like on the window: calibration points, units, SW1 and JP6.
#include "TfrmMain.h"

#include "HardwarePicture.h"
#include "NumberFormat.h"
#include "RangeTables.h"

namespace zx {

void TfrmMain::ShowInputRange(int code) {
    const IRange* range = FindInputRange(code);
    if (range == nullptr) {
        return; // the readers refuse such codes before they get here
    }
    CurrentInputRange = code;
    beInpZero->setText(QString::fromStdString(FormatNumber(range->CalZero, range->DisplayFormat)));
    beInpFull->setText(QString::fromStdString(FormatNumber(range->CalFull, range->DisplayFormat)));
    const QString unit =
        QString::fromUtf8(range->UnitText.data(), static_cast<qsizetype>(range->UnitText.size()));
    for (QLabel* label : {lblInpZeroUnit, lblInpFullUnit, lblInpMinUnit, lblInpMaxUnit}) {
        label->setText(unit);
        label->adjustSize();
    }
    ShowSwitchPattern(code);
}

void TfrmMain::ShowSwitchPattern(int code) {
    Shape* const levers[SwitchPositions] = {sw11, sw12, sw13, sw14, sw15, sw16};
    QStringList positions;
    for (int k = 1; k <= SwitchPositions; ++k) {
        Shape* lever = levers[k - 1];
        lever->move(lever->x(), LeverTop(code, k));
        positions << QStringLiteral("%1 %2").arg(k).arg(
            LeverTop(code, k) == LeverTopUp ? QStringLiteral("up") : QStringLiteral("down"));
    }
    // The picture says itself to a screen reader.
    sw1->setAccessibleName(QStringLiteral("SW1: ") + positions.join(QStringLiteral(", ")));
}

void TfrmMain::ShowOutputRange(int code) {
    const ORange* range = FindOutputRange(code);
    if (range == nullptr) {
        return;
    }
    const QString unit =
        QString::fromUtf8(range->UnitText.data(), static_cast<qsizetype>(range->UnitText.size()));
    for (QLabel* label : {lblOutMinUnit, lblOutMaxUnit}) {
        label->setText(unit);
        label->adjustSize();
    }
    ShowJumper(code);
}

void TfrmMain::ShowJumper(int code) {
    OutJumper->move(JumperLeft(code), OutJumper->y());
    Shape1->setAccessibleName(JumperLeft(code) == JumperLeftCurrent ? QStringLiteral("JP6: mA")
                                                                    : QStringLiteral("JP6: V"));
}

} // namespace zx
