#pragma once

#include <string>

namespace zx {

// Whether a user minimum and maximum may be programmed for a range: both within its limits (the
// limits themselves included), both finite, and the minimum strictly below the maximum. A range
// code outside the tables fits nothing.
//
// The two sides check against different ranges, as the window does: the input side against the
// range last shown (CurrentInputRange, which after a programmed read of another range is not the
// one chosen in the list), the output side against the range chosen in the output list.
bool InputLimitsFit(int inputRange, float minimum, float maximum);
bool OutputLimitsFit(int outputRange, float minimum, float maximum);

// What the technician is told when limits do not fit: "Invalid input range. Valid range must
// be between -10.000 to 10.000".
std::string InputLimitsRefusal(int inputRange);
std::string OutputLimitsRefusal(int outputRange);

} // namespace zx
