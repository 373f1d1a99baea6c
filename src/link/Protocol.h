#pragma once

#include <cstddef>
#include <cstdint>

namespace zx {

// Frame delimiters and the escape byte. STX and ETX travel raw only as a frame's first and
// last byte; a data byte equal to one of the three goes as DLE, 0xFF - byte.
inline constexpr std::uint8_t STX = 0x02;
inline constexpr std::uint8_t ETX = 0x03;
inline constexpr std::uint8_t DLE = 0x10;

// Size of the transmit buffer and of both receive buffers.
inline constexpr std::size_t FrameBufferSize = 129;

// Request codes. The module answers with a frame whose first byte repeats the code.
inline constexpr std::uint8_t cmdCalInputZero = 1;
inline constexpr std::uint8_t cmdCalInputFull = 2;
inline constexpr std::uint8_t cmdReadActiveInput = 3;
inline constexpr std::uint8_t cmdReadProgrammedInput = 4;
inline constexpr std::uint8_t cmdClearInputCalFlags = 5;
inline constexpr std::uint8_t cmdSelectInputRange = 6;
inline constexpr std::uint8_t cmdProgramInputRange = 7;
inline constexpr std::uint8_t cmdSetOutputCode = 16;
inline constexpr std::uint8_t cmdWriteOutputZero = 17;
inline constexpr std::uint8_t cmdWriteOutputFull = 18;
inline constexpr std::uint8_t cmdReadActiveOutput = 19;
inline constexpr std::uint8_t cmdReadProgrammedOutput = 20;
inline constexpr std::uint8_t cmdClearOutputCalFlags = 21;
inline constexpr std::uint8_t cmdSelectOutputRange = 22;
inline constexpr std::uint8_t cmdProgramOutputRange = 23;
inline constexpr std::uint8_t cmdSetCalMode = 32;
inline constexpr std::uint8_t cmdQueryCalMode = 33;
inline constexpr std::uint8_t cmdReadVersion = 48;
inline constexpr std::uint8_t cmdSetToolkitVersion = 51;

// The tool's own version 1.71 without its point, written into the module after an input range
// has been made permanent.
inline constexpr std::uint8_t ToolkitVersion = 171;

// Length of the module's version text behind the response code.
inline constexpr std::size_t VersionTextLength = 50;

// Timer values, in ticks of 55 ms.
inline constexpr int ResponseTimeoutTicks = 73;
inline constexpr int ErrorDisplayTicks = 36;
inline constexpr int SuccessDisplayTicks = 7;

} // namespace zx
