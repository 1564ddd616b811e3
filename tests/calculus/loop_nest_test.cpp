// The loop nest's run at fixed parameter values on hand-made nests: bounds
// beyond 64 bits stop it, counts stop when told or out of budget, and the
// sample point sits in the middle.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "calculus/loop_nest.h"

namespace {

constexpr std::int64_t largest = std::numeric_limits<std::int64_t>::max();

// x in [low, high], then (when two levels) y = factor * x.
LoopNest interval_then_multiple(std::int64_t low, std::int64_t high, std::int64_t factor = 0) {
    LoopNest nest;
    nest.variables = factor ? 2 : 1;
    nest.levels.resize(nest.variables);
    unsigned width = nest.variables + 1;
    NestRow at_least(width, 0), at_most(width, 0);
    at_least[0] = 1;
    at_least[width - 1] = -low;
    at_most[0] = -1;
    at_most[width - 1] = high;
    nest.levels[0].lower.push_back(at_least);
    nest.levels[0].upper.push_back(at_most);
    if (factor) nest.levels[1].equality = NestRow{factor, -1, 0};
    return nest;
}

TEST(NestRunner, StopsWhereACoordinateLeavesSixtyFourBits) {
    LoopNest nest = interval_then_multiple(largest - 2, largest, 2);
    NestRunner runner(nest);
    ASSERT_TRUE(runner.fix_parameters(nullptr));
    EXPECT_FALSE(runner.next());
    EXPECT_TRUE(runner.beyond_64_bits());

    ASSERT_TRUE(runner.fix_parameters(nullptr));
    unsigned __int128 total = 0;
    EXPECT_EQ(runner.count(total), NestRunner::CountStatus::beyond_64_bits);
}

TEST(NestRunner, ReachesTheLargestSixtyFourBitValue) {
    LoopNest nest = interval_then_multiple(largest - 2, largest);
    NestRunner runner(nest);
    ASSERT_TRUE(runner.fix_parameters(nullptr));
    ASSERT_TRUE(runner.next(true));
    EXPECT_EQ(runner.point()[0], largest);
    int points = 1;
    while (runner.next(true)) ++points;
    EXPECT_EQ(points, 3);
    EXPECT_FALSE(runner.beyond_64_bits());
}

struct Always : CancelCheck {
    bool analysis_cancelled() override { return true; }
};

TEST(NestRunner, StopsWhenToldOrOutOfBudget) {
    LoopNest nest = interval_then_multiple(0, 1000000, 3);
    NestRunner runner(nest);
    ASSERT_TRUE(runner.fix_parameters(nullptr));
    std::uint64_t budget = 10;
    unsigned __int128 total = 0;
    EXPECT_EQ(runner.count(total, &budget), NestRunner::CountStatus::over_budget);
    total = 0;
    EXPECT_EQ(runner.count(total), NestRunner::CountStatus::done);
    EXPECT_TRUE(total == 1000001);

    Always cancel;
    NestRunner watched(nest, &cancel);
    ASSERT_TRUE(watched.fix_parameters(nullptr));
    total = 0;
    EXPECT_EQ(watched.count(total), NestRunner::CountStatus::stopped);
    EXPECT_TRUE(watched.stopped());
    ASSERT_TRUE(watched.fix_parameters(nullptr));
    EXPECT_FALSE(watched.next(true)) << "a stopped runner stays stopped";
}

TEST(NestRunner, SampleIsInTheMiddle) {
    LoopNest nest = interval_then_multiple(-3, 7, 5);
    NestRunner runner(nest);
    ASSERT_TRUE(runner.fix_parameters(nullptr));
    std::int64_t x[2] = {};
    ASSERT_TRUE(runner.sample(x));
    EXPECT_EQ(x[0], 2);
    EXPECT_EQ(x[1], 10);
}

TEST(NestRunner, AnEmptyNestHasNoPointAndNoCount) {
    LoopNest nest = interval_then_multiple(5, 4);
    NestRunner runner(nest);
    ASSERT_TRUE(runner.fix_parameters(nullptr));
    EXPECT_FALSE(runner.next());
    std::int64_t x[1];
    EXPECT_FALSE(runner.sample(x));
    unsigned __int128 total = 0;
    EXPECT_EQ(runner.count(total), NestRunner::CountStatus::done);
    EXPECT_TRUE(total == 0);
}

}  // namespace
