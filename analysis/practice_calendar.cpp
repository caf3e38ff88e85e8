#include "practice_calendar.h"

#include <algorithm>
#include <limits>
#include <map>

namespace keta::analysis {

// Howard Hinnant's days-from-civil: exact over the whole proleptic Gregorian calendar.
std::int64_t DaysFromCivil(const CivilDate& date) {
    const std::int64_t y = static_cast<std::int64_t>(date.year) - (date.month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t m = date.month;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + date.day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

CivilDate CivilFromDays(std::int64_t days) {
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t y = yoe + era * 400 + (m <= 2 ? 1 : 0);
    return {static_cast<int>(y), static_cast<int>(m), static_cast<int>(d)};
}

int WeekdayOf(std::int64_t days) {
    // 1970-01-01 was a Thursday.
    const std::int64_t w = (days + 4) % 7;
    return static_cast<int>(w < 0 ? w + 7 : w);
}

bool IsValidDate(const CivilDate& date) {
    if (date.month < 1 || date.month > 12 || date.day < 1) return false;
    static constexpr int kLengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (date.year % 4 == 0 && date.year % 100 != 0) || date.year % 400 == 0;
    const int length = kLengths[date.month - 1] + (date.month == 2 && leap ? 1 : 0);
    return date.day <= length;
}

PracticeCalendar ComputePracticeCalendar(const std::vector<PracticeItem>& items,
                                         const CivilDate& today, int goalMinutes) {
    PracticeCalendar cal;
    cal.goalMinutes = std::max(0, goalMinutes);
    const std::int64_t todayDays = DaysFromCivil(today);

    std::int64_t firstLogDay = std::numeric_limits<std::int64_t>::max();
    for (const PracticeItem& item : items) {
        if (item.source != PracticeSource::History && IsValidDate(item.day))
            firstLogDay = std::min(firstLogDay, DaysFromCivil(item.day));
    }
    struct Total {
        std::int64_t seconds = 0;
        int rounds = 0;
        int focusRounds = 0;
    };
    // Only days of practice get a total, so the map and the runs below agree on them.
    std::map<std::int64_t, Total> byDay;
    for (const PracticeItem& item : items) {
        if (item.seconds <= 0 || !IsValidDate(item.day)) continue;
        const std::int64_t d = DaysFromCivil(item.day);
        if (d > todayDays) continue;
        if (item.source == PracticeSource::History && d >= firstLogDay) continue;
        Total& t = byDay[d];
        t.seconds += item.seconds;
        ++t.rounds;
        if (item.source == PracticeSource::Focus) ++t.focusRounds;
    }

    // Runs over every day of practice, in date order.
    int run = 0;
    std::int64_t previous = std::numeric_limits<std::int64_t>::min();
    for (const auto& [d, total] : byDay) {
        run = (previous != std::numeric_limits<std::int64_t>::min() && d == previous + 1) ? run + 1
                                                                                          : 1;
        previous = d;
        cal.longestRun = std::max(cal.longestRun, run);
    }
    // `run` now ends at the last practised day, which is at most today.
    if (!byDay.empty() && previous >= todayDays - 1) cal.currentRun = run;

    const std::int64_t first = todayDays - WeekdayOf(todayDays) - std::int64_t{52} * 7;
    cal.days.reserve(static_cast<std::size_t>(todayDays - first + 1));
    const std::int64_t goalSeconds = static_cast<std::int64_t>(cal.goalMinutes) * 60;
    for (std::int64_t d = first; d <= todayDays; ++d) {
        CalendarDay day;
        day.days = d;
        day.date = CivilFromDays(d);
        day.weekday = WeekdayOf(d);
        if (const auto it = byDay.find(d); it != byDay.end()) {
            day.seconds = it->second.seconds;
            day.rounds = it->second.rounds;
            day.focusRounds = it->second.focusRounds;
        }
        day.goalReached = goalSeconds > 0 && day.seconds >= goalSeconds;
        cal.days.push_back(day);
    }
    cal.todaySeconds = cal.days.back().seconds;
    cal.todayRounds = cal.days.back().rounds;
    cal.goalReachedToday = cal.days.back().goalReached;
    return cal;
}

}  // namespace keta::analysis
