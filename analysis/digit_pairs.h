#pragma once
// Answers by digit pair: for each mode and each ordered pair (left digit a, right digit b) of
// the box, how often it was answered, how often wrongly, and how fast.

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "round_record.h"

namespace keta::analysis {

// A pair answered fewer times than this has no rate worth showing or ranking: one slip in
// two answers is not a weakness.
inline constexpr int kFewestAnswersRated = 5;

struct PairCell {
    int answers = 0;
    int errors = 0;
    std::optional<double> errorRate;  // errors ÷ answers
    std::optional<double> medianMs;   // median time per answer (as in round_indices.h)
};

struct PairTable {
    std::array<std::array<PairCell, 10>, 10> cells{};  // cells[a][b]: left digit a, right b
    int rounds = 0;  // rounds of this mode (with or without answers)
    int answers = 0;
    int errors = 0;
    std::optional<double> errorRate;  // over the whole mode
    std::optional<double> medianMs;   // over the whole mode
    const PairCell& at(int left, int right) const {
        return cells[static_cast<std::size_t>(left)][static_cast<std::size_t>(right)];
    }
};

struct PairFigures {
    PairTable sum;         // rounds whose mode text is the sum (ModeOf)
    PairTable difference;  // rounds in the difference mode
    int rounds = 0;        // every round read, of both modes and damaged ones included
    int damaged = 0;       // rounds the log marks as damaged: never counted in the tables
    int skipped = 0;       // answers whose digits were outside 0..9 (a damaged log): left out
    const PairTable& of(Mode mode) const { return mode == Mode::Difference ? difference : sum; }
};

// Clearing clicks are not answers. A damaged round counts in `damaged` and nowhere else. The time
// of an answer is its gap to the previous answer of the same round (AnswerTimesMs), so the first
// answer of a row includes reading the new row.
PairFigures ComputePairs(std::span<const RoundRecord> rounds);

// The same figures from rounds given one at a time, so that a long log need not be held
// whole: Add every round in turn, then Finish once.
class PairCounter {
public:
    PairCounter();
    ~PairCounter();
    PairCounter(const PairCounter&) = delete;
    PairCounter& operator=(const PairCounter&) = delete;
    void Add(const RoundRecord& round);
    PairFigures Finish();

private:
    struct Times;
    PairFigures figures_;
    std::unique_ptr<Times> sum_;
    std::unique_ptr<Times> difference_;
};

// The map's colour of an error rate, as red, green and blue (0..255): white at 0 %, a strong
// red at `fullRate` and above. The map's full colour is the highest rate shown, but never less
// than kLeastFullRate, so that a table of small rates is not painted as alarming.
inline constexpr double kLeastFullRate = 0.10;
std::array<int, 3> HeatRgb(double errorRate, double fullRate);

struct WeakPair {
    int left = 0;
    int right = 0;
    int answers = 0;
    int errors = 0;
    double smoothedErrorRate = 0.0;
    std::optional<double> medianMs;
    double score = 0.0;
};

struct WeakPairOptions {
    int minAnswers = kFewestAnswersRated;  // pairs answered fewer times are not ranked at all
    double priorAnswers = 10.0;            // K below
    double timeWeight = 0.25;              // T below
    std::size_t count = 10;
};

// The weakest pairs of one mode's table, weakest first, at most options.count of them.
//   p        = the mode's error rate (errors ÷ answers over the table; 0 when undefined)
//   smoothed = (errors + K·p) ÷ (answers + K)     — a few answers stay close to the mode's rate
//   relTime  = pair's median time ÷ mode's median time (1 when either is undefined or 0)
//   score    = smoothed + T·(relTime − 1)
// Only pairs with at least minAnswers answers are ranked. Ties: more errors first, then the
// lower (left, right).
std::vector<WeakPair> WeakestPairs(const PairTable& table, const WeakPairOptions& options = {});

}  // namespace keta::analysis
