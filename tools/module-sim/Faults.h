#pragma once

#include <bitset>
#include <cstdint>
#include <optional>
#include <string>

namespace zx::sim {

// A set of request codes a fault applies to ("all", or a comma list like "4,20,48").
class CodeSet {
public:
    bool Contains(std::uint8_t code) const { return Codes_.test(code); }
    bool Empty() const { return Codes_.none(); }
    // False when the text is not a list of codes 0..255.
    bool Parse(const std::string& text);

private:
    std::bitset<256> Codes_;
};

// What the virtual module does wrong on purpose. Every fault is optional and they combine.
struct Faults {
    CodeSet Silent;                 // no answer at all
    CodeSet Fail;                   // Status 0 (status records and the toolkit acknowledgement)
    CodeSet Late;                   // answer after the tool's 4-second time-out
    CodeSet Twice;                  // answer twice
    CodeSet Broken;                 // the frame breaks off without ETX
    CodeSet UnknownCode;            // the answer carries code 9, which the tool does not know
    CodeSet Oversize;               // a body longer than the tool's 129-byte buffers
    CodeSet BadRange;               // RangeCode 255 in status records
    CodeSet Ignore;                 // acknowledged as done, the module's state left as it was
    bool CalModeTwo = false;        // CalMode 2 wherever a CalMode travels
    int NoiseBytes = 0;             // random bytes (never STX) before each answer
    std::optional<int> UnplugAfter; // the line goes dead on this request, unanswered
    int LateMs = 4500;
};

} // namespace zx::sim
