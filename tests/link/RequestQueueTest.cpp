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

TEST(RequestQueue, PairsAnswersOldestFirstWithinACode) {
    using A = RequestQueue::Arrival;
    using namespace std::chrono_literals;
    RequestQueue q;
    const auto any = [](const RequestQueue::Request&) { return true; };
    const auto of = [](const RequestQueue::Pairing& p) { return p.Of ? p.Of->Frame[2] : -1; };
    q.Written(R(6, Sets::InputRange, 1));
    EXPECT_EQ(q.Arrived(4, 0s, any).What, A::Stray) << "another code never answers the request";
    EXPECT_TRUE(q.Awaiting());
    ASSERT_TRUE(q.TimedOut(4s));
    q.Written(R(6, Sets::InputRange, 2));
    // The module answers in order: the first frame of code 6 is the older request's.
    auto first = q.Arrived(6, 5s, any);
    EXPECT_EQ(first.What, A::Late);
    EXPECT_EQ(of(first), 1);
    EXPECT_TRUE(q.Awaiting()) << "the request on the line still waits for its own";
    auto second = q.Arrived(6, 5s, any);
    EXPECT_EQ(second.What, A::Answer);
    EXPECT_EQ(of(second), 2);
    EXPECT_EQ(q.Arrived(6, 5s, any).What, A::Stray) << "a copy, where nothing is owed";

    // An answer that names the request on the line, not the older one, is the newer's.
    q.Written(R(6, Sets::InputRange, 3));
    q.TimedOut(10s);
    q.Written(R(6, Sets::InputRange, 4));
    auto named = q.Arrived(6, 11s, [](const RequestQueue::Request& r) { return r.Frame[2] == 4; });
    EXPECT_EQ(named.What, A::Answer);
    EXPECT_EQ(of(named), 4);
    EXPECT_EQ(q.Owed(), 0u) << "the older answer will not come now";

    // Owed for so long only: noise of the code half a minute on answers nothing.
    q.Written(R(7));
    q.TimedOut(20s);
    EXPECT_EQ(q.Arrived(7, 20s + RequestQueue::OwedFor + 1s, any).What, A::Stray);
    q.Written(R(48));
    q.Clear();
    EXPECT_EQ(q.Arrived(48, 60s, any).What, A::Stray) << "nothing is owed on a line closed since";
}

} // namespace
} // namespace zx
