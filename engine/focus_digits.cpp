#include "focus_digits.h"

#include <algorithm>
#include <cmath>

namespace keta {

namespace {

// The expected number of each kind of neighbouring pair in a row at a given β, by the step
// that ends before it and the step that starts it: free or planted. Together with `planted`,
// the pairs inside planted pairs, they add up to the row's kBoxCount neighbours.
struct Joins {
    double freeFree = 0.0;
    double plantedFree = 0.0;
    double freePlanted = 0.0;
    double plantedPlanted = 0.0;
    double planted = 0.0;
};

// Steps are drawn independently of the digits before them: a free digit is uniform and a
// planted pair is pair P with probability w_P whatever came first. So a join's two digits depend
// only on the kinds of the steps on either side, and the row reduces to where the steps start
// and after which kind of step: no digit needs tracking, and β alone sets these sums.
Joins JoinsAt(double beta) {
    // A step starts at position i (i digits dealt) after a free step with probability
    // afterFree[i] and after a planted pair with probability afterPlanted[i].
    std::array<double, kDigitCount + 2> afterFree{};
    std::array<double, kDigitCount + 2> afterPlanted{};
    Joins j;
    for (int i = 0; i < kDigitCount; ++i) {
        const auto at = static_cast<std::size_t>(i);
        const double start = i == 0 ? 1.0 : afterFree[at] + afterPlanted[at];
        const double plant = kDigitCount - i >= 2 ? beta : 0.0;
        afterFree[at + 1] += start * (1.0 - plant);
        afterPlanted[at + 2] += start * plant;
        j.freeFree += afterFree[at] * (1.0 - plant);
        j.plantedFree += afterPlanted[at] * (1.0 - plant);
        j.freePlanted += afterFree[at] * plant;
        j.plantedPlanted += afterPlanted[at] * plant;
        j.planted += start * plant;
    }
    return j;
}

// Each pair's expected count per row for weights summing to 1: planted, and by chance where a
// free digit or a planted pair's right half meets a free digit or a planted pair's left half.
void CountPairs(const Joins& j, const std::vector<DigitPair>& pairs,
                const std::vector<double>& weights, std::vector<double>& counts) {
    std::array<double, 10> ending{};    // weight of the pairs with this right digit
    std::array<double, 10> starting{};  // weight of the pairs with this left digit
    for (std::size_t k = 0; k < pairs.size(); ++k) {
        ending[static_cast<std::size_t>(pairs[k].right)] += weights[k];
        starting[static_cast<std::size_t>(pairs[k].left)] += weights[k];
    }
    counts.resize(pairs.size());
    for (std::size_t k = 0; k < pairs.size(); ++k) {
        const double end = ending[static_cast<std::size_t>(pairs[k].left)];
        const double start = starting[static_cast<std::size_t>(pairs[k].right)];
        counts[k] = j.freeFree / 100.0 + j.plantedFree * end / 10.0 + j.freePlanted * start / 10.0 +
                    j.plantedPlanted * end * start + j.planted * weights[k];
    }
}

struct Fit {
    std::vector<double> weights;
    std::vector<double> counts;
    double share = 0.0;
};

// Weights that make the expected counts at β equal. Each round holds every pair's chance count
// at its value under the current weights and pours the planted pairs in like water: every pair
// with a weight gets the same count, and a pair that chance alone brings more often than that
// gets none. The chance counts move with the weights, so the rounds go on until the weights
// settle; `start` (weights of a nearby β) saves rounds.
Fit FitAt(const std::vector<DigitPair>& pairs, double beta, const std::vector<double>* start) {
    constexpr int kMostRounds = 400;
    const Joins j = JoinsAt(beta);
    Fit fit;
    if (start != nullptr) {
        fit.weights = *start;
    } else {
        fit.weights.assign(pairs.size(), 1.0 / static_cast<double>(pairs.size()));
    }
    std::vector<double> chance(pairs.size());
    std::vector<double> sorted(pairs.size());
    for (int round = 0; j.planted > 0.0 && round < kMostRounds; ++round) {
        CountPairs(j, pairs, fit.weights, fit.counts);
        for (std::size_t k = 0; k < pairs.size(); ++k)
            chance[k] = fit.counts[k] - j.planted * fit.weights[k];
        // The level L with the sum of max(0, L - chance) equal to the planted pairs.
        sorted = chance;
        std::sort(sorted.begin(), sorted.end());
        double level = 0.0;
        double below = 0.0;
        for (std::size_t m = 1; m <= sorted.size(); ++m) {
            below += sorted[m - 1];
            level = (j.planted + below) / static_cast<double>(m);
            if (m == sorted.size() || level <= sorted[m]) break;
        }
        double change = 0.0;
        for (std::size_t k = 0; k < pairs.size(); ++k) {
            const double w = std::max(0.0, level - chance[k]) / j.planted;
            change = std::max(change, std::abs(w - fit.weights[k]));
            fit.weights[k] = w;
        }
        if (change < 1e-13) break;
    }
    CountPairs(j, pairs, fit.weights, fit.counts);
    double sum = 0.0;
    for (const double c : fit.counts) sum += c;
    fit.share = sum / kBoxCount;
    return fit;
}

// The most expected count over the fewest.
double Imbalance(const Fit& fit) {
    const auto [fewest, most] = std::minmax_element(fit.counts.begin(), fit.counts.end());
    return *most / *fewest;
}

}  // namespace

FocusDigits::FocusDigits(std::span<const DigitPair> pairs, int percent) {
    for (const DigitPair& p : pairs) {
        if (p.left < 0 || p.left > 9 || p.right < 0 || p.right > 9) continue;
        bool& chosen = focus_[static_cast<std::size_t>(p.left)][static_cast<std::size_t>(p.right)];
        if (chosen) continue;
        chosen = true;
        chosen_.push_back(p);
    }
    const double target = static_cast<double>(std::clamp(percent, 0, 100)) / 100.0;
    if (chosen_.empty()) {
        reaches_ = target == 0.0;
        return;
    }
    double most = chosen_.size() == 1 ? kMostPairChanceOne : kMostPairChance;
    const Fit least = FitAt(chosen_, 0.0, nullptr);
    Fit fit = FitAt(chosen_, most, nullptr);
    if (Imbalance(fit) > kMostImbalance) {
        // Chance brings one pair too often at this β: the highest β that keeps it within the
        // bound (at β = 0 every pair comes equally often, and the imbalance grows with β).
        double low = 0.0;
        double high = most;
        for (int i = 0; i < 32; ++i) {
            const double mid = (low + high) / 2.0;
            fit = FitAt(chosen_, mid, &fit.weights);
            (Imbalance(fit) <= kMostImbalance ? low : high) = mid;
        }
        most = low;
        fit = FitAt(chosen_, most, &fit.weights);
    }
    mostShare_ = fit.share;
    constexpr double kClose = 1e-9;
    reaches_ = target >= least.share - kClose && target <= fit.share + kClose;
    if (target <= least.share) {
        fit = least;
        beta_ = 0.0;
    } else if (target >= fit.share) {
        beta_ = most;
    } else {
        // The share grows with β; 32 halvings leave β within 2e-10.
        double low = 0.0;
        double high = most;
        for (int i = 0; i < 32; ++i) {
            const double mid = (low + high) / 2.0;
            fit = FitAt(chosen_, mid, &fit.weights);
            (fit.share < target ? low : high) = mid;
        }
        beta_ = (low + high) / 2.0;
        fit = FitAt(chosen_, beta_, &fit.weights);
    }
    share_ = fit.share;
    weights_ = fit.weights;
    counts_ = fit.counts;
    double sum = 0.0;
    for (const double w : weights_) cumulative_.push_back(sum += w);
}

void FocusDigits::StartRow(double secondsSinceMidnight) {
    random_.Reseed(secondsSinceMidnight);
    dealt_ = 0;
    pendingRight_ = -1;
}

bool FocusDigits::IsFocus(int left, int right) const {
    if (left < 0 || left > 9 || right < 0 || right > 9) return false;
    return focus_[static_cast<std::size_t>(left)][static_cast<std::size_t>(right)];
}

int FocusDigits::Next() {
    int digit = 0;
    if (pendingRight_ >= 0) {
        digit = pendingRight_;
        pendingRight_ = -1;
        lastFree_ = false;
    } else if (kDigitCount - dealt_ >= 2 && !chosen_.empty() &&
               static_cast<double>(random_.Next()) < beta_) {
        const double x = static_cast<double>(random_.Next()) * cumulative_.back();
        const auto k = static_cast<std::size_t>(
            std::upper_bound(cumulative_.begin(), cumulative_.end(), x) - cumulative_.begin());
        // Rounding can put x at the very top: the last pair that has a weight then.
        std::size_t pick = std::min(k, chosen_.size() - 1);
        while (pick > 0 && weights_[pick] <= 0.0) --pick;
        digit = chosen_[pick].left;
        pendingRight_ = chosen_[pick].right;
        lastFree_ = false;
    } else {
        digit = std::min(static_cast<int>(static_cast<double>(random_.Next()) * 10.0), 9);
        lastFree_ = true;
    }
    ++dealt_;
    return digit;
}

}  // namespace keta
