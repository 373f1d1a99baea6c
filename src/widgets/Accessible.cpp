#include "Accessible.h"

#include "Lamp.h"
#include "ToggleSwitch.h"

#include <QAccessibleWidget>
#include <QLabel>

namespace zx {
namespace {

// A read-only text: its value and its text interface carry the text shown. A value label is
// named by what it shows (its own name); a status panel by its text, while it has one, so that
// each new message is a new name.
class AccessibleTextLabel : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    AccessibleTextLabel(QLabel* label, QAccessible::Role role) : QAccessibleWidget(label, role) {}

    QString text(QAccessible::Text t) const override {
        const QString shown = Label()->text();
        const bool nameIsText = role() == QAccessible::StatusBar
                                    ? !shown.isEmpty()
                                    : Label()->accessibleName().isEmpty();
        if (t == QAccessible::Value || (t == QAccessible::Name && nameIsText)) {
            return shown;
        }
        return QAccessibleWidget::text(t);
    }
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
    QString text(int start, int end) const override {
        return Label()->text().mid(start, end - start);
    }
    int characterCount() const override { return static_cast<int>(Label()->text().size()); }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* start, int* end) const override {
        *start = *end = 0;
        return {};
    }

private:
    QLabel* Label() const { return static_cast<QLabel*>(widget()); }
};

// The CAL/RUN switch: a toggle button, checked in CAL.
class AccessibleToggle : public QAccessibleWidget {
public:
    explicit AccessibleToggle(ToggleSwitch* toggle)
        : QAccessibleWidget(toggle, QAccessible::Button) {}

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = Toggle()->On();
        return s;
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) {
            return Toggle()->On() ? Toggle()->TextOn() : Toggle()->TextOff();
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
