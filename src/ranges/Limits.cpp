#include "Limits.h"

#include "NumberFormat.h"
#include "RangeTables.h"

#include <cmath>

namespace zx {
namespace {

template <typename Range> bool Fit(const Range* range, float minimum, float maximum) {
    return range != nullptr && std::isfinite(minimum) && std::isfinite(maximum) &&
           minimum >= range->MinLimit && maximum <= range->MaxLimit && minimum < maximum;
}

template <typename Range> std::string Refusal(const char* side, const Range* range) {
    if (range == nullptr) {
        return {};
    }
    return std::string("Invalid ") + side + " range. Valid range must be between " +
           FormatNumber(range->MinLimit, range->DisplayFormat) + " to " +
           FormatNumber(range->MaxLimit, range->DisplayFormat);
}

} // namespace

std::string InputLimitsRefusal(int inputRange) {
    return Refusal("input", FindInputRange(inputRange));
}

std::string OutputLimitsRefusal(int outputRange) {
    return Refusal("output", FindOutputRange(outputRange));
}

bool InputLimitsFit(int inputRange, float minimum, float maximum) {
    return Fit(FindInputRange(inputRange), minimum, maximum);
}

bool OutputLimitsFit(int outputRange, float minimum, float maximum) {
    return Fit(FindOutputRange(outputRange), minimum, maximum);
}

} // namespace zx
