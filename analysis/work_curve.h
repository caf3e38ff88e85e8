#pragma once
// The work curve of one round: how many answers came in each interval of the time limit.

#include <cstdint>
#include <optional>
#include <string>
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

// The round's speed as the history grid shows it under 秒当たり: correct answers ÷ time limit
// (the counters of the close, not the events). nullopt when the limit is not positive.
std::optional<double> CorrectPerSecond(const RoundRecord& round);

// Where the round's date and time in a title come from: the save the user picked, or, for a
// round never saved, the start of play.
struct RoundStamp {
    std::string date;  // "yyyy/mm/dd"
    std::string time;  // "hh:mm:ss"
    bool saved = false;
};
// The start of play ("yyyy-MM-ddTHH:mm:ss") as an unsaved stamp; empty texts when unreadable.
RoundStamp StartStamp(const RoundRecord& round);

// The round in words for a title, items joined by "・": date and time, mode, limit, correct of
// answers and the speed in the drill's own pattern, e.g.
// "2026/12/07 19:40:12・＋・60秒・正解 52/55・0.87/秒". An unsaved round says so after the time.
std::string RoundTitle(const RoundRecord& round, const RoundStamp& stamp);

}  // namespace keta::analysis
