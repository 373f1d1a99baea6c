#pragma once

#include <QString>

class QWidget;

namespace zx {

// A control's hint text and whether it shows. The text is kept exactly as given (with its
// \r\n line breaks); the tool-tip carries it only while the hint is shown.
void SetHint(QWidget* widget, const QString& hint, bool shown);
void SetShowHint(QWidget* widget, bool shown);
QString Hint(const QWidget* widget);
bool HintShown(const QWidget* widget);

} // namespace zx
