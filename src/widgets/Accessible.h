#pragma once

class QLabel;
class QString;
class QWidget;

namespace zx {

// Screen readers see Qt's stock widgets by themselves; the framework's own widgets are made
// visible here: value labels and status panels with their text, the two-state switch as a
// toggle button with its checked state, shapes as graphics, lamps as indicators, bevels as
// separators. Each widget of the framework makes sure of it when it is made.
void EnsureAccessibleWidgets();

// A label's text changed: announced as a change of its name and of its text, so that a screen
// reader says "Success." when the status line says it.
void AnnounceText(QLabel* label, const QString& before);

} // namespace zx
