#pragma once
// Digits for a focus round: each next digit makes one of the chosen (left, right) pairs with the
// previous digit at a set rate, and is drawn uniformly from the other digits otherwise.

#include <array>
#include <span>

#include "random_source.h"

namespace keta {

struct DigitPair {
    int left = 0;
    int right = 0;
    friend bool operator==(const DigitPair&, const DigitPair&) = default;
};

// The rates a person can choose, in percent.
inline constexpr std::array<int, 3> kFocusPercents{25, 50, 75};
inline constexpr int kDefaultFocusPercent = 50;

class FocusDigits {
public:
    // Pairs outside 0..9 are ignored; a percent outside 0..100 is clamped.
    FocusDigits(std::span<const DigitPair> pairs, int percent);

    // Starts a row: reseeds from the clock as the drill does (a fixed reading repeats the
    // digits, which the tests use) and forgets the previous row's digits.
    void StartRow(double secondsSinceMidnight);
    int Next();

    bool IsFocus(int left, int right) const;

private:
    // True when `next` would make the same pair a third time in a row, either back to back
    // ("7777" for 7 and 7) or alternating ("787878").
    bool WouldRepeat(int next) const;
    int DrawAmong(const std::array<bool, 10>& allowed, int count);
    // One of the allowed digits that starts a pair; any allowed digit when none does.
    int DrawLead(const std::array<bool, 10>& allowed, int count);

    RandomSource random_;
    std::array<std::array<bool, 10>, 10> focus_{};
    std::array<bool, 10> starts_{};  // digits that are the left of some pair
    float rate_ = 0.5f;
    // Focus pairs the previous digits could not continue into; paid back at the next chance
    // so that the share over a round stays at the chosen rate. Capped: some pair sets cannot
    // reach a high rate at all, and an unbounded debt would then turn every chance into a pair.
    int owed_ = 0;
    std::array<int, 5> last_{};  // the last digits of the row, newest first
    int length_ = 0;             // digits dealt in this row
};

}  // namespace keta
