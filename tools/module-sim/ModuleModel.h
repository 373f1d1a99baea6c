#pragma once

#include "Catalogue.h"

#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <string>

namespace zx::sim {

// One answer of the module: its code and the record it carries, before faults and framing.
// Exactly one record is set, or none for the code alone (16).
struct Answer {
    std::uint8_t Code = 0;
    std::optional<InputRangeStatus> Input;
    std::optional<OutputRangeStatus> Output;
    std::optional<std::uint8_t> CalMode;
    std::optional<std::string_view> Version; // the module's own text, which outlives it
    std::optional<std::uint8_t> ToolkitAck;
    // The frame, through the catalogue's writers, into the codec's transmit buffer (no ETX).
    void Encode(FrameCodec& codec) const;
};

// How the virtual module's hardware is set and what it measures.
struct ModuleSettings {
    std::string Sw1 = "010010";        // DIP switch SW1, levers 1..6, '1' = on
    std::string Jp6 = "V";             // jumper JP6: "V" or "mA"
    std::optional<float> FixedReading; // a fixed input reading instead of the live signal
    std::string VersionText = "Zentrix virtual module  V2.03  (simulated)";
    std::uint32_t Seed = 1;
};

// The module's state and its answer to each request, by the rules that --help states (written
// once, there). One of them has a reason worth keeping here: in RUN a DAC code (16) is
// acknowledged and ignored, since its answer cannot carry a refusal.
class ModuleModel {
public:
    explicit ModuleModel(ModuleSettings settings = {});

    // Answers one request at the given time in seconds; nullopt means the module stays silent.
    std::optional<Answer> Handle(const Request& request, double nowSeconds);

    // State, for tests and the trace.
    int ProgrammedInput = 5;
    int ActiveInput = 5;
    std::array<float, 11> InputMin{};
    std::array<float, 11> InputMax{};
    std::uint16_t InputZeroCal = 0x01FF; // ranges 9 and 10 not calibrated
    std::uint16_t InputFullCal = 0x01FF;
    int ProgrammedOutput = 0;
    int ActiveOutput = 0;
    std::array<std::uint16_t, 2> ZeroCode{{3277, 3277}};
    std::array<std::uint16_t, 2> FullCode{{62258, 62258}};
    std::array<float, 2> OutputMin{};
    std::array<float, 2> OutputMax{};
    std::array<bool, 2> Invert{};
    std::uint8_t OutputZeroCal = 0x03;
    std::uint8_t OutputFullCal = 0x01; // 0-20 mA full scale not calibrated
    std::uint16_t DrivenCode = 0;      // the code the DAC is driven with in CAL
    bool CalMode = false;
    float TCAL = 23.5f;
    std::uint8_t ToolkitVersion = 0;
    const ModuleSettings& Settings() const { return Settings_; }

    float InputReading(int range, double nowSeconds);
    float Temperature(double nowSeconds) const;
    std::uint16_t OutputCode(double nowSeconds);

private:
    Answer InputStatus(std::uint8_t code, bool ok, int range, double now);
    Answer OutputStatus(std::uint8_t code, bool ok, int range, double now);

    ModuleSettings Settings_;
    std::mt19937 Noise_;
};

} // namespace zx::sim
