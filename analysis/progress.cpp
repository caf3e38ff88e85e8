#include "progress.h"

#include <algorithm>
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

void FillMovingAverages(std::vector<ProgressPoint>& points, std::size_t window) {
    window = std::max<std::size_t>(1, window);
    // Running sums over the window, so 32 766 points cost one pass whatever the window.
    double rateSum = 0.0;
    double accuracySum = 0.0;
    std::size_t accuracyCount = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        rateSum += points[i].rate;
        if (points[i].accuracy) {
            accuracySum += *points[i].accuracy;
            ++accuracyCount;
        }
        if (i >= window) {
            const ProgressPoint& gone = points[i - window];
            rateSum -= gone.rate;
            if (gone.accuracy) {
                accuracySum -= *gone.accuracy;
                --accuracyCount;
            }
        }
        const std::size_t inWindow = std::min(i + 1, window);
        points[i].movingRate = rateSum / static_cast<double>(inWindow);
        points[i].movingAccuracy = Ratio(accuracySum, static_cast<double>(accuracyCount));
    }
}

void FillDays(ProgressSeries& series) {
    std::vector<double> rates;
    std::vector<double> accuracies;
    std::size_t i = 0;
    while (i < series.points.size()) {
        DayFigures day;
        day.date = series.points[i].date;
        rates.clear();
        accuracies.clear();
        for (; i < series.points.size() && series.points[i].date == day.date; ++i) {
            rates.push_back(series.points[i].rate);
            if (series.points[i].accuracy) accuracies.push_back(*series.points[i].accuracy);
        }
        day.results = static_cast<int>(rates.size());
        day.medianRate = Median(rates).value_or(0.0);
        day.medianAccuracy = Median(accuracies);
        series.days.push_back(std::move(day));
    }
}

void FillBests(ProgressSeries& series) {
    for (std::size_t i = 0; i < series.points.size(); ++i) {
        const ProgressPoint& p = series.points[i];
        if (!series.bestRate || p.rate > series.points[*series.bestRate].rate) series.bestRate = i;
        if (!p.accuracy) continue;
        if (!series.bestAccuracy) {
            series.bestAccuracy = i;
            continue;
        }
        const ProgressPoint& best = series.points[*series.bestAccuracy];
        if (*p.accuracy > *best.accuracy ||
            (*p.accuracy == *best.accuracy && p.correct > best.correct)) {
            series.bestAccuracy = i;
        }
    }
}

}  // namespace

ProgressReport ComputeProgress(std::span<const HistoryPoint> history, std::size_t movingWindow) {
    ProgressReport report;
    std::map<std::pair<Mode, int>, ProgressSeries> byKey;
    for (std::size_t index = 0; index < history.size(); ++index) {
        const HistoryPoint& h = history[index];
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
        FillMovingAverages(series.points, movingWindow);
        FillDays(series);
        FillBests(series);
        report.series.push_back(std::move(series));
    }
    return report;
}

}  // namespace keta::analysis
