#include "Accessible.h"

#include "GroupBox.h"
#include "Lamp.h"
#include "NumberedList.h"
#include "ToggleSwitch.h"

#include <QAccessibleWidget>
#include <QLabel>

namespace zx {
namespace {

// A control whose value is a text that a screen reader reads through the text interface.
class ReadOnlyText : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    ReadOnlyText(QWidget* widget, QAccessible::Role role) : QAccessibleWidget(widget, role) {}
    using QAccessibleWidget::text;

    void* interface_cast(QAccessible::InterfaceType t) override {
        return t == QAccessible::TextInterface ? static_cast<QAccessibleTextInterface*>(this)
                                               : QAccessibleWidget::interface_cast(t);
    }
    // Read-only text: no selection, the caret at the start.
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int start, int end) const override { return Shown().mid(start, end - start); }
    int characterCount() const override { return static_cast<int>(Shown().size()); }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* start, int* end) const override {
        *start = *end = 0;
        return {};
    }

protected:
    virtual QString Shown() const = 0;
};

// A value label is named by what it shows unless it has a name of its own; a status panel by
// its text, while it has one, so that each new message is a new name.
class AccessibleTextLabel : public ReadOnlyText {
public:
    AccessibleTextLabel(QLabel* label, QAccessible::Role role) : ReadOnlyText(label, role) {}

    QString text(QAccessible::Text t) const override {
        const QString shown = Shown();
        const bool nameIsText = role() == QAccessible::StatusBar
                                    ? !shown.isEmpty()
                                    : widget()->accessibleName().isEmpty();
        if (t == QAccessible::Value || (t == QAccessible::Name && nameIsText)) {
            return shown;
        }
        return QAccessibleWidget::text(t);
    }
    using ReadOnlyText::text;

protected:
    QString Shown() const override { return static_cast<QLabel*>(widget())->text(); }
};

// A numbered list: named by its label, its value the entry chosen.
class AccessibleChoiceList : public ReadOnlyText {
public:
    explicit AccessibleChoiceList(QComboBox* list) : ReadOnlyText(list, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Value ? Shown() : QAccessibleWidget::text(t);
    }
    using ReadOnlyText::text;
    QStringList actionNames() const override { return {showMenuAction()}; }
    void doAction(const QString& action) override {
        if (action == showMenuAction()) {
            static_cast<QComboBox*>(widget())->showPopup();
        }
    }

protected:
    QString Shown() const override { return static_cast<QComboBox*>(widget())->currentText(); }
};

// A group: its caption names it; the parts of its pictures are left out of its children.
class AccessibleGroup : public QAccessibleWidget {
public:
    explicit AccessibleGroup(GroupBox* group) : QAccessibleWidget(group, QAccessible::Grouping) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) {
            return static_cast<GroupBox*>(widget())->title().trimmed();
        }
        return QAccessibleWidget::text(t);
    }
    int childCount() const override { return static_cast<int>(Spoken().size()); }
    QAccessibleInterface* child(int index) const override {
        const QList<QWidget*> spoken = Spoken();
        return index >= 0 && index < spoken.size()
                   ? QAccessible::queryAccessibleInterface(spoken[index])
                   : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child == nullptr ? -1 : static_cast<int>(Spoken().indexOf(child->object()));
    }

private:
    QList<QWidget*> Spoken() const {
        QList<QWidget*> spoken;
        for (QWidget* w : widget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (!w->isWindow() && !w->property(PicturePart).toBool()) {
                spoken << w;
            }
        }
        return spoken;
    }

public:
    static constexpr const char* PicturePart = "zxPicturePart";
};

// The CAL/RUN switch: a check box, checked in CAL, whose name says the mode ("CAL/RUN switch:
// CAL"): a screen reader reports a state of a check box, not of a push button.
class AccessibleToggle : public QAccessibleWidget {
public:
    explicit AccessibleToggle(ToggleSwitch* toggle)
        : QAccessibleWidget(toggle, QAccessible::CheckBox) {}

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = Toggle()->On();
        return s;
    }
    QString text(QAccessible::Text t) const override {
        const QString mode = Toggle()->On() ? Toggle()->TextOn() : Toggle()->TextOff();
        if (t == QAccessible::Value) {
            return mode;
        }
        if (t == QAccessible::Name && !widget()->accessibleName().isEmpty()) {
            return widget()->accessibleName() + QStringLiteral(": ") + mode;
        }
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override { return {toggleAction()}; }
    void doAction(const QString& action) override {
        if (action == toggleAction() && Toggle()->isEnabled()) {
            Toggle()->Flip();
        }
    }

private:
    ToggleSwitch* Toggle() const { return static_cast<ToggleSwitch*>(widget()); }
};

// A lamp: an indicator, checked while lit.
class AccessibleLamp : public QAccessibleWidget {
public:
    explicit AccessibleLamp(Lamp* lamp) : QAccessibleWidget(lamp, QAccessible::Indicator) {}
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.checked = static_cast<Lamp*>(widget())->Lit();
        return s;
    }
};

QAccessibleInterface* Factory(const QString& className, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget == nullptr) {
        return nullptr;
    }
    if (className == QLatin1String("zx::ValueLabel")) {
        return new AccessibleTextLabel(static_cast<QLabel*>(widget), QAccessible::StaticText);
    }
    if (className == QLatin1String("zx::StatusPanel")) {
        return new AccessibleTextLabel(static_cast<QLabel*>(widget), QAccessible::StatusBar);
    }
    if (className == QLatin1String("zx::ToggleSwitch")) {
        return new AccessibleToggle(static_cast<ToggleSwitch*>(widget));
    }
    if (className == QLatin1String("zx::Lamp")) {
        return new AccessibleLamp(static_cast<Lamp*>(widget));
    }
    if (className == QLatin1String("zx::NumberedList")) {
        return new AccessibleChoiceList(static_cast<QComboBox*>(widget));
    }
    if (className == QLatin1String("zx::GroupBox")) {
        return new AccessibleGroup(static_cast<GroupBox*>(widget));
    }
    if (className == QLatin1String("zx::Shape")) {
        return new QAccessibleWidget(widget, QAccessible::Graphic);
    }
    if (className == QLatin1String("zx::Bevel")) {
        return new QAccessibleWidget(widget, QAccessible::Separator);
    }
    if (className == QLatin1String("zx::Container")) {
        return new QAccessibleWidget(widget, QAccessible::Pane);
    }
    if (className == QLatin1String("zx::StatusPanels")) {
        return new QAccessibleWidget(widget, QAccessible::StatusBar);
    }
    return nullptr;
}

} // namespace

void EnsureAccessibleWidgets() {
    static const bool installed = [] {
        QAccessible::installFactory(Factory);
        return true;
    }();
    (void)installed;
}

void SpeakThroughPicture(QWidget* part) {
    part->setProperty(AccessibleGroup::PicturePart, true);
}

void AnnounceText(QLabel* label, const QString& before) {
    if (label->text() == before || !QAccessible::isActive()) {
        return; // each answer changes the status line: no work while nobody listens
    }
    QAccessibleEvent name(label, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&name);
    QAccessibleTextUpdateEvent text(label, 0, before, label->text());
    QAccessible::updateAccessibility(&text);
}

} // namespace zx
