#pragma once
// What a focus round works on and what it shows afterwards: the weakest pairs of a mode as the
// weak-pairs window ranks them, and for each chosen pair this round's figures beside those
// from before it.

#include <QString>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "digit_pairs.h"
#include "focus_digits.h"
#include "history_read.h"
#include "round_record.h"

namespace keta {

// The figures of every logged round (focus rounds included: answers are answers). nullopt,
// with the reason in `error`, when the log cannot be read; a missing log has no rounds.
std::optional<analysis::PairFigures> LoggedPairFigures(const QString& logPath,
                                                       QString* error = nullptr);

// The log's files as they are now, the log's and its write-ahead journal's. Figures read under
// one stamp still hold while the stamp is the same.
struct LogStamp {
    FileStamp log;
    FileStamp journal;
    bool operator==(const LogStamp&) const = default;
};
LogStamp LogStampOf(const QString& logPath);

// The ten weakest pairs of `mode`, weakest first (empty when no pair has enough answers).
std::vector<DigitPair> WeakestOf(const analysis::PairFigures& figures, analysis::Mode mode);

// The pairs as the log keeps them: "78 96".
std::string PairsText(std::span<const DigitPair> pairs);

struct FocusPairResult {
    // What the round says of the pair: only a pair answered often enough this round can be
    // said to have left the weakest; one the rows never brought says so.
    enum class Verdict { NotDrilled, TooFew, StillWeak, DroppedOut };
    DigitPair pair;
    analysis::PairCell round;   // this round
    analysis::PairCell before;  // every logged round before it
    bool stillWeak = true;      // among the ten weakest once this round is counted
    Verdict verdict = Verdict::StillWeak;
};

// One row per focus pair, in the order given.
std::vector<FocusPairResult> FocusResults(std::span<const DigitPair> pairs,
                                          const analysis::RoundRecord& round,
                                          const analysis::PairFigures& before,
                                          const analysis::PairFigures& after);

}  // namespace keta
