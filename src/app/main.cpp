// zentrix: configures and calibrates Zentrix signal-conditioning modules over a serial line.
#include "HouseLook.h"
#include "SystemDriverClock.h"
#include "TfrmMain.h"

#include <QApplication>

int main(int argc, char** argv) {
    zx::PrepareHouseLook();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zentrix"));
    zx::ApplyHouseLook();
    zx::SystemDriverClock clock;
    zx::QtUserPrompts prompts;
    zx::TfrmMain frmMain(clock, zx::PortNamespace::ForCurrentUser(), prompts);
    frmMain.show();
    return QApplication::exec();
}
