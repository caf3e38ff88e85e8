#include "work_curve.h"

#include <algorithm>
#include <cctype>
#include <cstddef>

#include "number_text.h"

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

std::optional<double> CorrectPerSecond(const RoundRecord& round) {
    if (round.timeLimit <= 0) return std::nullopt;
    return static_cast<double>(round.correct) / static_cast<double>(round.timeLimit);
}

RoundStamp StartStamp(const RoundRecord& round) {
    const std::string& s = round.startedAt;
    const auto digitsAt = [&s](std::size_t from, std::size_t count) {
        for (std::size_t i = from; i < from + count; ++i) {
            if (std::isdigit(static_cast<unsigned char>(s[i])) == 0) return false;
        }
        return true;
    };
    RoundStamp stamp;
    if (s.size() < 19 || !digitsAt(0, 4) || s[4] != '-' || !digitsAt(5, 2) || s[7] != '-' ||
        !digitsAt(8, 2) || s[10] != 'T' || !digitsAt(11, 2) || s[13] != ':' || !digitsAt(14, 2) ||
        s[16] != ':' || !digitsAt(17, 2)) {
        return stamp;
    }
    stamp.date = s.substr(0, 4) + '/' + s.substr(5, 2) + '/' + s.substr(8, 2);
    stamp.time = s.substr(11, 8);
    return stamp;
}

std::string RoundTitle(const RoundRecord& round, const RoundStamp& stamp) {
    const std::string dot = "\xE3\x83\xBB";  // ・
    std::string when = stamp.date;
    if (!stamp.time.empty()) when += (when.empty() ? "" : " ") + stamp.time;
    if (!stamp.saved)
        when += (when.empty() ? "" : " ") + std::string("\xE9\x96\x8B\xE5\xA7\x8B");  // 開始
    std::string title = when;
    title += dot + (round.modeText.empty() ? std::string("?") : round.modeText);
    title += dot + std::to_string(round.timeLimit) + "\xE7\xA7\x92";                    // 秒
    title += dot + "\xE6\xAD\xA3\xE8\xA7\xA3 " + std::to_string(round.correct) + '/' +  // 正解
             std::to_string(round.answers);
    const std::optional<double> speed = CorrectPerSecond(round);
    title +=
        dot + (speed ? FormatPerSecond(*speed) : std::string("\xE3\x81\xAA\xE3\x81\x97"));  // なし
    if (round.kind == RoundKind::Focus) {
        // A focus round is never saved to the history: it is named for what it was.
        title +=
            dot +
            "\xE8\x8B\xA6\xE6\x89\x8B\xE5\x85\x8B\xE6\x9C\x8D\xE3\x81\xAE\xE5\x9B\x9E";  // 苦手克服の回
    } else if (!stamp.saved) {
        title += dot +
                 "\xE4\xBF\x9D\xE5\xAD\x98\xE3\x81\x97\xE3\x81\xAA\xE3\x81\x8B\xE3\x81\xA3\xE3\x81"
                 "\x9F\xE5\x9B\x9E";  // 保存しなかった回
    }
    return title;
}

}  // namespace keta::analysis
