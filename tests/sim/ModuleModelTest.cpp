#include "ModuleModel.h"
#include "Catalogue.h"

#include <gtest/gtest.h>

namespace zx::sim {
namespace {

// Sends a request built by the tool's own catalogue through the model and reads the answer
// with the tool's own readers.
class ModelExchange : public ::testing::Test {
protected:
    FrameCodec& Ask(void (*build)(FrameCodec&)) {
        build(Tool);
        return Answer();
    }
    FrameCodec& Answer() {
        FrameCodec request; // the built request as the module receives it
        request.StoreRxRaw(Tool.TxBuffer.data() + 1, Tool.TxLength - 1u);
        request.Unescape(Tool.TxLength - 1u);
        const auto answer = Model.Handle(ReadRequest(request), Now += 1.0);
        Reply = FrameCodec();
        if (answer) {
            FrameCodec sent;
            answer->Encode(sent);
            Reply.StoreRxRaw(sent.TxBuffer.data() + 1, sent.TxLength - 1u);
            Reply.Unescape(sent.TxLength - 1u);
        }
        Answered = answer.has_value();
        return Reply;
    }
    ModuleModel Model;
    FrameCodec Tool;
    FrameCodec Reply;
    bool Answered = false;
    double Now = 0;
};

TEST_F(ModelExchange, ProgrammedReadReportsTheProgrammedRange) {
    const InputRangeStatus r = ReadInputRangeStatus(Ask(BuildReadProgrammedInput));
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
    BuildSelectInputRange(Tool, 2);
    EXPECT_EQ(ReadInputRangeStatus(Answer()).RangeCode, 2);
    EXPECT_EQ(Model.ActiveInput, 2);
    EXPECT_EQ(Model.ProgrammedInput, 5);
    EXPECT_EQ(ReadInputRangeStatus(Answer()).RangeOk, 0) << "SW1 is set for range 5";

    BuildProgramInputRange(Tool, 7, -2.0f, 4.0f);
    const InputRangeStatus p = ReadInputRangeStatus(Answer());
    EXPECT_EQ(p.Status, 1);
    EXPECT_EQ(p.MaxValue, 4.0f);
    const InputRangeStatus again = ReadInputRangeStatus(Ask(BuildReadProgrammedInput));
    EXPECT_EQ(again.RangeCode, 7);
    EXPECT_EQ(again.MinValue, -2.0f);
    EXPECT_EQ(Model.ActiveInput, 7);
}

TEST_F(ModelExchange, RefusesBadLimitsAndUnknownRanges) {
    BuildProgramInputRange(Tool, 5, 3.0f, 3.0f);
    EXPECT_EQ(ReadInputRangeStatus(Answer()).Status, 0);
    BuildProgramInputRange(Tool, 5, -10.5f, 3.0f);
    EXPECT_EQ(ReadInputRangeStatus(Answer()).Status, 0);
    BuildSelectInputRange(Tool, 11);
    EXPECT_EQ(ReadInputRangeStatus(Answer()).Status, 0);
    BuildProgramOutputRange(Tool, 1, -1.0f, 20.0f, false);
    EXPECT_EQ(ReadOutputRangeStatus(Answer()).Status, 0);
    EXPECT_EQ(Model.ActiveInput, 5);
}

TEST_F(ModelExchange, CalibrationSetsAndClearingClearsTheFlags) {
    BuildCalInputZero(Tool, 10);
    EXPECT_EQ(ReadInputRangeStatus(Answer()).ZeroCalFlags, 0x05FF);
    BuildCalInputFull(Tool, 9, 20.0f);
    EXPECT_EQ(ReadInputRangeStatus(Answer()).FullCalFlags, 0x03FF);
    const InputRangeStatus cleared = ReadInputRangeStatus(Ask(BuildClearInputCalFlags));
    EXPECT_EQ(cleared.ZeroCalFlags, 0);
    EXPECT_EQ(cleared.FullCalFlags, 0);
    const OutputRangeStatus out = ReadOutputRangeStatus(Ask(BuildClearOutputCalFlags));
    EXPECT_EQ(out.ZeroCalFlags, 0);
}

TEST_F(ModelExchange, TheDacFollowsTheToolOnlyInCal) {
    BuildWriteOutputZero(Tool, 0, 1234, -10.0f, 10.0f, false);
    EXPECT_EQ(ReadOutputRangeStatus(Answer()).Status, 0) << "refused in RUN";
    BuildSetOutputCode(Tool, 0, 999);
    Answer();
    EXPECT_EQ(Reply.RxBuffer[0], cmdSetOutputCode);
    EXPECT_EQ(Reply.RxLength, 1);

    BuildSetCalMode(Tool, 1);
    EXPECT_EQ(ReadCalMode(Answer()), 1);
    BuildSetOutputCode(Tool, 0, 40000);
    Answer();
    EXPECT_EQ(ReadOutputRangeStatus(Ask(BuildReadProgrammedOutput)).OutputCode, 40000);
    BuildWriteOutputFull(Tool, 0, 60000, -5.0f, 5.0f, true);
    const OutputRangeStatus w = ReadOutputRangeStatus(Answer());
    EXPECT_EQ(w.Status, 1);
    EXPECT_EQ(w.FullCode, 60000);
    EXPECT_EQ(w.Invert, 1);
    EXPECT_EQ(w.MinValue, -5.0f);
    EXPECT_EQ(w.CalMode, 1);

    BuildQueryCalMode(Tool, 0);
    EXPECT_EQ(ReadCalMode(Answer()), 1) << "the query reports, it does not set";
}

TEST_F(ModelExchange, VersionToolkitAndUnknownRequests) {
    EXPECT_EQ(ReadVersionText(Ask(BuildReadVersion)), "Zentrix virtual module  V2.03  (simulated)");
    EXPECT_EQ(ReadToolkitAck(Ask(BuildSetToolkitVersion)), 1);
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
