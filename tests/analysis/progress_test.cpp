#include "progress.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "round_builder.h"
#include "round_indices.h"

namespace keta::analysis {
namespace {

using Opt = std::optional<double>;

HistoryPoint H(std::string date, std::string time, int answers, int correct, int limit,
               const std::string& mode = test::kSum) {
    HistoryPoint h;
    h.date = std::move(date);
    h.time = std::move(time);
    h.answers = answers;
    h.correct = correct;
    h.wrong = answers - correct;
    h.timeLimit = limit;
    h.modeText = mode;
    return h;
}

void ExpectOpt(const Opt& got, const Opt& expected, const char* what) {
    ASSERT_EQ(got.has_value(), expected.has_value()) << what;
    if (got) {
        EXPECT_NEAR(*got, *expected, 1e-9) << what;
    }
}

std::vector<HistoryPoint> HandHistory() {
    const std::string d = test::kDifference;
    return {
        H("2024/01/02", "10:00:00", 30, 24, 60),     // 0: rate .4  acc .8
        H("2024/01/01", "09:00:00", 20, 12, 60),     // 1: .2  .6
        H("2024/01/01", "09:00:00", 25, 18, 60),     // 2: .3  .72, same stamp as 1
        H("2024/01/02", "00:00:01", 10, 6, 60),      // 3: .1  .6, just after midnight
        H("2024/01/01", "23:59:59", 0, 0, 60),       // 4: 0, no accuracy
        H("2024/01/01", "12:00:00", 5, 5, 0),        // 5: no limit
        H("2024/02/30", "12:00:00", 5, 5, 60),       // 6: no such day
        H("2024/01/01", "24:00:00", 5, 5, 60),       // 7: no such hour
        H("2024/01/01", "12:00:00", 3, 5, 60),       // 8: more right than answers
        H("2024/01/01", "12:00:00", 30, 30, 30, d),  // 9: 1.0  1.0
        H("2024/01/03", "12:00:00", 10, 9, 120),     // 10: .075
        H("2024/01/01", "08:00:00", 10, 10, 30, d),  // 11: .333  1.0, fewer right
        H("2024/01/05", "08:00:00", 30, 30, 30, d),  // 12: ties 9 on both
    };
}

TEST(Progress, SkipsAndSeparatesByModeAndLimit) {
    const ProgressReport r = ComputeProgress(HandHistory(), 3);
    EXPECT_EQ(r.used, 9);
    EXPECT_EQ(r.skippedNoLimit, 1);
    EXPECT_EQ(r.skippedBadStamp, 2);
    EXPECT_EQ(r.skippedBadCounts, 1);
    ASSERT_EQ(r.series.size(), 3u);
    EXPECT_EQ(r.series[0].mode, Mode::Sum);
    EXPECT_EQ(r.series[0].timeLimit, 60);
    EXPECT_EQ(r.series[1].timeLimit, 120);
    EXPECT_EQ(r.series[2].mode, Mode::Difference);
    EXPECT_EQ(r.find(Mode::Difference, 30), &r.series[2]);
    EXPECT_EQ(r.find(Mode::Difference, 60), nullptr);
    EXPECT_DOUBLE_EQ(r.series[1].points[0].rate, 0.075);
}

TEST(Progress, PointsInTimeOrderWithMovingAverages) {
    const ProgressReport r = ComputeProgress(HandHistory(), 3);
    const ProgressSeries& s = *r.find(Mode::Sum, 60);
    const struct {
        std::size_t fileIndex;
        double rate;
        Opt accuracy;
        double movingRate;
        Opt movingAccuracy;
    } rows[] = {
        {1, 0.2, 0.6, 0.2, 0.6},
        {2, 0.3, 0.72, 0.25, 0.66},
        {4, 0.0, std::nullopt, 0.5 / 3, 0.66},
        {3, 0.1, 0.6, 0.4 / 3, 0.66},
        {0, 0.4, 0.8, 0.5 / 3, 0.7},
    };
    ASSERT_EQ(s.points.size(), std::size(rows));
    for (std::size_t i = 0; i < s.points.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(s.points[i].fileIndex, rows[i].fileIndex);
        EXPECT_NEAR(s.points[i].rate, rows[i].rate, 1e-12);
        ExpectOpt(s.points[i].accuracy, rows[i].accuracy, "accuracy");
        EXPECT_NEAR(s.points[i].movingRate, rows[i].movingRate, 1e-12);
        ExpectOpt(s.points[i].movingAccuracy, rows[i].movingAccuracy, "movingAccuracy");
    }
}

TEST(Progress, DaysAndPersonalBests) {
    const ProgressReport r = ComputeProgress(HandHistory(), 3);
    const ProgressSeries& s = *r.find(Mode::Sum, 60);
    ASSERT_EQ(s.days.size(), 2u);
    EXPECT_EQ(s.days[0].date, "2024/01/01");  // 23:59:59 still counts for the first day
    EXPECT_EQ(s.days[0].results, 3);
    EXPECT_NEAR(s.days[0].medianRate, 0.2, 1e-12);
    ExpectOpt(s.days[0].medianAccuracy, 0.66, "day 1");
    EXPECT_EQ(s.days[1].results, 2);
    EXPECT_NEAR(s.days[1].medianRate, 0.25, 1e-12);
    ExpectOpt(s.days[1].medianAccuracy, 0.7, "day 2");
    EXPECT_EQ(s.bestRate, 4u);
    EXPECT_EQ(s.bestAccuracy, 4u);

    // Difference, 30 s: 11 (10/10), 9 (30/30), 12 (30/30, later).
    const ProgressSeries& d = *r.find(Mode::Difference, 30);
    ASSERT_EQ(d.points.size(), 3u);
    EXPECT_EQ(d.points[0].fileIndex, 11u);
    EXPECT_EQ(d.bestRate, 1u);      // a tie keeps the earlier
    EXPECT_EQ(d.bestAccuracy, 1u);  // 100% with more right answers beats 100% with fewer
}

TEST(Progress, EmptyAndAllSkipped) {
    EXPECT_TRUE(ComputeProgress({}).series.empty());
    const std::vector<HistoryPoint> bad{H("2024/01/01", "10:00:00", 1, 1, -60),
                                        H("", "", 1, 1, 60)};
    const ProgressReport r = ComputeProgress(bad);
    EXPECT_TRUE(r.series.empty());
    EXPECT_EQ(r.used, 0);
    EXPECT_EQ(r.skippedNoLimit + r.skippedBadStamp, 2);
}

TEST(Progress, LargestHistoryKeepsEveryPoint) {
    std::vector<HistoryPoint> history;
    history.reserve(32766);
    for (int i = 0; i < 32766; ++i) {
        history.push_back(H("2024/01/01", "10:00:00", 30, i % 31, 60));  // all one stamp
    }
    const ProgressReport r = ComputeProgress(history);
    ASSERT_EQ(r.series.size(), 1u);
    const ProgressSeries& s = r.series[0];
    ASSERT_EQ(s.points.size(), 32766u);
    for (std::size_t i = 0; i < s.points.size(); i += 997) EXPECT_EQ(s.points[i].fileIndex, i);
    EXPECT_EQ(s.bestRate, 30u);  // the first 30-of-30
    // The running window sum matches a direct mean of the last ten.
    double direct = 0;
    for (std::size_t i = 32756; i < 32766; ++i) direct += s.points[i].rate;
    EXPECT_NEAR(s.points.back().movingRate, direct / 10, 1e-9);
}

// `units` with `decimals` decimals ("278" with 2 is "2.78").
std::string Decimal(long long units, int decimals) {
    std::string text = std::to_string(units);
    if (text.size() <= static_cast<std::size_t>(decimals))
        text.insert(0, static_cast<std::size_t>(decimals) + 1 - text.size(), '0');
    text.insert(text.size() - static_cast<std::size_t>(decimals), ".");
    return text;
}

// Thousands of results in one series, many of whose windows land exactly on a half (a window
// of ten 20-second rounds has 200 s, so an odd sum of right answers reads x.xx5): every moving
// figure as shown must be the one worked out with whole numbers, halves rounded up.
TEST(Progress, MovingFiguresOfALongSeriesRoundAsWorkedByHand) {
    constexpr int kLimit = 20;
    constexpr int kAnswers[] = {100, 125, 200, 250};
    constexpr long long kCommon = 1000;  // their least common multiple
    std::vector<HistoryPoint> history;
    std::uint32_t seed = 12345;
    for (int i = 0; i < 6000; ++i) {
        seed = seed * 1664525u + 1013904223u;
        // Now and then a round without answers, which has no accuracy.
        const int answers = i % 97 == 0 ? 0 : kAnswers[(seed >> 8) % 4];
        const int correct = answers == 0 ? 0 : 40 + static_cast<int>((seed >> 16) % 51);
        history.push_back(H("2024/01/01", "10:00:00", answers, correct, kLimit));
    }
    const ProgressReport report = ComputeProgress(history);
    const ProgressSeries& s = report.series.at(0);
    ASSERT_EQ(s.points.size(), history.size());
    int rateHalves = 0, accuracyHalves = 0;
    for (std::size_t i = 0; i < s.points.size(); ++i) {
        long long right = 0, seconds = 0, shares = 0, withAnswers = 0;
        for (std::size_t j = i + 1 - std::min<std::size_t>(i + 1, 10); j <= i; ++j) {
            right += history[j].correct;
            seconds += kLimit;
            if (history[j].answers == 0) continue;
            shares += history[j].correct * (kCommon / history[j].answers);
            ++withAnswers;
        }
        // right / seconds in hundredths, and the mean of the ratios (shares / (kCommon ·
        // withAnswers)) in tenths of a percent, halves up.
        rateHalves += (200 * right) % (2 * seconds) == seconds;
        EXPECT_EQ(FormatFigure(s.points[i].movingRate, 2),
                  Decimal((200 * right + seconds) / (2 * seconds), 2))
            << i;
        if (withAnswers == 0) {
            EXPECT_FALSE(s.points[i].movingAccuracy) << i;
            continue;
        }
        const long long whole = kCommon * withAnswers;
        accuracyHalves += (2000 * shares) % (2 * whole) == whole;
        EXPECT_EQ(FormatPercentFigure(s.points[i].movingAccuracy),
                  Decimal((2000 * shares + whole) / (2 * whole), 1) + "%")
            << i;
    }
    EXPECT_GT(rateHalves, 2000);
    EXPECT_GT(accuracyHalves, 100);
}

TEST(Progress, StampsMustBeRealDatesAndTimes) {
    const struct {
        const char* text;
        bool date;
    } dates[] = {{"2024/02/29", true},  {"2000/02/29", true},  {"2023/02/29", false},
                 {"1900/02/29", false}, {"2024/04/31", false}, {"2024/12/31", true},
                 {"2024/13/01", false}, {"2024/00/10", false}, {"2024/1/01", false},
                 {"2024-01-01", false}, {"", false},           {"2024/01/0a", false}};
    for (const auto& c : dates) EXPECT_EQ(IsHistoryDate(c.text), c.date) << c.text;
    const struct {
        const char* text;
        bool time;
    } times[] = {{"00:00:00", true},  {"23:59:59", true}, {"24:00:00", false}, {"12:60:00", false},
                 {"12:00:60", false}, {"9:00:00", false}, {"12:00", false},    {"12-00-00", false}};
    for (const auto& c : times) EXPECT_EQ(IsHistoryTime(c.text), c.time) << c.text;
}

TEST(Progress, AResultSavedTwiceInARowCountsOnce) {
    // Saved twice: the second record repeats the first in every item.
    HistoryPoint again = H("2024/01/01", "10:00:00", 30, 30, 60);
    again.repeatsPrevious = true;
    const std::vector<HistoryPoint> history{H("2024/01/01", "09:00:00", 30, 15, 60),
                                            H("2024/01/01", "10:00:00", 30, 30, 60), again,
                                            H("2024/01/01", "11:00:00", 30, 24, 60)};
    const ProgressReport r = ComputeProgress(history, 10);
    EXPECT_EQ(r.used, 3);
    EXPECT_EQ(r.repeated, 1);
    const ProgressSeries& s = r.series.at(0);
    ASSERT_EQ(s.points.size(), 3u);
    // (0.25 + 0.5 + 0.4) / 3, where counting the repeat would give 1.65 / 4.
    EXPECT_NEAR(s.points.back().movingRate, 1.15 / 3, 1e-12);
    EXPECT_EQ(s.days.at(0).results, 3);
    EXPECT_NEAR(s.days.at(0).medianRate, 0.4, 1e-12);
    EXPECT_EQ(s.bestRate, 1u);
}

TEST(Progress, EachDayHasItsMedianAndRange) {
    const std::vector<HistoryPoint> history{
        H("2024/03/01", "09:00:00", 30, 12, 60), H("2024/03/01", "10:00:00", 30, 30, 60),
        H("2024/03/01", "11:00:00", 30, 18, 60), H("2024/03/03", "08:00:00", 10, 6, 60)};
    const ProgressReport report = ComputeProgress(history);
    const ProgressSeries& s = report.series.at(0);
    const struct {
        const char* date;
        std::size_t first;
        int results;
        double median, lowest, highest;
    } days[] = {{"2024/03/01", 0, 3, 0.3, 0.2, 0.5}, {"2024/03/03", 3, 1, 0.1, 0.1, 0.1}};
    ASSERT_EQ(s.days.size(), std::size(days));
    for (std::size_t i = 0; i < s.days.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(s.days[i].date, days[i].date);
        EXPECT_EQ(s.days[i].first, days[i].first);
        EXPECT_EQ(s.days[i].results, days[i].results);
        EXPECT_NEAR(s.days[i].medianRate, days[i].median, 1e-12);
        EXPECT_NEAR(s.days[i].lowestRate, days[i].lowest, 1e-12);
        EXPECT_NEAR(s.days[i].highestRate, days[i].highest, 1e-12);
    }
}

TEST(Progress, DaysBeforeADate) {
    const struct {
        const char* date;
        int days;
        const char* expected;
    } cases[] = {{"2024/03/01", 1, "2024/02/29"},   {"2023/03/01", 1, "2023/02/28"},
                 {"2024/01/01", 1, "2023/12/31"},   {"2024/12/31", 365, "2024/01/01"},
                 {"2025/12/31", 364, "2025/01/01"}, {"2000/03/01", 366, "1999/03/01"},
                 {"2024/05/10", 0, "2024/05/10"},   {"2024/05/10", 29, "2024/04/11"}};
    for (const auto& c : cases) EXPECT_EQ(DateDaysBefore(c.date, c.days), c.expected) << c.date;
}

TEST(Progress, APeriodEndsOnTheNewestDay) {
    // Newest result on 2024/12/31; one result a day back to 2022/12/31, and a best long ago.
    std::vector<HistoryPoint> history{H("2022/06/01", "12:00:00", 60, 60, 60)};
    for (int back = 730; back >= 0; --back) {
        history.push_back(H(DateDaysBefore("2024/12/31", back), "12:00:00", 30, 20, 60));
    }
    history.back().correct = 25;
    const ProgressReport report = ComputeProgress(history);
    const ProgressSeries& s = report.series.at(0);
    const struct {
        int days;
        std::size_t results;
        const char* first;
        std::size_t best;
    } cases[] = {{30, 30, "2024/12/02", 731},
                 {1, 1, "2024/12/31", 731},
                 {365, 365, "2024/01/02", 731},
                 {0, 732, "2022/06/01", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.days);
        const ProgressSpan span = SpanOf(s, c.days);
        EXPECT_EQ(span.end, s.points.size());
        EXPECT_EQ(span.end - span.begin, c.results);
        EXPECT_EQ(s.points[span.begin].date, c.first);
        EXPECT_EQ(span.dayEnd - span.dayBegin, c.results);  // one a day
        EXPECT_EQ(s.days[span.dayBegin].date, c.first);
        EXPECT_EQ(span.bestRate, c.best);
    }
}

TEST(Progress, AxisTicksAreRoundAndHoldTheData) {
    const struct {
        double low, high;
        int most;
        double step, from, to;
    } cases[] = {{0, 1.26, 6, 0.5, 0, 1.5},    {0, 0.31, 6, 0.1, 0, 0.4},
                 {62.5, 97.1, 6, 10, 60, 100}, {95, 100, 6, 1, 95, 100},
                 {0, 3, 6, 1, 0, 3},           {0.5, 0.5, 6, 0.02, 0.5, 0.6}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.high);
        const NiceScale n = NiceTicks(c.low, c.high, c.most);
        EXPECT_NEAR(n.step, c.step, 1e-12);
        EXPECT_NEAR(n.low, c.from, 1e-12);
        EXPECT_NEAR(n.high, c.to, 1e-12);
    }
    // Over many ranges: the step is 1, 2 or 5 times a power of ten, the bounds are on it and
    // hold the data, and the ticks are no more than asked for.
    for (int a = 0; a < 300; ++a) {
        for (int b = a + 1; b < 300; b += 7) {
            const double low = a * 0.0137, high = b * 0.0291 + low;
            for (const int most : {3, 5, 8}) {
                const NiceScale n = NiceTicks(low, high, most);
                const double mantissa = n.step / std::pow(10.0, std::floor(std::log10(n.step)));
                ASSERT_TRUE(std::abs(mantissa - 1) < 1e-9 || std::abs(mantissa - 2) < 1e-9 ||
                            std::abs(mantissa - 5) < 1e-9)
                    << n.step;
                ASSERT_LE(n.low, low + 1e-12);
                ASSERT_GE(n.high, high - 1e-12);
                ASSERT_LE(std::llround((n.high - n.low) / n.step) + 1, most);
                ASSERT_NEAR(n.low / n.step, std::round(n.low / n.step), 1e-6);
                ASSERT_NEAR(n.step * std::pow(10.0, n.decimals),
                            std::round(n.step * std::pow(10.0, n.decimals)), 1e-6);
            }
        }
    }
}

}  // namespace
}  // namespace keta::analysis
