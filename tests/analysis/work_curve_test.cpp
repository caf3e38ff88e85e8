#include "work_curve.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "number_text.h"
#include "round_builder.h"

namespace keta::analysis {
namespace {

using test::MakeRound;

TEST(WorkCurve, BinWidthIsFiveSecondsUpToSixtyThenTen) {
    const struct {
        int limit;
        std::int64_t width;
    } cases[] = {{-5, 5000}, {0, 5000},   {1, 5000},   {10, 5000},
                 {60, 5000}, {61, 10000}, {70, 10000}, {180, 10000}};
    for (const auto& c : cases) EXPECT_EQ(BinWidthMs(c.limit), c.width) << c.limit;
}

struct CurveCase {
    const char* name;
    RoundRecord round;
    std::vector<std::int64_t> ends;  // endMs of each bin
    std::vector<int> answers;
    std::vector<int> errors;
    std::vector<double> rates;
    int late;
    int early;
};

TEST(WorkCurve, BinsMatchHandCountedTables) {
    const CurveCase cases[] = {
        {"boundaries and the closing answer",
         MakeRound(10,
                   {{0, 'o'}, {4999, 'x'}, {5000, 'o'}, {9999, 'o'}, {10000, 'x'}, {12000, 'o'}}),
         {5000, 10000},
         {2, 4},
         {1, 1},
         {0.4, 0.8},
         2,
         0},
        {"clearing clicks are not answers",
         MakeRound(10, {{1000, 'x'}, {1500, 'c'}, {2000, 'o'}, {7000, 'c'}}),
         {5000, 10000},
         {2, 0},
         {1, 0},
         {0.4, 0.0},
         0,
         0},
        {"one-second limit: one short bin",
         MakeRound(1, {{500, 'o'}, {1500, 'x'}}),
         {1000},
         {2},
         {1},
         {2.0},
         1,
         0},
        {"short last bin is normalised per second",
         MakeRound(7, {{100, 'o'}, {5000, 'o'}, {6999, 'x'}}),
         {5000, 7000},
         {1, 2},
         {0, 1},
         {0.2, 1.0},
         0,
         0},
        {"ten-second bins above a minute",
         MakeRound(70, {{9999, 'o'}, {10000, 'o'}, {69999, 'o'}, {70000, 'o'}}),
         {10000, 20000, 30000, 40000, 50000, 60000, 70000},
         {1, 1, 0, 0, 0, 0, 2},
         {0, 0, 0, 0, 0, 0, 0},
         {0.1, 0.1, 0, 0, 0, 0, 0.2},
         1,
         0},
        {"a negative time from a damaged log goes to the first bin",
         MakeRound(10, {{-300, 'o'}, {200, 'o'}}),
         {5000, 10000},
         {2, 0},
         {0, 0},
         {0.4, 0.0},
         0,
         1},
        {"no answer", MakeRound(10, {}), {5000, 10000}, {0, 0}, {0, 0}, {0.0, 0.0}, 0, 0},
        {"no time limit: nothing binned", MakeRound(0, {{100, 'o'}}), {}, {}, {}, {}, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const WorkCurve curve = ComputeWorkCurve(c.round);
        ASSERT_EQ(curve.bins.size(), c.ends.size());
        int total = 0;
        for (std::size_t i = 0; i < curve.bins.size(); ++i) {
            const WorkBin& bin = curve.bins[i];
            EXPECT_EQ(bin.startMs, i == 0 ? 0 : c.ends[i - 1]) << i;
            EXPECT_EQ(bin.endMs, c.ends[i]) << i;
            EXPECT_EQ(bin.answers, c.answers[i]) << i;
            EXPECT_EQ(bin.errors, c.errors[i]) << i;
            EXPECT_NEAR(bin.rate, c.rates[i], 1e-12) << i;
            EXPECT_NEAR(bin.correctRate, bin.correct() / bin.seconds(), 1e-12) << i;
            total += bin.answers;
        }
        EXPECT_EQ(curve.lateAnswers, c.late);
        EXPECT_EQ(curve.earlyAnswers, c.early);
        if (!curve.bins.empty()) {
            EXPECT_EQ(total, curve.answers);
        }
    }
}

RoundRecord Counted(int limit, int answers, int correct, const std::string& mode = test::kSum,
                    const std::string& startedAt = "2026-12-07T19:39:12") {
    RoundRecord round = MakeRound(limit, {}, mode);
    round.answers = answers;
    round.correct = correct;
    round.wrong = answers - correct;
    round.startedAt = startedAt;
    return round;
}

TEST(WorkCurve, TitleSaysTheRoundInWords) {
    const RoundStamp saved{"2026/12/07", "19:40:12", true};
    const struct {
        const char* name;
        RoundRecord round;
        RoundStamp stamp;
        std::string title;
    } cases[] = {
        // The speed is right answers per second of the limit, as the grid shows it: 52 / 60,
        // not the 55 answers.
        {"saved", Counted(60, 55, 52), saved, "2026/12/07 19:40:12・＋・60秒・正解 52/55・0.87/秒"},
        {"a decimal half rounds up as in the grid", Counted(40, 25, 23, test::kDifference), saved,
         "2026/12/07 19:40:12・－・40秒・正解 23/25・0.58/秒"},
        {"never saved: the start of play", Counted(10, 3, 1), StartStamp(Counted(10, 3, 1)),
         "2026/12/07 19:39:12 開始・＋・10秒・正解 1/3・0.10/秒・保存しなかった回"},
        {"an unreadable start", Counted(10, 3, 1, test::kSum, "19:39"),
         StartStamp(Counted(10, 3, 1, test::kSum, "19:39")),
         "開始・＋・10秒・正解 1/3・0.10/秒・保存しなかった回"},
        {"no limit", Counted(0, 3, 1), saved, "2026/12/07 19:40:12・＋・0秒・正解 1/3・なし"},
        {"a focus round, which is never saved, is named as one",
         [] {
             RoundRecord r = Counted(10, 3, 1);
             r.kind = RoundKind::Focus;
             return r;
         }(),
         StartStamp(Counted(10, 3, 1)),
         "2026/12/07 19:39:12 開始・＋・10秒・正解 1/3・0.10/秒・苦手克服の回"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RoundTitle(c.round, c.stamp), c.title) << c.name;
    }
}

TEST(WorkCurve, HeadlineSpeedIsTheGridsFigureForEveryCountAndListedLimit) {
    for (int limit = 10; limit <= 180; limit += 10) {
        for (int correct = 0; correct <= 6 * limit; ++correct) {
            const RoundRecord round = Counted(limit, correct + 3, correct);
            const std::string title = RoundTitle(round, {"d", "t", true});
            // The drill writes the grid's 秒当たり from its own counters in this pattern.
            const std::string grid = FormatPerSecond(SafeRatio(correct, limit));
            ASSERT_EQ(title.substr(title.size() - grid.size()), grid) << correct << "/" << limit;
        }
    }
}

}  // namespace
}  // namespace keta::analysis
