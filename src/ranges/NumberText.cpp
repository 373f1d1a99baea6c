#include "NumberText.h"

#include <charconv>
#include <cmath>

namespace zx {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// -?\d+(\.\d*)?
bool FitsEditMask(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && text[i] == '-') {
        ++i;
    }
    const std::size_t firstDigit = i;
    while (i < text.size() && IsDigit(text[i])) {
        ++i;
    }
    if (i == firstDigit) {
        return false;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) {
            ++i;
        }
    }
    return i == text.size();
}

// Out of range with nothing before the point but zeros: below the smallest single, not above
// the largest.
bool Underflows(std::string_view digits) {
    const std::size_t start = digits.front() == '-' ? 1 : 0;
    const std::size_t point = digits.find('.');
    const std::string_view whole = digits.substr(start, point - start);
    return whole.find_first_not_of('0') == std::string_view::npos;
}

} // namespace

std::string SingleConversion::Message() const {
    return "'" + Text + "' is not a valid floating point value";
}

SingleConversion TextToSingle(std::string_view text) {
    SingleConversion result;
    result.Text = std::string(text);
    if (!FitsEditMask(text)) {
        return result;
    }
    std::string_view digits = text;
    if (digits.back() == '.') {
        digits.remove_suffix(1);
    }
    float value = 0.0f;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value,
                                           std::chars_format::fixed);
    if (ec == std::errc::result_out_of_range && Underflows(digits)) {
        // Too small for a single: rounded to single precision, as every payload is, it is 0.
        value = digits.front() == '-' ? -0.0f : 0.0f;
    } else if (ec != std::errc() || end != digits.data() + digits.size() || !std::isfinite(value)) {
        return result;
    }
    result.Ok = true;
    result.Value = value;
    return result;
}

} // namespace zx
