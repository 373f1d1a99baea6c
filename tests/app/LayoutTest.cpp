#include "Layout.h"
#include "Hints.h"
#include "WindowFixture.h"

#include <QContextMenuEvent>
#include <QTest>

namespace zx::test {
namespace {

class Layout : public WindowFixture {};

// The class each kind is built as, in the order of ControlKind.
const char* KindClass(ControlKind kind) {
    static const char* const classes[] = {
        "zx::Container",    "zx::Bevel",        "zx::GroupBox",   "zx::StatusPanels",
        "zx::Container",    "QLabel",           "QLabel",         "zx::ValueLabel",
        "QPushButton",      "zx::RangeList",    "zx::NumberEdit", "zx::CalibrationEdit",
        "zx::CodeSpinEdit", "QCheckBox",        "zx::StatusList", "zx::Shape",
        "zx::Shape",        "zx::ToggleSwitch", "zx::Lamp"};
    return classes[static_cast<int>(kind)];
}

TEST_F(Layout, EveryControlStandsWhereTheTableSays) {
    for (const LayoutRow& row : MainLayout()) {
        SCOPED_TRACE(row.Name);
        auto* w = Window.findChild<QWidget*>(QString::fromLatin1(row.Name));
        ASSERT_NE(w, nullptr);
        EXPECT_STREQ(w->metaObject()->className(), KindClass(row.Kind));
        const QString parent = QString::fromLatin1(row.Parent);
        EXPECT_EQ(w->parentWidget()->objectName(), parent.isEmpty() ? "frmMain" : parent);
        EXPECT_EQ(w->x(), row.Left);
        EXPECT_EQ(w->y(), row.Top);
        EXPECT_EQ(w->height(), row.Height);
        if (row.Kind == ControlKind::Label) {
            EXPECT_GE(w->width(), row.Width) << "a label sizes to its caption";
        } else {
            EXPECT_EQ(w->width(), row.Width);
        }
        const QString caption = QString::fromUtf8(row.Caption);
        if (auto* label = qobject_cast<QLabel*>(w); label && row.Kind != ControlKind::ValueLabel) {
            EXPECT_EQ(label->text(), caption);
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            EXPECT_EQ(button->text(), caption);
        } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
            EXPECT_EQ(group->title(), caption);
        }
        EXPECT_EQ(Hint(w), QString::fromUtf8(row.Hint));
        EXPECT_EQ(HintShown(w), row.Hints == HintMode::Shown);
        EXPECT_EQ(w->toolTip().isEmpty(), row.Hints != HintMode::Shown);
        EXPECT_TRUE(w->isEnabled()) << "all enabled when created";
    }
}

TEST_F(Layout, EveryControlStandsClearOfItsGroupsFrame) {
    for (const GroupBox* group : {Window.grpGeneral, Window.grpInput, Window.grpOutput}) {
        // Inside the frame's lines, with two pixels to spare on every side.
        const QRect clear = group->FrameRect().adjusted(4, 4, -3, -3);
        for (const QWidget* control : group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            EXPECT_TRUE(clear.contains(control->geometry()))
                << control->objectName().toStdString() << " touches the frame of "
                << group->objectName().toStdString();
        }
    }
}

TEST_F(Layout, TheWindowHasAFixedFrameWithoutMaximise) {
    EXPECT_EQ(Window.minimumSize(), QSize(553, 533));
    EXPECT_EQ(Window.maximumSize(), QSize(553, 533));
    const Qt::WindowFlags flags = Window.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(Window.font().pixelSize(), 11);
    EXPECT_TRUE(Window.windowTitle().isEmpty());
    EXPECT_FALSE(Window.windowIcon().isNull());
}

// The colours of the table assume a light face. Run again under a dark desktop theme
// (WindowLooksTheSameUnderADarkTheme): nothing may change.
TEST_F(Layout, KeepsItsLightFaceWhateverTheDesktopTheme) {
    const auto lightness = [](const QImage& image, bool darkest) {
        int found = darkest ? 255 : 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const int l = image.pixelColor(x, y).lightness();
                found = darkest ? std::min(found, l) : std::max(found, l);
            }
        }
        return found;
    };
    const QImage window = Window.grab().toImage();
    for (QWidget* caption :
         std::initializer_list<QWidget*>{Window.lblSW11, Window.lblmA, Window.lblTempInpRange}) {
        const QImage image =
            window.copy(QRect(caption->mapTo(&Window, QPoint(0, 0)), caption->size()));
        EXPECT_LT(lightness(image, true), 80) << caption->objectName().toStdString();
        EXPECT_GT(lightness(image, false), 200) << caption->objectName().toStdString();
    }
    EXPECT_EQ(Window.pnlTemp->grab().toImage().pixelColor(5, 5), QColor(Qt::white));
}

TEST_F(Layout, HintsKeepTheirTextsTyposAndLineBreaks) {
    EXPECT_EQ(Hint(Window.cmbInpRanges),
              "Select input range to calibrate (this will change the input range temporarly)");
    EXPECT_EQ(Hint(Window.pnlTemp),
              "Internal ambient temperature of the module in degrees Celcius");
    EXPECT_EQ(Hint(Window.cmbOutRanges), "Select input range to calibrate");
    const QString hint5 = Hint(Window.seOutZero);
    EXPECT_TRUE(hint5.startsWith("To calibrate the output range:\r\n" + QString(95, '-') + "\r\n"));
    EXPECT_TRUE(hint5.endsWith("6) Switch back to RUN mode"));
    EXPECT_TRUE(Hint(Window.sw1).contains("\r\n" + QString(60, '-') + "\r\n"));
    EXPECT_TRUE(Hint(Window.beInpZero).contains("\r\n" + QString(82, '-') + "\r\n"));
    EXPECT_EQ(Window.sw1->toolTip().count('\n'), 6);
    EXPECT_FALSE(Window.sw1->toolTip().contains('\r'));
    EXPECT_FALSE(HintShown(Window.calSwitch)) << "until start-up turns it on";
    EXPECT_FALSE(HintShown(Window.OutJumper));
    EXPECT_FALSE(HintShown(Window.Shape5));
}

TEST_F(Layout, StartsWithTheLayoutsInitialContents) {
    EXPECT_EQ(Window.pnlTemp->text(), "N/A");
    EXPECT_EQ(Window.pnlPermOut->text(), "N/A");
    EXPECT_EQ(Window.beInpZero->text(), "0");
    EXPECT_EQ(Window.beInpFull->text(), "0");
    EXPECT_TRUE(Window.edInpMin->text().isEmpty());
    EXPECT_TRUE(Window.lblInpZeroUnit->text().isEmpty());
    EXPECT_EQ(Window.seOutZero->value(), 0);
    EXPECT_FALSE(Window.cbInvertOut->isChecked());
    EXPECT_EQ(Window.cmbInpRanges->count(), 0);
    EXPECT_EQ(Window.lvInpCalStat->RowCount(), 0);
    EXPECT_FALSE(Window.calSwitch->On());
    EXPECT_FALSE(Window.LedTx->Lit());
    EXPECT_EQ(Window.LedTx->CurrentColor(), Window.LedTx->NotLitColor());
    for (int panel = 0; panel < 3; ++panel) {
        EXPECT_TRUE(Window.sbMain->PanelText(panel).isEmpty());
    }
    EXPECT_EQ(Window.beInpZero->EditMask(), "\\-?\\d+\\.\\d+");
    EXPECT_EQ(Window.sw11->y(), 39);
    EXPECT_EQ(Window.OutJumper->x(), 224);
    EXPECT_EQ(Window.sw11->Fill(), QColor(Qt::red));
    EXPECT_EQ(Window.Shape3->ShapeKind(), Shape::Kind::Circle);
    EXPECT_EQ(Window.mnuClearInCal->text(), "Clear calibration flags");
    EXPECT_EQ(Window.lvInpCalStat->headerItem()->text(0), "Input");
    EXPECT_EQ(Window.lvOutCalStat->columnWidth(0), 80);
}

TEST_F(Layout, TabMovesThroughEachGroupInTableOrder) {
    auto chainFrom = [](QWidget* first, int count) {
        QStringList names;
        QWidget* w = first;
        while (names.size() < count) {
            if ((w->focusPolicy() & Qt::TabFocus) && !w->objectName().isEmpty() &&
                !w->objectName().startsWith("qt_")) {
                names << w->objectName();
            }
            w = w->nextInFocusChain();
        }
        return names;
    };
    EXPECT_EQ(chainFrom(Window.btnGetPermInpRange, 11),
              QStringList({"btnGetPermInpRange", "cmbInpRanges", "btnGetTempInpRange",
                           "btnSetInputRange", "beInpZero", "beInpFull", "edInpMin", "edInpMax",
                           "lvInpCalStat", "btnGetPermOutRange", "cmbOutRanges"}));
    EXPECT_EQ(chainFrom(Window.cmbOutRanges, 12),
              QStringList({"cmbOutRanges", "btnGetTempOutRange", "btnSetOutRange", "seOutZero",
                           "btnOutZero", "seOutFull", "btnOutFull", "edOutMin", "edOutMax",
                           "cbInvertOut", "lvOutCalStat", "calSwitch"}));
    EXPECT_EQ(chainFrom(Window.calSwitch, 2), QStringList({"calSwitch", "btnGetPermInpRange"}))
        << "the General group's switch comes first; disabled, Tab passes it by";
    for (auto* label : Window.findChildren<ValueLabel*>()) {
        EXPECT_EQ(label->focusPolicy(), Qt::NoFocus) << label->objectName().toStdString();
    }
}

// Whatever the scale and the font, a caption label keeps a gap to the field it names (the
// suite runs this at 150 % too).
TEST_F(Layout, LabelsKeepAGapToTheirFields) {
    int led = 0;
    for (const LayoutRow& row : MainLayout()) {
        if (const LayoutRow* field = FieldLedBy(row)) {
            const QWidget* label = Window.findChild<QWidget*>(QString::fromLatin1(row.Name));
            const QWidget* next = Window.findChild<QWidget*>(QString::fromLatin1(field->Name));
            EXPECT_LT(label->geometry().right() + 1, next->x())
                << row.Name << " touches " << field->Name;
            ++led;
        }
    }
    EXPECT_GE(led, 10) << "the labels before fields were found";
    const PortNamespace ports(Pty.LinkFolder(), Pty.LockFolder());
    TfrmComSelect dialog(ports);
    EXPECT_LT(dialog.lblComSelect->geometry().right(), dialog.cbComPorts->x());
}

TEST_F(Layout, DacCodesReadInAsciiDigitsInEveryLocale) {
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));
    CodeSpinEdit code;
    code.setValue(3277);
    QLocale::setDefault(before);
    EXPECT_EQ(code.text(), "3277");
}

TEST_F(Layout, PicturesFollowTheRangeCatalogue) {
    Window.ShowSwitchPattern(5);
    const QList<Shape*> levers{Window.sw11, Window.sw12, Window.sw13,
                               Window.sw14, Window.sw15, Window.sw16};
    QString up;
    for (Shape* lever : levers) {
        up += lever->y() == 29 ? '1' : (lever->y() == 39 ? '0' : '?');
    }
    EXPECT_EQ(up, "010010");
    Window.ShowOutputRange(1);
    EXPECT_EQ(Window.OutJumper->x(), 191);
    EXPECT_EQ(Window.lblOutMinUnit->text(), "mA");
    Window.ShowOutputRange(0);
    EXPECT_EQ(Window.OutJumper->x(), 224);
    EXPECT_EQ(Window.lblOutMaxUnit->text(), "V");
    Window.ShowInputRange(0);
    EXPECT_EQ(Window.beInpZero->text(), "0.0");
    EXPECT_EQ(Window.beInpFull->text(), "312.0");
    EXPECT_EQ(Window.lblInpMaxUnit->text(), "mV");
    EXPECT_EQ(Window.CurrentInputRange, 0);
    Window.ShowInputRange(2);
    EXPECT_EQ(Window.beInpFull->text(), "1.250");
    Window.ShowInputRange(255); // never indexes outside the table
    EXPECT_EQ(Window.CurrentInputRange, 2);
}

} // namespace
} // namespace zx::test
