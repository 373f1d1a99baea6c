#include "Layout.h"

#include <algorithm>

#include <array>

namespace zx {
namespace {

// Hints shared by several controls, or too long for a row.
#define ZX_DASHES_60 "------------------------------------------------------------"
#define ZX_DASHES_82 ZX_DASHES_60 "----------------------"
#define ZX_DASHES_95 ZX_DASHES_82 "-------------"

constexpr const char* Hint1 =
    "To change active input/output range:\r\n" ZX_DASHES_60 "\r\n1) Turn power off\r\n"
    "2) Select input and output ranges below\r\n"
    "3) Set SW1 & JP6 according to the displayed positions\r\n4) Turn power on\r\n"
    "5) Select the desired input/output ranges and make the changes permanent";
constexpr const char* Hint2 =
    "To change active input/output range:\r\n" ZX_DASHES_60 "\r\n1) Turn power off\r\n"
    "2) Select input and/or output range below\r\n"
    "3) Adjust SW1 and SW2 according to the displayed switch positions\r\n4) Turn power on";
constexpr const char* Hint3 =
    "To calibrate zero scale:\r\n" ZX_DASHES_82
    "\r\n1) Connect a precision calibrator to the input terminals\r\n"
    "2) Apply zero scale signal to the inputs\r\n3) Press button to correct zero scale errors\r\n"
    "4) Observe success on the status bar below";
constexpr const char* Hint4 =
    "To calibrate full scale:\r\n" ZX_DASHES_82
    "\r\n1) Connect a precision calibrator to the input terminals\r\n"
    "2) Apply full scale signal to the inputs\r\n3) Press button to correct full scale errors\r\n"
    "4) Observe success on the status bar below";
constexpr const char* Hint5 =
    "To calibrate the output range:\r\n" ZX_DASHES_95
    "\r\n1) Switch to CAL mode\r\n2) Connect an ammeter or voltmeter to output terminals\r\n"
    "3) Adjust zero/full scale DAC code until desired output is observed\r\n"
    "4) Press Set button to update DAC codes\r\n5) Observe success on the status bar\r\n"
    "6) Switch back to RUN mode";
constexpr const char* Hint6 = "1) Press button to set input range (this will make output range "
                              "permanent)\r\n2) Adjust JP6 as required";

using K = ControlKind;
using H = HintMode;
constexpr HintMode S = H::Shown;
constexpr HintMode N = H::None;

constexpr auto Table = std::to_array<LayoutRow>({
    // Window
    {"pnlTop", K::Strip, "", 0, 0, 553, 4, "", "", N, 0, ""},
    {"bvlTop", K::Separator, "pnlTop", 0, 0, 553, 4, "", "", N, -1, ""},
    {"grpGeneral", K::Group, "", 8, 8, 537, 81, " General ", "", N, 1, ""},
    {"grpInput", K::Group, "", 8, 96, 265, 409, " Input ", "", N, 2, ""},
    {"grpOutput", K::Group, "", 280, 97, 265, 408, " Output ", "", N, 3, ""},
    {"sbMain", K::StatusBar, "", 0, 511, 553, 22, "", "", N, -1, ""},
    {"sbMainContainer3", K::Container, "sbMain", 519, 4, 32, 16, "", "", N, -1, ""},
    {"pnlLeds", K::Container, "sbMainContainer3", 0, 0, 32, 16, "", "", N, -1, ""},
    {"LedTx", K::Lamp, "pnlLeds", 3, 3, 11, 11, "", "", N, -1, ""},
    {"LedRx", K::Lamp, "pnlLeds", 17, 3, 11, 11, "", "", N, -1, ""},

    // General: SW1, drawn body, then each slot followed by its lever
    {"sw1", K::ShapeRect, "grpGeneral", 38, 23, 96, 45, "", Hint1, S, -1, "white"},
    {"Shape2", K::ShapeRect, "grpGeneral", 44, 29, 9, 21, "", Hint1, S, -1, "white"},
    {"sw11", K::ShapeRect, "grpGeneral", 44, 39, 9, 11, "", Hint1, S, -1, "red"},
    {"Shape4", K::ShapeRect, "grpGeneral", 59, 29, 9, 21, "", Hint1, S, -1, "white"},
    {"sw12", K::ShapeRect, "grpGeneral", 59, 39, 9, 11, "", Hint1, S, -1, "red"},
    {"Shape6", K::ShapeRect, "grpGeneral", 74, 29, 9, 21, "", Hint1, S, -1, "white"},
    {"sw13", K::ShapeRect, "grpGeneral", 74, 39, 9, 11, "", Hint1, S, -1, "red"},
    {"Shape8", K::ShapeRect, "grpGeneral", 89, 29, 9, 21, "", Hint1, S, -1, "white"},
    {"sw14", K::ShapeRect, "grpGeneral", 89, 39, 9, 11, "", Hint1, S, -1, "red"},
    {"Shape10", K::ShapeRect, "grpGeneral", 104, 29, 9, 21, "", Hint1, S, -1, "white"},
    {"sw15", K::ShapeRect, "grpGeneral", 104, 39, 9, 11, "", Hint1, S, -1, "red"},
    {"Shape12", K::ShapeRect, "grpGeneral", 119, 29, 9, 21, "", Hint1, S, -1, "white"},
    {"sw16", K::ShapeRect, "grpGeneral", 119, 39, 9, 11, "", Hint1, S, -1, "red"},
    {"lblDipSwitch", K::Label, "grpGeneral", 11, 37, 24, 13, "SW1", Hint2, S, -1, ""},
    {"lblSW11", K::Label, "grpGeneral", 45, 52, 6, 13, "1", Hint1, S, -1, ""},
    {"lblSW12", K::Label, "grpGeneral", 60, 52, 6, 13, "2", Hint1, S, -1, ""},
    {"lblSW13", K::Label, "grpGeneral", 75, 52, 6, 13, "3", Hint1, S, -1, ""},
    {"lblSW14", K::Label, "grpGeneral", 90, 52, 6, 13, "4", Hint1, S, -1, ""},
    {"lblSW15", K::Label, "grpGeneral", 105, 52, 6, 13, "5", Hint1, S, -1, ""},
    {"lblSW16", K::Label, "grpGeneral", 120, 52, 6, 13, "6", Hint1, S, -1, ""},
    // JP6: body, pins, the jumper bar over them
    {"Shape1", K::ShapeRect, "grpGeneral", 176, 24, 99, 45, "", Hint1, S, -1, "white"},
    {"lblJP6", K::Label, "grpGeneral", 155, 39, 18, 13, "JP6", Hint2, S, -1, ""},
    {"Shape3", K::ShapeCircle, "grpGeneral", 186, 40, 12, 12, "", Hint1, H::NotShown, -1, "red"},
    {"Shape5", K::ShapeCircle, "grpGeneral", 218, 40, 12, 12, "", Hint1, H::NotShown, -1, "red"},
    {"Shape7", K::ShapeCircle, "grpGeneral", 250, 40, 12, 12, "", Hint1, H::NotShown, -1, "red"},
    {"lblmA", K::Label, "grpGeneral", 199, 52, 15, 13, "mA", Hint1, S, -1, ""},
    {"lblV", K::Label, "grpGeneral", 236, 52, 7, 13, "V", Hint1, S, -1, ""},
    {"OutJumper", K::ShapeRect, "grpGeneral", 224, 44, 33, 4, "", Hint1, H::NotShown, -1, "black"},
    {"calSwitch", K::Toggle, "grpGeneral", 480, 16, 41, 57, "", "Press to switch to CAL/RUN modes",
     H::AfterStartup, 0, ""},
    {"lblTa", K::Label, "grpGeneral", 315, 24, 34, 13, "TA (\u00B0C)", "", N, -1, ""},
    {"pnlTemp", K::ValueLabel, "grpGeneral", 352, 20, 65, 20, "",
     "Internal ambient temperature of the module in degrees Celcius", S, 0, ""},
    {"lblTCal", K::Label, "grpGeneral", 302, 52, 47, 13, "TCAL (\u00B0C)", "", N, -1, ""},
    {"pnlCalTemp", K::ValueLabel, "grpGeneral", 352, 48, 65, 20, "",
     "Ambient temperature in degrees Celcius at which the calibration was performed", S, 1, ""},

    // Input
    {"lblPermInpRange", K::Label, "grpInput", 13, 21, 32, 13, "Range", "", N, -1, ""},
    {"pnlPermInpRange", K::ValueLabel, "grpInput", 48, 18, 177, 20, "",
     "Press button to read programmed input range information", S, 0, ""},
    {"btnGetPermInpRange", K::Button, "grpInput", 230, 18, 19, 21, "R",
     "Press to read programmed input range information", S, 1, ""},
    {"lblInpReadingP", K::Label, "grpInput", 22, 51, 31, 13, "Inpmin", "", N, -1, ""},
    {"pnlPermInpMin", K::ValueLabel, "grpInput", 56, 48, 65, 20, "", "Input minimum", S, 2, ""},
    {"lblPermInpReading", K::Label, "grpInput", 139, 51, 26, 13, "Read", "", N, -1, ""},
    {"pnlPermInpReading", K::ValueLabel, "grpInput", 168, 48, 65, 20, "", "Input signal reading", S,
     4, ""},
    {"lblPermInpMax", K::Label, "grpInput", 19, 79, 34, 13, "Inpmax", "", N, -1, ""},
    {"pnlPermInpMax", K::ValueLabel, "grpInput", 56, 76, 65, 20, "", "Input maximum", S, 3, ""},
    {"bvlInput", K::Separator, "grpInput", 8, 107, 249, 4, "", "", N, -1, ""},
    {"lblTempInpRange", K::Label, "grpInput", 9, 122, 37, 13, "Ranges", "", N, -1, ""},
    {"cmbInpRanges", K::RangeList, "grpInput", 48, 118, 153, 21, "",
     "Select input range to calibrate (this will change the input range temporarly)", S, 5, ""},
    {"btnGetTempInpRange", K::Button, "grpInput", 205, 118, 21, 21, "R",
     "Press to read active input range information", S, 6, ""},
    {"btnSetInputRange", K::Button, "grpInput", 231, 118, 21, 21, "S",
     "1) Press button to set input range (this will make input range permanent)", S, 7, ""},
    {"lblInputZero", K::Label, "grpInput", 32, 151, 22, 13, "Zero", "", N, -1, ""},
    {"beInpZero", K::CalibrationEdit, "grpInput", 56, 147, 57, 21, "", Hint3, S, 8, ""},
    {"lblInpZeroUnit", K::UnitLabel, "grpInput", 114, 151, 3, 13, "", "", N, -1, ""},
    {"lblInpMin", K::Label, "grpInput", 143, 151, 31, 13, "Inpmin", "", N, -1, ""},
    {"edInpMin", K::NumberEdit, "grpInput", 176, 147, 57, 21, "", "Enter input minimum value", S,
     10, ""},
    {"lblInpMinUnit", K::UnitLabel, "grpInput", 234, 151, 3, 13, "", "", N, -1, ""},
    {"lblInpFs", K::Label, "grpInput", 41, 178, 13, 13, "FS", "", N, -1, ""},
    {"beInpFull", K::CalibrationEdit, "grpInput", 56, 174, 57, 21, "", Hint4, S, 9, ""},
    {"lblInpFullUnit", K::UnitLabel, "grpInput", 114, 178, 3, 13, "", "", N, -1, ""},
    {"lblInpMax", K::Label, "grpInput", 140, 178, 34, 13, "Inpmax", "", N, -1, ""},
    {"edInpMax", K::NumberEdit, "grpInput", 176, 174, 57, 21, "", "Enter input maximum value", S,
     11, ""},
    {"lblInpMaxUnit", K::UnitLabel, "grpInput", 234, 178, 3, 13, "", "", N, -1, ""},
    {"lblTempInpReading", K::Label, "grpInput", 27, 205, 26, 13, "Read", "", N, -1, ""},
    {"pnlTempInpReading", K::ValueLabel, "grpInput", 56, 202, 73, 20, "", "Input signal reading", S,
     12, ""},
    {"lblInpCalStat", K::Label, "grpInput", 8, 240, 82, 13, "Calibration Status", "", N, -1, ""},
    {"lvInpCalStat", K::StatusList, "grpInput", 8, 256, 249, 143, "",
     "Right click to clear calibration status for all input ranges", S, 13,
     "Input:90:L|Zero:55:C|FS:55:C"},

    // Output
    {"lblPermOutRange", K::Label, "grpOutput", 13, 21, 32, 13, "Range", "", N, -1, ""},
    {"pnlPermOutRange", K::ValueLabel, "grpOutput", 48, 18, 177, 20, "",
     "Press button to read programmed output range information", S, 0, ""},
    {"btnGetPermOutRange", K::Button, "grpOutput", 230, 18, 21, 21, "R",
     "Press button to read programmed output range information", S, 1, ""},
    {"lblOutZeroP", K::Label, "grpOutput", 31, 52, 22, 13, "Zero", "", N, -1, ""},
    {"pnlOutZeroP", K::ValueLabel, "grpOutput", 56, 48, 65, 20, "", "Output zero DAC code", S, 2,
     ""},
    {"lblPermOutMin", K::Label, "grpOutput", 132, 51, 33, 13, "Outmin", "", N, -1, ""},
    {"pnlPermOutMin", K::ValueLabel, "grpOutput", 168, 48, 65, 20, "", "Output minimum", S, 4, ""},
    {"lblOutFsP", K::Label, "grpOutput", 40, 80, 13, 13, "FS", "", N, -1, ""},
    {"pnlOutFsP", K::ValueLabel, "grpOutput", 56, 76, 65, 20, "", "Output full scale DAC code", S,
     3, ""},
    {"lblPermOutMax", K::Label, "grpOutput", 129, 79, 36, 13, "Outmax", "", N, -1, ""},
    {"pnlPermOutMax", K::ValueLabel, "grpOutput", 168, 76, 65, 20, "", "Output maximum", S, 5, ""},
    {"lblPermOut", K::Label, "grpOutput", 21, 108, 32, 13, "Output", "", N, -1, ""},
    {"pnlPermOut", K::ValueLabel, "grpOutput", 56, 104, 65, 20, "", "Calculated output signal", S,
     6, ""},
    {"lblOutInvertP", K::Label, "grpOutput", 138, 108, 27, 13, "Invert", "", N, -1, ""},
    {"pnlOutInvertP", K::ValueLabel, "grpOutput", 168, 104, 65, 20, "", "Output invert status", S,
     7, ""},
    {"bvlOutput", K::Separator, "grpOutput", 8, 135, 249, 5, "", "", N, -1, ""},
    {"lblTempOutRange", K::Label, "grpOutput", 9, 150, 37, 13, "Ranges", "", N, -1, ""},
    {"cmbOutRanges", K::RangeList, "grpOutput", 48, 146, 153, 21, "",
     "Select input range to calibrate", S, 8, ""},
    {"btnGetTempOutRange", K::Button, "grpOutput", 205, 146, 21, 21, "R",
     "Press to read active output range information", S, 9, ""},
    {"btnSetOutRange", K::Button, "grpOutput", 231, 146, 21, 21, "S", Hint6, S, 10, ""},
    {"lblOutputZero", K::Label, "grpOutput", 32, 179, 22, 13, "Zero", "", N, -1, ""},
    {"seOutZero", K::CodeSpinEdit, "grpOutput", 56, 175, 57, 21, "", Hint5, S, 11, ""},
    {"btnOutZero", K::Button, "grpOutput", 117, 175, 21, 21, "S",
     "Press button to set zero scale DAC code", S, 12, ""},
    {"lblOutMin", K::Label, "grpOutput", 149, 179, 33, 13, "Outmin", "", N, -1, ""},
    {"edOutMin", K::NumberEdit, "grpOutput", 184, 175, 57, 21, "", "Enter output minimum value", S,
     15, ""},
    {"lblOutMinUnit", K::UnitLabel, "grpOutput", 242, 179, 3, 13, "", "", N, -1, ""},
    {"lblOutputFs", K::Label, "grpOutput", 41, 206, 13, 13, "FS", "", N, -1, ""},
    {"seOutFull", K::CodeSpinEdit, "grpOutput", 56, 202, 57, 21, "", Hint5, S, 13, ""},
    {"btnOutFull", K::Button, "grpOutput", 117, 202, 21, 21, "S",
     "Press button to set full scale DAC code", S, 14, ""},
    {"lblOutMax", K::Label, "grpOutput", 146, 206, 36, 13, "Outmax", "", N, -1, ""},
    {"edOutMax", K::NumberEdit, "grpOutput", 184, 202, 57, 21, "", "Enter output maximum value", S,
     16, ""},
    {"lblOutMaxUnit", K::UnitLabel, "grpOutput", 242, 208, 3, 13, "", "", N, -1, ""},
    {"lblTempOut", K::Label, "grpOutput", 21, 234, 32, 13, "Output", "", N, -1, ""},
    {"pnlTempOut", K::ValueLabel, "grpOutput", 56, 230, 81, 20, "", "Calculated output signal", S,
     17, ""},
    {"cbInvertOut", K::CheckBox, "grpOutput", 140, 229, 85, 21, "Invert output",
     "1) Check to invert the output signal", S, 18, ""},
    {"lblOutCalStat", K::Label, "grpOutput", 8, 272, 82, 13, "Calibration Status", "", N, -1, ""},
    {"lvOutCalStat", K::StatusList, "grpOutput", 8, 288, 249, 110, "",
     "Right click to clear calibration status for all output ranges", S, 19,
     "Output:80:L|Zero:55:C|FS:55:C"},
});

// The text a table gives a control by its name; empty when it names none.
using ByName = std::pair<std::string_view, std::string_view>;
template <std::size_t N> std::string_view Find(const ByName (&table)[N], std::string_view name) {
    for (const auto& [key, text] : table) {
        if (key == name) {
            return text;
        }
    }
    return {};
}

} // namespace

std::span<const LayoutRow> MainLayout() {
    return Table;
}

std::string SpokenName(const LayoutRow& row) {
    // Buttons captioned R or S, and the value labels that stand twice (programmed and active),
    // are named by what they do or show and for which side: a screen reader must tell them
    // apart without their place on the screen.
    static constexpr ByName ByPurpose[] = {
        {"btnGetPermInpRange", "Read programmed input range"},
        {"btnGetTempInpRange", "Read active input range"},
        {"btnSetInputRange", "Make input range permanent"},
        {"btnGetPermOutRange", "Read programmed output range"},
        {"btnGetTempOutRange", "Read active output range"},
        {"btnSetOutRange", "Make output range permanent"},
        {"btnOutZero", "Write zero-scale DAC code"},
        {"btnOutFull", "Write full-scale DAC code"},
        {"pnlPermInpReading", "Input signal reading, programmed range"},
        {"pnlTempInpReading", "Input signal reading, active range"},
        {"pnlPermOut", "Calculated output signal, programmed range"},
        {"pnlTempOut", "Calculated output signal, active range"}};
    if (const std::string_view spoken = Find(ByPurpose, row.Name); !spoken.empty()) {
        return std::string(spoken);
    }
    std::string_view caption = row.Caption;
    while (caption.starts_with(' ')) {
        caption.remove_prefix(1);
    }
    while (caption.ends_with(' ')) {
        caption.remove_suffix(1);
    }
    if (!caption.empty()) {
        return std::string(caption);
    }
    // Controls without a caption are named by the caption beside them, or by what they hold;
    // their hints tell what to do with them, and stay their descriptions.
    static constexpr ByName Named[] = {{"pnlTop", "Top strip"},
                                       {"bvlTop", "Separator"},
                                       {"bvlInput", "Separator"},
                                       {"bvlOutput", "Separator"},
                                       {"sbMain", "Status bar"},
                                       {"sbMainContainer3", "Line activity"},
                                       {"pnlLeds", "Line activity"},
                                       {"LedTx", "Transmit lamp, to the module"},
                                       {"LedRx", "Receive lamp, from the module"},
                                       {"calSwitch", "CAL/RUN switch"},
                                       {"pnlPermInpRange", "Range"},
                                       {"cmbInpRanges", "Input ranges"},
                                       {"beInpZero", "Zero"},
                                       {"edInpMin", "Input minimum"},
                                       {"beInpFull", "FS"},
                                       {"edInpMax", "Input maximum"},
                                       {"lvInpCalStat", "Calibration status, input"},
                                       {"pnlPermOutRange", "Range"},
                                       {"cmbOutRanges", "Output ranges"},
                                       {"seOutZero", "Zero"},
                                       {"edOutMin", "Output minimum"},
                                       {"seOutFull", "FS"},
                                       {"edOutMax", "Output maximum"},
                                       {"lvOutCalStat", "Calibration status, output"}};
    if (const std::string_view spoken = Find(Named, row.Name); !spoken.empty()) {
        return std::string(spoken);
    }
    if (IsPicturePart(row)) {
        return {};
    }
    const std::string_view hint = row.Hint;
    return std::string(hint.substr(0, hint.find("\r\n")));
}

const LayoutRow* FieldLedBy(const LayoutRow& label) {
    if (label.Kind != ControlKind::Label) {
        return nullptr;
    }
    const int right = label.Left + label.Width;
    for (const LayoutRow& row : Table) {
        const bool beside = row.Left >= right && row.Left <= right + 8 &&
                            row.Top < label.Top + label.Height && label.Top < row.Top + row.Height;
        if (&row != &label && std::string_view(row.Parent) == label.Parent && beside &&
            row.Kind != ControlKind::Label && row.Kind != ControlKind::UnitLabel) {
            return &row;
        }
    }
    return nullptr;
}

std::string_view KeyboardWay(const LayoutRow& row) {
    static constexpr ByName Ways[] = {
        {"beInpZero", "From the keyboard: Ctrl+Enter in the field calibrates."},
        {"beInpFull", "From the keyboard: Ctrl+Enter in the field calibrates."},
        {"lvInpCalStat", "From the keyboard: Shift+F10 or the Menu key opens the menu."},
        {"lvOutCalStat", "From the keyboard: Shift+F10 or the Menu key opens the menu."}};
    return Find(Ways, row.Name);
}

std::string_view SpokenHint(const LayoutRow& row) {
    static constexpr ByName Told[] = {{"cmbOutRanges", "Select output range to calibrate"}};
    const std::string_view told = Find(Told, row.Name);
    return told.empty() ? std::string_view(row.Hint) : told;
}

bool IsPicturePart(const LayoutRow& row) {
    // SW1 and JP6 are one picture each (sw1, Shape1), which names every position; their levers,
    // pins, jumper and the levers' numbers are parts of it.
    static constexpr std::string_view Parts[] = {
        "Shape2",  "sw11",    "Shape4",  "sw12",    "Shape6",  "sw13",    "Shape8", "sw14",
        "Shape10", "sw15",    "Shape12", "sw16",    "Shape3",  "Shape5",  "Shape7", "OutJumper",
        "lblSW11", "lblSW12", "lblSW13", "lblSW14", "lblSW15", "lblSW16", "lblmA",  "lblV"};
    return std::find(std::begin(Parts), std::end(Parts), row.Name) != std::end(Parts);
}

} // namespace zx
