#pragma once

#include "RangeTables.h"

namespace zx {

// Geometry of the SW1 and JP6 pictures in the General group, in pixels.
inline constexpr int SwitchPositions = 6;
inline constexpr int LeverTopUp = 29;         // lever in the upper half of its slot: switch on
inline constexpr int LeverTopDown = 39;       // lower half: switch off
inline constexpr int JumperLeftCurrent = 191; // bar over pins 1 and 2: "mA" output
inline constexpr int JumperLeftVoltage = 224; // bar over pins 2 and 3: "V" output

// Top edge of the lever of SW1 position 1..6 for an input range; a code outside the table or a
// position outside 1..6 leaves the lever down.
constexpr int LeverTop(int rangeCode, int position) {
    const IRange* range = FindInputRange(rangeCode);
    if (range == nullptr || position < 1 || position > SwitchPositions) {
        return LeverTopDown;
    }
    return range->SwitchPattern[static_cast<std::size_t>(position - 1)] == '1' ? LeverTopUp
                                                                               : LeverTopDown;
}

// Left edge of the JP6 jumper bar for an output range; the voltage position unless the range
// is a current range.
constexpr int JumperLeft(int outputRangeCode) {
    const ORange* range = FindOutputRange(outputRangeCode);
    return range != nullptr && range->UnitText == "mA" ? JumperLeftCurrent : JumperLeftVoltage;
}

} // namespace zx
