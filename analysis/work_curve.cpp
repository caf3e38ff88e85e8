#include "work_curve.h"

#include <algorithm>
#include <cstddef>

namespace keta::analysis {

std::int64_t BinWidthMs(int timeLimitSeconds) { return timeLimitSeconds > 60 ? 10000 : 5000; }

WorkCurve ComputeWorkCurve(const RoundRecord& round) {
    WorkCurve curve;
    curve.binWidthMs = BinWidthMs(round.timeLimit);
    curve.limitMs = round.timeLimit > 0 ? std::int64_t{round.timeLimit} * 1000 : 0;
    if (curve.limitMs > 0) {
        const std::int64_t count = (curve.limitMs + curve.binWidthMs - 1) / curve.binWidthMs;
        curve.bins.resize(static_cast<std::size_t>(count));
        for (std::int64_t k = 0; k < count; ++k) {
            WorkBin& bin = curve.bins[static_cast<std::size_t>(k)];
            bin.startMs = k * curve.binWidthMs;
            bin.endMs = std::min(bin.startMs + curve.binWidthMs, curve.limitMs);
        }
    }
    for (const AnswerRecord& event : round.events) {
        if (event.cleared) continue;
        ++curve.answers;
        if (!event.correct) ++curve.errors;
        if (curve.bins.empty()) continue;
        std::int64_t k = 0;
        if (event.ms >= curve.limitMs) {
            ++curve.lateAnswers;
            k = static_cast<std::int64_t>(curve.bins.size()) - 1;
        } else if (event.ms < 0) {
            ++curve.earlyAnswers;
        } else {
            k = event.ms / curve.binWidthMs;
        }
        WorkBin& bin = curve.bins[static_cast<std::size_t>(k)];
        ++bin.answers;
        if (!event.correct) ++bin.errors;
    }
    for (WorkBin& bin : curve.bins) {
        bin.rate = static_cast<double>(bin.answers) / bin.seconds();
        bin.correctRate = static_cast<double>(bin.correct()) / bin.seconds();
    }
    return curve;
}

}  // namespace keta::analysis
