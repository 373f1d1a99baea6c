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

// The nineteen requests, as the protocol names them, with their codes. The module answers with
// a frame whose first byte repeats the code.
#define ZX_REQUESTS(X)                                                                             \
    X(cmdCalInputZero, 1)                                                                          \
    X(cmdCalInputFull, 2)                                                                          \
    X(cmdReadActiveInput, 3)                                                                       \
    X(cmdReadProgrammedInput, 4)                                                                   \
    X(cmdClearInputCalFlags, 5)                                                                    \
    X(cmdSelectInputRange, 6)                                                                      \
    X(cmdProgramInputRange, 7)                                                                     \
    X(cmdSetOutputCode, 16)                                                                        \
    X(cmdWriteOutputZero, 17)                                                                      \
    X(cmdWriteOutputFull, 18)                                                                      \
    X(cmdReadActiveOutput, 19)                                                                     \
    X(cmdReadProgrammedOutput, 20)                                                                 \
    X(cmdClearOutputCalFlags, 21)                                                                  \
    X(cmdSelectOutputRange, 22)                                                                    \
    X(cmdProgramOutputRange, 23)                                                                   \
    X(cmdSetCalMode, 32)                                                                           \
    X(cmdQueryCalMode, 33)                                                                         \
    X(cmdReadVersion, 48)                                                                          \
    X(cmdSetToolkitVersion, 51)
#define ZX_DEFINE_REQUEST(name, code) inline constexpr std::uint8_t name = code;
ZX_REQUESTS(ZX_DEFINE_REQUEST)
#undef ZX_DEFINE_REQUEST

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
