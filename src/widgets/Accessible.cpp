#include "Accessible.h"

#include "GroupBox.h"
#include "Lamp.h"
#include "NumberedList.h"
#include "StatusPanels.h"
#include "ToggleSwitch.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLabel>

namespace zx {
namespace {

constexpr const char* SpokenChoice = "zxSpokenChoice";

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
        if (t == QAccessible::Name && nameIsText && role() == QAccessible::StatusBar &&
            widget()->property(StatusPanel::SaysPurpose).toBool()) {
            // A panel with a purpose says it before what it shows: "Port: COM42,9600,N,8,1".
            return widget()->accessibleName() + QStringLiteral(": ") + shown;
        }
        if (t == QAccessible::Value || (t == QAccessible::Name && nameIsText)) {
            return shown;
        }
        return QAccessibleWidget::text(t);
    }
    using ReadOnlyText::text;

protected:
    QString Shown() const override { return static_cast<QLabel*>(widget())->text(); }
};

#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
// A status panel is a polite live region: a screen reader says each new message when the user
// is done, without moving the focus; the message is said whole. (Older Qt carries no object
// attributes to the accessibility bus; there the changes of name and text are what is heard.)
class AccessibleStatusPanel : public AccessibleTextLabel, public QAccessibleAttributesInterface {
public:
    explicit AccessibleStatusPanel(QLabel* label)
        : AccessibleTextLabel(label, QAccessible::StatusBar) {}

    void* interface_cast(QAccessible::InterfaceType t) override {
        return t == QAccessible::AttributesInterface
                   ? static_cast<QAccessibleAttributesInterface*>(this)
                   : AccessibleTextLabel::interface_cast(t);
    }
    QList<QAccessible::Attribute> attributeKeys() const override {
        return {QAccessible::Attribute::Custom};
    }
    QVariant attributeValue(QAccessible::Attribute key) const override {
        if (key != QAccessible::Attribute::Custom) {
            return {};
        }
        return QVariant::fromValue(
            QHash<QString, QString>{{QStringLiteral("live"), QStringLiteral("polite")},
                                    {QStringLiteral("container-live"), QStringLiteral("polite")},
                                    {QStringLiteral("atomic"), QStringLiteral("true")}});
    }
};
#else
class AccessibleStatusPanel : public AccessibleTextLabel {
public:
    explicit AccessibleStatusPanel(QLabel* label)
        : AccessibleTextLabel(label, QAccessible::StatusBar) {}
};
#endif

// A list to choose from (ports, ranges): named by what it is, its value the entry chosen, its
// one child the list of entries a screen reader browses, the chosen one selected.
class AccessibleChoiceList : public ReadOnlyText {
public:
    explicit AccessibleChoiceList(QComboBox* list) : ReadOnlyText(list, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value ||
            (t == QAccessible::Name && List()->accessibleName().isEmpty())) {
            return Shown();
        }
        return QAccessibleWidget::text(t);
    }
    using ReadOnlyText::text;
    int childCount() const override { return 1; }
    QAccessibleInterface* child(int index) const override {
        return index == 0 ? QAccessible::queryAccessibleInterface(List()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child != nullptr && child->object() == List()->view() ? 0 : -1;
    }
    QStringList actionNames() const override { return {showMenuAction()}; }
    void doAction(const QString& action) override {
        if (action == showMenuAction()) {
            List()->showPopup();
        }
    }

protected:
    QString Shown() const override { return List()->currentText(); }

private:
    QComboBox* List() const { return static_cast<QComboBox*>(widget()); }
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
    // A program's own main window made of a plain widget is a frame to a screen reader, not a
    // filler; dialogs, menus and Qt's own windows have interfaces of their own.
    if (widget->windowType() == Qt::Window &&
        className == QLatin1String(widget->metaObject()->className()) &&
        className.startsWith(QLatin1String("zx::")) &&
        widget->metaObject()->superClass() == &QWidget::staticMetaObject) {
        return new QAccessibleWidget(widget, QAccessible::Window);
    }
    if (className == QLatin1String("zx::ValueLabel")) {
        return new AccessibleTextLabel(static_cast<QLabel*>(widget), QAccessible::StaticText);
    }
    if (className == QLatin1String("zx::StatusPanel")) {
        return new AccessibleStatusPanel(static_cast<QLabel*>(widget));
    }
    if (className == QLatin1String("zx::ToggleSwitch")) {
        return new AccessibleToggle(static_cast<ToggleSwitch*>(widget));
    }
    if (className == QLatin1String("zx::Lamp")) {
        return new AccessibleLamp(static_cast<Lamp*>(widget));
    }
    if (className == QLatin1String("zx::NumberedList") ||
        className == QLatin1String("zx::RangeList")) {
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

void SpeakChoices(QComboBox* list) {
    EnsureAccessibleWidgets();
    QObject::connect(list, &QComboBox::currentIndexChanged, list, [list](int index) {
        // The entries keep the choice selected while the list is closed, so that a screen
        // reader browsing them hears which one it is; and the new choice is said as text, for
        // the list's name stays what the list is.
        if (QItemSelectionModel* chosen = list->view()->selectionModel(); chosen != nullptr) {
            chosen->setCurrentIndex(list->model()->index(index, list->modelColumn()),
                                    QItemSelectionModel::ClearAndSelect);
        }
        const QString before = list->property(SpokenChoice).toString();
        list->setProperty(SpokenChoice, list->currentText());
        if (QAccessible::isActive() && before != list->currentText()) {
            QAccessibleTextUpdateEvent text(list, 0, before, list->currentText());
            QAccessible::updateAccessibility(&text);
        }
    });
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
