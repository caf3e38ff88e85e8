// The one scoring rule, called directly as the practice windows call it.

#include "answer_rule.h"

#include <gtest/gtest.h>

namespace keta::test {
namespace {

TEST(AnswerRule, ScoresEachPairByTheSameArithmeticAsTheDrill) {
    struct Row {
        const char *left, *right, *typed;
        bool difference;
        int expected;
        bool correct;
    };
    const Row rows[] = {
        {"7", "5", "2", false, 2, true}, {"7", "5", "12", false, 2, false},
        {"9", "9", "8", false, 8, true}, {"4", "6", "0", false, 0, true},
        {"4", "6", "x", false, 0, true}, {"3", "8", "5", true, 5, true},
        {"8", "3", "5", true, 5, true},  {"8", "3", "-5", true, 5, false},
        {"2", "2", " ", true, 0, true},  {"1", "2", "３", false, 3, true},
    };
    for (const Row& r : rows) {
        const ScoredAnswer s = ScoreAnswerText(r.left, r.right, r.typed, r.difference);
        EXPECT_EQ(s.expected, r.expected) << r.left << r.right << r.typed;
        EXPECT_EQ(s.correct, r.correct) << r.left << r.right << r.typed;
        EXPECT_EQ(s.left * 10 + s.right, (r.left[0] - '0') * 10 + (r.right[0] - '0'));
    }
}

TEST(AnswerRule, OnlyTheFullWidthHyphenMinusMeansTheDifference) {
    EXPECT_TRUE(IsDifferenceMode("－"));
    for (const char* text : {"＋", "-", "", "－ ", "ー"})
        EXPECT_FALSE(IsDifferenceMode(text)) << text;
}

}  // namespace
}  // namespace keta::test
