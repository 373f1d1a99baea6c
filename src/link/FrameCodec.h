#pragma once

#include "Protocol.h"

#include <array>
#include <cstdint>
#include <vector>

namespace zx {

// The one transmit buffer and the receive buffers of the link, with the writers that build a
// request and the readers that take a response apart. Fixed arrays, no allocation; nothing is
// ever written or read outside them.
class FrameCodec {
public:
    std::array<std::uint8_t, FrameBufferSize> TxBuffer{};
    std::uint16_t TxLength = 0;
    std::uint8_t TxCode = 0; // the code of the request being built
    std::array<std::uint8_t, FrameBufferSize> RxRaw{};
    std::array<std::uint8_t, FrameBufferSize> RxBuffer{};
    std::uint16_t RxLength = 0;
    std::uint16_t RxPos = 0;

    // Clears the whole transmit buffer, then writes STX and the escaped code.
    void BeginRequest(std::uint8_t code);
    void PutRaw(std::uint8_t b);
    void PutEscaped(std::uint8_t b);
    void PutByte(unsigned value); // the low 8 bits
    void PutWord(std::uint16_t value);
    void PutLong(float value); // the single's bit pattern, low byte first

    // True once a byte did not fit the transmit buffer; such a frame must not be sent.
    bool TxOverflow() const { return TxOverflow_; }

    // Copies a received frame body into RxRaw. A body longer than the buffer is refused as a
    // whole (returns false, RxRaw unchanged): it cannot be a response of the catalogue, and a
    // cut body could be read as a valid but wrong record.
    bool StoreRxRaw(const std::uint8_t* data, std::size_t size);

    // Unescapes count bytes of RxRaw (at most the buffer size) into a cleared RxBuffer and
    // returns the response code, RxBuffer[0]. RxPos is left alone: every reader sets it.
    std::uint8_t Unescape(std::size_t count);

    // Reads at RxPos and advances it. Past the end of the buffer they read 0.
    std::uint8_t GetByte();
    std::uint16_t GetWord();
    float GetSingle();

private:
    bool TxOverflow_ = false;
};

// A whole frame (STX, the escaped body, ETX) for a body of any length: what a module sends.
std::vector<std::uint8_t> EncodeFrame(const std::uint8_t* body, std::size_t size);

} // namespace zx
