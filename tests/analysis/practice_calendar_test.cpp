#include "practice_calendar.h"

#include <gtest/gtest.h>

#include <vector>

namespace keta::analysis {
namespace {

using S = PracticeSource;

TEST(PracticeCalendar, CivilDaysAgainstKnownDates) {
    struct Case {
        CivilDate date;
        std::int64_t days;
        int weekday;  // 0 = Sunday
    };
    const Case cases[] = {
        {{1970, 1, 1}, 0, 4},      {{2000, 2, 29}, 11016, 2}, {{2000, 3, 1}, 11017, 3},
        {{1900, 3, 1}, -25508, 4}, {{2024, 2, 29}, 19782, 4}, {{2026, 12, 7}, 20794, 1},
        {{1969, 12, 31}, -1, 3},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DaysFromCivil(c.date), c.days) << c.date.year << "/" << c.date.month;
        EXPECT_EQ(CivilFromDays(c.days), c.date) << c.days;
        EXPECT_EQ(WeekdayOf(c.days), c.weekday) << c.days;
    }
    EXPECT_TRUE(IsValidDate({2024, 2, 29}));
    EXPECT_FALSE(IsValidDate({2023, 2, 29}));
    EXPECT_FALSE(IsValidDate({1900, 2, 29}));
    EXPECT_TRUE(IsValidDate({2000, 2, 29}));
    EXPECT_FALSE(IsValidDate({2026, 13, 1}));
}

struct DayMinutes {
    CivilDate date;
    std::int64_t seconds;
    int rounds;
    int focusRounds = 0;
};

struct CalendarCase {
    const char* name;
    std::vector<PracticeItem> items;
    CivilDate today;
    int goal;
    std::vector<DayMinutes> expected;  // days with practice in the shown weeks
    int current, longest;
    bool goalToday;
};

TEST(PracticeCalendar, MinutesAndRunsAgainstHandComputation) {
    const CalendarCase cases[] = {
        // A round begun at 23:59 on the 5th counts on the 5th; the 4th is a gap; history older
        // than the log counts, history on the log's days is the log's own rounds again.
        {"midnight, gap and history",
         {{{2026, 12, 5}, 60, S::Round},
          {{2026, 12, 6}, 120, S::Round},
          {{2026, 12, 6}, 600, S::Session},
          {{2026, 12, 7}, 180, S::Round},
          {{2026, 12, 2}, 60, S::History},
          {{2026, 12, 3}, 60, S::History},
          {{2026, 12, 3}, 120, S::History},
          {{2026, 12, 6}, 120, S::History}},
         {2026, 12, 7},
         3,
         {{{2026, 12, 2}, 60, 1},
          {{2026, 12, 3}, 180, 2},
          {{2026, 12, 5}, 60, 1},
          {{2026, 12, 6}, 720, 2},
          {{2026, 12, 7}, 180, 1}},
         3,
         3,
         true},
        // Nothing yet today: yesterday's run still stands; goal not reached.
        {"today empty",
         {{{2026, 12, 4}, 60, S::Round},
          {{2026, 12, 5}, 60, S::Round},
          {{2026, 12, 6}, 60, S::Round},
          {{2025, 1, 1}, 60, S::History}},
         {2026, 12, 7},
         1,
         {{{2026, 12, 4}, 60, 1}, {{2026, 12, 5}, 60, 1}, {{2026, 12, 6}, 60, 1}},
         3,
         3,
         false},
        // A run broken two days ago is over; the longest one lies outside the shown weeks.
        {"run broken, longest old",
         {{{2020, 1, 1}, 60, S::History},
          {{2020, 1, 2}, 60, S::History},
          {{2020, 1, 3}, 60, S::History},
          {{2020, 1, 4}, 60, S::History},
          {{2026, 12, 5}, 900, S::Round}},
         {2026, 12, 7},
         15,
         {{{2026, 12, 5}, 900, 1}},
         0,
         4,
         false},
        // Leap year: the run goes through 29 February; the goal is met on the day exactly.
        {"leap year",
         {{{2028, 2, 28}, 60, S::Round},
          {{2028, 2, 29}, 240, S::Round},
          {{2028, 3, 1}, 300, S::Session},
          {{2028, 3, 2}, 60, S::Round}},
         {2028, 3, 1},
         5,
         {{{2028, 2, 28}, 60, 1}, {{2028, 2, 29}, 240, 1}, {{2028, 3, 1}, 300, 1}},
         3,
         3,
         true},
        // A session stopped before its first line (0 s) is no practice: the 2nd stays a gap
        // and today stays empty. The 5th's 30 s and the 6th's focus round are days of practice;
        // the focus rounds count in the minutes and the count, and are told apart.
        {"0 s, under a minute, focus rounds",
         {{{2026, 12, 1}, 60, S::Round},
          {{2026, 12, 2}, 0, S::Session},
          {{2026, 12, 3}, 60, S::Round},
          {{2026, 12, 3}, 90, S::Focus},
          {{2026, 12, 5}, 30, S::Round},
          {{2026, 12, 6}, 45, S::Focus},
          {{2026, 12, 6}, 0, S::Session},
          {{2026, 12, 7}, 0, S::Session}},
         {2026, 12, 7},
         1,
         {{{2026, 12, 1}, 60, 1, 0},
          {{2026, 12, 3}, 150, 2, 1},
          {{2026, 12, 5}, 30, 1, 0},
          {{2026, 12, 6}, 45, 1, 1}},
         2,
         2,
         false},
        // Only history (no log yet): every record counts; a goal of 0 is off.
        {"history only, no goal",
         {{{2026, 12, 7}, 60, S::History},
          {{2026, 12, 7}, 60, S::History},
          {{2026, 2, 30}, 60, S::History}},
         {2026, 12, 7},
         0,
         {{{2026, 12, 7}, 120, 2}},
         1,
         1,
         false},
    };
    for (const CalendarCase& c : cases) {
        SCOPED_TRACE(c.name);
        const PracticeCalendar cal = ComputePracticeCalendar(c.items, c.today, c.goal);
        ASSERT_FALSE(cal.days.empty());
        EXPECT_EQ(cal.days.front().weekday, 0);
        EXPECT_EQ(cal.days.back().date, c.today);
        EXPECT_EQ(cal.days.size(), static_cast<std::size_t>(52 * 7 + cal.days.back().weekday + 1));
        std::vector<DayMinutes> got;
        for (const CalendarDay& d : cal.days) {
            // The map colours exactly the days the runs count.
            EXPECT_EQ(IsPracticeDay(d), d.rounds > 0) << d.days;
            if (d.rounds > 0) got.push_back({d.date, d.seconds, d.rounds, d.focusRounds});
            EXPECT_EQ(d.goalReached, c.goal > 0 && d.seconds >= c.goal * 60);
        }
        ASSERT_EQ(got.size(), c.expected.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].date, c.expected[i].date) << i;
            EXPECT_EQ(got[i].seconds, c.expected[i].seconds) << i;
            EXPECT_EQ(got[i].rounds, c.expected[i].rounds) << i;
            EXPECT_EQ(got[i].focusRounds, c.expected[i].focusRounds) << i;
        }
        EXPECT_EQ(cal.currentRun, c.current);
        EXPECT_EQ(cal.longestRun, c.longest);
        EXPECT_EQ(cal.goalReachedToday, c.goalToday);
    }
}

}  // namespace
}  // namespace keta::analysis
