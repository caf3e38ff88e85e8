#include "session_figures.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <vector>

namespace keta::analysis {
namespace {

using Opt = std::optional<double>;
constexpr Opt none = std::nullopt;

void ExpectNear(Opt actual, Opt expected, const char* what) {
    ASSERT_EQ(actual.has_value(), expected.has_value()) << what;
    if (expected) {
        EXPECT_NEAR(*actual, *expected, 1e-12) << what;
    }
}

struct HalfCase {
    const char* name;
    std::vector<LineCount> lines;
    int planned;
    std::array<long long, 4> counts;  // answers, correct, errors, lines with errors
    // accuracy, mean, 初頭努力, 終末努力, 動揺, mean change, 最大差, slope
    std::array<Opt, 8> figures;
};

TEST(SessionFigures, EachHalfAgainstHandComputedTables) {
    const HalfCase cases[] = {
        // mean 48/4 = 12; middle (12+14)/2 = 13: 10 ÷ 13, 12 ÷ 13; steps (2+2+2)/3 = 2,
        // 2 ÷ 12; (14−10) ÷ 12; slope ((−1.5)(−2) + 0 + 0.5·2 + 0) = 4 ÷ Σ(k − 2.5)² 5
        {"four lines",
         {{10, 0}, {12, 1}, {14, 0}, {12, 2}},
         4,
         {48, 45, 3, 2},
         {45.0 / 48, 12.0, 10.0 / 13, 12.0 / 13, 1.0 / 6, 2.0, 1.0 / 3, 0.8}},
        // mean 27/3 = 9; middle 6: 9 ÷ 6, 12 ÷ 6; steps (3+6)/2 = 4.5, 4.5 ÷ 9; (12−6) ÷ 9;
        // slope (−1·0 + 0·−3 + 1·3) ÷ 2
        {"three lines",
         {{9, 0}, {6, 0}, {12, 0}},
         3,
         {27, 27, 0, 0},
         {1.0, 9.0, 1.5, 2.0, 0.5, 4.5, 2.0 / 3, 1.5}},
        // the same three lines of five planned: line 5 never came, so no 終末努力
        {"stopped after three of five",
         {{9, 0}, {6, 0}, {12, 0}},
         5,
         {27, 27, 0, 0},
         {1.0, 9.0, 1.5, none, 0.5, 4.5, 2.0 / 3, 1.5}},
        // two lines have no middle; mean 4.5; step 7, 7 ÷ 4.5 = 14/9; (8−1) ÷ 4.5; slope −7
        {"two lines",
         {{8, 0}, {1, 0}},
         2,
         {9, 9, 0, 0},
         {1.0, 4.5, none, none, 14.0 / 9, 7.0, 14.0 / 9, -7.0}},
        // mean 4; step 2, 2 ÷ 4; (5−3) ÷ 4; slope −2
        {"stopped after two of five",
         {{5, 0}, {3, 1}},
         5,
         {8, 7, 1, 1},
         {7.0 / 8, 4.0, none, none, 0.5, 2.0, 0.5, -2.0}},
        // one line: no step, no gap, no trend
        {"one line", {{7, 7}}, 1, {7, 0, 7, 1}, {0.0, 7.0, none, none, none, none, none, none}},
        {"no lines", {}, 3, {0, 0, 0, 0}, {none, none, none, none, none, none, none, none}},
        // every ratio divides by 0; the steps and the slope are 0
        {"all empty",
         {{0, 0}, {0, 0}, {0, 0}},
         3,
         {0, 0, 0, 0},
         {none, 0.0, none, none, none, 0.0, none, 0.0}},
        // middle line 0: no effort figures; mean 10/3; steps (4+6)/2 = 5, 5 ÷ 10/3 = 1.5;
        // 6 ÷ 10/3 = 1.8; slope (−1·4 + 1·6) ÷ 2 = 1
        {"empty middle line",
         {{4, 0}, {0, 0}, {6, 0}},
         3,
         {10, 10, 0, 0},
         {1.0, 10.0 / 3, none, none, 1.5, 5.0, 1.8, 1.0}},
        // a damaged log: −3 answers read as 0, 9 errors among 4 answers as 4; mean 2; step 4
        {"damaged", {{-3, 2}, {4, 9}}, 2, {4, 0, 4, 1}, {0.0, 2.0, none, none, 2.0, 4.0, 2.0, 4.0}},
    };
    const char* names[] = {"accuracy", "mean", "初頭努力", "終末努力",
                           "動揺",     "step", "最大差",   "slope"};
    for (const HalfCase& c : cases) {
        SCOPED_TRACE(c.name);
        const SessionHalfFigures f = ComputeHalfFigures(c.lines, c.planned);
        EXPECT_EQ((std::array<long long, 4>{f.answers, f.correct, f.errors, f.linesWithErrors}),
                  c.counts);
        const std::array<Opt, 8> got{f.accuracy,    f.meanPerLine, f.initialEffort, f.finalEffort,
                                     f.fluctuation, f.meanChange,  f.largestGap,    f.slope};
        for (std::size_t k = 0; k < got.size(); ++k) ExpectNear(got[k], c.figures[k], names[k]);
    }
}

struct RestCase {
    const char* name;
    std::vector<LineCount> first, second;
    int plannedFirst, plannedSecond;
    Opt restEffect;
};

TEST(SessionFigures, RestEffectComparesTheFirstLinesOfCompleteHalves) {
    const std::vector<LineCount> four{{10, 0}, {12, 1}, {14, 0}, {12, 2}};
    const RestCase cases[] = {
        // k = 2: (15+15)/2 ÷ (10+12)/2 = 15 ÷ 11
        {"second half shorter", four, {{15, 0}, {15, 1}}, 4, 2, 15.0 / 11},
        // k = 2: (12+18)/2 ÷ (10+20)/2 = 15 ÷ 15
        {"second half longer", {{10, 0}, {20, 0}}, {{12, 0}, {18, 0}, {30, 0}}, 2, 3, 1.0},
        // k = 2: (9+15)/2 ÷ (10+12)/2 = 12 ÷ 11
        {"equal halves", {{10, 0}, {12, 0}}, {{9, 0}, {15, 0}}, 2, 2, 12.0 / 11},
        // 6 ÷ 8
        {"one line each", {{8, 0}}, {{6, 0}}, 1, 1, 0.75},
        {"second half stopped", {{10, 0}, {12, 0}, {14, 0}}, {{15, 0}, {15, 0}}, 3, 3, none},
        {"first half short of a line", {{10, 0}, {12, 0}}, {{12, 0}, {12, 0}, {12, 0}}, 3, 3, none},
        {"stopped in the first half", {{10, 0}}, {}, 3, 3, none},
        {"one half only", {{10, 0}, {12, 0}}, {}, 2, 0, none},
        {"first mean 0", {{0, 0}, {0, 0}}, {{15, 0}, {15, 0}}, 2, 2, none},
        // 0 ÷ 15
        {"second mean 0", {{15, 0}, {15, 0}}, {{0, 0}, {0, 0}}, 2, 2, 0.0},
    };
    for (const RestCase& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectNear(
            ComputeSessionFigures(c.first, c.second, c.plannedFirst, c.plannedSecond).restEffect,
            c.restEffect, "休憩効果");
    }
}

TEST(SessionFigures, SessionTotalsAddBothHalves) {
    const std::vector<LineCount> first{{10, 0}, {12, 1}, {14, 0}, {12, 2}};
    const std::vector<LineCount> second{{15, 0}, {15, 1}};
    const SessionFigures s = ComputeSessionFigures(first, second, 4, 2);
    // 48 + 30 answers, 3 + 1 errors
    EXPECT_EQ((std::array<long long, 3>{s.answers, s.correct, s.errors}),
              (std::array<long long, 3>{78, 74, 4}));
    ExpectNear(s.accuracy, 74.0 / 78, "accuracy");
}

}  // namespace
}  // namespace keta::analysis
