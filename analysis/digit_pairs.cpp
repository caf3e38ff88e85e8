#include "digit_pairs.h"

#include <algorithm>
#include <cstdint>

#include "stats.h"

namespace keta::analysis {

namespace {

struct Collector {
    std::array<std::array<std::vector<std::int64_t>, 10>, 10> times;
    std::vector<std::int64_t> all;
};

void Finish(PairTable& table, const Collector& collected) {
    for (std::size_t a = 0; a < 10; ++a) {
        for (std::size_t b = 0; b < 10; ++b) {
            PairCell& cell = table.cells[a][b];
            cell.errorRate = Ratio(cell.errors, cell.answers);
            cell.medianMs = Median(std::span<const std::int64_t>(collected.times[a][b]));
        }
    }
    table.errorRate = Ratio(table.errors, table.answers);
    table.medianMs = Median(std::span<const std::int64_t>(collected.all));
}

bool IsDigit(int value) { return value >= 0 && value <= 9; }

}  // namespace

PairFigures ComputePairs(std::span<const RoundRecord> rounds) {
    PairFigures out;
    Collector sum;
    Collector difference;
    for (const RoundRecord& round : rounds) {
        ++out.rounds;
        if (round.damaged) {
            ++out.damaged;
            continue;
        }
        const bool isDifference = ModeOf(round.modeText) == Mode::Difference;
        PairTable& table = isDifference ? out.difference : out.sum;
        Collector& collector = isDifference ? difference : sum;
        ++table.rounds;
        std::int64_t previousMs = 0;
        for (const AnswerRecord& event : round.events) {
            if (event.cleared) continue;
            // The gap is taken before the digit check so that a damaged answer still ends the
            // time of the one before it, as AnswerTimesMs does.
            const std::int64_t gap = std::max<std::int64_t>(0, event.ms - previousMs);
            previousMs = event.ms;
            if (!IsDigit(event.left) || !IsDigit(event.right)) {
                ++out.skipped;
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
    Finish(out.sum, sum);
    Finish(out.difference, difference);
    return out;
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

}  // namespace keta::analysis
