#pragma once

#include <string>

namespace zx {

// A word as a POSIX shell reads it back unchanged: plain words stay as they are, anything else
// goes in single quotes. Every path in a command the technician is told to run passes here.
inline std::string ShellQuote(const std::string& word) {
    const bool plain = !word.empty() &&
                       word.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                              "0123456789_./-=:@,+%") == std::string::npos;
    if (plain) {
        return word;
    }
    std::string quoted = "'";
    for (const char c : word) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

} // namespace zx
