#include "digit_pairs.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "round_builder.h"

namespace keta::analysis {
namespace {

using test::MakeRound;

struct CellCase {
    Mode mode;
    int left, right, answers, errors;
    std::optional<double> medianMs;
};

TEST(DigitPairs, CellsMatchHandCountedTable) {
    const std::vector<RoundRecord> rounds{
        // Times 1000 2000 (clear) 1000 2000 500; the last has a digit out of range.
        MakeRound(60, {{1000, 'o', 3, 4},
                       {3000, 'x', 4, 5},
                       {3500, 'c', 4, 5},
                       {4000, 'o', 4, 5},
                       {6000, 'o', 3, 4},
                       {6500, 'o', 12, 1}}),
        MakeRound(60, {{800, 'x', 3, 4}, {1800, 'o', 4, 3}}, test::kDifference),
        MakeRound(60, {{900, 'o', 0, 9}}, ""),  // any other mode text is the sum
    };
    const PairFigures f = ComputePairs(rounds);
    EXPECT_EQ(f.rounds, 3);
    EXPECT_EQ(f.skipped, 1);
    const CellCase cases[] = {
        {Mode::Sum, 3, 4, 2, 0, 1500.0},
        {Mode::Sum, 4, 5, 2, 1, 1500.0},
        {Mode::Sum, 0, 9, 1, 0, 900.0},
        {Mode::Sum, 4, 3, 0, 0, std::nullopt},
        {Mode::Difference, 3, 4, 1, 1, 800.0},
        {Mode::Difference, 4, 3, 1, 0, 1000.0},
        {Mode::Difference, 4, 5, 0, 0, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.left << "," << c.right);
        const PairCell& cell = f.of(c.mode).at(c.left, c.right);
        EXPECT_EQ(cell.answers, c.answers);
        EXPECT_EQ(cell.errors, c.errors);
        EXPECT_EQ(cell.medianMs, c.medianMs);
        EXPECT_EQ(cell.errorRate.has_value(), c.answers > 0);
        if (cell.errorRate) {
            EXPECT_DOUBLE_EQ(*cell.errorRate, double(c.errors) / c.answers);
        }
    }
    EXPECT_EQ(f.sum.answers, 5);
    EXPECT_EQ(f.sum.errors, 1);
    EXPECT_DOUBLE_EQ(f.sum.medianMs.value(), 1000.0);  // 900 1000 1000 2000 2000
    EXPECT_DOUBLE_EQ(f.difference.errorRate.value(), 0.5);
}

TEST(DigitPairs, NoRoundsGiveEmptyTables) {
    const PairFigures f = ComputePairs({});
    EXPECT_EQ(f.sum.answers, 0);
    EXPECT_FALSE(f.sum.errorRate.has_value());
    EXPECT_FALSE(f.sum.medianMs.has_value());
    EXPECT_TRUE(WeakestPairs(f.sum).empty());
}

PairTable HandTable() {
    // Mode: 100 answers, 10 errors (p = 0.1), median 1000 ms.
    PairTable t;
    t.answers = 100;
    t.errors = 10;
    t.errorRate = 0.1;
    t.medianMs = 1000.0;
    auto set = [&t](int a, int b, int answers, int errors, std::optional<double> median) {
        PairCell& c = t.cells[static_cast<std::size_t>(a)][static_cast<std::size_t>(b)];
        c.answers = answers;
        c.errors = errors;
        c.medianMs = median;
    };
    set(1, 1, 1, 1, 1000.0);         // one answer, one error
    set(2, 3, 5, 2, 1000.0);         // (2 + 1) / 15 = 0.2
    set(5, 5, 5, 2, 1000.0);         // 0.2, same errors: after (2,3)
    set(8, 0, 15, 4, 1000.0);        // (4 + 1) / 25 = 0.2, more errors: before (2,3)
    set(7, 8, 20, 2, 2000.0);        // (2 + 1) / 30 + 0.25 · (2 − 1) = 0.35
    set(9, 9, 10, 0, 500.0);         // 1 / 20 − 0.125 = −0.075
    set(4, 4, 10, 1, std::nullopt);  // 2 / 20, no time term = 0.1
    set(6, 6, 4, 4, 3000.0);         // below the minimum of 5 answers
    return t;
}

TEST(DigitPairs, WeakestPairsFollowTheStatedScore) {
    const struct {
        const char* name;
        WeakPairOptions options;
        std::vector<std::pair<int, int>> order;
        std::vector<double> scores;
    } cases[] = {
        {"defaults",
         {},
         {{7, 8}, {8, 0}, {2, 3}, {5, 5}, {4, 4}, {9, 9}},
         {0.35, 0.2, 0.2, 0.2, 0.1, -0.075}},
        {"three", {5, 10.0, 0.25, 3}, {{7, 8}, {8, 0}, {2, 3}}, {0.35, 0.2, 0.2}},
        // Even when ranked, a single wrong answer is pulled toward the mode's rate:
        // (1 + 1) / 11 = 0.18 stays below (7,8); (6,6): 5/14 + 0.5 = 0.857 tops the list.
        {"everything ranked",
         {1, 10.0, 0.25, 4},
         {{6, 6}, {7, 8}, {8, 0}, {2, 3}},
         {5.0 / 14 + 0.5, 0.35, 0.2, 0.2}},
        {"no time term", {5, 10.0, 0.0, 2}, {{8, 0}, {2, 3}}, {0.2, 0.2}},
    };
    const PairTable t = HandTable();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto weak = WeakestPairs(t, c.options);
        ASSERT_EQ(weak.size(), c.order.size());
        for (std::size_t i = 0; i < weak.size(); ++i) {
            EXPECT_EQ(weak[i].left, c.order[i].first) << i;
            EXPECT_EQ(weak[i].right, c.order[i].second) << i;
            EXPECT_NEAR(weak[i].score, c.scores[i], 1e-12) << i;
        }
    }
    const auto all = WeakestPairs(t, {1, 10.0, 0.25, 10});
    ASSERT_EQ(all.size(), 8u);
    EXPECT_EQ(all[5].left, 1);  // the pair seen once, (1 + 1) / 11, below four better-known
    EXPECT_NEAR(all[5].smoothedErrorRate, 2.0 / 11, 1e-12);
}

TEST(DigitPairs, EachModeCountsItsOwnRoundsAndDamagedRoundsNowhere) {
    RoundRecord damaged = MakeRound(60, {{900, 'x', 3, 4}});
    damaged.damaged = true;
    const struct {
        const char* name;
        std::vector<RoundRecord> rounds;
        int sumRounds, differenceRounds, damagedRounds, sumAnswers;
    } cases[] = {
        {"four sums and two differences",
         {MakeRound(60, {{900, 'o'}}), MakeRound(60, {{900, 'o'}}),
          MakeRound(60, {{900, 'o'}}, test::kDifference), MakeRound(60, {{900, 'o'}}),
          MakeRound(60, {}, test::kDifference), MakeRound(60, {{900, 'x'}})},
         4,
         2,
         0,
         4},
        {"a round without answers still counts for its mode",
         {MakeRound(60, {}), MakeRound(60, {{1, 'c'}})},
         2,
         0,
         0,
         0},
        {"damaged rounds stay out of both modes",
         {damaged, MakeRound(60, {{900, 'o', 3, 4}}), damaged},
         1,
         0,
         2,
         1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const PairFigures f = ComputePairs(c.rounds);
        EXPECT_EQ(f.rounds, static_cast<int>(c.rounds.size()));
        EXPECT_EQ(f.sum.rounds, c.sumRounds);
        EXPECT_EQ(f.difference.rounds, c.differenceRounds);
        EXPECT_EQ(f.damaged, c.damagedRounds);
        EXPECT_EQ(f.sum.answers, c.sumAnswers);
        EXPECT_EQ(f.sum.at(3, 4).errors, 0);  // the damaged round's wrong answer is not counted
    }
}

}  // namespace
}  // namespace keta::analysis
