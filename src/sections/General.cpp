// The General group: CAL/RUN, temperatures, the version text and the toolkit version.
#include "TfrmMain.h"

#include "Catalogue.h"
#include "NumberText.h"

namespace zx {

void TfrmMain::SetToggle(std::uint8_t calMode) {
    // Any non-zero mode shows as CAL; the switch itself only ever sends 0 or 1.
    ReportedCalMode_ = calMode;
    calSwitch->SetOn(calMode != 0);
}

std::optional<float> TfrmMain::EditValue(const QString& text) {
    const SingleConversion value = TextToSingle(text.toStdString());
    if (!value.Ok) {
        Prompts_.Error(this, QString::fromStdString(value.Message()));
        return std::nullopt;
    }
    return value.Value;
}

void TfrmMain::calSwitchClick(QObject*) {
    BuildRequest(Codec,
                 {.Code = cmdSetCalMode, .Value = static_cast<quint8>(calSwitch->On() ? 1 : 0)});
    SendRequest();
}

void TfrmMain::QueryCalMode() {
    BuildRequest(Codec,
                 {.Code = cmdQueryCalMode, .Value = static_cast<quint8>(calSwitch->On() ? 1 : 0)});
    SendRequest();
}

void TfrmMain::ApplyCalMode() {
    SetToggle(ReadCalMode(Codec));
}

void TfrmMain::sbMainPanels1DblClick(QObject*) {
    RequestVersion();
}

void TfrmMain::RequestVersion() {
    ShowStatus(QStringLiteral("Reading version..."), Busy);
    BuildRequest(Codec, {.Code = cmdReadVersion});
    SendRequest();
}

void TfrmMain::ApplyVersion() {
    const std::string text = ReadVersionText(Codec);
    sbMain->SetPanelText(1, QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    ShowStatus(QStringLiteral("Success."), Success);
}

void TfrmMain::ApplyToolkitAck() {
    if (ReadToolkitAck(Codec) != 0) {
        ShowStatus(QStringLiteral("Success."), Success);
    } else {
        ShowStatus(QStringLiteral("Error occured while performing the operation !"), Error);
    }
}

} // namespace zx
