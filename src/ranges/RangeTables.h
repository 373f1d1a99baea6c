#pragma once

#include <array>
#include <string_view>

namespace zx {

// One input range of the module. The row index in InputRanges is the range code on the wire,
// the combo box index and the row of the calibration list.
struct IRange {
    std::string_view Caption;
    float CalZero;
    float CalFull;
    float MinLimit;
    float MaxLimit;
    std::string_view DisplayFormat;
    std::string_view SwitchPattern; // SW1 levers 1..6, '1' = up
    std::string_view UnitText;
};

struct ORange {
    std::string_view Caption;
    float ScaleLow;  // output at the zero-scale DAC code
    float ScaleHigh; // output at the full-scale DAC code
    float MinLimit;
    float MaxLimit;
    std::string_view DisplayFormat;
    std::string_view UnitText;
};

// Captions carry the plus-minus sign as UTF-8.
inline constexpr std::array<IRange, 11> InputRanges{{
    // The first range calibrates at 312 mV, not at its nominal 300 mV.
    {"\u00B1300 mV", 0.0f, 312.0f, -300.0f, 300.0f, "0.0", "011000", "mV"},
    {"\u00B1625 mV", 0.0f, 625.0f, -625.0f, 625.0f, "0.0", "011000", "mV"},
    {"\u00B11.25 V", 0.0f, 1.25f, -1.25f, 1.25f, "0.000", "011000", "V"},
    {"\u00B12.5 V", 0.0f, 2.5f, -2.5f, 2.5f, "0.000", "011000", "V"},
    {"\u00B15 V", 0.0f, 5.0f, -5.0f, 5.0f, "0.000", "010100", "V"},
    {"\u00B110 V", 0.0f, 10.0f, -10.0f, 10.0f, "0.000", "010010", "V"},
    {"\u00B120 V", 0.0f, 20.0f, -20.0f, 20.0f, "0.000", "010001", "V"},
    {"\u00B15 mA", 0.0f, 5.0f, -5.0f, 5.0f, "0.000", "101000", "mA"},
    {"\u00B110 mA", 0.0f, 10.0f, -10.0f, 10.0f, "0.000", "101000", "mA"},
    {"\u00B120 mA", 0.0f, 20.0f, -20.0f, 20.0f, "0.000", "101000", "mA"},
    {"\u00B130 mA", 0.0f, 30.0f, -30.0f, 30.0f, "0.000", "101000", "mA"},
}};

inline constexpr std::array<ORange, 2> OutputRanges{{
    {"\u00B110 V", -10.0f, 10.0f, -10.0f, 10.0f, "0.000", "V"},
    {"0-20 mA", 0.0f, 20.0f, 0.0f, 20.0f, "0.000", "mA"},
}};

// Range codes come from the module; a code outside the tables must never index them.
constexpr bool IsInputRangeCode(int code) {
    return code >= 0 && code < static_cast<int>(InputRanges.size());
}
constexpr bool IsOutputRangeCode(int code) {
    return code >= 0 && code < static_cast<int>(OutputRanges.size());
}
constexpr const IRange* FindInputRange(int code) {
    return IsInputRangeCode(code) ? &InputRanges[static_cast<std::size_t>(code)] : nullptr;
}
constexpr const ORange* FindOutputRange(int code) {
    return IsOutputRangeCode(code) ? &OutputRanges[static_cast<std::size_t>(code)] : nullptr;
}

} // namespace zx
