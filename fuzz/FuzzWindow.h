#pragma once

// One offscreen main window on a pseudo-terminal, shared by every input of a fuzz run.
#include "FakeClock.h"
#include "FakePrompts.h"
#include "HouseLook.h"
#include "PtyPair.h"
#include "TfrmMain.h"

#include <QApplication>

#include <cstdlib>
#include <memory>
#include <unistd.h>

namespace zx::fuzz {

struct FuzzWindow {
    FuzzWindow() {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "zentrix-fuzz";
        static char* argv[] = {name, nullptr};
        PrepareHouseLook();
        App = std::make_unique<QApplication>(argc, argv);
        ApplyHouseLook();
        Window = std::make_unique<TfrmMain>(
            Clock, PortNamespace(Pty.LinkFolder(), Pty.LockFolder()), Prompts);
        Window->RunStartup([this] {
            Window->OpenPort(1);
            return true;
        });
        DrainLine();
    }

    // Throws away what the tool wrote, so that the line never fills up.
    void DrainLine() {
        unsigned char buffer[4096];
        while (read(Pty.Master(), buffer, sizeof buffer) > 0) {
        }
    }

    // The first byte of an input chooses the window's state.
    void SetState(unsigned char flags) {
        Window->cmbInpRanges->setEnabled((flags & 1) != 0);
        Window->cmbOutRanges->setEnabled((flags & 2) != 0);
        Window->FullMode = (flags & 4) != 0;
    }

    test::PtyPair Pty;
    test::FakeClock Clock;
    test::FakePrompts Prompts;
    std::unique_ptr<QApplication> App;
    std::unique_ptr<TfrmMain> Window;
};

// A frame as the tool may send it: STX first, ETX last, neither raw in between.
inline bool WellFramed(const FrameCodec& c) {
    if (c.TxLength > FrameBufferSize || c.TxOverflow()) {
        return false;
    }
    if (c.TxLength == 0) {
        return true;
    }
    if (c.TxBuffer[0] != STX) {
        return false;
    }
    const bool closed = c.TxBuffer[c.TxLength - 1] == ETX;
    const std::size_t end = closed ? c.TxLength - 1u : c.TxLength;
    for (std::size_t i = 1; i < end; ++i) {
        if (c.TxBuffer[i] == STX || c.TxBuffer[i] == ETX) {
            return false;
        }
    }
    return true;
}

} // namespace zx::fuzz
