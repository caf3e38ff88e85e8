#include "round_indices.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "round_builder.h"

namespace keta::analysis {
namespace {

using test::MakeRound;

using Opt = std::optional<double>;
constexpr Opt kNone = std::nullopt;

void ExpectFigure(const Opt& got, const Opt& expected, const char* what) {
    ASSERT_EQ(got.has_value(), expected.has_value()) << what;
    if (got) {
        EXPECT_NEAR(*got, *expected, 1e-9) << what;
    }
}

// Right answers spread inside each 5-s bin, `counts[k]` of them in bin k.
RoundRecord PerBin(int limit, const std::vector<int>& counts) {
    RoundRecord round = MakeRound(limit, {});
    for (std::size_t k = 0; k < counts.size(); ++k) {
        for (int j = 0; j < counts[k]; ++j) {
            AnswerRecord a;
            a.ms = static_cast<std::int64_t>(k) * 5000 + std::int64_t{j} * (5000 / counts[k]);
            a.correct = true;
            round.events.push_back(a);
        }
    }
    return round;
}

TEST(RoundIndices, TimePerAnswerCountsFromThePreviousAnswer) {
    const RoundRecord round = MakeRound(10, {{1000, 'o'},
                                             {2500, 'x'},
                                             {3000, 'c'},
                                             {4500, 'o'},
                                             {5000, 'o'},
                                             {8000, 'x'},
                                             {9000, 'o'}});
    EXPECT_EQ(AnswerTimesMs(round), (std::vector<std::int64_t>{1000, 1500, 2000, 500, 3000, 1000}));
    const RoundRecord disordered = MakeRound(10, {{2000, 'o'}, {1500, 'o'}, {1800, 'o'}});
    EXPECT_EQ(AnswerTimesMs(disordered), (std::vector<std::int64_t>{2000, 0, 300}));
}

struct IndicesCase {
    const char* name;
    RoundRecord round;
    int answers, correct, longestRun, afterError;
    Opt accuracy, meanRate, initialEffort, endSpurt, fluctuation, trend, halfRatio;
    Opt medianMs, p90Ms, postErrorSlowing;
};

TEST(RoundIndices, MatchHandComputedTable) {
    const IndicesCase cases[] = {
        // Times 1000 1500 2000 500 3000 1000 -> sorted 500 1000 1000 1500 2000 3000.
        // After an error: 2000 and 1000, median 1500; overall median 1250.
        {"mixed round with a clearing click",
         MakeRound(10, {{1000, 'o'},
                        {2500, 'x'},
                        {3000, 'c'},
                        {4500, 'o'},
                        {5000, 'o'},
                        {8000, 'x'},
                        {9000, 'o'}}),
         6, 4, 2, 2, 4.0 / 6, 0.6, 1.0, 1.0, 0.0, 0.0, 1.0, 1250.0, 2500.0, 1.2},
        // Bin rates 1 2 1 2, mean 1.5; spurt 2 ÷ (20/15); slope 2.4 per minute (worked by hand:
        // Σdx·dy = 5/60, Σdx² = 125/3600).
        {"curve 5 10 5 10", PerBin(20, {5, 10, 5, 10}), 30, 30, 30, 0, 1.0, 1.5, 1.0 / 1.5, 1.5,
         1.0 / 1.5, 2.4, 1.0, 500.0, 1000.0, kNone},
        {"no answer", MakeRound(60, {}), 0, 0, 0, 0, kNone, 0.0, kNone, kNone, kNone, 0.0, kNone,
         kNone, kNone, kNone},
        {"one answer", MakeRound(10, {{700, 'o'}}), 1, 1, 1, 0, 1.0, 0.1, 2.0, 0.0, 2.0, -2.4, 0.0,
         700.0, 700.0, kNone},
        {"all wrong", MakeRound(10, {{1000, 'x'}, {2000, 'x'}, {3000, 'x'}}), 3, 0, 0, 2, 0.0, 0.3,
         2.0, 0.0, 2.0, -7.2, 0.0, 1000.0, 1000.0, 1.0},
        // One bin [0, 1 s): the closing answer at 1.3 s is clamped into it; no spurt, no trend.
        {"one-second limit", MakeRound(1, {{400, 'o'}, {1300, 'x'}}), 2, 1, 1, 0, 0.5, 2.0, 1.0,
         kNone, 0.0, kNone, 1.0, 650.0, 850.0, kNone},
        {"no time limit", MakeRound(0, {{400, 'o'}, {1000, 'o'}}), 2, 2, 2, 0, 1.0, kNone, kNone,
         kNone, kNone, kNone, kNone, 500.0, 580.0, kNone},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const RoundIndices r = ComputeIndices(c.round);
        EXPECT_EQ(r.answers, c.answers);
        EXPECT_EQ(r.correct, c.correct);
        EXPECT_EQ(r.errors, c.answers - c.correct);
        EXPECT_EQ(r.longestRightRun, c.longestRun);
        EXPECT_EQ(r.answersAfterError, c.afterError);
        ExpectFigure(r.accuracy, c.accuracy, "accuracy");
        ExpectFigure(r.meanRate, c.meanRate, "meanRate");
        ExpectFigure(r.initialEffort, c.initialEffort, "initialEffort");
        ExpectFigure(r.endSpurt, c.endSpurt, "endSpurt");
        ExpectFigure(r.fluctuation, c.fluctuation, "fluctuation");
        ExpectFigure(r.trend, c.trend, "trend");
        ExpectFigure(r.halfRatio, c.halfRatio, "halfRatio");
        ExpectFigure(r.medianMs, c.medianMs, "medianMs");
        ExpectFigure(r.p90Ms, c.p90Ms, "p90Ms");
        ExpectFigure(r.postErrorSlowing, c.postErrorSlowing, "postErrorSlowing");
        for (const IndexId id : kAllIndices) EXPECT_STRNE(IndexKey(id), "");
    }
}

TEST(RoundIndices, HalvesSplitAtTheMiddleAndKeepTheClosingAnswer) {
    // Limit 20: the middle is 10 000 ms, which belongs to the second half, as does 20 500.
    const RoundIndices r = ComputeIndices(
        MakeRound(20, {{1000, 'o'}, {9999, 'x'}, {10000, 'o'}, {15000, 'o'}, {20500, 'x'}}));
    EXPECT_TRUE(r.timed);
    EXPECT_EQ(r.firstHalf.answers, 2);
    EXPECT_EQ(r.firstHalf.errors, 1);
    EXPECT_EQ(r.secondHalf.answers, 3);
    EXPECT_EQ(r.secondHalf.errors, 1);
    EXPECT_DOUBLE_EQ(r.firstHalf.rate, 0.2);
    EXPECT_DOUBLE_EQ(r.secondHalf.rate, 0.3);
    ExpectFigure(r.halfRatio, 1.5, "halfRatio");
    ExpectFigure(IndexValue(r, IndexId::SecondHalfRate), 0.3, "value");

    const RoundIndices untimed = ComputeIndices(MakeRound(0, {{1000, 'o'}}));
    EXPECT_FALSE(untimed.timed);
    EXPECT_FALSE(IndexValue(untimed, IndexId::FirstHalfRate).has_value());
    ExpectFigure(IndexValue(untimed, IndexId::LongestRightRun), 1.0, "run");
}

TEST(RoundIndices, EndSpurtSkipsAShortLastBin) {
    // Limit 12: bins [0,5) [5,10) [10,12). The last FULL bin is [5,10) with 3 answers (0.6/s);
    // the others hold 1 + 2 answers over 7 s.
    const RoundIndices r = ComputeIndices(MakeRound(
        12, {{0, 'o'}, {5000, 'o'}, {6000, 'o'}, {7000, 'o'}, {10000, 'o'}, {11000, 'o'}}));
    ExpectFigure(r.endSpurt, 0.6 / (3.0 / 7.0), "endSpurt");
    ExpectFigure(r.meanRate, 0.5, "meanRate");
    ExpectFigure(r.fluctuation, (1.0 - 0.2) / 0.5, "fluctuation");  // the short bin is 1.0/s
}

TEST(RoundIndices, LargestRoundOf32767Answers) {
    // One answer every 5 ms from 5 ms: 1999 in the first 10-s bin, 2000 in the next fifteen,
    // the last 768 in bin 16.
    const RoundRecord round = test::EvenRound(180, 32767, 5, 5);
    const WorkCurve curve = ComputeWorkCurve(round);
    ASSERT_EQ(curve.bins.size(), 18u);
    EXPECT_EQ(curve.bins[15].answers, 2000);
    EXPECT_EQ(curve.bins[0].answers, 1999);
    EXPECT_EQ(curve.bins[16].answers, 768);
    EXPECT_EQ(curve.bins[17].answers, 0);
    const RoundIndices r = ComputeIndices(round, curve);
    EXPECT_EQ(r.answers, 32767);
    EXPECT_EQ(r.longestRightRun, 32767);
    ExpectFigure(r.medianMs, 5.0, "median");
    ExpectFigure(r.accuracy, 1.0, "accuracy");
    EXPECT_FALSE(r.postErrorSlowing.has_value());
}

TEST(RoundIndices, FormatFigureRoundsHalvesAwayAndSaysNoneWhenUndefined) {
    const struct {
        Opt value;
        int decimals;
        const char* text;
    } cases[] = {
        {kNone, 2, "\xE3\x81\xAA\xE3\x81\x97"},
        {0.125, 2, "0.13"},
        {-0.125, 2, "-0.13"},
        {-0.004, 2, "0.00"},
        {2.5, 0, "3"},
        {1.0 / 3, 3, "0.333"},
        {1250.0, 0, "1250"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatFigure(c.value, c.decimals), c.text);
    EXPECT_EQ(FormatFigure(kNone, 1, "-"), "-");
}

// The exact decimal rounding of n ÷ d to `decimals` places, halves up, in whole numbers only.
std::string ExactRounding(long long n, long long d, int decimals) {
    long long scale = 1;
    for (int i = 0; i < decimals; ++i) scale *= 10;
    const long long units = (2 * n * scale + d) / (2 * d);
    std::string frac = std::to_string(units % scale);
    frac.insert(0, static_cast<std::size_t>(decimals) - frac.size(), '0');
    return std::to_string(units / scale) + (decimals > 0 ? "." + frac : "");
}

// Every figure that lands on a decimal half must round up, whatever the double holds: swept
// over whole ranges (milliseconds shown as seconds, speeds for every listed limit, and
// accuracies), never over a few examples.
TEST(RoundIndices, FiguresRoundDecimalHalvesUpOverWholeRanges) {
    int checked = 0;
    for (long long ms = 0; ms < 10000; ++ms, ++checked) {
        ASSERT_EQ(FormatFigure(static_cast<double>(ms) / 1000.0, 2), ExactRounding(ms, 1000, 2))
            << ms << " ms";
    }
    for (long long limit = 10; limit <= 180; limit += 10) {
        for (long long correct = 0; correct <= 2000; ++correct, ++checked) {
            ASSERT_EQ(FormatFigure(static_cast<double>(correct) / static_cast<double>(limit), 2),
                      ExactRounding(correct, limit, 2))
                << correct << " in " << limit << " s";
        }
    }
    for (long long answers = 1; answers <= 400; ++answers) {
        for (long long correct = 0; correct <= answers; ++correct, ++checked) {
            ASSERT_EQ(
                FormatPercentFigure(static_cast<double>(correct) / static_cast<double>(answers)),
                ExactRounding(correct * 100, answers, 1) + "%")
                << correct << " of " << answers;
        }
    }
    EXPECT_EQ(checked, 10000 + 18 * 2001 + 400 * 403 / 2);
}

}  // namespace
}  // namespace keta::analysis
