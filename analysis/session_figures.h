#pragma once
// The figures of a practice session in the written test's format, from its per-line counts.
// They describe this person's own curve; they are not norms and say nothing about anyone else.
//
// For one half planned with N lines, of which n were completed (n < N when the session was
// stopped), with answer counts a₁ … aₙ (line numbers k = 1 … n) and m = (a₁ + … + aₙ) ÷ n,
// its mean answers per line. Only completed lines count; a figure about a line that never came
// has no value.
//
//   初頭努力 (initial effort)  a₁ ÷ mean(a₂ … aₙ₋₁)
//       the first line against the middle lines; above 1: a strong start. Needs n ≥ 3.
//   終末努力 (final effort)    aₙ ÷ mean(a₂ … aₙ₋₁)
//       the last line against the same middle lines; above 1: a spurt at the end. Needs
//       n ≥ 3 and the half's last planned line done (n = N). Neither baseline holds the other
//       spurt, so the two figures are independent.
//   step (mean change)        (|a₂ − a₁| + … + |aₙ − aₙ₋₁|) ÷ (n − 1)
//       how many answers consecutive lines differ by on average. Needs n ≥ 2.
//   動揺 (fluctuation)        step ÷ m
//       the same as a share of the mean; 0 for an even pace. The same wobble in answers gives
//       a smaller 動揺 to a faster person.
//   最大差 (largest gap)       (max aₖ − min aₖ) ÷ m
//       the spread between the best and the worst line, as a share of the mean. Needs n ≥ 2.
//   slope                     Σ(k − k̄)(aₖ − m) ÷ Σ(k − k̄)²
//       the least-squares trend, in answers per line gained (or lost) from line to line.
//       Needs n ≥ 2.
//   accuracy                  correct ÷ answers, with correct = answers − errors.
//
// For the session, with halves of n₁ and n₂ completed lines:
//   休憩効果 (rest effect)     mean(b₁ … b_k) ÷ mean(a₁ … a_k), k = min(n₁, n₂)
//       the first k lines after the rest (b) against the first k before it (a): the same
//       stretch of each half, whatever their lengths; above 1: faster after the rest. Needs
//       both halves complete (each n = N).
//
// A figure without a value is std::nullopt, never NaN and never a division by zero: besides
// the line counts above, every ratio needs a non-zero denominator and a half without lines has
// no mean.

#include <optional>
#include <span>

namespace keta::analysis {

struct LineCount {
    int answers = 0;
    int errors = 0;  // wrong answers among them
};

struct SessionHalfFigures {
    int lines = 0;
    long long answers = 0;  // wide enough for any sum of line counts
    long long correct = 0;
    long long errors = 0;
    int linesWithErrors = 0;
    std::optional<double> accuracy;
    std::optional<double> meanPerLine;
    std::optional<double> initialEffort;  // 初頭努力
    std::optional<double> finalEffort;    // 終末努力
    std::optional<double> meanChange;     // answers per line between consecutive lines
    std::optional<double> fluctuation;    // 動揺
    std::optional<double> largestGap;     // 最大差
    std::optional<double> slope;          // answers per line, per line
};

struct SessionFigures {
    SessionHalfFigures first;
    SessionHalfFigures second;
    long long answers = 0;
    long long correct = 0;
    long long errors = 0;
    std::optional<double> accuracy;
    std::optional<double> restEffect;  // 休憩効果
};

// `lines` are the completed lines of a half in order, `planned` the lines it was set to have.
// Counts outside their range (negative answers, errors above the answers, from a damaged log)
// are brought into it first, so correct is never negative.
SessionHalfFigures ComputeHalfFigures(std::span<const LineCount> lines, int planned);
SessionFigures ComputeSessionFigures(std::span<const LineCount> firstHalf,
                                     std::span<const LineCount> secondHalf, int plannedFirst,
                                     int plannedSecond);

}  // namespace keta::analysis
