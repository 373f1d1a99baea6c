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
    // The exact decimal expansion of the single (a binary fraction ends within 149 digits
    // behind the point), so that rounding is of the value the module sent: 0.35f is
    // 0.3499999940..., which shows as 0.3, and a tie is only a true half, as 0.0625.
    constexpr int ExactDecimals = 149;
    char buffer[48 + ExactDecimals];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, std::fabs(static_cast<double>(value)),
                      std::chars_format::fixed, ExactDecimals);
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
