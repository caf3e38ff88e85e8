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
    std::array<long long, 4> counts;  // answers, correct, errors, lines with errors
    // accuracy, mean, 初頭努力, 終末努力, 動揺, 最大差, slope
    std::array<Opt, 7> figures;
};

TEST(SessionFigures, EachHalfAgainstHandComputedTables) {
    const HalfCase cases[] = {
        // mean 12; 10 ÷ (38/3); 12 ÷ 12; (2+2+2)/3 ÷ 12; (14−10) ÷ 12; Σxy 4 ÷ Σxx 5
        {"curve",
         {{10, 0}, {12, 1}, {14, 0}, {12, 2}},
         {48, 45, 3, 2},
         {45.0 / 48, 12.0, 30.0 / 38, 1.0, 1.0 / 6, 1.0 / 3, 0.8}},
        {"one line", {{7, 7}}, {7, 0, 7, 1}, {0.0, 7.0, none, none, none, 0.0, none}},
        {"no lines", {}, {0, 0, 0, 0}, {none, none, none, none, none, none, none}},
        {"all empty",
         {{0, 0}, {0, 0}, {0, 0}},
         {0, 0, 0, 0},
         {none, 0.0, none, none, none, none, 0.0}},
        // mean 2.5; 0 ÷ 5; 5 ÷ 0 has no value; 5/1 ÷ 2.5; 5 ÷ 2.5; slope 5
        {"empty first line", {{0, 0}, {5, 0}}, {5, 5, 0, 0}, {1.0, 2.5, 0.0, none, 2.0, 2.0, 5.0}},
        // a damaged log: -3 answers read as 0, 9 errors among 4 answers as 4
        {"damaged", {{-3, 2}, {4, 9}}, {4, 0, 4, 1}, {0.0, 2.0, 0.0, none, 2.0, 2.0, 4.0}},
    };
    for (const HalfCase& c : cases) {
        SCOPED_TRACE(c.name);
        const SessionHalfFigures f = ComputeHalfFigures(c.lines);
        EXPECT_EQ((std::array<long long, 4>{f.answers, f.correct, f.errors, f.linesWithErrors}),
                  c.counts);
        const std::array<Opt, 7> got{f.accuracy,    f.meanPerLine, f.initialEffort, f.finalEffort,
                                     f.fluctuation, f.largestGap,  f.slope};
        const char* names[] = {"accuracy", "mean",   "初頭努力", "終末努力",
                               "動揺",     "最大差", "slope"};
        for (std::size_t k = 0; k < got.size(); ++k) ExpectNear(got[k], c.figures[k], names[k]);
    }
}

TEST(SessionFigures, RestEffectAndTotals) {
    const std::vector<LineCount> first{{10, 0}, {12, 1}, {14, 0}, {12, 2}};
    const std::vector<LineCount> second{{15, 0}, {15, 1}};
    const SessionFigures s = ComputeSessionFigures(first, second);
    EXPECT_EQ((std::array<long long, 3>{s.answers, s.correct, s.errors}),
              (std::array<long long, 3>{78, 74, 4}));
    ExpectNear(s.accuracy, 74.0 / 78, "accuracy");
    ExpectNear(s.restEffect, 1.25, "休憩効果");

    const std::vector<LineCount> idle{{0, 0}, {0, 0}};
    ExpectNear(ComputeSessionFigures(first, {}).restEffect, none, "one half only");
    ExpectNear(ComputeSessionFigures(idle, second).restEffect, none, "first mean 0");
    ExpectNear(ComputeSessionFigures(second, idle).restEffect, 0.0, "second mean 0");
}

}  // namespace
}  // namespace keta::analysis
