#pragma once

#include "TfrmMain.h"

namespace zx::test {

// The window as start-up leaves it, without the port dialog: lists filled, working controls
// disabled, range 0 pictured, the given port open and the flags set. For harnesses that drive
// the window directly (fuzzing, benchmarks).
inline void StartWithoutDialog(TfrmMain& w, quint16 port) {
    w.FillInputCalList();
    w.FillOutputCalList();
    w.FillInputRangeCombo();
    w.FillOutputRangeCombo();
    w.DisableInputControls();
    w.DisableOutputControls();
    w.ShowInputRange(0);
    w.ShowOutputRange(0);
    w.OpenPort(port);
    w.InputEventsArmed = true;
    w.OutputEventsArmed = true;
    w.FormReady = true;
}

} // namespace zx::test
