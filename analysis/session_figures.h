#pragma once
// The figures of a practice session in the written test's format, from its per-line counts.
// They describe this person's own curve; they are not norms and say nothing about anyone else.
//
// For one half with n lines whose answer counts are a₁ … aₙ (line numbers k = 1 … n), and
// m = (a₁ + … + aₙ) ÷ n, its mean answers per line:
//
//   初頭努力 (initial effort)  a₁ ÷ mean(a₂ … aₙ)
//       how the first line compares with the rest of the half; above 1: a strong start.
//   終末努力 (final effort)    aₙ ÷ mean(a₁ … aₙ₋₁)
//       how the last line compares with the lines before it; above 1: a spurt at the end.
//   動揺 (fluctuation)        [ (|a₂ − a₁| + … + |aₙ − aₙ₋₁|) ÷ (n − 1) ] ÷ m
//       how much consecutive lines differ, as a share of the mean; 0 for an even pace.
//   最大差 (largest gap)       (max aₖ − min aₖ) ÷ m
//       the spread between the best and the worst line, as a share of the mean.
//   slope                     Σ(k − k̄)(aₖ − m) ÷ Σ(k − k̄)²
//       the least-squares trend, in answers per line gained (or lost) from line to line.
//   accuracy                  correct ÷ answers, with correct = answers − errors.
//
// For the session:
//   休憩効果 (rest effect)     m(second half) ÷ m(first half)
//       the pace after the rest against the pace before it; above 1: faster after the rest.
//
// A figure without a value is std::nullopt, never NaN and never a division by zero: the
// effort figures, 動揺 and the slope need at least two lines; every ratio needs a non-zero
// denominator; a half without lines has no mean; 休憩効果 needs both means.

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

// Counts outside their range (negative answers, errors above the answers, from a damaged log)
// are brought into it first, so correct is never negative.
SessionHalfFigures ComputeHalfFigures(std::span<const LineCount> lines);
SessionFigures ComputeSessionFigures(std::span<const LineCount> firstHalf,
                                     std::span<const LineCount> secondHalf);

}  // namespace keta::analysis
