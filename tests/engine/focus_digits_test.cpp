#include "focus_digits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <set>
#include <string>
#include <vector>

namespace keta {
namespace {

using Pairs = std::vector<DigitPair>;
using Row = std::array<int, kDigitCount>;

// 5+6 joins the end of eight chosen pairs (0+5, 1+5, ...) to the start of eight others (6+0,
// 6+1, ...), so chance alone brings it more often than the rest: the most β is lowered for it.
Pairs OnePairJoiningTheOthers() {
    Pairs pairs;
    for (int d = 0; d < 10; ++d) {
        if (d == 5 || d == 6) continue;
        pairs.push_back({d, 5});
        pairs.push_back({6, d});
    }
    pairs.push_back({5, 6});
    return pairs;
}

// Pair sets like those people pick or the log gives.
struct PairSet {
    const char* name;
    Pairs pairs;
};
const std::vector<PairSet> kSets{
    // A person's ten weakest: only 6, 7, 8 and 9 start a pair, and 7/8 can alternate.
    {"ten weakest",
     {{7, 8}, {7, 6}, {8, 7}, {8, 9}, {9, 6}, {9, 8}, {6, 7}, {7, 9}, {8, 6}, {6, 9}}},
    {"one pair", {{7, 8}}},
    {"two that cannot chain", {{7, 8}, {9, 6}}},
    {"a digit with itself", {{3, 3}}},
    {"itself and another", {{3, 3}, {9, 6}}},
    {"every digit starts one",
     {{7, 8}, {9, 6}, {8, 7}, {3, 3}, {6, 9}, {1, 4}, {4, 1}, {2, 5}, {0, 0}, {5, 2}}},
    {"one pair joining the others", OnePairJoiningTheOthers()},
};

std::size_t At(int digit) { return static_cast<std::size_t>(digit); }

// One row; the digits that are not free must come two by two, each two a chosen pair.
Row DealRow(FocusDigits& digits, double reading, std::array<long, 10>* freeCounts = nullptr) {
    digits.StartRow(reading);
    Row row{};
    bool inPair = false;
    for (std::size_t i = 0; i < row.size(); ++i) {
        const int d = std::clamp(digits.Next(), 0, 9);
        row[i] = d;
        if (digits.LastWasFree()) {
            if (inPair) ADD_FAILURE() << "a planted pair cut at " << i;
            inPair = false;
            if (freeCounts != nullptr) ++(*freeCounts)[At(d)];
        } else if (inPair) {
            if (!digits.IsFocus(row[i - 1], d)) ADD_FAILURE() << "planted " << row[i - 1] << d;
            inPair = false;
        } else {
            inPair = true;
        }
    }
    if (inPair) ADD_FAILURE() << "a planted pair cut by the row's end";
    return row;
}

// What a round's rows held, counted over the neighbouring pairs.
struct Tally {
    long rows = 0;
    std::vector<double> perPair, perPairSquares;  // per row, in the order of Chosen()
    double chosen = 0.0, chosenSquares = 0.0;     // chosen neighbours per row
    std::array<long, 10> free{};                  // free digits
};

// Rows seeded 0.05 s apart, as a window dealing rows at its fastest would seed them.
Tally DealRows(FocusDigits& digits, int rows) {
    const std::vector<DigitPair> chosen = digits.Chosen();
    Tally t;
    t.rows = rows;
    t.perPair.assign(chosen.size(), 0.0);
    t.perPairSquares.assign(chosen.size(), 0.0);
    for (int r = 0; r < rows; ++r) {
        const Row row = DealRow(digits, 36000.0 + 0.05 * r, &t.free);
        std::vector<int> counts(chosen.size(), 0);
        for (std::size_t i = 1; i < row.size(); ++i) {
            for (std::size_t p = 0; p < chosen.size(); ++p) {
                if (chosen[p] == DigitPair{row[i - 1], row[i]}) ++counts[p];
            }
        }
        int sum = 0;
        for (std::size_t p = 0; p < chosen.size(); ++p) {
            t.perPair[p] += counts[p];
            t.perPairSquares[p] += counts[p] * counts[p];
            sum += counts[p];
        }
        t.chosen += sum;
        t.chosenSquares += sum * sum;
    }
    return t;
}

// The mean per row and four and a half standard errors of it.
struct Mean {
    double value, margin;
};
Mean MeanOf(double sum, double squares, long n) {
    const double mean = sum / static_cast<double>(n);
    const double variance = squares / static_cast<double>(n) - mean * mean;
    return {mean, 4.5 * std::sqrt(std::max(variance, 0.0) / static_cast<double>(n))};
}

double ChiSquaredAgainstUniform(const std::array<long, 10>& counts) {
    long total = 0;
    for (const long c : counts) total += c;
    const double expected = static_cast<double>(total) / 10.0;
    double chi2 = 0.0;
    for (const long c : counts) {
        const double off = static_cast<double>(c) - expected;
        chi2 += off * off / expected;
    }
    return chi2;
}
constexpr double kChi2NineDfAtOnePerMille = 27.877;

TEST(FocusDigits, ShareMatchesSettingAndExpectationWithBalancedPairsAndUniformFreeDigits) {
    constexpr int kRows = 100000 / kBoxCount + 1;  // over 100 000 neighbouring pairs
    for (const PairSet& set : kSets) {
        for (const int percent : kFocusPercents) {
            SCOPED_TRACE(testing::Message() << set.name << " at " << percent << " %");
            FocusDigits digits(set.pairs, percent);
            const Tally t = DealRows(digits, kRows);

            const Mean chosen = MeanOf(t.chosen, t.chosenSquares, t.rows);
            const double share = chosen.value / kBoxCount;
            const double wanted = std::min(percent / 100.0, digits.MostShare());
            EXPECT_NEAR(share, wanted, 0.01);
            EXPECT_NEAR(share, digits.ExpectedShare(), chosen.margin / kBoxCount);
            EXPECT_EQ(digits.ReachesSetting(), digits.MostShare() >= percent / 100.0 - 1e-9);

            const std::vector<double> expected = digits.ExpectedCounts();
            ASSERT_EQ(expected.size(), t.perPair.size());
            for (std::size_t p = 0; p < expected.size(); ++p) {
                const Mean m = MeanOf(t.perPair[p], t.perPairSquares[p], t.rows);
                EXPECT_NEAR(m.value, expected[p], m.margin) << "pair " << p;
            }
            const auto [fewest, most] = std::minmax_element(t.perPair.begin(), t.perPair.end());
            EXPECT_LE(*most, 2.0 * *fewest);
            // Expected, all alike but for pairs that chance alone brings more often than the
            // rest: those get no weight, and come at most kMostImbalance times as often.
            const double fewestExpected = *std::min_element(expected.begin(), expected.end());
            for (std::size_t p = 0; p < expected.size(); ++p) {
                if (digits.Weights()[p] > 0.0) {
                    EXPECT_NEAR(expected[p], fewestExpected, 1e-6 * fewestExpected) << p;
                } else {
                    EXPECT_GT(expected[p], fewestExpected) << p;
                }
                EXPECT_LE(expected[p], kMostImbalance * fewestExpected * (1.0 + 1e-6)) << p;
            }

            EXPECT_LT(ChiSquaredAgainstUniform(t.free), kChi2NineDfAtOnePerMille);
        }
    }
}

// The number of different rows among 1 000 dealt at the given readings.
int DistinctRows(FocusDigits& digits, double first, double step) {
    std::set<Row> rows;
    for (int r = 0; r < 1000; ++r) rows.insert(DealRow(digits, first + step * r));
    return static_cast<int>(rows.size());
}

TEST(FocusDigits, RowsStayVariedWhateverTheSet) {
    std::vector<Pairs> sets;
    for (int a = 0; a < 10; ++a) {
        for (int b = 0; b < 10; ++b) sets.push_back({{a, b}});
    }
    sets.push_back({{7, 8}, {8, 7}});
    for (const PairSet& set : kSets) sets.push_back(set.pairs);
    for (const Pairs& pairs : sets) {
        std::vector<double> tried;  // settings beyond the most run at the same β: dealt once
        for (const int percent : kFocusPercents) {
            FocusDigits digits(pairs, percent);
            if (std::find(tried.begin(), tried.end(), digits.PairChance()) != tried.end()) continue;
            tried.push_back(digits.PairChance());
            SCOPED_TRACE(testing::Message() << pairs[0].left << "+" << pairs[0].right << " and "
                                            << pairs.size() - 1 << " more at " << percent << " %");
            // Rows as fast as they can be dealt, and for the sets above also rows over a day.
            EXPECT_GE(DistinctRows(digits, 36000.0, 0.05), 900);
            if (pairs.size() > 1) {
                EXPECT_GE(DistinctRows(digits, 0.5, 86.4), 900);
            }
        }
    }
}

// Hand computations. A row is dealt in steps: a free digit, or a planted pair while two digits
// are left. Over the 987 ways to split 15 digits into such steps, at β = 0.55 a row holds on
// average P = 5.0936233 planted pairs and F = 2.0350199 joins between two free digits (the
// other joins: free then planted 2.1324901, planted then free 2.3277336, planted then planted
// 2.4111332; with P they add up to 14). At β = 0.8: P = 6.4110656, F = 0.4055328.
// - 7+8 alone at β = 0.55 (its cap): a join is 7 8 only between free digits, 1 in 100:
//   (P + F / 100) / 14 = 5.1139735 / 14 = 0.36528382.
// - 3+3 alone at 0.55: also 1 in 10 where a free digit meets a planted pair, and always where
//   two planted pairs meet: (P + F/100 + (2.1324901 + 2.3277336)/10 + 2.4111332) / 14
//   = 7.9711290 / 14 = 0.56936636.
// - 7+8 and 9+6 at 0.8, half each by symmetry: no join of planted digits is chosen, free digits
//   make one of them 2 in 100: (P + 2 F / 100) / 14 = 6.4191762 / 14 = 0.45851259.
// - Wholly random digits (β = 0): every neighbour is a given pair 1 in 100.
TEST(FocusDigits, SharesComputedByHand) {
    Pairs all;
    for (int a = 0; a < 10; ++a) {
        for (int b = 0; b < 10; ++b) all.push_back({a, b});
    }
    const Pairs thirty(all.begin(), all.begin() + 30);
    constexpr double kNotChecked = -1.0;
    const struct {
        const char* name;
        Pairs pairs;
        int percent;
        double share, most;
        bool reaches;
    } cases[] = {
        {"none", {}, 50, 0.0, 0.0, false},
        {"none at 0 %", {}, 0, 0.0, 0.0, true},
        {"7+8 at 1 %, the least", {{7, 8}}, 1, 0.01, 0.36528382, true},
        {"7+8 below the least", {{7, 8}}, 0, 0.01, 0.36528382, false},
        {"7+8 at 25 %", {{7, 8}}, 25, 0.25, 0.36528382, true},
        {"7+8 beyond the most", {{7, 8}}, 75, 0.36528382, 0.36528382, false},
        {"3+3 beyond the most", {{3, 3}}, 75, 0.56936636, 0.56936636, false},
        {"7+8, 9+6 at 25 %", {{7, 8}, {9, 6}}, 25, 0.25, 0.45851259, true},
        {"7+8, 9+6 beyond the most", {{7, 8}, {9, 6}}, 50, 0.45851259, 0.45851259, false},
        {"thirty pairs, more than 25 % at random", thirty, 25, 0.30, kNotChecked, false},
        {"every pair", all, 50, 1.0, 1.0, false},
        {"every pair at 100 %", all, 100, 1.0, 1.0, true},
        {"percent clamped", {{7, 8}}, -20, 0.01, 0.36528382, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const FocusDigits digits(c.pairs, c.percent);
        EXPECT_NEAR(digits.ExpectedShare(), c.share, 1e-8);
        if (c.most != kNotChecked) {
            EXPECT_NEAR(digits.MostShare(), c.most, 1e-8);
        }
        EXPECT_EQ(digits.ReachesSetting(), c.reaches);
    }
    // The caps: one pair, more pairs, and a set whose joins bring one pair too often.
    EXPECT_EQ(FocusDigits(Pairs{{7, 8}}, 75).PairChance(), kMostPairChanceOne);
    EXPECT_EQ(FocusDigits(Pairs{{7, 8}, {9, 6}}, 75).PairChance(), kMostPairChance);
    const FocusDigits joining(OnePairJoiningTheOthers(), 75);
    EXPECT_LT(joining.PairChance(), kMostPairChance);
    const std::vector<double>& counts = joining.ExpectedCounts();
    const auto [fewest, most] = std::minmax_element(counts.begin(), counts.end());
    EXPECT_NEAR(*most / *fewest, kMostImbalance, 1e-6);
}

TEST(FocusDigits, SameReadingSameRowAndUnusablePairsIgnored) {
    const Pairs pairs{{7, 8}, {10, 2}, {-1, 3}, {7, 8}, {2, -4}};
    FocusDigits a(pairs, 50);
    FocusDigits b(pairs, 50);
    EXPECT_EQ(DealRow(a, 123.456), DealRow(b, 123.456));
    EXPECT_TRUE(a.IsFocus(7, 8));
    EXPECT_FALSE(a.IsFocus(0, 2));
    EXPECT_FALSE(a.IsFocus(10, 2));  // given, but outside the digits
    EXPECT_EQ(a.Chosen(), (Pairs{{7, 8}}));
    // The same one pair chosen once behaves the same.
    FocusDigits once(Pairs{{7, 8}}, 50);
    EXPECT_EQ(DealRow(once, 123.456), DealRow(a, 123.456));
}

}  // namespace
}  // namespace keta
