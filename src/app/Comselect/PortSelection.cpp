// Choosing the module's port: the dialog at start-up and from status panel 0.
#include "TfrmComSelect.h"
#include "TfrmMain.h"

#include <memory>

namespace zx {

int TfrmMain::RunPortDialog(int& PortNumber) {
    int result = TfrmComSelect::mrCancel;
    auto dialog = std::make_unique<TfrmComSelect>(Ports());
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

bool TfrmMain::SelectPort() {
    int portNumber = 0;
    if (RunPortDialog(portNumber) != TfrmComSelect::mrOk) {
        return false;
    }
    try {
        OpenPort(static_cast<quint16>(portNumber));
    } catch (const ComPortError& e) {
        // The port stays closed; the technician learns which port failed and why.
        Prompts_.Error(this, QString::fromStdString(e.what()));
        return false;
    }
    return true;
}

void TfrmMain::sbMainPanels0DblClick(QObject*) {
    SelectPort();
    ShowStatus(QStringLiteral("COM port opened."), Busy);
}

} // namespace zx
