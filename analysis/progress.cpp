#include "progress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <utility>

#include "stats.h"

namespace keta::analysis {

namespace {

bool Digits(const std::string& text, std::size_t from, std::size_t count, int& value) {
    value = 0;
    for (std::size_t i = from; i < from + count; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

}  // namespace

bool IsHistoryDate(const std::string& text) {
    if (text.size() != 10 || text[4] != '/' || text[7] != '/') return false;
    int year = 0;
    int month = 0;
    int day = 0;
    if (!Digits(text, 0, 4, year) || !Digits(text, 5, 2, month) || !Digits(text, 8, 2, day)) {
        return false;
    }
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1) return false;
    const int last = kDays[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
    return day <= last;
}

bool IsHistoryTime(const std::string& text) {
    if (text.size() != 8 || text[2] != ':' || text[5] != ':') return false;
    int hour = 0;
    int minute = 0;
    int second = 0;
    return Digits(text, 0, 2, hour) && Digits(text, 3, 2, minute) && Digits(text, 6, 2, second) &&
           hour <= 23 && minute <= 59 && second <= 59;
}

const ProgressSeries* ProgressReport::find(Mode mode, int timeLimit) const {
    for (const ProgressSeries& s : series) {
        if (s.mode == mode && s.timeLimit == timeLimit) return &s;
    }
    return nullptr;
}

namespace {

// The mean accuracy of points [begin, end) that have one, summed afresh for each window with
// the rounding error of every addition carried along (Neumaier): within a unit or two in the
// last place of the true mean, well inside the fifteen digits the figures are rounded to first,
// so a mean that is exactly a half shows as one. A running sum along the series drifted.
std::optional<double> MeanAccuracy(const std::vector<ProgressPoint>& points, std::size_t begin,
                                   std::size_t end) {
    double sum = 0.0;
    double lost = 0.0;
    std::size_t count = 0;
    for (std::size_t i = begin; i < end; ++i) {
        if (!points[i].accuracy) continue;
        const double x = *points[i].accuracy;
        const double next = sum + x;
        lost += std::fabs(sum) >= std::fabs(x) ? (sum - next) + x : (x - next) + sum;
        sum = next;
        ++count;
    }
    if (count == 0) return std::nullopt;
    return (sum + lost) / static_cast<double>(count);
}

void FillMovingAverages(std::vector<ProgressPoint>& points, int timeLimit, std::size_t window) {
    window = std::max<std::size_t>(1, window);
    // The rate from whole counts: every point of a series has the same limit, so the window's
    // mean rate is its right answers over its seconds, one division that cannot drift (a
    // running sum of the rates did, enough to show 2.785 as 2.78). The accuracy is worked
    // afresh for each window of ten.
    long long right = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        right += points[i].correct;
        if (i >= window) right -= points[i - window].correct;
        const std::size_t inWindow = std::min(i + 1, window);
        // Both factors and their product are whole numbers a double holds exactly.
        points[i].movingRate =
            static_cast<double>(right) / (static_cast<double>(inWindow) * timeLimit);
        points[i].movingAccuracy = MeanAccuracy(points, i + 1 - inWindow, i + 1);
    }
}

void FillDays(ProgressSeries& series) {
    std::vector<double> rates;
    std::vector<double> accuracies;
    std::size_t i = 0;
    while (i < series.points.size()) {
        DayFigures day;
        day.date = series.points[i].date;
        day.first = i;
        rates.clear();
        accuracies.clear();
        for (; i < series.points.size() && series.points[i].date == day.date; ++i) {
            rates.push_back(series.points[i].rate);
            if (series.points[i].accuracy) accuracies.push_back(*series.points[i].accuracy);
        }
        day.results = static_cast<int>(rates.size());
        day.medianRate = Median(rates).value_or(0.0);
        const auto [lowest, highest] = std::minmax_element(rates.begin(), rates.end());
        day.lowestRate = *lowest;
        day.highestRate = *highest;
        day.medianAccuracy = Median(accuracies);
        series.days.push_back(std::move(day));
    }
}

// Bests among points [begin, end): the highest rate, the earliest on a tie; the highest
// accuracy, then more correct answers, then the earliest.
void FindBests(const std::vector<ProgressPoint>& points, std::size_t begin, std::size_t end,
               std::optional<std::size_t>& bestRate, std::optional<std::size_t>& bestAccuracy) {
    bestRate.reset();
    bestAccuracy.reset();
    for (std::size_t i = begin; i < end; ++i) {
        const ProgressPoint& p = points[i];
        if (!bestRate || p.rate > points[*bestRate].rate) bestRate = i;
        if (!p.accuracy) continue;
        if (!bestAccuracy) {
            bestAccuracy = i;
            continue;
        }
        const ProgressPoint& best = points[*bestAccuracy];
        if (*p.accuracy > *best.accuracy ||
            (*p.accuracy == *best.accuracy && p.correct > best.correct)) {
            bestAccuracy = i;
        }
    }
}

// Days since 1970/01/01 of a proleptic Gregorian date, and back (H. Hinnant's civil algorithms).
long DaysFromCivil(int y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return static_cast<long>(era) * 146097 + doe - 719468;
}

void CivilFromDays(long z, int& y, int& m, int& d) {
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
}

}  // namespace

ProgressReport ComputeProgress(std::span<const HistoryPoint> history, std::size_t movingWindow) {
    ProgressReport report;
    std::map<std::pair<Mode, int>, ProgressSeries> byKey;
    for (std::size_t index = 0; index < history.size(); ++index) {
        const HistoryPoint& h = history[index];
        if (h.repeatsPrevious) {
            ++report.repeated;
            continue;
        }
        if (h.timeLimit <= 0) {
            ++report.skippedNoLimit;
            continue;
        }
        if (!IsHistoryDate(h.date) || !IsHistoryTime(h.time)) {
            ++report.skippedBadStamp;
            continue;
        }
        if (h.answers < 0 || h.correct < 0 || h.wrong < 0 || h.correct > h.answers) {
            ++report.skippedBadCounts;
            continue;
        }
        ++report.used;
        const Mode mode = ModeOf(h.modeText);
        ProgressSeries& series = byKey[{mode, h.timeLimit}];
        series.mode = mode;
        series.timeLimit = h.timeLimit;
        ProgressPoint p;
        p.fileIndex = index;
        p.date = h.date;
        p.time = h.time;
        p.answers = h.answers;
        p.correct = h.correct;
        p.wrong = h.wrong;
        p.rate = static_cast<double>(h.correct) / static_cast<double>(h.timeLimit);
        p.accuracy = Ratio(h.correct, h.answers);
        series.points.push_back(std::move(p));
    }
    report.series.reserve(byKey.size());
    for (auto& [key, series] : byKey) {
        std::stable_sort(series.points.begin(), series.points.end(),
                         [](const ProgressPoint& x, const ProgressPoint& y) {
                             if (x.date != y.date) return x.date < y.date;
                             return x.time < y.time;
                         });
        FillMovingAverages(series.points, series.timeLimit, movingWindow);
        FillDays(series);
        FindBests(series.points, 0, series.points.size(), series.bestRate, series.bestAccuracy);
        report.series.push_back(std::move(series));
    }
    return report;
}

std::string DateDaysBefore(const std::string& date, int days) {
    int y = 0, m = 0, d = 0;
    Digits(date, 0, 4, y);
    Digits(date, 5, 2, m);
    Digits(date, 8, 2, d);
    CivilFromDays(DaysFromCivil(y, m, d) - days, y, m, d);
    char text[16];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d", std::clamp(y, 0, 9999), m, d);
    return text;
}

ProgressSpan SpanOf(const ProgressSeries& series, int days) {
    ProgressSpan span;
    span.end = series.points.size();
    span.dayEnd = series.days.size();
    if (days > 0 && !series.points.empty()) {
        // Dates are fixed-width, so their text orders them.
        const std::string from = DateDaysBefore(series.points.back().date, days - 1);
        span.begin = static_cast<std::size_t>(
            std::partition_point(series.points.begin(), series.points.end(),
                                 [&](const ProgressPoint& p) { return p.date < from; }) -
            series.points.begin());
        span.dayBegin = static_cast<std::size_t>(
            std::partition_point(series.days.begin(), series.days.end(),
                                 [&](const DayFigures& day) { return day.date < from; }) -
            series.days.begin());
    }
    FindBests(series.points, span.begin, span.end, span.bestRate, span.bestAccuracy);
    return span;
}

NiceScale NiceTicks(double low, double high, int mostTicks) {
    NiceScale scale;
    if (!std::isfinite(low) || !std::isfinite(high)) return scale;
    if (high < low) std::swap(low, high);
    mostTicks = std::max(mostTicks, 2);
    if (high <= low) high = low + std::max(std::abs(low), 1.0) * 0.1;  // a tenth of its size
    const double span = high - low;
    // One power of ten below the step that would just fit, so the search starts small enough.
    int exponent = static_cast<int>(std::floor(std::log10(span / (mostTicks - 1)))) - 1;
    constexpr double kSlack = 1e-9;  // so that 0.3 / 0.1 counts as 3, not 2.9999999999999996
    for (;; ++exponent) {
        for (const int mantissa : {1, 2, 5}) {
            const double step = mantissa * std::pow(10.0, exponent);
            const double from = std::floor(low / step + kSlack) * step;
            double to = std::ceil(high / step - kSlack) * step;
            if (to <= from) to = from + step;
            if (std::llround((to - from) / step) + 1 <= mostTicks) {
                scale.low = from;
                scale.high = to;
                scale.step = step;
                scale.decimals = std::max(0, -exponent);
                return scale;
            }
        }
    }
}

}  // namespace keta::analysis
