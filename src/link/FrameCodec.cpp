#include "FrameCodec.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace zx {
namespace {

// The escape rule, the one place it is written: a data byte equal to STX, ETX or DLE travels
// as DLE, 0xFF - byte.
template <typename Put> void Escape(std::uint8_t b, Put put) {
    if (b == STX || b == ETX || b == DLE) {
        put(DLE);
        put(static_cast<std::uint8_t>(0xFF - b));
        return;
    }
    put(b);
}

} // namespace

void FrameCodec::BeginRequest(std::uint8_t code) {
    TxBuffer.fill(0);
    TxLength = 0;
    TxOverflow_ = false;
    TxCode = code;
    PutRaw(STX);
    PutEscaped(code);
}

void FrameCodec::PutRaw(std::uint8_t b) {
    if (TxLength >= TxBuffer.size()) {
        TxOverflow_ = true;
        return;
    }
    TxBuffer[TxLength] = b;
    ++TxLength;
}

void FrameCodec::PutEscaped(std::uint8_t b) {
    Escape(b, [this](std::uint8_t out) { PutRaw(out); });
}

void FrameCodec::PutByte(unsigned value) {
    PutEscaped(static_cast<std::uint8_t>(value & 0xFF));
}

void FrameCodec::PutWord(std::uint16_t value) {
    PutEscaped(static_cast<std::uint8_t>(value & 0xFF));
    PutEscaped(static_cast<std::uint8_t>(value >> 8));
}

void FrameCodec::PutLong(float value) {
    const auto bits = std::bit_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) {
        PutEscaped(static_cast<std::uint8_t>((bits >> shift) & 0xFF));
    }
}

bool FrameCodec::StoreRxRaw(const std::uint8_t* data, std::size_t size) {
    if (size > RxRaw.size()) {
        return false;
    }
    if (size > 0) {
        std::memcpy(RxRaw.data(), data, size);
    }
    return true;
}

std::uint8_t FrameCodec::Unescape(std::size_t count) {
    RxLength = 0;
    RxBuffer.fill(0);
    count = std::min(count, RxRaw.size());
    bool escaped = false;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t b = RxRaw[i];
        if (escaped) {
            RxBuffer[RxLength++] = static_cast<std::uint8_t>(0xFF - b);
            escaped = false;
        } else if (b == DLE) {
            escaped = true;
        } else {
            RxBuffer[RxLength++] = b;
        }
    }
    return RxBuffer[0];
}

std::uint8_t FrameCodec::GetByte() {
    if (RxPos >= RxBuffer.size()) {
        return 0;
    }
    return RxBuffer[RxPos++];
}

std::uint16_t FrameCodec::GetWord() {
    const unsigned low = GetByte();
    const unsigned high = GetByte();
    return static_cast<std::uint16_t>(low + 256 * high);
}

float FrameCodec::GetSingle() {
    std::uint32_t bits = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        bits |= static_cast<std::uint32_t>(GetByte()) << shift;
    }
    return std::bit_cast<float>(bits);
}

std::vector<std::uint8_t> EncodeFrame(const std::uint8_t* body, std::size_t size) {
    std::vector<std::uint8_t> frame{STX};
    for (std::size_t i = 0; i < size; ++i) {
        Escape(body[i], [&frame](std::uint8_t out) { frame.push_back(out); });
    }
    frame.push_back(ETX);
    return frame;
}

} // namespace zx
