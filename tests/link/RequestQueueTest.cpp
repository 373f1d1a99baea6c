#include "RequestQueue.h"
#include "Catalogue.h"

#include <gtest/gtest.h>

namespace zx {
namespace {

using Sets = RequestQueue::Sets;

RequestQueue::Request R(std::uint8_t code, Sets choice = Sets::Nothing, std::uint8_t value = 0) {
    return {code, choice, {0x02, code, value, 0x03}, {}};
}

// What leaves the queue, in order, as (code, value) pairs.
std::vector<std::pair<int, int>> Drain(RequestQueue& q) {
    std::vector<std::pair<int, int>> out;
    while (auto r = q.Take()) {
        out.emplace_back(r->Code, r->Frame[2]);
    }
    return out;
}

TEST(RequestQueue, ReplacesOnlyTheLastWaitingChoiceOfTheSameThing) {
    RequestQueue q;
    q.Written(R(20)); // a read on the line
    q.Put(R(22, Sets::OutputRange, 3));
    q.Put(R(19, Sets::Nothing, 3)); // reads the active range 3: must reach the module after it
    q.Put(R(22, Sets::OutputRange, 7));
    q.Put(R(16, Sets::ZeroCode, 1));
    q.Put(R(16, Sets::ZeroCode, 2)); // a newer notch of the same field
    q.Put(R(16, Sets::FullCode, 9)); // another field: never merged with the zero code
    q.Put(R(6, Sets::InputRange, 1));
    q.Put(R(6, Sets::InputRange, 4));
    EXPECT_TRUE(q.Holds(Sets::OutputRange));
    EXPECT_EQ(Drain(q), (std::vector<std::pair<int, int>>{
                            {22, 3}, {19, 3}, {22, 7}, {16, 2}, {16, 9}, {6, 4}}));
    EXPECT_FALSE(q.Holds(Sets::InputRange));
}

TEST(RequestQueue, WritesCalibrationsAndClearsAreNeverReplaced) {
    RequestQueue q;
    q.Written(R(4));
    for (std::uint8_t code : {1, 1, 7, 7, 17, 17, 5, 5, 32, 32}) {
        q.Put(R(code));
    }
    EXPECT_EQ(q.Waiting(), 10u);
    q.Put(R(4));
    q.Put(R(4)); // a read pressed again before it left is asked once
    q.Put(R(3, Sets::Nothing, 1));
    q.Put(R(3, Sets::Nothing, 2)); // another range: asked again
    EXPECT_EQ(q.Waiting(), 13u);
}

TEST(RequestQueue, PairsAnswersByCodeAndKnowsLateAnswersFromCopies) {
    using A = RequestQueue::Arrival;
    RequestQueue q;
    q.Written(R(6, Sets::InputRange, 1));
    EXPECT_EQ(q.Arrived(4, {4, 1}), A::Stray) << "another code never answers the request";
    EXPECT_TRUE(q.Awaiting());
    ASSERT_TRUE(q.TimedOut());
    q.Written(R(6, Sets::InputRange, 2));
    EXPECT_EQ(q.Arrived(6, {6, 1, 1}), A::Answer) << "the older answer: the code is all there is";
    EXPECT_EQ(q.Arrived(6, {6, 1, 1}), A::Stray) << "a copy of it";
    EXPECT_EQ(q.Arrived(6, {6, 1, 2}), A::Late) << "the second request's own answer";
    EXPECT_EQ(q.Arrived(6, {6, 1, 3}), A::Stray) << "nothing more is owed";
    q.Written(R(48));
    q.Clear();
    EXPECT_EQ(q.Arrived(48, {48}), A::Stray) << "nothing is owed on a line closed since";
}

} // namespace
} // namespace zx
