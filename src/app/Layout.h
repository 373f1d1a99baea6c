#pragma once

#include <span>
#include <string>

namespace zx {

enum class ControlKind {
    Strip,           // borderless strip
    Separator,       // etched horizontal line
    Group,           // group box, caption at top left
    StatusBar,       // status bar with its panels
    Container,       // plain holder
    Label,           // plain text label, sized to its caption
    UnitLabel,       // label with no caption at start; the range's unit goes in
    ValueLabel,      // bordered read-only value, "N/A"
    Button,          // push button
    RangeList,       // choose-only drop-down list
    NumberEdit,      // masked numeric edit
    CalibrationEdit, // read-only number edit with an embedded button
    CodeSpinEdit,    // 0..65535 spin edit
    CheckBox,
    StatusList, // report list with per-cell colours
    ShapeRect,
    ShapeCircle,
    Toggle, // two-state vertical switch
    Lamp,
};

enum class HintMode {
    None,        // the control shows no hint
    Shown,       // the hint shows
    NotShown,    // the control carries a hint that never shows
    AfterStartup // shows once start-up turns it on
};

// One control of the main window: where it sits, what it says, its hint and tab position.
struct LayoutRow {
    const char* Name;
    ControlKind Kind;
    const char* Parent; // "" for the window itself
    int Left;
    int Top;
    int Width;
    int Height;
    const char* Caption;
    const char* Hint;
    HintMode Hints;
    int Tab;           // position in the parent's tab order; -1 for none
    const char* Extra; // shapes: the fill; lists: the columns "Caption:width:L|C"
};

// The main window's layout, in creation (and drawing) order.
std::span<const LayoutRow> MainLayout();

// What a screen reader calls a control: its caption, else the caption beside it or what it
// holds, else the first line of a hint that describes rather than instructs. Unit labels name
// themselves by the unit they show; parts of a picture have no name of their own.
std::string SpokenName(const LayoutRow& row);

// The field a caption label stands just left of ("Inpmin" before its edit), or nullptr. Such a
// label keeps its right edge, and so its gap to the field, when a wider font widens it.
const LayoutRow* FieldLedBy(const LayoutRow& label);

// How a control's task is done from the keyboard, where its hint speaks of the mouse only
// ("Press button", "Right click"); empty for the others. Added to its description.
std::string_view KeyboardWay(const LayoutRow& row);

// What a screen reader reads as a control's description: its hint, but where the hint names the
// other side (the output list's hint speaks of the input range), what the control does.
std::string_view SpokenHint(const LayoutRow& row);

// The levers, pins and numbers of the SW1 and JP6 pictures, which the pictures speak for.
bool IsPicturePart(const LayoutRow& row);

} // namespace zx
