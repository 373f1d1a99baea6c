#pragma once

#include <string>
#include <string_view>

namespace zx {

inline constexpr std::string_view TemperatureFormat = "0.0";

// Formats a value with a number pattern such as "0.0" or "0.000": as many decimals as the
// pattern has behind its point, rounded half away from zero on the exact value of the single
// (0.35f, which is 0.34999999..., gives 0.3; 0.0625 gives 0.063), at least one digit before the
// point, "." as the decimal point whatever the locale, and never a "-0.000".
std::string FormatNumber(float value, std::string_view pattern);

// The same followed by one blank and the unit: "312.0 mV".
std::string FormatWithUnit(float value, std::string_view pattern, std::string_view unit);

} // namespace zx
