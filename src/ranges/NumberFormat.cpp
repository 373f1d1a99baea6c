#include "NumberFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace zx {
namespace {

int DecimalsOf(std::string_view pattern) {
    const auto point = pattern.find('.');
    if (point == std::string_view::npos) {
        return 0;
    }
    return static_cast<int>(pattern.size() - point - 1);
}

// Adds one unit in the last place of a string of decimal digits that starts with a spare '0'.
void IncrementDigits(std::string& digits) {
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (*it != '9') {
            ++*it;
            return;
        }
        *it = '0';
    }
}

} // namespace

std::string FormatNumber(float value, std::string_view pattern) {
    const int decimals = DecimalsOf(pattern);
    if (!std::isfinite(value)) {
        return std::isnan(value) ? "NAN" : (value > 0 ? "INF" : "-INF");
    }
    // The shortest decimal text that reads back as the same single is the value a person sees;
    // rounding that text avoids the binary artefacts of rounding the binary value.
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::fixed);
    if (result.ec != std::errc()) {
        return "NAN";
    }
    std::string text(buffer, result.ptr);
    const auto point = text.find('.');
    std::string whole = point == std::string::npos ? text : text.substr(0, point);
    std::string fraction = point == std::string::npos ? std::string() : text.substr(point + 1);

    const bool roundUp = static_cast<int>(fraction.size()) > decimals &&
                         fraction[static_cast<std::size_t>(decimals)] >= '5';
    fraction.resize(static_cast<std::size_t>(decimals), '0');
    std::string digits = "0" + whole + fraction; // the spare digit takes a carry out
    if (roundUp) {
        IncrementDigits(digits);
    }
    whole = digits.substr(0, digits.size() - static_cast<std::size_t>(decimals));
    fraction = digits.substr(digits.size() - static_cast<std::size_t>(decimals));
    const auto firstSignificant = whole.find_first_not_of('0');
    whole = firstSignificant == std::string::npos ? "0" : whole.substr(firstSignificant);
    const bool isZero = std::all_of(digits.begin(), digits.end(), [](char c) { return c == '0'; });
    std::string out = (value < 0 && !isZero) ? "-" : "";
    out += whole;
    if (decimals > 0) {
        out += '.';
        out += fraction;
    }
    return out;
}

std::string FormatWithUnit(float value, std::string_view pattern, std::string_view unit) {
    std::string out = FormatNumber(value, pattern);
    out += ' ';
    out += unit;
    return out;
}

} // namespace zx
