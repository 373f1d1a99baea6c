#pragma once

#include <QStringList>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zx {

// What a run of zentrix-cli was asked, as given: values are checked by the command.
struct Options {
    bool Json = false;
    bool Trace = false;
    bool NoRecord = false;
    bool Full = false;
    bool Program = false;
    bool Write = false;
    bool Csv = false;
    bool Help = false;
    bool Version = false;
    std::optional<std::string> Com, Range, Min, Max, Invert, Value, Code, Since, Until;
    std::vector<std::string> Words; // the command and its words
};

// Parses the arguments. Whatever a script cannot have meant is refused with the reason: an
// option the command does not take, a word too many or missing, an option given twice, an
// unknown option, text that is not UTF-8. nullopt with problem set then.
std::optional<Options> ParseArguments(const std::vector<std::string>& arguments,
                                      std::string& problem);

// Whether the bytes are UTF-8.
bool ValidUtf8(std::string_view text);

} // namespace zx
