#include "Limits.h"

#include "RangeTables.h"

#include <cmath>

namespace zx {
namespace {

template <typename Range> bool Fit(const Range* range, float minimum, float maximum) {
    return range != nullptr && std::isfinite(minimum) && std::isfinite(maximum) &&
           minimum >= range->MinLimit && maximum <= range->MaxLimit && minimum < maximum;
}

} // namespace

bool InputLimitsFit(int inputRange, float minimum, float maximum) {
    return Fit(FindInputRange(inputRange), minimum, maximum);
}

bool OutputLimitsFit(int outputRange, float minimum, float maximum) {
    return Fit(FindOutputRange(outputRange), minimum, maximum);
}

} // namespace zx
