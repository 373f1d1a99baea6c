#pragma once

#include "Catalogue.h"
#include "FakeClock.h"
#include "FakePrompts.h"
#include "Frames.h"
#include "PtyPair.h"
#include "TfrmComSelect.h"
#include "TfrmMain.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace zx::test {

// Answers the next port dialog: OK on the entry with the given text, or Cancel when empty.
inline void AnswerPortDialog(const QString& entry, QStringList* listed = nullptr) {
    QTimer::singleShot(0, [entry, listed] {
        auto* dialog = qobject_cast<TfrmComSelect*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            ADD_FAILURE() << "no port dialog is open";
            return;
        }
        if (listed != nullptr) {
            for (int i = 0; i < dialog->cbComPorts->count(); ++i) {
                *listed << dialog->cbComPorts->itemText(i);
            }
        }
        if (entry.isEmpty()) {
            dialog->btnCancel->click();
            return;
        }
        dialog->cbComPorts->setCurrentIndex(dialog->cbComPorts->findText(entry));
        dialog->btnOk->click();
    });
}

// Shows the window and waits until it has the keyboard: on a real display server focus moves,
// and the edits' exit handlers run, only in the active window.
inline void ShowActive(QWidget& window) {
    window.show();
    if (QGuiApplication::platformName() == QLatin1String("wayland")) {
        // A client cannot take the focus on Wayland: the compositor gives it on mapping.
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window, 5000));
        return;
    }
    window.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window, 5000)) << "the window never became active";
}

// The main window with a pseudo-terminal as COM1, under a clock the test moves.
class WindowFixture : public ::testing::Test {
protected:
    WindowFixture() : Window(Clock, PortNamespace(Pty.LinkFolder(), Pty.LockFolder()), Prompts) {}

    // Start-up with COM1 chosen in the dialog; drains the CAL/RUN query from the line and,
    // unless told not to, answers it as a module in RUN: until then every request waits.
    void StartWithPort(bool answerQuery = true) {
        AnswerPortDialog(QStringLiteral("COM1"));
        ShowActive(Window);
        StartupQuery = Pty.ReadExactly(4, 1000);
        if (answerQuery) {
            Answer({0x21, 0x00});
        }
    }
    void StartWithoutPort() {
        AnswerPortDialog(QString());
        ShowActive(Window);
    }

    // What the tool wrote since the last call.
    std::vector<quint8> Sent(int waitMs = 50) { return Pty.ReadAvailable(waitMs); }
    // The module answers with a frame body (escaped here).
    void Answer(const std::vector<quint8>& body) {
        AnswerRaw(EncodeFrame(body.data(), body.size()));
    }
    void AnswerRaw(const std::vector<quint8>& bytes) {
        Pty.Write(bytes);
        ProcessEventsFor(40);
    }
    // The module's records as the catalogue's writers build them.
    void AnswerInput(quint8 code, const InputRangeStatus& r) {
        FrameCodec module;
        WriteInputRangeStatus(module, code, r);
        AnswerRaw(test::Sent(module));
    }
    void AnswerOutput(quint8 code, const OutputRangeStatus& r) {
        FrameCodec module;
        WriteOutputRangeStatus(module, code, r);
        AnswerRaw(test::Sent(module));
    }
    QString StatusText() const { return Window.sbMain->PanelText(2); }
    QColor StatusColor() const { return Window.sbMain->PanelTextColor(2); }

    PtyPair Pty;
    FakeClock Clock;
    FakePrompts Prompts;
    TfrmMain Window;
    std::vector<quint8> StartupQuery;
};

} // namespace zx::test
