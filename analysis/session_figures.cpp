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

}  // namespace

SessionHalfFigures ComputeHalfFigures(std::span<const LineCount> lines) {
    SessionHalfFigures f;
    f.lines = static_cast<int>(lines.size());
    std::vector<double> counts;
    counts.reserve(lines.size());
    for (const LineCount& line : lines) {
        const int answers = std::max(0, line.answers);
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
    if (n >= 2) {
        const std::span<const double> all(counts);
        f.initialEffort = AgainstMean(counts.front(), all.subspan(1));
        f.finalEffort = AgainstMean(counts.back(), all.first(n - 1));
        double steps = 0.0;
        for (std::size_t k = 1; k < n; ++k) steps += std::fabs(counts[k] - counts[k - 1]);
        f.fluctuation = Ratio(steps / static_cast<double>(n - 1), *f.meanPerLine);
        std::vector<double> lineNumbers(n);
        for (std::size_t k = 0; k < n; ++k) lineNumbers[k] = static_cast<double>(k + 1);
        f.slope = LeastSquaresSlope(lineNumbers, counts);
    }
    if (n >= 1) {
        const auto [low, high] = std::minmax_element(counts.begin(), counts.end());
        f.largestGap = Ratio(*high - *low, *f.meanPerLine);
    }
    return f;
}

SessionFigures ComputeSessionFigures(std::span<const LineCount> firstHalf,
                                     std::span<const LineCount> secondHalf) {
    SessionFigures s;
    s.first = ComputeHalfFigures(firstHalf);
    s.second = ComputeHalfFigures(secondHalf);
    s.answers = s.first.answers + s.second.answers;
    s.correct = s.first.correct + s.second.correct;
    s.errors = s.first.errors + s.second.errors;
    s.accuracy = Ratio(static_cast<double>(s.correct), static_cast<double>(s.answers));
    if (s.first.meanPerLine && s.second.meanPerLine)
        s.restEffect = Ratio(*s.second.meanPerLine, *s.first.meanPerLine);
    return s;
}

}  // namespace keta::analysis
