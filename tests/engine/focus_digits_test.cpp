#include "focus_digits.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

namespace keta {
namespace {

// Ten pairs like a person's weakest: every digit starts one, and 7/8 can alternate.
const std::vector<DigitPair> kTenPairs{{7, 8}, {9, 6}, {8, 7}, {3, 3}, {6, 9},
                                       {1, 4}, {4, 1}, {2, 5}, {0, 0}, {5, 2}};

constexpr int kRowDigits = 15;
constexpr int kRows = 100000 / kRowDigits + 1;

struct Stream {
    int pairs = 0;                                // neighbour pairs within a row
    int focus = 0;                                // of which focus pairs
    std::array<std::array<int, 10>, 10> other{};  // non-focus continuations: [prev][next]
    bool tripled = false;
};

Stream Deal(const std::vector<DigitPair>& pairs, int percent, double firstSeed) {
    FocusDigits digits(pairs, percent);
    Stream s;
    for (int r = 0; r < kRows; ++r) {
        digits.StartRow(firstSeed + r * 0.37);
        std::vector<int> row;
        for (int i = 0; i < kRowDigits; ++i) {
            const int d = digits.Next();
            EXPECT_GE(d, 0);
            EXPECT_LE(d, 9);
            row.push_back(d);
        }
        for (std::size_t i = 1; i < row.size(); ++i) {
            ++s.pairs;
            if (digits.IsFocus(row[i - 1], row[i])) {
                ++s.focus;
            } else {
                ++s.other[static_cast<std::size_t>(row[i - 1])][static_cast<std::size_t>(row[i])];
            }
            const auto same = [&](std::size_t a, std::size_t b) {
                return row[a - 1] == row[b - 1] && row[a] == row[b];
            };
            if (i >= 3 && same(i, i - 1) && same(i, i - 2)) s.tripled = true;
            if (i >= 5 && same(i, i - 2) && same(i, i - 4)) s.tripled = true;
        }
    }
    return s;
}

// Chi-squared over each digit's non-focus continuations, against the 0.1 % critical value
// (Wilson–Hilferty).
void ExpectUniformOthers(const Stream& s, const FocusDigits& digits) {
    double chi2 = 0.0;
    int df = 0;
    for (int a = 0; a < 10; ++a) {
        int total = 0;
        int cells = 0;
        for (int b = 0; b < 10; ++b) {
            if (digits.IsFocus(a, b)) continue;
            total += s.other[static_cast<std::size_t>(a)][static_cast<std::size_t>(b)];
            ++cells;
        }
        if (cells < 2 || total == 0) continue;
        const double expected = static_cast<double>(total) / cells;
        for (int b = 0; b < 10; ++b) {
            if (digits.IsFocus(a, b)) continue;
            const double diff =
                s.other[static_cast<std::size_t>(a)][static_cast<std::size_t>(b)] - expected;
            chi2 += diff * diff / expected;
        }
        df += cells - 1;
    }
    const double k = 2.0 / (9.0 * df);
    const double critical = df * std::pow(1.0 - k + 3.09 * std::sqrt(k), 3.0);
    EXPECT_LT(chi2, critical) << "df " << df;
}

TEST(FocusDigits, ShareOfFocusPairsIsTheSettingAndTheRestUniform) {
    for (const int percent : kFocusPercents) {
        for (const double seed : {1.5, 43210.25}) {
            SCOPED_TRACE(testing::Message() << percent << "% seed " << seed);
            const Stream s = Deal(kTenPairs, percent, seed);
            ASSERT_GE(s.pairs * kRowDigits / (kRowDigits - 1), 100000);
            EXPECT_NEAR(100.0 * s.focus / s.pairs, percent, 1.0);
            EXPECT_FALSE(s.tripled);
            ExpectUniformOthers(s, FocusDigits(kTenPairs, percent));
        }
    }
}

TEST(FocusDigits, NoPairThreeTimesInARowEvenWhenOnlyThatPairIsChosen) {
    // One pair at the highest rate pushes hardest towards "787878" and "3333".
    for (const DigitPair only : {DigitPair{7, 8}, DigitPair{3, 3}}) {
        const Stream s = Deal({only, {8, 7}}, 75, 7.0);
        EXPECT_FALSE(s.tripled) << only.left << only.right;
        EXPECT_GT(s.focus, 0);
    }
}

TEST(FocusDigits, TwoSparsePairsStillReachAboutHalfAtFifty) {
    // 7→8 and 9→6 share no digit, so every pair takes a lead-in digit first and half is the
    // most there can be; without the lead-in only about a fifth would be pairs.
    const Stream s = Deal({{7, 8}, {9, 6}}, 50, 99.0);
    EXPECT_GT(100.0 * s.focus / s.pairs, 46.0);
    EXPECT_LE(100.0 * s.focus / s.pairs, 50.0);
}

TEST(FocusDigits, SameReadingSameRowAndOutOfRangePairsIgnored) {
    const std::vector<DigitPair> pairs{{7, 8}, {10, 2}, {-1, 3}};
    FocusDigits a(pairs, 50);
    FocusDigits b(pairs, 50);
    a.StartRow(123.456);
    b.StartRow(123.456);
    for (int i = 0; i < kRowDigits; ++i) EXPECT_EQ(a.Next(), b.Next());
    EXPECT_TRUE(a.IsFocus(7, 8));
    EXPECT_FALSE(a.IsFocus(0, 2));
    const Stream none = Deal({}, 75, 3.0);  // no pairs: plain uniform digits
    EXPECT_EQ(none.focus, 0);
}

}  // namespace
}  // namespace keta
