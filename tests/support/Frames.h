#pragma once

// Frames as the tests build and take them apart: through the codec itself, never a second copy
// of the escape rule.
#include "Catalogue.h"

#include <vector>

namespace zx::test {

using Bytes = std::vector<std::uint8_t>;

// The frame in the codec's transmit buffer, closed with ETX as it goes on the line.
inline Bytes Sent(FrameCodec& c) {
    c.PutRaw(ETX);
    return Bytes(c.TxBuffer.begin(), c.TxBuffer.begin() + c.TxLength);
}

// A request as the tool builds it, as a whole frame.
inline Bytes Built(const Request& request) {
    FrameCodec c;
    BuildRequest(c, request);
    return Sent(c);
}

// A frame body (the bytes between STX and ETX) unescaped into a codec's receive buffer.
inline FrameCodec Received(const Bytes& body) {
    FrameCodec c;
    c.StoreRxRaw(body.data(), body.size());
    c.Unescape(body.size());
    return c;
}

// The body of a frame in a codec's transmit buffer, as the far end receives it.
inline FrameCodec Received(const FrameCodec& sent) {
    return Received(Bytes(sent.TxBuffer.begin() + 1, sent.TxBuffer.begin() + sent.TxLength));
}

// A single as a payload carries it: its four bytes, low first, escaped.
inline Bytes Single(float value) {
    FrameCodec c;
    c.BeginRequest(0);
    c.PutLong(value);
    return Bytes(c.TxBuffer.begin() + 2, c.TxBuffer.begin() + c.TxLength);
}

} // namespace zx::test
