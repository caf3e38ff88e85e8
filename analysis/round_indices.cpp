#include "round_indices.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>

#include "number_text.h"
#include "stats.h"

namespace keta::analysis {

std::vector<std::int64_t> AnswerTimesMs(const RoundRecord& round) {
    std::vector<std::int64_t> times;
    times.reserve(round.events.size());
    std::int64_t previous = 0;
    for (const AnswerRecord& event : round.events) {
        if (event.cleared) continue;
        times.push_back(std::max<std::int64_t>(0, event.ms - previous));
        previous = event.ms;
    }
    return times;
}

namespace {

void FillCurveIndices(const WorkCurve& curve, RoundIndices& out) {
    if (curve.bins.empty()) return;
    const double limitSeconds = static_cast<double>(curve.limitMs) / 1000.0;
    out.meanRate = Ratio(static_cast<double>(curve.answers), limitSeconds);
    const double mean = out.meanRate.value_or(0.0);

    out.initialEffort = Ratio(curve.bins.front().rate, mean);

    double lowest = curve.bins.front().rate;
    double highest = lowest;
    std::vector<double> minutes;
    std::vector<double> rates;
    minutes.reserve(curve.bins.size());
    rates.reserve(curve.bins.size());
    for (const WorkBin& bin : curve.bins) {
        lowest = std::min(lowest, bin.rate);
        highest = std::max(highest, bin.rate);
        minutes.push_back(static_cast<double>(bin.startMs + bin.endMs) / 2.0 / 60000.0);
        rates.push_back(bin.rate);
    }
    out.fluctuation = Ratio(highest - lowest, mean);
    out.trend = LeastSquaresSlope(minutes, rates);

    if (curve.bins.size() >= 2) {
        // A short last bin is not a fair "last full stretch", so the spurt looks at the last
        // bin of full width.
        auto last = curve.bins.size();
        while (last > 0 &&
               curve.bins[last - 1].endMs - curve.bins[last - 1].startMs != curve.binWidthMs) {
            --last;
        }
        if (last > 0) {
            const WorkBin& spurt = curve.bins[last - 1];
            int otherAnswers = 0;
            std::int64_t otherMs = 0;
            for (std::size_t i = 0; i < curve.bins.size(); ++i) {
                if (i == last - 1) continue;
                otherAnswers += curve.bins[i].answers;
                otherMs += curve.bins[i].endMs - curve.bins[i].startMs;
            }
            const auto otherMean =
                Ratio(static_cast<double>(otherAnswers), static_cast<double>(otherMs) / 1000.0);
            if (otherMean) out.endSpurt = Ratio(spurt.rate, *otherMean);
        }
    }
}

}  // namespace

RoundIndices ComputeIndices(const RoundRecord& round) {
    return ComputeIndices(round, ComputeWorkCurve(round));
}

RoundIndices ComputeIndices(const RoundRecord& round, const WorkCurve& curve) {
    RoundIndices out;
    const std::int64_t limitMs = round.timeLimit > 0 ? std::int64_t{round.timeLimit} * 1000 : 0;
    const std::int64_t middleMs = limitMs / 2;
    out.timed = limitMs > 0;

    std::int64_t previousMs = 0;
    bool previousWrong = false;
    int run = 0;
    std::vector<std::int64_t> times;
    std::vector<std::int64_t> afterError;
    times.reserve(round.events.size());
    for (const AnswerRecord& event : round.events) {
        if (event.cleared) continue;
        ++out.answers;
        if (event.correct) {
            ++out.correct;
            out.longestRightRun = std::max(out.longestRightRun, ++run);
        } else {
            ++out.errors;
            run = 0;
        }
        const std::int64_t gap = std::max<std::int64_t>(0, event.ms - previousMs);
        times.push_back(gap);
        if (previousWrong) afterError.push_back(gap);
        previousWrong = !event.correct;
        previousMs = event.ms;
        if (limitMs > 0) {
            HalfFigures& half = event.ms < middleMs ? out.firstHalf : out.secondHalf;
            ++half.answers;
            if (!event.correct) ++half.errors;
        }
    }
    out.accuracy = Ratio(out.correct, out.answers);
    if (limitMs > 0) {
        const double halfSeconds = static_cast<double>(limitMs) / 2000.0;
        out.firstHalf.rate = static_cast<double>(out.firstHalf.answers) / halfSeconds;
        out.secondHalf.rate = static_cast<double>(out.secondHalf.answers) / halfSeconds;
        out.halfRatio = Ratio(out.secondHalf.rate, out.firstHalf.rate);
    }
    out.medianMs = Median(std::span<const std::int64_t>(times));
    out.p90Ms = Quantile(std::span<const std::int64_t>(times), 0.9);
    out.answersAfterError = static_cast<int>(afterError.size());
    const auto afterErrorMedian = Median(std::span<const std::int64_t>(afterError));
    if (afterErrorMedian && out.medianMs) {
        out.postErrorSlowing = Ratio(*afterErrorMedian, *out.medianMs);
    }
    FillCurveIndices(curve, out);
    return out;
}

const char* IndexKey(IndexId id) {
    switch (id) {
        case IndexId::MeanRate:
            return "mean_rate";
        case IndexId::InitialEffort:
            return "initial_effort";
        case IndexId::EndSpurt:
            return "end_spurt";
        case IndexId::Fluctuation:
            return "fluctuation";
        case IndexId::Trend:
            return "trend";
        case IndexId::FirstHalfRate:
            return "first_half_rate";
        case IndexId::SecondHalfRate:
            return "second_half_rate";
        case IndexId::HalfRatio:
            return "half_ratio";
        case IndexId::LongestRightRun:
            return "longest_right_run";
        case IndexId::MedianMs:
            return "median_ms";
        case IndexId::P90Ms:
            return "p90_ms";
        case IndexId::PostErrorSlowing:
            return "post_error_slowing";
    }
    return "";
}

IndexUnit UnitOf(IndexId id) {
    switch (id) {
        case IndexId::MeanRate:
        case IndexId::FirstHalfRate:
        case IndexId::SecondHalfRate:
            return IndexUnit::PerSecond;
        case IndexId::Trend:
            return IndexUnit::PerSecondPerMinute;
        case IndexId::LongestRightRun:
            return IndexUnit::Count;
        case IndexId::MedianMs:
        case IndexId::P90Ms:
            return IndexUnit::Milliseconds;
        case IndexId::InitialEffort:
        case IndexId::EndSpurt:
        case IndexId::Fluctuation:
        case IndexId::HalfRatio:
        case IndexId::PostErrorSlowing:
            return IndexUnit::Ratio;
    }
    return IndexUnit::Ratio;
}

std::optional<double> IndexValue(const RoundIndices& indices, IndexId id) {
    const bool halves = indices.timed;
    switch (id) {
        case IndexId::MeanRate:
            return indices.meanRate;
        case IndexId::InitialEffort:
            return indices.initialEffort;
        case IndexId::EndSpurt:
            return indices.endSpurt;
        case IndexId::Fluctuation:
            return indices.fluctuation;
        case IndexId::Trend:
            return indices.trend;
        case IndexId::FirstHalfRate:
            return halves ? std::optional<double>(indices.firstHalf.rate) : std::nullopt;
        case IndexId::SecondHalfRate:
            return halves ? std::optional<double>(indices.secondHalf.rate) : std::nullopt;
        case IndexId::HalfRatio:
            return indices.halfRatio;
        case IndexId::LongestRightRun:
            return static_cast<double>(indices.longestRightRun);
        case IndexId::MedianMs:
            return indices.medianMs;
        case IndexId::P90Ms:
            return indices.p90Ms;
        case IndexId::PostErrorSlowing:
            return indices.postErrorSlowing;
    }
    return std::nullopt;
}

std::string FormatFigure(std::optional<double> value, int decimals,
                         const std::string& undefinedText) {
    if (!value || !std::isfinite(*value)) return undefinedText;
    // The drill's own rounding, so that a figure here and the same figure in the grid or the
    // history file agree to the last digit (a decimal half such as 0.575 rounds up, although
    // the nearest double lies just below it).
    std::string text = keta::FormatFixed(*value, std::clamp(decimals, 0, 9));
    if (text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
    return text;
}

std::string FormatPercentFigure(std::optional<double> ratio, const std::string& undefinedText) {
    if (!ratio || !std::isfinite(*ratio)) return undefinedText;
    return keta::FormatPercent(*ratio);
}

}  // namespace keta::analysis
