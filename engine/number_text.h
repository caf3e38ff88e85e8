#pragma once
// Reading texts as numbers, and the number patterns that the drill and the history show.

#include <cstdint>
#include <string>
#include <string_view>

namespace keta {

// The lenient reading shared by digit captions, answers and the time-limit combo: the leading
// number of the text (optional sign, digits with at most one point, optional exponent), blanks,
// tabs and line feeds skipped; 0 when the text does not begin with a number. Full-width digits,
// signs and point (typed with the input method left on) read like their ASCII forms. A number
// beyond the range of a double reads as plus or minus infinity.
double ReadNumber(std::string_view utf8);

// "0.0%": the ratio times 100 with one decimal. Halves are rounded away from zero; the quotient
// is first taken to 15 significant decimal digits, so 3/80 counts as the half 3.75 -> "3.8%".
std::string FormatPercent(double ratio);

// "0.00/秒": the ratio with two decimals and the suffix. 3/40 counts as the half 0.075 ->
// "0.08/秒".
std::string FormatPerSecond(double ratio);

// A ratio for those patterns that never divides by zero: a zero divisor gives 0.
double SafeRatio(double numerator, double divisor);

// Plain decimal digits, with "-" when negative.
std::string DecimalText(long long value);

// Rounds to the given number of decimals, halves away from zero, after taking the value to
// 15 significant digits. Exposed for the patterns above and their tests.
std::string FormatFixed(double value, int decimals);

}  // namespace keta
