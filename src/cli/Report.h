#pragma once

#include "Json.h"

#include <string>
#include <string_view>

namespace zx {

// Version of the shape of the JSON the tool prints; raised when a member changes its meaning
// or goes, never for one added.
inline constexpr int CliSchema = 1;

// The result of one run, said once at its end: one JSON object on standard output, or lines
// of text for a person.
class Report {
public:
    explicit Report(bool json) : Json_(json) {}
    bool JsonWanted() const { return Json_; }
    // The members of the JSON object.
    Json& Object() { return Object_; }
    // A line of text: a label and its value.
    void Line(std::string_view label, std::string_view text);
    void Text(std::string_view text) { Text_ += text; }
    // Prints the result; the exit status, once output failed: the output's own.
    int Print(int exit, const std::string& error);

    // A label padded to the value column, counting characters rather than bytes.
    static std::string Pad(std::string_view label);

private:
    bool Json_;
    Json Object_ = Json::object();
    std::string Text_;
};

// Text a module sent (byte by byte, Latin-1), fit for a terminal: control characters, C1
// codes and the backslash are shown escaped ("\x1b"), so that no byte from a module can move
// the cursor, retitle the terminal or forge a line.
std::string SafeText(std::string_view latin1);

// Whether standard output took everything written to it; the reason when not.
bool OutputFailed(std::string& reason);

} // namespace zx
