#pragma once
// The one rule that scores an answer, shared by the drill and every practice window, so that
// a keystroke is right or wrong by the same arithmetic wherever it is typed.

#include <string_view>

namespace keta {

// The mode text that means the difference: exactly the full-width hyphen-minus U+FF0D. Any
// other text, "＋" (U+FF0B) included, means the sum.
inline constexpr std::string_view kDifferenceModeText = "－";
inline constexpr std::string_view kSumModeText = "＋";

inline bool IsDifferenceMode(std::string_view modeText) { return modeText == kDifferenceModeText; }

struct ScoredAnswer {
    int left = 0;      // the left digit as a single digit 0..9 (0 for a caption that is none)
    int right = 0;     // the right digit, likewise
    int expected = 0;  // sum mode: the last digit of left + right; difference: |left − right|
    bool correct = false;
};

// Reads both captions and the typed text with the lenient number reading (ReadNumber) and
// compares the typed value with the expected answer as doubles: "12" is wrong where 2 is
// expected, and a letter reads as 0.
ScoredAnswer ScoreAnswerText(std::string_view leftCaption, std::string_view rightCaption,
                             std::string_view typed, bool difference);

}  // namespace keta
