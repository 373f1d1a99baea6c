#include "Layout.h"
#include "WindowFixture.h"

#include <QToolButton>

#include <QAccessible>
#include <QKeyEvent>
#include <QTest>

#include <filesystem>

namespace zx::test {
namespace {

class Accessibility : public WindowFixture {
protected:
    void SetUp() override { StartWithPort(); }
    static QAccessibleInterface* Of(QWidget* w) { return QAccessible::queryAccessibleInterface(w); }
};

void Walk(QAccessibleInterface* node, QHash<QObject*, QAccessibleInterface*>& reached) {
    reached.insert(node->object(), node);
    for (int i = 0; i < node->childCount(); ++i) {
        Walk(node->child(i), reached);
    }
}

TEST_F(Accessibility, EveryControlOfTheLayoutHasARoleAndAName) {
    QHash<QObject*, QAccessibleInterface*> reached;
    Walk(Of(&Window), reached);
    for (const LayoutRow& row : MainLayout()) {
        QWidget* control = Window.findChild<QWidget*>(QString::fromLatin1(row.Name));
        if (IsPicturePart(row)) {
            EXPECT_FALSE(reached.contains(control)) << row.Name << ": its picture speaks for it";
            continue;
        }
        ASSERT_TRUE(reached.contains(control)) << row.Name << " is not in the accessible tree";
        QAccessibleInterface* a = reached.value(control);
        EXPECT_NE(a->role(), QAccessible::Client) << row.Name << " has no role of its own";
        const QString name = a->text(QAccessible::Name);
        EXPECT_FALSE(name.isEmpty()) << row.Name << " has no name";
        // A name says what a control is or holds; what to do with it is its description.
        for (const char* instruction : {"Press", "To ", "Right click", "Select", "Enter", "1)"}) {
            EXPECT_FALSE(name.startsWith(QLatin1String(instruction)))
                << row.Name << " is named by an instruction: " << name.toStdString();
        }
    }
    // Buttons, and the readings shown for both ranges, are told apart by name.
    QHash<QString, QString> named;
    for (const LayoutRow& row : MainLayout()) {
        QWidget* control = Window.findChild<QWidget*>(QString::fromLatin1(row.Name));
        const bool reading = std::string_view(row.Hint).starts_with("Input signal reading") ||
                             std::string_view(row.Hint).starts_with("Calculated output signal");
        if (control != nullptr && (Of(control)->role() == QAccessible::Button || reading)) {
            const QString name = Of(control)->text(QAccessible::Name);
            EXPECT_FALSE(named.contains(name))
                << row.Name << " and " << named.value(name).toStdString() << " are both named "
                << name.toStdString();
            named.insert(name, QString::fromLatin1(row.Name));
        }
    }
    EXPECT_EQ(Of(Window.btnSetOutRange)->text(QAccessible::Name), "Make output range permanent");
    EXPECT_TRUE(Of(Window.btnSetOutRange)->text(QAccessible::Description).contains("Press"))
        << "the hint stays its description";
    EXPECT_EQ(Of(Window.pnlTemp)->text(QAccessible::Name),
              "Internal ambient temperature of the module in degrees Celcius");
    EXPECT_EQ(Of(Window.beInpFull)->text(QAccessible::Name), "FS");
    // The window is a frame; fields, lamps and buttons say what they are, not their caption.
    EXPECT_EQ(Of(&Window)->role(), QAccessible::Window);
    EXPECT_EQ(Of(Window.edInpMin)->text(QAccessible::Name), "Input minimum");
    EXPECT_EQ(Of(Window.edOutMax)->text(QAccessible::Name), "Output maximum");
    EXPECT_EQ(Of(Window.LedRx)->text(QAccessible::Name), "Receive lamp, from the module");
    EXPECT_EQ(Of(Window.beInpFull->Button())->text(QAccessible::Name),
              "Calibrate input full scale");
    // The range lists say which they are, their range being their value; the caption before
    // them labels them.
    for (QComboBox* list : {Window.cmbInpRanges, Window.cmbOutRanges}) {
        const bool input = list == Window.cmbInpRanges;
        QAccessibleInterface* a = Of(list);
        EXPECT_EQ(a->text(QAccessible::Name), input ? "Input ranges" : "Output ranges");
        EXPECT_EQ(a->text(QAccessible::Value), list->currentText());
        EXPECT_TRUE(a->text(QAccessible::Description).contains(input ? "input" : "output"));
        QStringList labels;
        for (const auto& [label, relation] : a->relations(QAccessible::Label)) {
            labels << label->text(QAccessible::Name);
        }
        EXPECT_TRUE(labels.contains("Ranges")) << labels.join(", ").toStdString();
    }
    EXPECT_EQ(Of(Window.lvInpCalStat)->text(QAccessible::Name), "Calibration status, input");
    EXPECT_TRUE(Of(Window.lvInpCalStat)->text(QAccessible::Description).startsWith("Right click"))
        << "the hint stays the description";
}

// The focus is seen from the first moment: the focused button looks otherwise than when it
// has no focus, before any key was pressed.
TEST_F(Accessibility, TheFocusIsFramedFromTheStart) {
    QPushButton* read = Window.btnGetPermInpRange;
    if (!WaitUntil([&] { return QApplication::focusWidget() == read; }, 2000)) {
        GTEST_SKIP() << "the display server gave the window no keyboard (a headless "
                        "compositor has no seat)";
    }
    const QImage framed = read->grab().toImage();
    Window.btnGetTempInpRange->setEnabled(true);
    Window.btnGetTempInpRange->setFocus();
    EXPECT_NE(read->grab().toImage(), framed) << "no focus frame was drawn at start";
}

TEST_F(Accessibility, TheStatusLineTheSwitchAndThePicturesSayTheirState) {
    EXPECT_EQ(Of(Window.sw1)->text(QAccessible::Name),
              "SW1: 1 down, 2 up, 3 up, 4 down, 5 down, 6 down"); // range 0
    Window.btnGetPermInpRange->click();
    AnswerInput(4, {1, 5, 1, 2.5f, 1, 1, -10, 10, 31.25f, 23.5f, 1});
    // The status line names itself by its text: a change of it is a change of its name, which
    // is what an assistive tool is told.
    QAccessibleInterface* status = Of(Window.sbMain->Panel(2));
    EXPECT_EQ(status->role(), QAccessible::StatusBar);
    EXPECT_EQ(status->text(QAccessible::Name), "Success.");
    EXPECT_EQ(Of(Window.sbMain->Panel(0))->text(QAccessible::Name), "Port: COM1,9600,N,8,1");
    EXPECT_EQ(status->textInterface()->text(0, 8), "Success.");
    EXPECT_EQ(Of(Window.sw1)->text(QAccessible::Name),
              "SW1: 1 down, 2 up, 3 down, 4 down, 5 up, 6 down"); // range 5
    EXPECT_EQ(Of(Window.Shape1)->text(QAccessible::Name), "JP6: V");
    EXPECT_EQ(Of(Window.pnlTemp)->text(QAccessible::Value), "31.3");
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    const QVariant live =
        status->attributesInterface()->attributeValue(QAccessible::Attribute::Custom);
    using Attributes = QHash<QString, QString>;
    EXPECT_EQ(live.value<Attributes>().value("live"), "polite");
#endif

    QAccessibleInterface* toggle = Of(Window.calSwitch);
    EXPECT_EQ(toggle->role(), QAccessible::CheckBox);
    EXPECT_TRUE(toggle->state().checked) << "CAL is checked";
    EXPECT_EQ(toggle->text(QAccessible::Name), "CAL/RUN switch: CAL");
    Window.QueryCalMode();
    Answer({0x21, 0x00});
    EXPECT_FALSE(toggle->state().checked) << "RUN is not";
    EXPECT_EQ(toggle->text(QAccessible::Name), "CAL/RUN switch: RUN");
}

TEST_F(Accessibility, TheSwitchIsReachableFromTheKeyboard) {
    // In full mode the switch takes the focus from Tab, and Space throws it. (The status panels'
    // shortcuts are typed for real in the AT-SPI check.)
    QTest::keyClick(Window.btnGetPermInpRange, Qt::Key_F11,
                    Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
    Window.btnGetPermInpRange->click();
    AnswerInput(4, {1, 5, 1, 2.5f, 1, 1, -10, 10, 31.25f, 23.5f, 0});
    ASSERT_TRUE(Window.calSwitch->isEnabled());
    // It stands just before the Input group's first control.
    Window.btnGetPermInpRange->setFocus();
    QTest::keyClick(Window.btnGetPermInpRange, Qt::Key_Backtab, Qt::ShiftModifier);
    ASSERT_EQ(QApplication::focusWidget(), Window.calSwitch);
    Sent();
    QTest::keyClick(Window.calSwitch, Qt::Key_Space);
    EXPECT_EQ(Sent(), (Bytes{0x02, 0x20, 0x01, 0x03})) << "CAL asked for";
    // Space held down: its repeats do not throw the switch back and forth.
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
    QApplication::sendEvent(Window.calSwitch, &repeat);
    EXPECT_TRUE(Sent().empty()) << "an auto-repeated Space sent another request";
}

TEST_F(Accessibility, ThePortListIsNamedByItsLabelAndTypedNumbersPickAPort) {
    PtyPair com49(49);
    std::filesystem::remove(Pty.LinkFolder() / "com49");
    std::filesystem::create_symlink(com49.SlavePath(), Pty.LinkFolder() / "com49");
    std::filesystem::create_symlink(com49.SlavePath(), Pty.LinkFolder() / "com5");
    // COM4 exists too: "49" typed quickly must not stop at it.
    std::filesystem::create_symlink(com49.SlavePath(), Pty.LinkFolder() / "com4");
    QString named;
    QString chosen;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<TfrmComSelect*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        QAccessibleInterface* list = Of(dialog->cbComPorts);
        named = list->text(QAccessible::Name);
        QTest::keyClicks(dialog->cbComPorts, "5");
        // The entries are there to browse, the chosen one selected.
        QAccessibleInterface* entries = list->child(0);
        ASSERT_NE(entries, nullptr);
        for (int i = 0; i < entries->childCount(); ++i) {
            if (entries->child(i)->state().selected) {
                chosen += entries->child(i)->text(QAccessible::Name);
            }
        }
        chosen += "=" + list->text(QAccessible::Value);
        QTest::keyClick(dialog->cbComPorts, Qt::Key_Home); // a new number starts
        QTest::keyClicks(dialog->cbComPorts, "49");
        dialog->btnOk->click();
    });
    Window.sbMainPanels0DblClick(Window.sbMain);
    EXPECT_EQ(named, "Please select COM port:");
    EXPECT_EQ(chosen, "COM5=COM5");
    EXPECT_EQ(Window.ComPort->ComNumber(), 49);
}

} // namespace
} // namespace zx::test
