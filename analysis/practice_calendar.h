#pragma once
// Minutes of timed practice per local calendar day, the runs of days with practice and the
// progress toward a daily goal. Dates are plain year/month/day: the caller hands over local
// dates, so nothing here knows about time zones.

#include <cstdint>
#include <vector>

namespace keta::analysis {

struct CivilDate {
    int year = 1970;
    int month = 1;
    int day = 1;
    friend bool operator==(const CivilDate&, const CivilDate&) = default;
};

// Days since 1970-01-01 in the proleptic Gregorian calendar, and back.
std::int64_t DaysFromCivil(const CivilDate& date);
CivilDate CivilFromDays(std::int64_t days);
// 0 = Sunday … 6 = Saturday.
int WeekdayOf(std::int64_t days);
// A real date of the calendar (month 1-12, the day within that month's length).
bool IsValidDate(const CivilDate& date);

// A focus round is a round of its own kind in the log; the history file never holds one.
enum class PracticeSource { Round, Focus, Session, History };

struct PracticeItem {
    CivilDate day;  // the local day it started on
    std::int64_t seconds = 0;
    PracticeSource source = PracticeSource::Round;
};

struct CalendarDay {
    std::int64_t days = 0;  // DaysFromCivil of the date
    CivilDate date;
    int weekday = 0;
    std::int64_t seconds = 0;
    int rounds = 0;       // practice items begun that day (a session counts once)
    int focusRounds = 0;  // of those, focus rounds
    bool goalReached = false;
};

// A day of practice has at least one item of more than 0 s, however short: the map colours it
// and the runs count it. A session stopped before its first line ended is no practice at all.
inline bool IsPracticeDay(const CalendarDay& day) { return day.seconds > 0; }

struct PracticeCalendar {
    // Every day from the Sunday 52 weeks before this week's Sunday up to today, oldest first:
    // 53 columns of weeks, the last one ending today.
    std::vector<CalendarDay> days;
    std::int64_t todaySeconds = 0;
    int todayRounds = 0;
    int currentRun = 0;   // ending today, or yesterday when today has nothing yet
    int longestRun = 0;   // over every day up to today, not only the shown weeks
    int goalMinutes = 0;  // 0: no goal
    bool goalReachedToday = false;
};

// Minutes shown for a number of seconds (rounded down: a goal is met by whole minutes).
inline std::int64_t WholeMinutes(std::int64_t seconds) { return seconds / 60; }

// History items count only for days before the first day the log has a round or session on
// (one of 0 s included: the log was kept that day): from then on the log holds the same rounds
// itself. Items of 0 s, items dated after today and items with dates that are no real day are
// left out.
PracticeCalendar ComputePracticeCalendar(const std::vector<PracticeItem>& items,
                                         const CivilDate& today, int goalMinutes);

}  // namespace keta::analysis
