#include "answer_rule.h"

#include <cmath>
#include <cstdint>

#include "int16_rules.h"
#include "number_text.h"

namespace keta {
namespace {

// The expected answer for the digits a (left) and b (right).
std::int16_t ExpectedAnswer(double a, double b, bool difference) {
    const double e = difference ? std::fabs(a - b) : (a + b >= 10 ? a + b - 10 : a + b);
    return NarrowToInt16(std::llround(e));
}

// A caption's value as a digit for the record; the captions are always single digits in play.
int DigitValue(double d) { return d >= 0 && d <= 9 ? static_cast<int>(d) : 0; }

}  // namespace

ScoredAnswer ScoreAnswerText(std::string_view leftCaption, std::string_view rightCaption,
                             std::string_view typed, bool difference) {
    const double a = ReadNumber(leftCaption);
    const double b = ReadNumber(rightCaption);
    const std::int16_t e = ExpectedAnswer(a, b, difference);
    const double v = ReadNumber(typed);
    return {DigitValue(a), DigitValue(b), e, v == static_cast<double>(e)};
}

}  // namespace keta
