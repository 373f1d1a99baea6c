#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zx {

// Shown in the output panels where no output value can be computed: equal zero-scale and
// full-scale codes (the scale has no slope) or a range code outside the table.
inline constexpr const char* OutputValueUndefined = "N/A";

// The output signal that OutputCode gives when ZeroCode gives the range's ScaleLow and FullCode
// its ScaleHigh, not clamped; none where it cannot be computed.
std::optional<float> OutputValue(int rangeCode, std::uint16_t zeroCode, std::uint16_t fullCode,
                                 std::uint16_t outputCode);
// The same when ZeroCode gives the range's ScaleLow and FullCode
// its ScaleHigh, not clamped, formatted with the range's pattern and unit ("10.000 mA").
std::string FormatOutputValue(int rangeCode, std::uint16_t zeroCode, std::uint16_t fullCode,
                              std::uint16_t outputCode);

} // namespace zx
