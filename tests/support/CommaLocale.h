#pragma once

#include <clocale>
#include <initializer_list>

namespace zx::test {

// Switches the category to a German locale, whose decimal separator is a comma; its name on
// Linux (scripts/deps generates it) or on Windows. nullptr when none is there.
inline const char* UseCommaLocale(int category) {
    for (const char* name : {"de_DE.UTF-8", "de-DE", "German_Germany.1252"}) {
        if (const char* set = std::setlocale(category, name)) {
            return set;
        }
    }
    return nullptr;
}

} // namespace zx::test
