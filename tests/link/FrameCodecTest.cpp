#include "FrameCodec.h"
#include "Frames.h"

#include <gtest/gtest.h>

#include <vector>

namespace zx {
namespace {

using test::Bytes;
using test::Sent;

TEST(FrameCodecRequests, BuildTheFramesOfTheCatalogueExamples) {
    FrameCodec c;
    c.BeginRequest(4);
    EXPECT_EQ(Sent(c), (Bytes{0x02, 0x04, 0x03}));

    c.BeginRequest(48);
    EXPECT_EQ(Sent(c), (Bytes{0x02, 0x30, 0x03}));

    c.BeginRequest(2);
    c.PutByte(3);
    c.PutLong(1.0f);
    EXPECT_EQ(Sent(c), (Bytes{0x02, 0x10, 0xFD, 0x10, 0xFC, 0x00, 0x00, 0x80, 0x3F, 0x03}));

    c.BeginRequest(16);
    c.PutByte(1);
    c.PutWord(0x1002);
    EXPECT_EQ(Sent(c), (Bytes{0x02, 0x10, 0xEF, 0x01, 0x10, 0xFD, 0x10, 0xEF, 0x03}));
}

TEST(FrameCodecRequests, PutByteTakesTheLowEightBits) {
    FrameCodec a;
    FrameCodec b;
    a.BeginRequest(1);
    a.PutByte(258);
    b.BeginRequest(1);
    b.PutByte(2);
    EXPECT_EQ(Sent(a), Sent(b));
    EXPECT_EQ(a.TxBuffer[2], 0x10);
    EXPECT_EQ(a.TxBuffer[3], 0xFD);
}

TEST(FrameCodecRequests, BeginRequestLeavesNoStaleBytes) {
    FrameCodec c;
    c.BeginRequest(7);
    for (int i = 0; i < 10; ++i) {
        c.PutLong(123.5f);
    }
    c.BeginRequest(4);
    EXPECT_EQ(c.TxLength, 2);
    for (std::size_t i = 2; i < c.TxBuffer.size(); ++i) {
        ASSERT_EQ(c.TxBuffer[i], 0) << i;
    }
}

TEST(FrameCodecRequests, NeverWritesPastTheTransmitBuffer) {
    FrameCodec c;
    c.BeginRequest(2);
    for (int i = 0; i < 100; ++i) {
        c.PutByte(0x10); // two bytes each once escaped
    }
    EXPECT_EQ(c.TxLength, FrameBufferSize);
    EXPECT_TRUE(c.TxOverflow());
    c.BeginRequest(2);
    EXPECT_FALSE(c.TxOverflow());
}

struct UnescapeCase {
    const char* name;
    Bytes body;
    Bytes expected;
    std::uint8_t code;
};

void PrintTo(const UnescapeCase& c, std::ostream* out) {
    *out << c.name;
}

class FrameCodecUnescape : public ::testing::TestWithParam<UnescapeCase> {};

TEST_P(FrameCodecUnescape, RemovesTheEscaping) {
    const UnescapeCase& u = GetParam();
    FrameCodec c;
    c.RxBuffer.fill(0xAA); // must be cleared by Unescape
    ASSERT_TRUE(c.StoreRxRaw(u.body.data(), u.body.size()));
    EXPECT_EQ(c.Unescape(u.body.size()), u.code);
    EXPECT_EQ(c.RxLength, u.expected.size());
    EXPECT_EQ(Bytes(c.RxBuffer.begin(), c.RxBuffer.begin() + c.RxLength), u.expected);
    for (std::size_t i = c.RxLength; i < c.RxBuffer.size(); ++i) {
        ASSERT_EQ(c.RxBuffer[i], 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, FrameCodecUnescape,
    ::testing::Values(UnescapeCase{"Plain", {0x30, 0x41, 0x42}, {0x30, 0x41, 0x42}, 0x30},
                      UnescapeCase{"EscapedEtx", {0x10, 0xFC, 0x00}, {0x03, 0x00}, 0x03},
                      UnescapeCase{"AnyByteAfterDle", {0x10, 0x41}, {0xBE}, 0xBE},
                      UnescapeCase{"DleLastYieldsNothing", {0x05, 0x10}, {0x05}, 0x05},
                      UnescapeCase{"Empty", {}, {}, 0x00},
                      UnescapeCase{"DoubleDle", {0x10, 0x10, 0x01}, {0xEF, 0x01}, 0xEF}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(FrameCodecReceive, BodiesLongerThanTheBufferAreRefusedWhole) {
    FrameCodec c;
    const Bytes big(200, 0x41);
    c.RxRaw.fill(0x55);
    EXPECT_FALSE(c.StoreRxRaw(big.data(), big.size()));
    EXPECT_EQ(c.RxRaw[0], 0x55);
    const Bytes full(FrameBufferSize, 0x10); // DLE pairs: 64 bytes 0xEF, the last DLE nothing
    EXPECT_TRUE(c.StoreRxRaw(full.data(), full.size()));
    EXPECT_EQ(c.Unescape(500), 0xEF); // a count past the buffer is held to it
    EXPECT_EQ(c.RxLength, 64);
}

TEST(FrameCodecReceive, ReadersTakeLittleEndianFields) {
    FrameCodec c;
    const Bytes body{0x04, 0x34, 0x12, 0x00, 0x00, 0x80, 0x3F};
    c.StoreRxRaw(body.data(), body.size());
    c.Unescape(body.size());
    c.RxPos = 1;
    EXPECT_EQ(c.GetWord(), 0x1234);
    EXPECT_EQ(c.RxPos, 3);
    EXPECT_EQ(c.GetSingle(), 1.0f);
    EXPECT_EQ(c.GetByte(), 0); // beyond RxLength: zeros
}

TEST(FrameCodecReceive, ReadingPastTheBufferYieldsZerosWithoutTouchingMemory) {
    FrameCodec c;
    c.RxBuffer.fill(0xFF);
    c.RxLength = 0xFFFF; // what lies right behind the buffer must never be read
    c.RxPos = FrameBufferSize - 1;
    EXPECT_EQ(c.GetWord(), 0x00FF);
    EXPECT_EQ(c.RxPos, FrameBufferSize) << "the cursor stops at the end";
    EXPECT_EQ(c.GetByte(), 0);
    EXPECT_EQ(c.GetSingle(), 0.0f);
    EXPECT_EQ(c.RxPos, FrameBufferSize);
}

TEST(FrameCodecFrames, EncodeFrameEscapesABodyOfAnyLength) {
    const Bytes body{0x02, 0x03, 0x10, 0x41};
    EXPECT_EQ(EncodeFrame(body.data(), body.size()),
              (Bytes{0x02, 0x10, 0xFD, 0x10, 0xFC, 0x10, 0xEF, 0x41, 0x03}));
    EXPECT_EQ(EncodeFrame(Bytes(300, 0x41).data(), 300).size(), 302u);
}

} // namespace
} // namespace zx
