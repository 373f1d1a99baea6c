#include "ModuleModel.h"
#include "Catalogue.h"
#include "Frames.h"

#include <gtest/gtest.h>

namespace zx::sim {
namespace {

// Sends a request built by the tool's own catalogue through the model and reads the answer
// with the tool's own readers.
class ModelExchange : public ::testing::Test {
protected:
    FrameCodec& Ask(const Request& request) {
        BuildRequest(Tool, request);
        return Answer();
    }
    FrameCodec& Answer() {
        FrameCodec request = test::Received(Tool); // as the module receives it
        const auto answer = Model.Handle(ReadRequest(request), Now += 1.0);
        Reply = FrameCodec();
        if (answer) {
            FrameCodec sent;
            answer->Encode(sent);
            Reply = test::Received(sent);
        }
        return Reply;
    }
    ModuleModel Model;
    FrameCodec Tool;
    FrameCodec Reply;
    double Now = 0;
};

TEST_F(ModelExchange, ProgrammedReadReportsTheProgrammedRange) {
    const InputRangeStatus r = ReadInputRangeStatus(Ask({.Code = cmdReadProgrammedInput}));
    EXPECT_EQ(Reply.RxBuffer[0], cmdReadProgrammedInput);
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.RangeCode, 5);
    EXPECT_EQ(r.RangeOk, 1) << "default SW1 matches range 5";
    EXPECT_EQ(r.MinValue, -10.0f);
    EXPECT_EQ(r.ZeroCalFlags, 0x01FF);
    EXPECT_GT(r.TA, 20.0f);
    EXPECT_EQ(r.TCAL, 23.5f);
    EXPECT_EQ(Reply.RxLength, 29);
}

TEST_F(ModelExchange, SelectingAndProgrammingPersist) {
    BuildRequest(Tool, {.Code = cmdSelectInputRange, .Range = 2});
    EXPECT_EQ(ReadInputRangeStatus(Answer()).RangeCode, 2);
    EXPECT_EQ(Model.ActiveInput, 2);
    EXPECT_EQ(Model.ProgrammedInput, 5);
    EXPECT_EQ(ReadInputRangeStatus(Answer()).RangeOk, 0) << "SW1 is set for range 5";

    BuildRequest(Tool,
                 {.Code = cmdProgramInputRange, .Range = 7, .Minimum = -2.0f, .Maximum = 4.0f});
    const InputRangeStatus p = ReadInputRangeStatus(Answer());
    EXPECT_EQ(p.Status, 1);
    EXPECT_EQ(p.MaxValue, 4.0f);
    const InputRangeStatus again = ReadInputRangeStatus(Ask({.Code = cmdReadProgrammedInput}));
    EXPECT_EQ(again.RangeCode, 7);
    EXPECT_EQ(again.MinValue, -2.0f);
    EXPECT_EQ(Model.ActiveInput, 7);
}

TEST_F(ModelExchange, RefusesBadLimitsAndUnknownRanges) {
    BuildRequest(Tool,
                 {.Code = cmdProgramInputRange, .Range = 5, .Minimum = 3.0f, .Maximum = 3.0f});
    EXPECT_EQ(ReadInputRangeStatus(Answer()).Status, 0);
    BuildRequest(Tool,
                 {.Code = cmdProgramInputRange, .Range = 5, .Minimum = -10.5f, .Maximum = 3.0f});
    EXPECT_EQ(ReadInputRangeStatus(Answer()).Status, 0);
    BuildRequest(Tool, {.Code = cmdSelectInputRange, .Range = 11});
    EXPECT_EQ(ReadInputRangeStatus(Answer()).Status, 0);
    BuildRequest(Tool, {.Code = cmdProgramOutputRange,
                        .Range = 1,
                        .Minimum = -1.0f,
                        .Maximum = 20.0f,
                        .Invert = false});
    EXPECT_EQ(ReadOutputRangeStatus(Answer()).Status, 0);
    EXPECT_EQ(Model.ActiveInput, 5);
}

TEST_F(ModelExchange, CalibrationSetsAndClearingClearsTheFlags) {
    BuildRequest(Tool, {.Code = cmdCalInputZero, .Range = 10});
    EXPECT_EQ(ReadInputRangeStatus(Answer()).ZeroCalFlags, 0x05FF);
    BuildRequest(Tool, {.Code = cmdCalInputFull, .Range = 9, .FullScale = 20.0f});
    EXPECT_EQ(ReadInputRangeStatus(Answer()).FullCalFlags, 0x03FF);
    const InputRangeStatus cleared = ReadInputRangeStatus(Ask({.Code = cmdClearInputCalFlags}));
    EXPECT_EQ(cleared.ZeroCalFlags, 0);
    EXPECT_EQ(cleared.FullCalFlags, 0);
    const OutputRangeStatus out = ReadOutputRangeStatus(Ask({.Code = cmdClearOutputCalFlags}));
    EXPECT_EQ(out.ZeroCalFlags, 0);
}

TEST_F(ModelExchange, TheDacFollowsTheToolOnlyInCal) {
    BuildRequest(Tool, {.Code = cmdWriteOutputZero,
                        .Range = 0,
                        .DacCode = 1234,
                        .Minimum = -10.0f,
                        .Maximum = 10.0f,
                        .Invert = false});
    EXPECT_EQ(ReadOutputRangeStatus(Answer()).Status, 0) << "refused in RUN";
    BuildRequest(Tool, {.Code = cmdSetOutputCode, .Range = 0, .DacCode = 999});
    Answer();
    EXPECT_EQ(Reply.RxBuffer[0], cmdSetOutputCode);
    EXPECT_EQ(Reply.RxLength, 1);

    BuildRequest(Tool, {.Code = cmdSetCalMode, .Value = 1});
    EXPECT_EQ(ReadCalMode(Answer()), 1);
    BuildRequest(Tool, {.Code = cmdSetOutputCode, .Range = 0, .DacCode = 40000});
    Answer();
    EXPECT_EQ(ReadOutputRangeStatus(Ask({.Code = cmdReadProgrammedOutput})).OutputCode, 40000);
    BuildRequest(Tool, {.Code = cmdWriteOutputFull,
                        .Range = 0,
                        .DacCode = 60000,
                        .Minimum = -5.0f,
                        .Maximum = 5.0f,
                        .Invert = true});
    const OutputRangeStatus w = ReadOutputRangeStatus(Answer());
    EXPECT_EQ(w.Status, 1);
    EXPECT_EQ(w.FullCode, 60000);
    EXPECT_EQ(w.Invert, 1);
    EXPECT_EQ(w.MinValue, -5.0f);
    EXPECT_EQ(w.CalMode, 1);

    BuildRequest(Tool, {.Code = cmdQueryCalMode, .Value = 0});
    EXPECT_EQ(ReadCalMode(Answer()), 1) << "the query reports, it does not set";
}

TEST_F(ModelExchange, VersionToolkitAndUnknownRequests) {
    EXPECT_EQ(ReadVersionText(Ask({.Code = cmdReadVersion})),
              "Zentrix virtual module  V2.03  (simulated)");
    EXPECT_EQ(ReadToolkitAck(Ask({.Code = cmdSetToolkitVersion, .Value = ToolkitVersion})), 1);
    EXPECT_EQ(Model.ToolkitVersion, 171);
    EXPECT_FALSE(Model.Handle(Request{9}, 0).has_value());
    EXPECT_FALSE(Model.Handle(Request{}, 0).has_value());
    // A request cut short reads zeros and is still answered sensibly.
    const auto shortProgram = Model.Handle(Request{cmdProgramInputRange}, 0);
    ASSERT_TRUE(shortProgram.has_value());
    EXPECT_EQ(shortProgram->Input->Status, 0) << "min 0 = max 0 is refused";
}

TEST_F(ModelExchange, ReadingIsInTheRangeUnitAndCanBeFixed) {
    ModuleSettings fixed;
    fixed.FixedReading = 1.5f;
    ModuleModel model(fixed);
    EXPECT_EQ(model.InputReading(5, 3.0), 1.5f);
    for (double t = 0; t < 20; t += 0.7) {
        const float v = Model.InputReading(0, t);
        EXPECT_LE(std::abs(v), 312.0f * 0.61f);
    }
}

} // namespace
} // namespace zx::sim
