#pragma once
// The work curve of one round: how many answers came in each interval of the time limit.

#include <cstdint>
#include <vector>

#include "round_record.h"

namespace keta::analysis {

// Bin width: 5 s for time limits up to 60 s, 10 s above. Nonpositive limits give 5 s.
std::int64_t BinWidthMs(int timeLimitSeconds);

struct WorkBin {
    std::int64_t startMs = 0;  // inclusive
    std::int64_t endMs = 0;    // exclusive; the limit for the last bin, so it may be short
    int answers = 0;
    int errors = 0;
    int correct() const { return answers - errors; }
    double seconds() const { return static_cast<double>(endMs - startMs) / 1000.0; }
    // Normalised per second of the bin's own length, so a short last bin compares fairly:
    double rate = 0.0;         // answers ÷ seconds()
    double correctRate = 0.0;  // correct() ÷ seconds()
};

struct WorkCurve {
    std::int64_t binWidthMs = 0;
    std::int64_t limitMs = 0;  // timeLimit × 1000
    // ⌈limitMs ÷ binWidthMs⌉ bins covering [0, limitMs): bin k is [k·w, min((k+1)·w, limit)).
    // Empty when the time limit is 0 or negative (the limit is unknown, so nothing is binned).
    std::vector<WorkBin> bins;
    int answers = 0;       // every answer of the round (events that are not clearing clicks)
    int errors = 0;        // answers that were wrong
    int lateAnswers = 0;   // answers at or after limitMs (the closing answer): in the last bin
    int earlyAnswers = 0;  // answers with a negative time (a damaged log): in the first bin
};

// Sorts the round's answers into bins by their ms. Clearing clicks are not answers and are not
// counted. An answer at exactly a boundary k·w belongs to the bin that starts there. Answers at
// or after the limit are clamped into the last bin (so the closing answer counts once and the
// bins sum to all answers); answers before 0 are clamped into the first bin.
WorkCurve ComputeWorkCurve(const RoundRecord& round);

}  // namespace keta::analysis
