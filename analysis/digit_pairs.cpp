#include "digit_pairs.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "stats.h"

namespace keta::analysis {

struct PairCounter::Times {
    std::array<std::array<std::vector<std::int64_t>, 10>, 10> times;
    std::vector<std::int64_t> all;
};

namespace {

bool IsDigit(int value) { return value >= 0 && value <= 9; }

}  // namespace

PairCounter::PairCounter()
    : sum_(std::make_unique<Times>()), difference_(std::make_unique<Times>()) {}
PairCounter::~PairCounter() = default;

void PairCounter::Add(const RoundRecord& round) {
    ++figures_.rounds;
    if (round.damaged) {
        ++figures_.damaged;
        return;
    }
    const bool isDifference = ModeOf(round.modeText) == Mode::Difference;
    PairTable& table = isDifference ? figures_.difference : figures_.sum;
    Times& collector = isDifference ? *difference_ : *sum_;
    ++table.rounds;
    std::int64_t previousMs = 0;
    for (const AnswerRecord& event : round.events) {
        if (event.cleared) continue;
        // The gap is taken before the digit check so that a damaged answer still ends the
        // time of the one before it, as AnswerTimesMs does.
        const std::int64_t gap = std::max<std::int64_t>(0, event.ms - previousMs);
        previousMs = event.ms;
        if (!IsDigit(event.left) || !IsDigit(event.right)) {
            ++figures_.skipped;
            continue;
        }
        const auto a = static_cast<std::size_t>(event.left);
        const auto b = static_cast<std::size_t>(event.right);
        PairCell& cell = table.cells[a][b];
        ++cell.answers;
        ++table.answers;
        if (!event.correct) {
            ++cell.errors;
            ++table.errors;
        }
        collector.times[a][b].push_back(gap);
        collector.all.push_back(gap);
    }
}

PairFigures PairCounter::Finish() {
    const auto finish = [](PairTable& table, const Times& collected) {
        for (std::size_t a = 0; a < 10; ++a) {
            for (std::size_t b = 0; b < 10; ++b) {
                PairCell& cell = table.cells[a][b];
                cell.errorRate = Ratio(cell.errors, cell.answers);
                cell.medianMs = Median(std::span<const std::int64_t>(collected.times[a][b]));
            }
        }
        table.errorRate = Ratio(table.errors, table.answers);
        table.medianMs = Median(std::span<const std::int64_t>(collected.all));
    };
    finish(figures_.sum, *sum_);
    finish(figures_.difference, *difference_);
    return figures_;
}

PairFigures ComputePairs(std::span<const RoundRecord> rounds) {
    PairCounter counter;
    for (const RoundRecord& round : rounds) counter.Add(round);
    return counter.Finish();
}

std::vector<WeakPair> WeakestPairs(const PairTable& table, const WeakPairOptions& options) {
    const double modeRate = table.errorRate.value_or(0.0);
    const double prior = std::max(0.0, options.priorAnswers);
    std::vector<WeakPair> ranked;
    for (int a = 0; a < 10; ++a) {
        for (int b = 0; b < 10; ++b) {
            const PairCell& cell = table.at(a, b);
            if (cell.answers == 0 || cell.answers < options.minAnswers) continue;
            WeakPair pair;
            pair.left = a;
            pair.right = b;
            pair.answers = cell.answers;
            pair.errors = cell.errors;
            pair.medianMs = cell.medianMs;
            pair.smoothedErrorRate = (cell.errors + prior * modeRate) / (cell.answers + prior);
            double relativeTime = 1.0;
            if (cell.medianMs && table.medianMs) {
                relativeTime = Ratio(*cell.medianMs, *table.medianMs).value_or(1.0);
            }
            pair.score = pair.smoothedErrorRate + options.timeWeight * (relativeTime - 1.0);
            ranked.push_back(pair);
        }
    }
    std::sort(ranked.begin(), ranked.end(), [](const WeakPair& x, const WeakPair& y) {
        if (x.score != y.score) return x.score > y.score;
        if (x.errors != y.errors) return x.errors > y.errors;
        if (x.left != y.left) return x.left < y.left;
        return x.right < y.right;
    });
    if (ranked.size() > options.count) ranked.resize(options.count);
    return ranked;
}

std::array<int, 3> HeatRgb(double errorRate, double fullRate) {
    const double t = std::clamp(fullRate > 0.0 ? errorRate / fullRate : 0.0, 0.0, 1.0);
    // White to a strong red: the green and blue fade together.
    const int fade = static_cast<int>(std::lround(255.0 - t * (255.0 - 40.0)));
    return {t > 0.0 ? std::max(220, 255 - static_cast<int>(std::lround(t * 35.0))) : 255, fade,
            fade};
}

}  // namespace keta::analysis
