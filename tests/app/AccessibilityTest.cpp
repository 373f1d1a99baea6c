#include "Layout.h"
#include "WindowFixture.h"

#include <QAccessible>
#include <QTest>

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
        ASSERT_TRUE(reached.contains(control)) << row.Name << " is not in the accessible tree";
        QAccessibleInterface* a = reached.value(control);
        EXPECT_NE(a->role(), QAccessible::Client) << row.Name << " has no role of its own";
        EXPECT_FALSE(a->text(QAccessible::Name).isEmpty()) << row.Name << " has no name";
    }
    EXPECT_EQ(Of(Window.pnlTemp)->text(QAccessible::Name),
              "Internal ambient temperature of the module in degrees Celcius");
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
    EXPECT_EQ(status->textInterface()->text(0, 8), "Success.");
    EXPECT_EQ(Of(Window.sw1)->text(QAccessible::Name),
              "SW1: 1 down, 2 up, 3 down, 4 down, 5 up, 6 down"); // range 5
    EXPECT_EQ(Of(Window.Shape1)->text(QAccessible::Name), "JP6: V");
    EXPECT_EQ(Of(Window.pnlTemp)->text(QAccessible::Value), "31.3");

    QAccessibleInterface* toggle = Of(Window.calSwitch);
    EXPECT_EQ(toggle->role(), QAccessible::Button);
    EXPECT_TRUE(toggle->state().checkable);
    EXPECT_TRUE(toggle->state().checked) << "CAL is checked";
    Window.QueryCalMode();
    Answer({0x21, 0x00});
    EXPECT_FALSE(toggle->state().checked) << "RUN is not";
}

} // namespace
} // namespace zx::test
