#pragma once
// The traditional indices of one round of adjacent-digit work, from its work curve and the
// times between its answers.
//
// Time per answer: the gap between an answer's ms and the previous ANSWER's ms (the first
// answer counts from 0, the start of play). Clearing clicks are not answers; the time they take
// stays inside the gap of the next answer, because fixing a box is part of getting it answered.
// A gap that would be negative (events out of order in a damaged log) counts as 0.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "round_record.h"
#include "work_curve.h"

namespace keta::analysis {

// The time per answer of every answer of the round, in event order, in ms (see above).
std::vector<std::int64_t> AnswerTimesMs(const RoundRecord& round);

struct HalfFigures {
    int answers = 0;
    int errors = 0;
    double rate = 0.0;  // answers ÷ (half the time limit in seconds); 0 when there is no limit
};

// Every ratio is nullopt when its denominator is 0 or it needs bins the round does not have.
// "Rate" here is answers (right or wrong) per second: the work done, as a work curve counts it.
struct RoundIndices {
    int answers = 0;
    int correct = 0;
    int errors = 0;
    std::optional<double> accuracy;  // correct ÷ answers

    // Mean rate over the bins, weighted by their length: answers ÷ time limit in seconds.
    std::optional<double> meanRate;
    // Initial effort: rate of the first bin ÷ meanRate.
    std::optional<double> initialEffort;
    // End spurt: rate of the last FULL-length bin ÷ mean rate of all the other bins (their
    // answers ÷ their seconds). Needs at least two bins.
    std::optional<double> endSpurt;
    // Fluctuation: (highest bin rate − lowest bin rate) ÷ meanRate.
    std::optional<double> fluctuation;
    // Trend: least-squares slope of the bin rates over the bins' midpoints in minutes, in answers
    // per second per minute (negative: slowing down). Needs at least two bins.
    std::optional<double> trend;

    bool timed = false;  // the time limit was positive: the halves and the curve figures exist

    // Halves split at limit ÷ 2: an answer at exactly the middle, and the closing answer after
    // the limit, belong to the second half. Both empty when the time limit is not positive.
    HalfFigures firstHalf;
    HalfFigures secondHalf;
    std::optional<double> halfRatio;  // secondHalf.rate ÷ firstHalf.rate

    int longestRightRun = 0;  // most right answers in a row (clearing clicks do not break it)

    std::optional<double> medianMs;  // median time per answer
    std::optional<double> p90Ms;     // 90th percentile of the time per answer (Quantile, 0.9)
    // Post-error slowing: median time of the answers that directly follow a wrong answer ÷
    // medianMs. > 1 means the user slows down after a mistake.
    std::optional<double> postErrorSlowing;
    int answersAfterError = 0;  // how many answers that median is taken over
};

RoundIndices ComputeIndices(const RoundRecord& round);
// The same, reusing a curve already computed for this round.
RoundIndices ComputeIndices(const RoundRecord& round, const WorkCurve& curve);

// Plain words for a window that lists the indices: a stable ASCII key per index (the window
// translates it), its unit, and its value. The library itself stays language-free.
enum class IndexId {
    MeanRate,
    InitialEffort,
    EndSpurt,
    Fluctuation,
    Trend,
    FirstHalfRate,
    SecondHalfRate,
    HalfRatio,
    LongestRightRun,
    MedianMs,
    P90Ms,
    PostErrorSlowing,
};
inline constexpr IndexId kAllIndices[] = {
    IndexId::MeanRate,       IndexId::InitialEffort, IndexId::EndSpurt,
    IndexId::Fluctuation,    IndexId::Trend,         IndexId::FirstHalfRate,
    IndexId::SecondHalfRate, IndexId::HalfRatio,     IndexId::LongestRightRun,
    IndexId::MedianMs,       IndexId::P90Ms,         IndexId::PostErrorSlowing,
};
enum class IndexUnit { Ratio, PerSecond, PerSecondPerMinute, Count, Milliseconds };

const char* IndexKey(IndexId id);  // e.g. "initial_effort"
IndexUnit UnitOf(IndexId id);
std::optional<double> IndexValue(const RoundIndices& indices, IndexId id);

// Every figure the program shows goes through the drill's own rounding (halves away from zero,
// decided in decimal): `value` with the given decimals, or `undefinedText` when there is none.
std::string FormatFigure(std::optional<double> value, int decimals,
                         const std::string& undefinedText = "\xE3\x81\xAA\xE3\x81\x97");
// A ratio as the drill's "0.0%" pattern ("88.0%"), or `undefinedText` when there is none.
std::string FormatPercentFigure(std::optional<double> ratio,
                                const std::string& undefinedText = "\xE3\x81\xAA\xE3\x81\x97");

}  // namespace keta::analysis
