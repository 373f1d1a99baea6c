#include "OutputValue.h"

#include "NumberFormat.h"
#include "RangeTables.h"

namespace zx {

std::string FormatOutputValue(int rangeCode, std::uint16_t zeroCode, std::uint16_t fullCode,
                              std::uint16_t outputCode) {
    const ORange* range = FindOutputRange(rangeCode);
    const int d1 = static_cast<int>(fullCode) - static_cast<int>(zeroCode);
    const int d2 = static_cast<int>(outputCode) - static_cast<int>(zeroCode);
    if (range == nullptr || d1 == 0) {
        return OutputValueUndefined;
    }
    const double low = range->ScaleLow;
    const double high = range->ScaleHigh;
    // Evaluated in this order so that the figures match the module's own arithmetic.
    const double value = (high - low) / d1 * d2 + low;
    return FormatWithUnit(static_cast<float>(value), range->DisplayFormat, range->UnitText);
}

} // namespace zx
