#pragma once
// Progress over many rounds, from the saved results of the history file (so results saved before
// any answer log existed count too).

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "round_record.h"

namespace keta::analysis {

// The moving average covers this point and up to the nine results before it in the same series.
inline constexpr std::size_t kMovingAverageWindow = 10;

struct ProgressPoint {
    std::size_t fileIndex = 0;  // position of the result in the history (0 = first line)
    std::string date;           // "yyyy/mm/dd"
    std::string time;           // "hh:mm:ss"
    int answers = 0;
    int correct = 0;
    int wrong = 0;
    double rate = 0.0;               // correct ÷ timeLimit: the program's own answers per second
    std::optional<double> accuracy;  // correct ÷ answers; nullopt for 0 answers
    // Mean rate of the window ending here: its right answers over its seconds, the nearest
    // double to the exact mean, as a hand computation gives it.
    double movingRate = 0.0;
    // Mean accuracy of the window's points that have one (a mean of their ratios, worked
    // exactly wherever the answers' common multiple allows); nullopt when none has.
    std::optional<double> movingAccuracy;
};

struct DayFigures {
    std::string date;  // "yyyy/mm/dd" as written
    int results = 0;
    std::size_t first = 0;    // the day's first point in the series
    double medianRate = 0.0;  // median of the day's rates (Quantile 0.5)
    double lowestRate = 0.0;
    double highestRate = 0.0;
    std::optional<double> medianAccuracy;  // median of the day's defined accuracies
};

// One mode and one time limit: results of different limits are not comparable.
struct ProgressSeries {
    Mode mode = Mode::Sum;
    int timeLimit = 0;
    std::vector<ProgressPoint> points;  // by date, then time; equal stamps keep file order
    std::vector<DayFigures> days;       // in date order
    // Personal bests, as indices into points:
    std::optional<std::size_t> bestRate;  // highest rate; on a tie the earliest
    // Highest accuracy among points with an accuracy; on a tie more correct answers, then the
    // earliest.
    std::optional<std::size_t> bestAccuracy;
};

struct ProgressReport {
    std::vector<ProgressSeries> series;  // sum before difference, then by rising time limit
    int used = 0;
    // Records identical in every item to the record before them: one result saved twice,
    // counted once.
    int repeated = 0;
    int skippedNoLimit = 0;    // time limit 0 or negative: no rate can be given
    int skippedBadStamp = 0;   // date not a real "yyyy/mm/dd" or time not "hh:mm:ss" (00..23)
    int skippedBadCounts = 0;  // negative counts, or more correct than answers
    const ProgressSeries* find(Mode mode, int timeLimit) const;
};

// A point is checked in the order repeat, limit, stamp, counts, and counted under the first
// failure.
// Since the stamps are fixed-width, ordering by their text is ordering by time.
ProgressReport ComputeProgress(std::span<const HistoryPoint> history,
                               std::size_t movingWindow = kMovingAverageWindow);

// The part of a series a period shows: the results of the last `days` calendar days up to the
// newest result's day (that day included), or all of them for `days` 0. A period ends at the
// newest result rather than today, so that a pause in practice leaves no empty chart.
struct ProgressSpan {
    std::size_t begin = 0, end = 0;        // points [begin, end)
    std::size_t dayBegin = 0, dayEnd = 0;  // days [dayBegin, dayEnd)
    std::optional<std::size_t> bestRate;   // as ProgressSeries::bestRate, within the span
    std::optional<std::size_t> bestAccuracy;
};
ProgressSpan SpanOf(const ProgressSeries& series, int days);

// The date `days` calendar days before a valid "yyyy/mm/dd" date, in the same form.
std::string DateDaysBefore(const std::string& date, int days);

// Axis bounds on a round step (1, 2 or 5 × 10^n) that hold [low, high] with at most
// `mostTicks` ticks; low == high gets a span of a tenth of its size (at least 0.1).
struct NiceScale {
    double low = 0.0, high = 1.0, step = 1.0;
    int decimals = 0;  // what the step needs to be written exactly
};
NiceScale NiceTicks(double low, double high, int mostTicks);

// True for a real calendar date written "yyyy/mm/dd" (leap years included), and for a time
// written "hh:mm:ss" with hours 00..23, minutes and seconds 00..59.
bool IsHistoryDate(const std::string& text);
bool IsHistoryTime(const std::string& text);

}  // namespace keta::analysis
