#include "OutputValue.h"

#include "NumberFormat.h"
#include "RangeTables.h"

namespace zx {

std::optional<float> OutputValue(int rangeCode, std::uint16_t zeroCode, std::uint16_t fullCode,
                                 std::uint16_t outputCode) {
    const ORange* range = FindOutputRange(rangeCode);
    const int d1 = static_cast<int>(fullCode) - static_cast<int>(zeroCode);
    const int d2 = static_cast<int>(outputCode) - static_cast<int>(zeroCode);
    if (range == nullptr || d1 == 0) {
        return std::nullopt;
    }
    const double low = range->ScaleLow;
    const double high = range->ScaleHigh;
    // Evaluated in this order so that the figures match the module's own arithmetic.
    return static_cast<float>((high - low) / d1 * d2 + low);
}

std::string FormatOutputValue(int rangeCode, std::uint16_t zeroCode, std::uint16_t fullCode,
                              std::uint16_t outputCode) {
    const auto value = OutputValue(rangeCode, zeroCode, fullCode, outputCode);
    if (!value) {
        return OutputValueUndefined;
    }
    const ORange& range = *FindOutputRange(rangeCode);
    return FormatWithUnit(*value, range.DisplayFormat, range.UnitText);
}

} // namespace zx
