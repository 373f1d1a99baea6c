#pragma once

#include "CalibrationEdit.h"
#include "CodeSpinEdit.h"
#include "ComPort.h"
#include "DataPacket.h"
#include "FrameCodec.h"
#include "GroupBox.h"
#include "Lamp.h"
#include "LightControl.h"
#include "LinkEngine.h"
#include "MainControls.h"
#include "NumberEdit.h"
#include "RangeList.h"
#include "RequestQueue.h"
#include "Shape.h"
#include "StatusList.h"
#include "StatusPanels.h"
#include "ToggleSwitch.h"
#include "UserPrompts.h"
#include "ValueLabel.h"

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QWidget>

#include <functional>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace zx {

// Kinds of status message: what colour, beep and display time they get.
enum StatusKind : int { Busy = 0, Error = 1, Success = 2, Ready = 3 };

// Modifier and mouse-button states at a key press, as the full-mode chord sees them.
enum ShiftFlag : unsigned {
    ssShift = 1u << 0,
    ssAlt = 1u << 1,
    ssCtrl = 1u << 2,
    ssLeft = 1u << 3,
    ssRight = 1u << 4,
    ssMiddle = 1u << 5,
    ssDouble = 1u << 6,
    ssMeta = 1u << 7, // the Windows/Super key: not part of the chord
};
using TShiftState = unsigned;

inline const QColor clRed{255, 0, 0};
inline const QColor clGreen{0, 128, 0};
inline const QColor clBlack{0, 0, 0};
inline const QColor clLime{0, 255, 0};

// The status panels' double-click tasks from the keyboard: choosing the port (panel 0) and
// reading the module's version (panel 1).
inline constexpr auto PortShortcut = Qt::CTRL | Qt::Key_P;
inline constexpr auto VersionShortcut = Qt::CTRL | Qt::Key_I;

inline const QString MainTitle =
    QStringLiteral("Zentrix Configuration & Calibration V1.71 - Halvorn");

// The main window. Every operation of the tool is a method of it; the layer a method belongs
// to keeps its source file (link/, sections/, app/).
class TfrmMain : public QWidget, public LinkEngine::Client {
    Q_OBJECT
public:
    TfrmMain(DriverClock& clock, PortNamespace ports, UserPrompts& prompts,
             QWidget* parent = nullptr);
    ~TfrmMain() override;

    UserPrompts& Prompts() const { return Prompts_; }
    DriverClock& Clock() const { return Clock_; }
    const PortNamespace& Ports() const { return ComPort->Ports(); }

    // ---- Frame codec -------------------------------------------------------------------------
    FrameCodec Codec;
    void BeginRequest(quint8 code) { Codec.BeginRequest(code); }
    void PutRaw(quint8 b) { Codec.PutRaw(b); }
    void PutEscaped(quint8 b) { Codec.PutEscaped(b); }
    void PutByte(unsigned value) { Codec.PutByte(value); }
    void PutWord(quint16 value) { Codec.PutWord(value); }
    void PutLong(float value) { Codec.PutLong(value); }
    quint8 Unescape(std::size_t count) { return Codec.Unescape(count); }
    quint8 GetByte() { return Codec.GetByte(); }
    quint16 GetWord() { return Codec.GetWord(); }
    float GetSingle() { return Codec.GetSingle(); }

    // ---- Controls and components of the layout --------------------------------------------
#define ZX_DECLARE_CONTROL(Type, name) Type* name = nullptr;
    ZX_MAIN_CONTROLS(ZX_DECLARE_CONTROL)
#undef ZX_DECLARE_CONTROL
    QMenu* popInCal = nullptr;
    QAction* mnuClearInCal = nullptr;
    QMenu* popOutCal = nullptr;
    QAction* mnuClearOutCal = nullptr;
    zx::ComPort* ComPort = nullptr;
    zx::DataPacket* DataPacket = nullptr;
    zx::LightControl* LightControl = nullptr;
    zx::LinkEngine* Engine = nullptr;

    // ---- Flags -----------------------------------------------------------------------------
    bool FormReady = false;
    bool InputEventsArmed = false;
    bool OutputEventsArmed = false;
    bool FullMode = false;

    // ---- Application shell -------------------------------------------------------------------
    void FormShow(QObject* Sender);
    // The start-up sequence with its port step given: FormShow gives SelectPort, the port
    // dialog; harnesses that drive the window without a dialog give their own opening.
    void RunStartup(const std::function<bool()>& selectPort);
    // Another port, maybe another module: the window shows nothing of a module it has not
    // read. The fields go back to what start-up showed and the working controls wait for the
    // module's first status answer, as at start; full mode stays.
    void ForgetModule();
    void FormClose(QObject* Sender);
    bool SelectPort();
    // Once per run, before the port dialog: a link folder that is refused is said, with why
    // and the fix.
    void TellRefusedLinkFolder();
    int RunPortDialog(int& PortNumber);
    void sbMainPanels0DblClick(QObject* Sender);
    void DisableInputControls();
    void DisableOutputControls();
    void EnableInputControls();
    void EnableOutputControls();
    void EnterFullMode();
    void btnGetInpRangeKeyDown(QObject* Sender, int& Key, TShiftState Shift);

    // ---- Port connection -------------------------------------------------------------------
    // The display time of a message; the engine keeps the response time-out on a trigger of
    // its own, so that neither cuts the other short.
    quint16 DisplayTrigger = 0;
    void OpenPort(quint16 number);
    void ClosePort();

    // ---- Transaction engine and status line -------------------------------------------------
    // True when the request was written to the port, or waits for the one on the line.
    // choice names what the request sets, where a newer request may replace it.
    bool SendRequest(RequestQueue::Sets choice = RequestQueue::Sets::Nothing);
    const RequestQueue& Requests() const;
    void DataPacketPacket(QObject* Sender, const quint8* Data, int Size);
    void Dispatch(quint8 code);
    // The engine's outcomes, said on the status line.
    void Answered(std::uint8_t code, bool late) override;
    void Leaving(const RequestQueue::Request& request) override;
    void NoResponse(const RequestQueue::Request& request) override;
    void TransmitQueueFull() override;
    bool HoldsLine() const override;
    void RecordFailed(const std::string& problem) override;
    void ShowStatus(const QString& text, StatusKind kind);
    void ComPortTriggerTimer(QObject* Sender, quint16 TriggerHandle);
    void ComPortDeviceLost(const QString& reason);
    // Every event handler runs guarded: what it throws ends up in HandlerFailed, not in an
    // abort.
    void HandlerFailed(const char* what);
    void RunGuarded(const std::function<void()>& handler);
    template <class F> struct GuardedHandler {
        TfrmMain* Window;
        F Handler;
        // Qt passes a handler as many of the signal's arguments as it takes.
        template <class... A, class = std::enable_if_t<std::is_invocable_v<const F&, A...>>>
        void operator()(A&&... args) const {
            Window->RunGuarded([&] { Handler(std::forward<A>(args)...); });
        }
    };
    template <class F> GuardedHandler<F> Guarded(F handler);

    // ---- Range catalogue displays -----------------------------------------------------------
    int CurrentInputRange = 0;
    void ShowInputRange(int code);
    void ShowSwitchPattern(int code);
    void ShowOutputRange(int code);
    void ShowJumper(int code);

    // ---- Input section ---------------------------------------------------------------------
    void FillInputRangeCombo();
    void FillInputCalList();
    void ShowInputCalFlags(quint16 zero, quint16 full);
    void ApplyActiveInputStatus();
    void ApplyProgrammedInputStatus();
    void ApplyInputStatus();
    bool InputLimitsInvalid();
    void lvInpCalStatCustomDrawSubItem(StatusList* Sender, int row, int subItem, QColor& color);
    void beInpZeroPropertiesButtonClick(QObject* Sender);
    void beInpFullPropertiesButtonClick(QObject* Sender);
    void btnGetPermInpRangeClick(QObject* Sender);
    void btnGetTempInpRangeClick(QObject* Sender);
    void cmbInpRangesPropertiesEditValueChanged(QObject* Sender);
    void edInpMinExit(QObject* Sender);
    void edInpMaxExit(QObject* Sender);
    void btnSetInputRangeClick(QObject* Sender);
    void mnuClearInCalClick(QObject* Sender);

    // ---- Output section --------------------------------------------------------------------
    void FillOutputRangeCombo();
    void FillOutputCalList();
    void ShowOutputCalFlags(quint8 zero, quint8 full);
    void ApplyActiveOutputStatus();
    void ApplyProgrammedOutputStatus();
    void ApplyOutputStatus();
    bool OutputLimitsInvalid();
    void btnGetPermOutRangeClick(QObject* Sender);
    void btnGetTempOutRangeClick(QObject* Sender);
    void cmbOutRangesPropertiesEditValueChanged(QObject* Sender);
    void seOutZeroPropertiesChange(QObject* Sender);
    void seOutFullPropertiesChange(QObject* Sender);
    void seOutZeroExit(QObject* Sender);
    void seOutFullExit(QObject* Sender);
    void edOutMinExit(QObject* Sender);
    void edOutMaxExit(QObject* Sender);
    void btnOutZeroClick(QObject* Sender);
    void btnOutFullClick(QObject* Sender);
    void btnSetOutRangeClick(QObject* Sender);
    void mnuClearOutCalClick(QObject* Sender);

    // ---- General section -------------------------------------------------------------------
    void calSwitchClick(QObject* Sender);
    // Shows the module's reported mode on the switch and remembers it.
    void SetToggle(std::uint8_t calMode);
    void QueryCalMode();
    void ApplyCalMode();
    void sbMainPanels1DblClick(QObject* Sender);
    void RequestVersion();
    void ApplyVersion();
    void ApplyToolkitAck();

    // ---- Seams and helpers -------------------------------------------------------------------
    // Converts an edit's text for a request; on failure the box names the text and nullopt
    // tells the sender to send nothing.
    std::optional<float> EditValue(const QString& text);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

public:
    void setVisible(bool visible) override;

private:
    void BuildLayout();
    void BindControls();
    void WireHandlers();
    bool LineHeld() const;

    DriverClock& Clock_;
    UserPrompts& Prompts_;
    bool Shown_ = false;
    bool LinkFolderTold_ = false;
    std::string DeferredBusyText_;
    bool ErrorShowing_ = false; // an Error's display time runs
    // What start-up showed in the value fields, shown again when another port is opened.
    struct StartupFace {
        std::vector<std::pair<QLabel*, QPalette>> Labels;
        std::vector<QString> Texts;        // the labels' and then the edits' texts
        std::vector<QString> Descriptions; // the labels' descriptions
        std::vector<QLineEdit*> Edits;
        int ZeroCode = 0;
        int FullCode = 0;
        bool Invert = false;
    };
    StartupFace StartupFace_;
    bool StatusQuiet_ = false; // a late answer is shown without touching the status line
    std::uint8_t ReportedCalMode_ = 0;
};

template <class F> TfrmMain::GuardedHandler<F> TfrmMain::Guarded(F handler) {
    return {this, std::move(handler)};
}

} // namespace zx
