#pragma once

class QComboBox;
class QLabel;
class QString;
class QWidget;

namespace zx {

// Screen readers see Qt's stock widgets by themselves; the framework's own widgets are made
// visible here: value labels and status panels with their text, the two-state switch as a
// check box that is checked in CAL and names its mode, lists by what they are with the entry
// chosen as their value, groups without the parts of their pictures, shapes as graphics, lamps
// as indicators, bevels as separators. Each widget of the framework makes sure of it when it is
// made.
void EnsureAccessibleWidgets();

// A part of a picture (a lever of a DIP switch, a jumper's pin) that the picture itself speaks
// for: its group leaves it out of the tree a screen reader walks.
void SpeakThroughPicture(QWidget* part);

// A list to choose from, heard as a screen reader needs it: its entries browsable with the
// chosen one selected, a new choice said when the keys change it.
void SpeakChoices(QComboBox* list);

// A label's text changed: announced as a change of its name and of its text, so that a screen
// reader says "Success." when the status line says it.
void AnnounceText(QLabel* label, const QString& before);

} // namespace zx
