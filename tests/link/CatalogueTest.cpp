#include "Catalogue.h"
#include "Frames.h"

#include <gtest/gtest.h>

#include <set>

namespace zx {
namespace {

using test::Bytes;
using test::Received;
using test::Sent;

// Each request as the tool builds it and as the module reads it back from the same bytes.
struct RequestCase {
    const char* name;
    Request request;
    Bytes wire;
};

void PrintTo(const RequestCase& c, std::ostream* out) {
    *out << c.name;
}

class CatalogueRequests : public ::testing::TestWithParam<RequestCase> {};

TEST_P(CatalogueRequests, GoOnTheWireByteForByteAndReadBack) {
    FrameCodec c;
    BuildRequest(c, GetParam().request);
    EXPECT_EQ(Sent(c), GetParam().wire);
    const Bytes& wire = GetParam().wire;
    FrameCodec module = Received(Bytes(wire.begin() + 1, wire.end() - 1));
    EXPECT_EQ(ReadRequest(module), GetParam().request);
}

INSTANTIATE_TEST_SUITE_P(
    Catalogue, CatalogueRequests,
    ::testing::Values(
        RequestCase{"CalInputZero", {.Code = 1, .Range = 5}, {0x02, 0x01, 0x05, 0x03}},
        RequestCase{"CalInputFull",
                    {.Code = 2, .Range = 5, .FullScale = 10.0f},
                    {0x02, 0x10, 0xFD, 0x05, 0x00, 0x00, 0x20, 0x41, 0x03}},
        RequestCase{"ReadActiveInput", {.Code = 3, .Range = 0}, {0x02, 0x10, 0xFC, 0x00, 0x03}},
        RequestCase{"ReadProgrammedInput", {.Code = 4}, {0x02, 0x04, 0x03}},
        RequestCase{"ClearInputCalFlags", {.Code = 5}, {0x02, 0x05, 0x03}},
        RequestCase{"SelectInputRange", {.Code = 6, .Range = 10}, {0x02, 0x06, 0x0A, 0x03}},
        RequestCase{"ProgramInputRange",
                    {.Code = 7, .Range = 3, .Minimum = -2.5f, .Maximum = 2.0f},
                    {0x02, 0x07, 0x10, 0xFC, 0x00, 0x00, 0x20, 0xC0, 0x00, 0x00, 0x00, 0x40, 0x03}},
        RequestCase{"SetOutputCode",
                    {.Code = 16, .Range = 1, .DacCode = 4099},
                    {0x02, 0x10, 0xEF, 0x01, 0x10, 0xFC, 0x10, 0xEF, 0x03}},
        RequestCase{
            "WriteOutputZero",
            {.Code = 17, .DacCode = 1000, .Minimum = -10.0f, .Maximum = 10.0f, .Invert = true},
            {0x02, 0x11, 0x00, 0xE8, 0x10, 0xFC, 0x00, 0x00, 0x20, 0xC1, 0x00, 0x00, 0x20, 0x41,
             0x01, 0x03}},
        RequestCase{"WriteOutputFull",
                    {.Code = 18, .Range = 1, .DacCode = 0xFFFF, .Maximum = 20.0f},
                    {0x02, 0x12, 0x01, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xA0, 0x41,
                     0x00, 0x03}},
        RequestCase{"ReadActiveOutput", {.Code = 19, .Range = 1}, {0x02, 0x13, 0x01, 0x03}},
        RequestCase{"ReadProgrammedOutput", {.Code = 20}, {0x02, 0x14, 0x03}},
        RequestCase{"ClearOutputCalFlags", {.Code = 21}, {0x02, 0x15, 0x03}},
        RequestCase{"SelectOutputRange", {.Code = 22, .Range = 0}, {0x02, 0x16, 0x00, 0x03}},
        RequestCase{"ProgramOutputRange",
                    {.Code = 23, .Range = 1, .Minimum = 4.0f, .Maximum = 20.0f, .Invert = true},
                    {0x02, 0x17, 0x01, 0x00, 0x00, 0x80, 0x40, 0x00, 0x00, 0xA0, 0x41, 0x01, 0x03}},
        RequestCase{"SetCalMode", {.Code = 32, .Value = 1}, {0x02, 0x20, 0x01, 0x03}},
        RequestCase{"QueryCalMode", {.Code = 33, .Value = 0}, {0x02, 0x21, 0x00, 0x03}},
        RequestCase{"ReadVersion", {.Code = 48}, {0x02, 0x30, 0x03}},
        RequestCase{"SetToolkitVersion", {.Code = 51, .Value = 171}, {0x02, 0x33, 0xAB, 0x03}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(CatalogueRequests, TheLongestRequestFitsEvenFullyEscaped) {
    FrameCodec c;
    // Every byte of 2.0f-like patterns escaped: 0x10 everywhere is the worst case.
    const float allDle = std::bit_cast<float>(0x10101010u);
    BuildRequest(c, {.Code = cmdWriteOutputZero,
                     .Range = 0x10,
                     .DacCode = 0x1010,
                     .Minimum = allDle,
                     .Maximum = allDle,
                     .Invert = true});
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

    FrameCodec tool = Received(InputBody);
    EXPECT_EQ(ReadInputRangeStatus(tool), InputRecord);
    EXPECT_EQ(tool.RxPos, 29);
    tool = Received(OutputBody);
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

    FrameCodec tool = Received({0x21, 0x01});
    EXPECT_EQ(ReadCalMode(tool), 1);
    tool = Received({0x33});
    EXPECT_EQ(ReadToolkitAck(tool), 0);
}

TEST(CatalogueRecords, StatusZeroStopsTheReader) {
    FrameCodec tool = Received({0x04, 0x00, 0x05, 0x01});
    const InputRangeStatus got = ReadInputRangeStatus(tool);
    EXPECT_EQ(got.Status, 0);
    EXPECT_EQ(got.RangeCode, 0);
    EXPECT_EQ(tool.RxPos, 2);
    tool = Received({0x14, 0x00, 0x01, 0x01});
    EXPECT_EQ(ReadOutputRangeStatus(tool), OutputRangeStatus{});
    EXPECT_EQ(tool.RxPos, 2);
}

TEST(CatalogueRecords, ARecordCutShortReadsZeros) {
    FrameCodec tool = Received({0x14, 0x01, 0x01});
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
    tool = Received(body);
    EXPECT_EQ(ReadVersionText(tool), "Module  V2.0");
    EXPECT_EQ(tool.RxPos, 51);

    // Bytes behind offset 50 are not part of the text.
    Bytes longBody(60, 'x');
    longBody[0] = 0x30;
    tool = Received(longBody);
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
