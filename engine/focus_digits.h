#pragma once
// Digits for a focus round.
//
// A row of kDigitCount digits is dealt from left to right. While at least two digits of the row
// are still to come, the next two digits are, with probability β, one chosen pair (pair P picked
// with probability w_P), and otherwise the next digit is a free one, drawn uniformly from 0..9.
// The row's last digit, when only one is left, is free.
//
// The share is the expected part of the row's kBoxCount neighbouring pairs that are chosen
// pairs: the planted ones and those that come by chance, at the joins and between free digits.
// It is computed exactly over the row (no sampling), and β is set so that it equals the chosen
// percent. β is capped: at kMostPairChanceOne (0.55) when one pair is chosen, which keeps rows
// such as 787878787878787 rare, at kMostPairChance (0.8) for two pairs or more, and lower where
// needed so that no chosen pair's expected count is more than kMostImbalance (1.6) times
// another's. A percent beyond the share at the cap runs at the cap, and MostShare() is the most
// the set reaches; a percent below the share at β = 0 (digits wholly at random: the number of
// chosen pairs in 100) runs at β = 0.
//
// The weights w_P (summing to 1) are fitted so that every chosen pair's expected count per row,
// planted and by chance, is the same: the pairs that come least by chance get the most weight.
// Chance alone can bring a pair that joins the end of many chosen pairs to the start of many
// others (5+6 among 1+5, 2+5, ..., 6+7, 6+8, ...) more often than the others come; that pair
// then gets no weight, the others share it equally, and the cap on β above bounds the excess.

#include <array>
#include <span>
#include <vector>

#include "drill_view.h"
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

inline constexpr double kMostPairChanceOne = 0.55;
inline constexpr double kMostPairChance = 0.8;
inline constexpr double kMostImbalance = 1.6;

class FocusDigits {
public:
    // Pairs outside 0..9 and repeats are ignored; a percent outside 0..100 is clamped.
    FocusDigits(std::span<const DigitPair> pairs, int percent);

    // Starts a row: reseeds from the clock as the drill does (a fixed reading repeats the
    // digits, which the tests use) and forgets the previous row's digits.
    void StartRow(double secondsSinceMidnight);
    int Next();
    // Whether the digit Next() gave last was a free one rather than half of a planted pair.
    bool LastWasFree() const { return lastFree_; }

    bool IsFocus(int left, int right) const;

    // The expected share of chosen neighbouring pairs, 0..1, at the β in use.
    double ExpectedShare() const { return share_; }
    // The expected share at the cap of β: the most this set can reach.
    double MostShare() const { return mostShare_; }
    // Whether the share in use is the chosen percent.
    bool ReachesSetting() const { return reaches_; }
    double PairChance() const { return beta_; }  // β

    // The chosen pairs, in the order first given, with their weights and expected counts per row.
    const std::vector<DigitPair>& Chosen() const { return chosen_; }
    const std::vector<double>& Weights() const { return weights_; }
    const std::vector<double>& ExpectedCounts() const { return counts_; }

private:
    RandomSource random_;
    std::array<std::array<bool, 10>, 10> focus_{};
    std::vector<DigitPair> chosen_;
    std::vector<double> weights_;
    std::vector<double> cumulative_;  // running sums of weights_, for drawing a pair
    std::vector<double> counts_;
    double beta_ = 0.0;
    double share_ = 0.0;
    double mostShare_ = 0.0;
    bool reaches_ = false;

    int dealt_ = 0;          // digits dealt in this row
    int pendingRight_ = -1;  // the right half of the pair just planted, until it is dealt
    bool lastFree_ = false;
};

}  // namespace keta
