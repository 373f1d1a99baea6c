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

// Each request as the tool builds it and as the module reads it back from the same bytes.
struct RequestCase {
    const char* name;
    std::function<void(FrameCodec&)> build;
    Bytes wire;
    Request read;
};

void PrintTo(const RequestCase& c, std::ostream* out) {
    *out << c.name;
}

class CatalogueRequests : public ::testing::TestWithParam<RequestCase> {};

TEST_P(CatalogueRequests, GoOnTheWireByteForByteAndReadBack) {
    FrameCodec c;
    GetParam().build(c);
    EXPECT_EQ(Sent(c), GetParam().wire);
    FrameCodec module;
    Receive(module, GetParam().wire);
    EXPECT_EQ(ReadRequest(module), GetParam().read);
}

using R = Request;
INSTANTIATE_TEST_SUITE_P(
    Catalogue, CatalogueRequests,
    ::testing::Values(
        RequestCase{"CalInputZero",
                    [](FrameCodec& c) { BuildCalInputZero(c, 5); },
                    {0x02, 0x01, 0x05, 0x03},
                    R{1, 5}},
        RequestCase{"CalInputFull",
                    [](FrameCodec& c) { BuildCalInputFull(c, 5, 10.0f); },
                    {0x02, 0x10, 0xFD, 0x05, 0x00, 0x00, 0x20, 0x41, 0x03},
                    R{2, 5, 0, 10.0f}},
        RequestCase{"ReadActiveInput",
                    [](FrameCodec& c) { BuildReadActiveInput(c, 0); },
                    {0x02, 0x10, 0xFC, 0x00, 0x03},
                    R{3, 0}},
        RequestCase{"ReadProgrammedInput",
                    [](FrameCodec& c) { BuildReadProgrammedInput(c); },
                    {0x02, 0x04, 0x03},
                    R{4}},
        RequestCase{"ClearInputCalFlags",
                    [](FrameCodec& c) { BuildClearInputCalFlags(c); },
                    {0x02, 0x05, 0x03},
                    R{5}},
        RequestCase{"SelectInputRange",
                    [](FrameCodec& c) { BuildSelectInputRange(c, 10); },
                    {0x02, 0x06, 0x0A, 0x03},
                    R{6, 10}},
        RequestCase{"ProgramInputRange",
                    [](FrameCodec& c) { BuildProgramInputRange(c, 3, -2.5f, 2.0f); },
                    {0x02, 0x07, 0x10, 0xFC, 0x00, 0x00, 0x20, 0xC0, 0x00, 0x00, 0x00, 0x40, 0x03},
                    R{7, 3, 0, 0, -2.5f, 2.0f}},
        RequestCase{"SetOutputCode",
                    [](FrameCodec& c) { BuildSetOutputCode(c, 1, 4099); },
                    {0x02, 0x10, 0xEF, 0x01, 0x10, 0xFC, 0x10, 0xEF, 0x03},
                    R{16, 1, 4099}},
        RequestCase{"WriteOutputZero",
                    [](FrameCodec& c) { BuildWriteOutputZero(c, 0, 1000, -10.0f, 10.0f, true); },
                    {0x02, 0x11, 0x00, 0xE8, 0x10, 0xFC, 0x00, 0x00, 0x20, 0xC1, 0x00, 0x00, 0x20,
                     0x41, 0x01, 0x03},
                    R{17, 0, 1000, 0, -10.0f, 10.0f, true}},
        RequestCase{"WriteOutputFull",
                    [](FrameCodec& c) { BuildWriteOutputFull(c, 1, 0xFFFF, 0.0f, 20.0f, false); },
                    {0x02, 0x12, 0x01, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xA0, 0x41,
                     0x00, 0x03},
                    R{18, 1, 0xFFFF, 0, 0.0f, 20.0f}},
        RequestCase{"ReadActiveOutput",
                    [](FrameCodec& c) { BuildReadActiveOutput(c, 1); },
                    {0x02, 0x13, 0x01, 0x03},
                    R{19, 1}},
        RequestCase{"ReadProgrammedOutput",
                    [](FrameCodec& c) { BuildReadProgrammedOutput(c); },
                    {0x02, 0x14, 0x03},
                    R{20}},
        RequestCase{"ClearOutputCalFlags",
                    [](FrameCodec& c) { BuildClearOutputCalFlags(c); },
                    {0x02, 0x15, 0x03},
                    R{21}},
        RequestCase{"SelectOutputRange",
                    [](FrameCodec& c) { BuildSelectOutputRange(c, 0); },
                    {0x02, 0x16, 0x00, 0x03},
                    R{22, 0}},
        RequestCase{"ProgramOutputRange",
                    [](FrameCodec& c) { BuildProgramOutputRange(c, 1, 4.0f, 20.0f, true); },
                    {0x02, 0x17, 0x01, 0x00, 0x00, 0x80, 0x40, 0x00, 0x00, 0xA0, 0x41, 0x01, 0x03},
                    R{23, 1, 0, 0, 4.0f, 20.0f, true}},
        RequestCase{"SetCalMode",
                    [](FrameCodec& c) { BuildSetCalMode(c, 1); },
                    {0x02, 0x20, 0x01, 0x03},
                    R{32, 0, 0, 0, 0, 0, false, 1}},
        RequestCase{"QueryCalMode",
                    [](FrameCodec& c) { BuildQueryCalMode(c, 0); },
                    {0x02, 0x21, 0x00, 0x03},
                    R{33}},
        RequestCase{
            "ReadVersion", [](FrameCodec& c) { BuildReadVersion(c); }, {0x02, 0x30, 0x03}, R{48}},
        RequestCase{"SetToolkitVersion",
                    [](FrameCodec& c) { BuildSetToolkitVersion(c); },
                    {0x02, 0x33, 0xAB, 0x03},
                    R{51, 0, 0, 0, 0, 0, false, 171}}),
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

// The records laid out by hand from the catalogue's tables, not by the code under test.
const InputRangeStatus InputRecord{1, 5, 1, 2.5f, 0x0001, 0x07FF, -10.0f, 10.0f, 31.5f, 23.0f, 1};
const Bytes InputBody{0x04, 0x01, 0x05, 0x01, 0x00, 0x00, 0x20, 0x40, 0x01, 0x00,
                      0xFF, 0x07, 0x00, 0x00, 0x20, 0xC1, 0x00, 0x00, 0x20, 0x41,
                      0x00, 0x00, 0xFC, 0x41, 0x00, 0x00, 0xB8, 0x41, 0x01};
// Byte flags, MinValue at offset 11 and MaxValue at 15, OutputCode between MaxValue and TA.
const OutputRangeStatus OutputRecord{1, 1,    0,     1000,  61000, 1,     3,
                                     1, 4.0f, 20.0f, 16000, 30.0f, 22.5f, 0};
const Bytes OutputBody{0x13, 0x01, 0x01, 0x00, 0xE8, 0x03, 0x48, 0xEE, 0x01, 0x03,
                       0x01, 0x00, 0x00, 0x80, 0x40, 0x00, 0x00, 0xA0, 0x41, 0x80,
                       0x3E, 0x00, 0x00, 0xF0, 0x41, 0x00, 0x00, 0xB4, 0x41, 0x00};

TEST(CatalogueRecords, StatusRecordsMatchTheirLayoutsBothWays) {
    FrameCodec c;
    WriteInputRangeStatus(c, 4, InputRecord);
    EXPECT_EQ(Sent(c), EncodeFrame(InputBody.data(), InputBody.size()));
    WriteOutputRangeStatus(c, 19, OutputRecord);
    EXPECT_EQ(Sent(c), EncodeFrame(OutputBody.data(), OutputBody.size()));

    FrameCodec tool;
    Receive(tool, EncodeFrame(InputBody.data(), InputBody.size()));
    EXPECT_EQ(ReadInputRangeStatus(tool), InputRecord);
    EXPECT_EQ(tool.RxPos, 29);
    Receive(tool, EncodeFrame(OutputBody.data(), OutputBody.size()));
    EXPECT_EQ(ReadOutputRangeStatus(tool), OutputRecord);
    EXPECT_EQ(tool.RxPos, 30);
}

TEST(CatalogueRecords, ShortRecordsMatchTheirLayoutsBothWays) {
    FrameCodec c;
    WriteCalMode(c, 33, 1);
    EXPECT_EQ(Sent(c), (Bytes{0x02, 0x21, 0x01, 0x03}));
    WriteToolkitAck(c, 51, 1);
    EXPECT_EQ(Sent(c), (Bytes{0x02, 0x33, 0x01, 0x03}));
    WriteVersionText(c, 48, "V2");
    Bytes version{0x02, 0x30, 'V', '2'};
    version.resize(52, ' '); // fifty text bytes, filled with blanks
    version.push_back(0x03);
    EXPECT_EQ(Sent(c), version);

    FrameCodec tool;
    Receive(tool, {0x02, 0x21, 0x01, 0x03});
    EXPECT_EQ(ReadCalMode(tool), 1);
    Receive(tool, {0x02, 0x33, 0x03});
    EXPECT_EQ(ReadToolkitAck(tool), 0);
}

TEST(CatalogueRecords, StatusZeroStopsTheReader) {
    FrameCodec tool;
    Receive(tool, {0x02, 0x04, 0x00, 0x05, 0x01, 0x03});
    const InputRangeStatus got = ReadInputRangeStatus(tool);
    EXPECT_EQ(got.Status, 0);
    EXPECT_EQ(got.RangeCode, 0);
    EXPECT_EQ(tool.RxPos, 2);
    Receive(tool, {0x02, 0x14, 0x00, 0x01, 0x01, 0x03});
    EXPECT_EQ(ReadOutputRangeStatus(tool), OutputRangeStatus{});
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
    Receive(tool, EncodeFrame(body.data(), body.size()));
    EXPECT_EQ(ReadVersionText(tool), "Module  V2.0");
    EXPECT_EQ(tool.RxPos, 51);

    // Bytes behind offset 50 are not part of the text.
    Bytes longBody(60, 'x');
    longBody[0] = 0x30;
    Receive(tool, EncodeFrame(longBody.data(), longBody.size()));
    EXPECT_EQ(ReadVersionText(tool), std::string(50, 'x'));
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

TEST(CatalogueDispatch, NamesTheNineteenRequests) {
    int count = 0;
    for (int code = 0; code < 256; ++code) {
        count += CommandName(static_cast<std::uint8_t>(code)).empty() ? 0 : 1;
    }
    EXPECT_EQ(count, 19);
    EXPECT_EQ(CommandName(cmdSetToolkitVersion), "cmdSetToolkitVersion");
}

} // namespace
} // namespace zx
