#include "session_figures.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "stats.h"

namespace keta::analysis {
namespace {

std::optional<double> Mean(std::span<const double> v) {
    if (v.empty()) return std::nullopt;
    double sum = 0.0;
    for (const double x : v) sum += x;
    return sum / static_cast<double>(v.size());
}

// a ÷ mean(rest); nullopt when rest is empty or its mean is 0.
std::optional<double> AgainstMean(double a, std::span<const double> rest) {
    const std::optional<double> m = Mean(rest);
    return m ? Ratio(a, *m) : std::nullopt;
}

int CountOf(const LineCount& line) { return std::max(0, line.answers); }

// The mean answers of the first k lines.
double MeanOfFirst(std::span<const LineCount> lines, std::size_t k) {
    double sum = 0.0;
    for (const LineCount& line : lines.first(k)) sum += CountOf(line);
    return sum / static_cast<double>(k);
}

}  // namespace

SessionHalfFigures ComputeHalfFigures(std::span<const LineCount> lines, int planned) {
    SessionHalfFigures f;
    f.lines = static_cast<int>(lines.size());
    std::vector<double> counts;
    counts.reserve(lines.size());
    for (const LineCount& line : lines) {
        const int answers = CountOf(line);
        const int errors = std::clamp(line.errors, 0, answers);
        f.answers += answers;
        f.errors += errors;
        f.linesWithErrors += errors > 0;
        counts.push_back(answers);
    }
    f.correct = f.answers - f.errors;
    f.accuracy = Ratio(static_cast<double>(f.correct), static_cast<double>(f.answers));
    f.meanPerLine = Mean(counts);

    const std::size_t n = counts.size();
    if (n >= 3) {
        // Both efforts against the middle lines, so neither baseline holds the other's spurt.
        const std::span<const double> middle = std::span<const double>(counts).subspan(1, n - 2);
        f.initialEffort = AgainstMean(counts.front(), middle);
        // A half stopped early has no last line: its last completed one is a middle line.
        if (f.lines >= planned) f.finalEffort = AgainstMean(counts.back(), middle);
    }
    if (n >= 2) {
        double steps = 0.0;
        for (std::size_t k = 1; k < n; ++k) steps += std::fabs(counts[k] - counts[k - 1]);
        f.meanChange = steps / static_cast<double>(n - 1);
        f.fluctuation = Ratio(*f.meanChange, *f.meanPerLine);
        const auto [low, high] = std::minmax_element(counts.begin(), counts.end());
        f.largestGap = Ratio(*high - *low, *f.meanPerLine);
        std::vector<double> lineNumbers(n);
        for (std::size_t k = 0; k < n; ++k) lineNumbers[k] = static_cast<double>(k + 1);
        f.slope = LeastSquaresSlope(lineNumbers, counts);
    }
    return f;
}

SessionFigures ComputeSessionFigures(std::span<const LineCount> firstHalf,
                                     std::span<const LineCount> secondHalf, int plannedFirst,
                                     int plannedSecond) {
    SessionFigures s;
    s.first = ComputeHalfFigures(firstHalf, plannedFirst);
    s.second = ComputeHalfFigures(secondHalf, plannedSecond);
    s.answers = s.first.answers + s.second.answers;
    s.correct = s.first.correct + s.second.correct;
    s.errors = s.first.errors + s.second.errors;
    s.accuracy = Ratio(static_cast<double>(s.correct), static_cast<double>(s.answers));
    // The same stretch of each half, so a longer half's tiring end does not weigh on one side.
    const bool complete = s.first.lines >= plannedFirst && s.second.lines >= plannedSecond;
    const std::size_t k = std::min(firstHalf.size(), secondHalf.size());
    if (complete && k > 0)
        s.restEffect = Ratio(MeanOfFirst(secondHalf, k), MeanOfFirst(firstHalf, k));
    return s;
}

}  // namespace keta::analysis
