#pragma once

#include <string>
#include <string_view>

namespace zx {

// The result of turning an edit's text into the single that goes on the wire.
struct SingleConversion {
    bool Ok = false;
    float Value = 0.0f;
    std::string Text; // the text that was converted, for the failure message

    // "'-' is not a valid floating point value"
    std::string Message() const;
};

// Accepts exactly the texts the limit and calibration edits admit: an optional minus, one or
// more digits, an optional point and more digits ("5", "-5", "5.", "5.25", "-0.125"), with "."
// as the decimal point whatever the process locale. Anything else, and a value too large for a
// single, is a failure that names the text. A value too small for a single rounds to 0.
SingleConversion TextToSingle(std::string_view text);

} // namespace zx
