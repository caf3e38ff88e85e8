// The practice figures over the largest inputs they meet: the digit pairs of 1 000 rounds of
// 300 answers, the progress of the longest history, and the indices of the longest round.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "digit_pairs.h"
#include "progress.h"
#include "round_indices.h"
#include "work_curve.h"

namespace keta::analysis {
namespace {

// Rounds of `answers` answers over 60 s, random digits, about one answer in ten wrong and one
// clearing click in twenty, half of them in each mode.
std::vector<RoundRecord> Rounds(int count, int answers) {
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> digit(0, 9);
    std::uniform_int_distribution<int> gap(80, 400);
    std::uniform_int_distribution<int> percent(0, 99);
    std::vector<RoundRecord> rounds(static_cast<std::size_t>(count));
    for (int r = 0; r < count; ++r) {
        RoundRecord& round = rounds[static_cast<std::size_t>(r)];
        round.timeLimit = 60;
        round.modeText = r % 2 == 0 ? "\xEF\xBC\x8B" : "\xEF\xBC\x8D";
        std::int64_t ms = 0;
        for (int i = 0; i < answers; ++i) {
            AnswerRecord a;
            ms += gap(random);
            a.ms = ms;
            a.left = digit(random);
            a.right = digit(random);
            a.correct = percent(random) >= 10;
            a.typed = "5";
            if (percent(random) < 5) {
                AnswerRecord clear = a;
                clear.cleared = true;
                clear.typed.clear();
                round.events.push_back(clear);
            }
            round.events.push_back(a);
        }
    }
    return rounds;
}

void BM_PairsOf1000RoundsOf300(benchmark::State& state) {
    const std::vector<RoundRecord> rounds = Rounds(1000, 300);
    for (auto _ : state) {
        const PairFigures figures = ComputePairs(rounds);
        benchmark::DoNotOptimize(WeakestPairs(figures.sum));
        benchmark::DoNotOptimize(WeakestPairs(figures.difference));
    }
    state.SetItemsProcessed(state.iterations() * 300000);
}
BENCHMARK(BM_PairsOf1000RoundsOf300)->Unit(benchmark::kMillisecond);

void BM_ProgressOf32766Results(benchmark::State& state) {
    std::mt19937 random(6789);
    std::uniform_int_distribution<int> limit(1, 18);
    std::vector<HistoryPoint> history(32766);
    for (std::size_t i = 0; i < history.size(); ++i) {
        HistoryPoint& h = history[i];
        // A few results a day over about ten years, written in time order.
        const auto day = static_cast<int>(i / 10);
        const int year = 2004 + day / 336;
        const int month = 1 + day / 28 % 12;
        const int dayOfMonth = 1 + day % 28;
        char date[16];
        char time[16];
        std::snprintf(date, sizeof date, "%04d/%02d/%02d", year, month, dayOfMonth);
        std::snprintf(time, sizeof time, "%02d:%02d:%02d", static_cast<int>(i % 10) * 2, 5, 9);
        h.date = date;
        h.time = time;
        h.answers = 20 + static_cast<int>(i % 180);
        h.correct = h.answers - static_cast<int>(i % 7);
        h.wrong = h.answers - h.correct;
        h.timeLimit = limit(random) * 10;
        h.modeText = i % 3 == 0 ? "\xEF\xBC\x8D" : "\xEF\xBC\x8B";
    }
    for (auto _ : state) benchmark::DoNotOptimize(ComputeProgress(history));
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(history.size()));
}
BENCHMARK(BM_ProgressOf32766Results)->Unit(benchmark::kMillisecond);

void BM_IndicesOfTheLongestRound(benchmark::State& state) {
    const std::vector<RoundRecord> rounds = Rounds(1, 32767);
    for (auto _ : state) {
        const WorkCurve curve = ComputeWorkCurve(rounds[0]);
        benchmark::DoNotOptimize(ComputeIndices(rounds[0], curve));
    }
}
BENCHMARK(BM_IndicesOfTheLongestRound)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace keta::analysis

BENCHMARK_MAIN();
