#include "Catalogue.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

namespace zx {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Sent(FrameCodec& c) {
    c.PutRaw(ETX);
    return Bytes(c.TxBuffer.begin(), c.TxBuffer.begin() + c.TxLength);
}

// Feeds a frame as the collector would deliver it (no STX/ETX) into the codec.
void Receive(FrameCodec& c, const Bytes& frame) {
    ASSERT_GE(frame.size(), 2u);
    c.StoreRxRaw(frame.data() + 1, frame.size() - 2);
    c.Unescape(frame.size() - 2);
}

struct RequestCase {
    const char* name;
    std::function<void(FrameCodec&)> build;
    Bytes wire;
};

class CatalogueRequests : public ::testing::TestWithParam<RequestCase> {};

TEST_P(CatalogueRequests, GoOnTheWireByteForByte) {
    FrameCodec c;
    GetParam().build(c);
    EXPECT_EQ(Sent(c), GetParam().wire);
}

INSTANTIATE_TEST_SUITE_P(
    Catalogue, CatalogueRequests,
    ::testing::Values(
        RequestCase{"CalInputZero",
                    [](FrameCodec& c) { BuildCalInputZero(c, 5); },
                    {0x02, 0x01, 0x05, 0x03}},
        RequestCase{"CalInputFull",
                    [](FrameCodec& c) { BuildCalInputFull(c, 5, 10.0f); },
                    {0x02, 0x10, 0xFD, 0x05, 0x00, 0x00, 0x20, 0x41, 0x03}},
        RequestCase{"ReadActiveInput",
                    [](FrameCodec& c) { BuildReadActiveInput(c, 0); },
                    {0x02, 0x10, 0xFC, 0x00, 0x03}},
        RequestCase{"ReadProgrammedInput",
                    [](FrameCodec& c) { BuildReadProgrammedInput(c); },
                    {0x02, 0x04, 0x03}},
        RequestCase{"ClearInputCalFlags",
                    [](FrameCodec& c) { BuildClearInputCalFlags(c); },
                    {0x02, 0x05, 0x03}},
        RequestCase{"SelectInputRange",
                    [](FrameCodec& c) { BuildSelectInputRange(c, 10); },
                    {0x02, 0x06, 0x0A, 0x03}},
        RequestCase{"ProgramInputRange",
                    [](FrameCodec& c) { BuildProgramInputRange(c, 3, -2.5f, 2.0f); },
                    {0x02, 0x07, 0x10, 0xFC, 0x00, 0x00, 0x20, 0xC0, 0x00, 0x00, 0x00, 0x40, 0x03}},
        RequestCase{"SetOutputCode",
                    [](FrameCodec& c) { BuildSetOutputCode(c, 1, 4099); },
                    {0x02, 0x10, 0xEF, 0x01, 0x10, 0xFC, 0x10, 0xEF, 0x03}},
        RequestCase{"WriteOutputZero",
                    [](FrameCodec& c) { BuildWriteOutputZero(c, 0, 1000, -10.0f, 10.0f, true); },
                    {0x02, 0x11, 0x00, 0xE8, 0x10, 0xFC, 0x00, 0x00, 0x20, 0xC1, 0x00, 0x00, 0x20,
                     0x41, 0x01, 0x03}},
        RequestCase{"WriteOutputFull",
                    [](FrameCodec& c) { BuildWriteOutputFull(c, 1, 0xFFFF, 0.0f, 20.0f, false); },
                    {0x02, 0x12, 0x01, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xA0, 0x41,
                     0x00, 0x03}},
        RequestCase{"ReadActiveOutput",
                    [](FrameCodec& c) { BuildReadActiveOutput(c, 1); },
                    {0x02, 0x13, 0x01, 0x03}},
        RequestCase{"ReadProgrammedOutput",
                    [](FrameCodec& c) { BuildReadProgrammedOutput(c); },
                    {0x02, 0x14, 0x03}},
        RequestCase{"ClearOutputCalFlags",
                    [](FrameCodec& c) { BuildClearOutputCalFlags(c); },
                    {0x02, 0x15, 0x03}},
        RequestCase{"SelectOutputRange",
                    [](FrameCodec& c) { BuildSelectOutputRange(c, 0); },
                    {0x02, 0x16, 0x00, 0x03}},
        RequestCase{"ProgramOutputRange",
                    [](FrameCodec& c) { BuildProgramOutputRange(c, 1, 4.0f, 20.0f, true); },
                    {0x02, 0x17, 0x01, 0x00, 0x00, 0x80, 0x40, 0x00, 0x00, 0xA0, 0x41, 0x01, 0x03}},
        RequestCase{
            "SetCalMode", [](FrameCodec& c) { BuildSetCalMode(c, 1); }, {0x02, 0x20, 0x01, 0x03}},
        RequestCase{"QueryCalMode",
                    [](FrameCodec& c) { BuildQueryCalMode(c, 0); },
                    {0x02, 0x21, 0x00, 0x03}},
        RequestCase{"ReadVersion", [](FrameCodec& c) { BuildReadVersion(c); }, {0x02, 0x30, 0x03}},
        RequestCase{"SetToolkitVersion",
                    [](FrameCodec& c) { BuildSetToolkitVersion(c); },
                    {0x02, 0x33, 0xAB, 0x03}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(CatalogueRequests, TheLongestRequestFitsEvenFullyEscaped) {
    FrameCodec c;
    // Every byte of 2.0f-like patterns escaped: 0x10 everywhere is the worst case.
    const float allDle = std::bit_cast<float>(0x10101010u);
    BuildWriteOutputZero(c, 0x10, 0x1010, allDle, allDle, true);
    c.PutRaw(ETX);
    EXPECT_FALSE(c.TxOverflow());
    EXPECT_LE(c.TxLength, 27);
}

TEST(CatalogueRecords, InputStatusReadsInRecordOrder) {
    InputRangeStatus sent{1, 5, 1, 2.5f, 0x0001, 0x07FF, -10.0f, 10.0f, 31.5f, 23.0f, 1};
    FrameCodec module;
    WriteInputRangeStatus(module, 4, sent);
    module.PutRaw(ETX);
    Bytes frame(module.TxBuffer.begin(), module.TxBuffer.begin() + module.TxLength);

    FrameCodec tool;
    Receive(tool, frame);
    EXPECT_EQ(tool.RxLength, 29);
    const InputRangeStatus got = ReadInputRangeStatus(tool);
    EXPECT_EQ(got.RangeCode, 5);
    EXPECT_EQ(got.Reading, 2.5f);
    EXPECT_EQ(got.ZeroCalFlags, 1);
    EXPECT_EQ(got.FullCalFlags, 0x07FF);
    EXPECT_EQ(got.MinValue, -10.0f);
    EXPECT_EQ(got.MaxValue, 10.0f);
    EXPECT_EQ(got.TA, 31.5f);
    EXPECT_EQ(got.TCAL, 23.0f);
    EXPECT_EQ(got.CalMode, 1);
    EXPECT_EQ(tool.RxPos, 29);
}

TEST(CatalogueRecords, OutputStatusHasByteFlagsAndSinglesAtOddOffsets) {
    OutputRangeStatus sent{1, 1, 0, 1000, 61000, 1, 3, 1, 4.0f, 20.0f, 16000, 30.0f, 22.5f, 0};
    FrameCodec module;
    WriteOutputRangeStatus(module, 19, sent);
    module.PutRaw(ETX);
    FrameCodec tool;
    Receive(tool, Bytes(module.TxBuffer.begin(), module.TxBuffer.begin() + module.TxLength));
    EXPECT_EQ(tool.RxLength, 30);
    // MinValue starts at offset 11 and MaxValue at 15.
    tool.RxPos = 11;
    EXPECT_EQ(tool.GetSingle(), 4.0f);
    EXPECT_EQ(tool.GetSingle(), 20.0f);
    const OutputRangeStatus got = ReadOutputRangeStatus(tool);
    EXPECT_EQ(got.ZeroCode, 1000);
    EXPECT_EQ(got.FullCode, 61000);
    EXPECT_EQ(got.Invert, 1);
    EXPECT_EQ(got.ZeroCalFlags, 3);
    EXPECT_EQ(got.FullCalFlags, 1);
    EXPECT_EQ(got.OutputCode, 16000);
    EXPECT_EQ(got.TA, 30.0f);
    EXPECT_EQ(got.TCAL, 22.5f);
    EXPECT_EQ(tool.RxPos, 30);
}

TEST(CatalogueRecords, StatusZeroStopsTheReader) {
    FrameCodec tool;
    Receive(tool, {0x02, 0x04, 0x00, 0x05, 0x01, 0x03});
    const InputRangeStatus got = ReadInputRangeStatus(tool);
    EXPECT_EQ(got.Status, 0);
    EXPECT_EQ(got.RangeCode, 0);
    EXPECT_EQ(tool.RxPos, 2);
}

TEST(CatalogueRecords, ARecordCutShortReadsZeros) {
    FrameCodec tool;
    Receive(tool, {0x02, 0x14, 0x01, 0x01, 0x03});
    const OutputRangeStatus got = ReadOutputRangeStatus(tool);
    EXPECT_EQ(got.Status, 1);
    EXPECT_EQ(got.RangeCode, 1);
    EXPECT_EQ(got.RangeOk, 0);
    EXPECT_EQ(got.TA, 0.0f);
}

TEST(CatalogueRecords, VersionTextIsFiftyBytesWithTrailingControlsRemoved) {
    FrameCodec tool;
    Bytes body{0x30};
    for (char ch : std::string("Module  V2.0 \t")) {
        body.push_back(static_cast<std::uint8_t>(ch));
    }
    body.push_back(0x00);
    body.push_back(0x1F);
    tool.StoreRxRaw(body.data(), body.size());
    tool.Unescape(body.size());
    EXPECT_EQ(ReadVersionText(tool), "Module  V2.0");
    EXPECT_EQ(tool.RxPos, 51);

    // Bytes behind offset 50 are not part of the text.
    Bytes longBody(60, 'x');
    longBody[0] = 0x30;
    tool.StoreRxRaw(longBody.data(), longBody.size());
    tool.Unescape(longBody.size());
    EXPECT_EQ(ReadVersionText(tool), std::string(50, 'x'));
}

TEST(CatalogueRecords, CalModeAndToolkitAckReadOneByte) {
    FrameCodec tool;
    Receive(tool, {0x02, 0x21, 0x01, 0x03});
    EXPECT_EQ(ReadCalMode(tool), 1);
    Receive(tool, {0x02, 0x33, 0x03});
    EXPECT_EQ(ReadToolkitAck(tool), 0);
}

TEST(CatalogueDispatch, MapsEveryCodeAndCallsTheRestUnknown) {
    std::set<int> known;
    auto expect = [&](std::initializer_list<int> codes, ResponseKind kind) {
        for (int code : codes) {
            EXPECT_EQ(DispatchKind(static_cast<std::uint8_t>(code)), kind) << code;
            known.insert(code);
        }
    };
    expect({1, 2, 3, 5, 6}, ResponseKind::ActiveInput);
    expect({4}, ResponseKind::ProgrammedInput);
    expect({7}, ResponseKind::ProgramInput);
    expect({16}, ResponseKind::CodeOnlySuccess);
    expect({17, 18, 19, 21, 22, 23}, ResponseKind::ActiveOutput);
    expect({20}, ResponseKind::ProgrammedOutput);
    expect({32, 33}, ResponseKind::CalMode);
    expect({48}, ResponseKind::Version);
    expect({51}, ResponseKind::ToolkitAck);
    for (int code = 0; code < 256; ++code) {
        if (known.count(code) == 0) {
            EXPECT_EQ(DispatchKind(static_cast<std::uint8_t>(code)), ResponseKind::Unknown) << code;
        }
    }
}

TEST(CatalogueDispatch, KnowsTheNineteenRequests) {
    int count = 0;
    for (int code = 0; code < 256; ++code) {
        if (const CommandInfo* info = FindCommand(static_cast<std::uint8_t>(code))) {
            ++count;
            EXPECT_EQ(info->Code, code);
        }
    }
    EXPECT_EQ(count, 19);
    EXPECT_EQ(PayloadLength(*FindCommand(cmdWriteOutputZero)), 12u);
    EXPECT_EQ(FindCommand(cmdProgramOutputRange)->BusyText, "");
    EXPECT_EQ(FindCommand(cmdSetToolkitVersion)->BusyText, "Setting Toolkit version...");
}

TEST(CatalogueFrames, EncodeFrameEscapesTheBody) {
    const Bytes body{0x02, 0x03, 0x10, 0x41};
    EXPECT_EQ(EncodeFrame(body.data(), body.size()),
              (Bytes{0x02, 0x10, 0xFD, 0x10, 0xFC, 0x10, 0xEF, 0x41, 0x03}));
}

} // namespace
} // namespace zx
