#include "Hints.h"

#include <QVariant>
#include <QWidget>

namespace zx {
namespace {
constexpr const char* HintProperty = "zxHint";
constexpr const char* ShowHintProperty = "zxShowHint";

void Apply(QWidget* widget) {
    const bool shown = widget->property(ShowHintProperty).toBool();
    QString text = widget->property(HintProperty).toString();
    // A tool-tip breaks lines at \n; the carriage returns would show as boxes.
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    widget->setToolTip(shown ? text : QString());
}
} // namespace

void SetHint(QWidget* widget, const QString& hint, bool shown) {
    widget->setProperty(HintProperty, hint);
    widget->setProperty(ShowHintProperty, shown);
    Apply(widget);
}

void SetShowHint(QWidget* widget, bool shown) {
    widget->setProperty(ShowHintProperty, shown);
    Apply(widget);
}

QString Hint(const QWidget* widget) {
    return widget->property(HintProperty).toString();
}

bool HintShown(const QWidget* widget) {
    return widget->property(ShowHintProperty).toBool();
}

} // namespace zx
