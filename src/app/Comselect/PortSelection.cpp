// Choosing the module's port: the dialog at start-up and from status panel 0.
#include "TfrmComSelect.h"
#include "TfrmMain.h"

#include <cstdio>
#include <memory>

namespace zx {

int TfrmMain::RunPortDialog(int& PortNumber) {
    int result = TfrmComSelect::mrCancel;
    auto dialog = std::make_unique<TfrmComSelect>(Ports());
    if (ComPort->Open()) {
        dialog->Preselect(ComPort->ComNumber()); // OK alone keeps the module on its port
    }
    if (dialog->exec() == TfrmComSelect::mrOk) {
        const int chosen = dialog->SelectedPortNumber();
        // OK on an empty list chooses nothing: the dialog then counts as cancelled.
        if (chosen > 0) {
            PortNumber = chosen;
            result = TfrmComSelect::mrOk;
        }
    }
    return result;
}

void TfrmMain::TellRefusedLinkFolder() {
    if (LinkFolderTold_) {
        return;
    }
    LinkFolderTold_ = true;
    // Said, never skipped in silence: a technician's "com5" link would otherwise quietly give
    // way to the on-board UART of the built-in table.
    const std::string said = RefusedLinkFolderText(Ports());
    if (said.empty()) {
        return;
    }
    std::fprintf(stderr, "zentrix: %s\n", said.c_str());
    Prompts_.Information(this, QString::fromStdString(said));
}

bool TfrmMain::SelectPort() {
    TellRefusedLinkFolder();
    int portNumber = 0;
    if (RunPortDialog(portNumber) != TfrmComSelect::mrOk) {
        return false;
    }
    try {
        OpenPort(static_cast<quint16>(portNumber));
    } catch (const ComPortError& e) {
        // The port stays closed; the technician learns which port failed and why (and so does
        // a log of standard error).
        std::fprintf(stderr, "zentrix: %s\n", e.what());
        Prompts_.Error(this, QString::fromStdString(e.what()));
        return false;
    }
    return true;
}

void TfrmMain::sbMainPanels0DblClick(QObject*) {
    const bool opened = SelectPort();
    if (opened) {
        ForgetModule();
    }
    ShowStatus(QStringLiteral("COM port opened."), Busy);
    if (opened) {
        QueryCalMode(); // as at start: the switch shows this module's mode
    }
}

} // namespace zx
