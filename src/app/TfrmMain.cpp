#include "TfrmMain.h"

#include "Accessible.h"
#include "AppIcon.h"
#include "Hints.h"
#include "HouseLook.h"
#include "Layout.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QHash>
#include <QKeyEvent>
#include <QScreen>
#include <QShortcut>
#include <QToolButton>

#include <stdexcept>

namespace zx {
namespace {

std::vector<StatusList::Column> ParseColumns(const QString& text) {
    std::vector<StatusList::Column> columns;
    for (const QString& part : text.split(QLatin1Char('|'))) {
        const QStringList f = part.split(QLatin1Char(':'));
        columns.push_back({f.value(0), f.value(1).toInt(),
                           f.value(2) == QLatin1String("C") ? Qt::AlignHCenter : Qt::AlignLeft});
    }
    return columns;
}

QWidget* CreateControl(const LayoutRow& row, QWidget* parent) {
    const QString caption = QString::fromUtf8(row.Caption);
    switch (row.Kind) {
    case ControlKind::Strip:
    case ControlKind::Container:
        return new Container(parent);
    case ControlKind::Separator:
        return new Bevel(parent);
    case ControlKind::Group:
        return new GroupBox(caption, parent);
    case ControlKind::StatusBar:
        return new StatusPanels({94, 261, 150}, parent);
    case ControlKind::Label:
    case ControlKind::UnitLabel: {
        auto* label = new QLabel(caption, parent);
        label->setTextFormat(Qt::PlainText);
        return label;
    }
    case ControlKind::ValueLabel:
        return new ValueLabel(parent);
    case ControlKind::Button:
        return new QPushButton(caption, parent);
    case ControlKind::RangeList:
        return new RangeList(parent);
    case ControlKind::NumberEdit:
        return new NumberEdit(parent);
    case ControlKind::CalibrationEdit:
        return new CalibrationEdit(parent);
    case ControlKind::CodeSpinEdit:
        return new CodeSpinEdit(parent);
    case ControlKind::CheckBox:
        return new QCheckBox(caption, parent);
    case ControlKind::StatusList: {
        auto* list = new StatusList(parent);
        list->SetColumns(ParseColumns(QString::fromUtf8(row.Extra)));
        return list;
    }
    case ControlKind::ShapeRect:
    case ControlKind::ShapeCircle:
        return new Shape(row.Kind == ControlKind::ShapeCircle ? Shape::Kind::Circle
                                                              : Shape::Kind::Rectangle,
                         QColor(QString::fromUtf8(row.Extra)), parent);
    case ControlKind::Toggle: {
        auto* toggle = new ToggleSwitch(parent);
        toggle->SetTexts(QStringLiteral("CAL"), QStringLiteral("RUN"));
        toggle->SetColors(clRed, clLime);
        return toggle;
    }
    case ControlKind::Lamp:
        return new Lamp(parent);
    }
    return nullptr;
}

} // namespace

TfrmMain::TfrmMain(DriverClock& clock, PortNamespace ports, UserPrompts& prompts, QWidget* parent)
    : QWidget(parent), Clock_(clock), Prompts_(prompts) {
    setObjectName(QStringLiteral("frmMain"));
    // Single fixed border; system menu and minimise, no maximise.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(553, 533);
    setFont(WindowFont());
    QPalette p = palette();
    p.setColor(QPalette::Window, QApplication::palette().color(QPalette::Button));
    setPalette(p);
    setAutoFillBackground(true);
    setWindowIcon(AppIcon());

    ComPort = new zx::ComPort(clock, std::move(ports), this);
    DataPacket = new zx::DataPacket(*ComPort, this);
    LightControl = new zx::LightControl(*ComPort, this);
    Engine = new zx::LinkEngine(*ComPort, *DataPacket, Codec, *this, this);

    BuildLayout();
    BindControls();
    WireHandlers();
    // The calibration fields' buttons say which point they calibrate.
    beInpZero->Button()->setAccessibleName(QStringLiteral("Calibrate input zero"));
    beInpFull->Button()->setAccessibleName(QStringLiteral("Calibrate input full scale"));
}

TfrmMain::~TfrmMain() {
    // The children outlive this part of the object: a focus-out or a port event raised while
    // Qt takes them down must not reach a window that is already half gone.
    for (QObject* child : findChildren<QObject*>()) {
        QObject::disconnect(child, nullptr, this, nullptr);
    }
    // The calibration lists ask this window how to draw a cell, and may still lay themselves
    // out while Qt hides them on the way down.
    lvInpCalStat->SetCustomDrawSubItem({});
    lvOutCalStat->SetCustomDrawSubItem({});
}

void TfrmMain::BuildLayout() {
    QHash<QString, QWidget*> made;
    made.insert(QString(), this);
    QHash<QWidget*, std::vector<std::pair<int, QWidget*>>> childrenByTab;
    std::vector<std::pair<QLabel*, const char*>> leading;
    for (const LayoutRow& row : MainLayout()) {
        QWidget* parent = made.value(QString::fromUtf8(row.Parent));
        if (parent == nullptr) {
            throw std::logic_error(std::string("layout: parent of ") + row.Name + " not built");
        }
        QWidget* w = CreateControl(row, parent);
        w->setObjectName(QString::fromUtf8(row.Name));
        w->setGeometry(row.Left, row.Top, row.Width, row.Height);
        if (row.Kind == ControlKind::Label) {
            // Labels size themselves to their caption, growing to the right; one that leads a
            // field grows to the left instead, keeping its gap to the field (a scaled or
            // fallback font is wider than the layout's).
            const int width = std::max(row.Width, w->sizeHint().width());
            const int left = FieldLedBy(row) != nullptr ? row.Left + row.Width - width : row.Left;
            w->setGeometry(left, row.Top, width, row.Height);
        }
        const QString hint = QString::fromUtf8(row.Hint);
        SetHint(w, hint, row.Hints == HintMode::Shown);
        if (IsPicturePart(row)) {
            SpeakThroughPicture(w);
        } else if (row.Kind != ControlKind::UnitLabel) {
            w->setAccessibleName(QString::fromStdString(SpokenName(row)));
        }
        const std::string_view told = SpokenHint(row);
        QString description = QString::fromUtf8(told.data(), static_cast<qsizetype>(told.size()))
                                  .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        if (const std::string_view way = KeyboardWay(row); !way.empty()) {
            description += QStringLiteral("\n") + QString::fromUtf8(way.data(), way.size());
        }
        w->setAccessibleDescription(description);
        if (const LayoutRow* field = FieldLedBy(row); field != nullptr) {
            leading.emplace_back(static_cast<QLabel*>(w), field->Name);
        }
        if (row.Tab >= 0) {
            childrenByTab[parent].emplace_back(row.Tab, w);
        }
        made.insert(w->objectName(), w);
    }
    // Keyboard order: the window's children by their tab, each group's children right after it.
    std::vector<QWidget*> chain;
    std::function<void(QWidget*)> walk = [&](QWidget* parent) {
        auto children = childrenByTab.value(parent);
        std::stable_sort(children.begin(), children.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& [tab, w] : children) {
            if (w->focusPolicy() != Qt::NoFocus) {
                chain.push_back(w);
            }
            walk(w);
        }
    };
    walk(this);
    // A caption leading a field labels it for a screen reader too.
    for (const auto& [label, field] : leading) {
        label->setBuddy(made.value(QString::fromUtf8(field)));
    }
    for (std::size_t i = 1; i < chain.size(); ++i) {
        setTabOrder(chain[i - 1], chain[i]);
    }

    popInCal = new QMenu(this);
    popInCal->setObjectName(QStringLiteral("popInCal"));
    mnuClearInCal = popInCal->addAction(QStringLiteral("Clear calibration flags"));
    mnuClearInCal->setObjectName(QStringLiteral("mnuClearInCal"));
    popOutCal = new QMenu(this);
    popOutCal->setObjectName(QStringLiteral("popOutCal"));
    mnuClearOutCal = popOutCal->addAction(QStringLiteral("Clear calibration flags"));
    mnuClearOutCal->setObjectName(QStringLiteral("mnuClearOutCal"));
}

void TfrmMain::BindControls() {
    auto bind = [this](auto*& member, const char* name) {
        using T = std::remove_pointer_t<std::remove_reference_t<decltype(member)>>;
        member = findChild<T*>(QString::fromLatin1(name));
        if (member == nullptr) {
            throw std::logic_error(std::string("layout: no control ") + name + " of its kind");
        }
    };
#define ZX_BIND_CONTROL(Type, name) bind(name, #name);
    ZX_MAIN_CONTROLS(ZX_BIND_CONTROL)
#undef ZX_BIND_CONTROL
    lvInpCalStat->SetPopupMenu(popInCal);
    lvOutCalStat->SetPopupMenu(popOutCal);
}

void TfrmMain::WireHandlers() {
    const auto on = [this](auto* sender, auto signal, auto handler) {
        connect(sender, signal, this, Guarded(handler));
    };
    on(btnGetPermInpRange, &QPushButton::clicked,
       [this] { btnGetPermInpRangeClick(btnGetPermInpRange); });
    btnGetPermInpRange->installEventFilter(this); // key down: btnGetInpRangeKeyDown
    on(btnGetTempInpRange, &QPushButton::clicked,
       [this] { btnGetTempInpRangeClick(btnGetTempInpRange); });
    on(btnSetInputRange, &QPushButton::clicked,
       [this] { btnSetInputRangeClick(btnSetInputRange); });
    on(cmbInpRanges, &QComboBox::currentIndexChanged,
       [this] { cmbInpRangesPropertiesEditValueChanged(cmbInpRanges); });
    on(beInpZero, &CalibrationEdit::ButtonClicked,
       [this] { beInpZeroPropertiesButtonClick(beInpZero); });
    on(beInpFull, &CalibrationEdit::ButtonClicked,
       [this] { beInpFullPropertiesButtonClick(beInpFull); });
    on(edInpMin, &NumberEdit::Exit, [this] { edInpMinExit(edInpMin); });
    on(edInpMax, &NumberEdit::Exit, [this] { edInpMaxExit(edInpMax); });
    on(mnuClearInCal, &QAction::triggered, [this] { mnuClearInCalClick(mnuClearInCal); });
    const auto draw = [this](StatusList* list, int row, int subItem, QColor& color) {
        lvInpCalStatCustomDrawSubItem(list, row, subItem, color);
    };
    lvInpCalStat->SetCustomDrawSubItem(draw);
    lvOutCalStat->SetCustomDrawSubItem(draw);

    on(btnGetPermOutRange, &QPushButton::clicked,
       [this] { btnGetPermOutRangeClick(btnGetPermOutRange); });
    on(btnGetTempOutRange, &QPushButton::clicked,
       [this] { btnGetTempOutRangeClick(btnGetTempOutRange); });
    on(btnSetOutRange, &QPushButton::clicked, [this] { btnSetOutRangeClick(btnSetOutRange); });
    on(cmbOutRanges, &QComboBox::currentIndexChanged,
       [this] { cmbOutRangesPropertiesEditValueChanged(cmbOutRanges); });
    on(seOutZero, &QSpinBox::valueChanged, [this] { seOutZeroPropertiesChange(seOutZero); });
    on(seOutFull, &QSpinBox::valueChanged, [this] { seOutFullPropertiesChange(seOutFull); });
    on(seOutZero, &CodeSpinEdit::Exit, [this] { seOutZeroExit(seOutZero); });
    on(seOutFull, &CodeSpinEdit::Exit, [this] { seOutFullExit(seOutFull); });
    on(edOutMin, &NumberEdit::Exit, [this] { edOutMinExit(edOutMin); });
    on(edOutMax, &NumberEdit::Exit, [this] { edOutMaxExit(edOutMax); });
    on(btnOutZero, &QPushButton::clicked, [this] { btnOutZeroClick(btnOutZero); });
    on(btnOutFull, &QPushButton::clicked, [this] { btnOutFullClick(btnOutFull); });
    on(mnuClearOutCal, &QAction::triggered, [this] { mnuClearOutCalClick(mnuClearOutCal); });

    on(calSwitch, &ToggleSwitch::Clicked, [this] { calSwitchClick(calSwitch); });
    on(sbMain, &StatusPanels::PanelDoubleClicked, [this](int panel) {
        if (panel == 0) {
            sbMainPanels0DblClick(sbMain);
        } else if (panel == 1) {
            sbMainPanels1DblClick(sbMain);
        }
    });

    // The status panels' double-click tasks from the keyboard, without a control of their own.
    sbMain->Panel(0)->setAccessibleDescription(
        QStringLiteral("Double-click or Ctrl+P to choose the COM port"));
    sbMain->Panel(1)->setAccessibleDescription(
        QStringLiteral("Double-click or Ctrl+I to read the module's version"));
    for (const auto& binding : {std::pair{PortShortcut, 0}, {VersionShortcut, 1}}) {
        auto* shortcut = new QShortcut(QKeySequence(binding.first), this);
        const int panel = binding.second;
        on(shortcut, &QShortcut::activated, [this, panel] {
            panel == 0 ? sbMainPanels0DblClick(sbMain) : sbMainPanels1DblClick(sbMain);
        });
    }
    on(ComPort, &ComPort::OnTriggerTimer,
       [this](quint16 handle) { ComPortTriggerTimer(ComPort, handle); });
    on(ComPort, &ComPort::DeviceLost, [this](const QString& reason) { ComPortDeviceLost(reason); });
    // The display trigger goes with the port, and so does a message being read.
    connect(ComPort, &ComPort::Closed, this, [this] {
        DisplayTrigger = 0;
        ErrorShowing_ = false;
        DeferredBusyText_.clear();
    });
    on(DataPacket, &DataPacket::OnPacket,
       [this](const quint8* data, int size) { DataPacketPacket(DataPacket, data, size); });
    connect(LightControl, &LightControl::TxLitChanged, LedTx, &Lamp::SetLit);
    connect(LightControl, &LightControl::RxLitChanged, LedRx, &Lamp::SetLit);
}

void TfrmMain::setVisible(bool visible) {
    if (visible && !Shown_) {
        // The start-up sequence runs before the window reaches the screen: the port dialog and
        // the no-port box come first.
        FormShow(this);
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->availableGeometry();
            move(area.center() - QPoint(width() / 2, height() / 2));
        }
    }
    QWidget::setVisible(visible);
    if (visible) {
        // The focus is seen from the first moment: the style frames it only in a window that
        // has had a keyboard focus change, and showing a window forgets one.
        setAttribute(Qt::WA_KeyboardFocusChange);
    }
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    FormClose(this);
    event->accept();
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == btnGetPermInpRange && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        TShiftState shift = 0;
        for (const auto& [modifier, flag] : {std::pair{Qt::ShiftModifier, ssShift},
                                             {Qt::AltModifier, ssAlt},
                                             {Qt::ControlModifier, ssCtrl},
                                             {Qt::MetaModifier, ssMeta}}) {
            shift |= key->modifiers().testFlag(modifier) ? flag : 0u;
        }
        for (const auto& [button, flag] : {std::pair{Qt::LeftButton, ssLeft},
                                           {Qt::RightButton, ssRight},
                                           {Qt::MiddleButton, ssMiddle}}) {
            shift |= QGuiApplication::mouseButtons().testFlag(button) ? flag : 0u;
        }
        int code = key->key();
        btnGetInpRangeKeyDown(watched, code, shift);
        if (code == 0) {
            return true; // swallowed
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace zx
