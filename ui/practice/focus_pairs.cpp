#include "focus_pairs.h"

#include <QFileInfo>
#include <algorithm>

#include "answer_log_rounds.h"

namespace keta {

std::optional<analysis::PairFigures> LoggedPairFigures(const QString& logPath, QString* error) {
    analysis::PairCounter counter;
    if (!QFileInfo::exists(logPath)) return counter.Finish();
    if (!ForEachLoggedRound(
            logPath, [&counter](const analysis::RoundRecord& round) { counter.Add(round); }, error))
        return std::nullopt;
    return counter.Finish();
}

LogStamp LogStampOf(const QString& logPath) {
    return {StampOf(logPath), StampOf(logPath + QStringLiteral("-wal"))};
}

std::vector<DigitPair> WeakestOf(const analysis::PairFigures& figures, analysis::Mode mode) {
    std::vector<DigitPair> pairs;
    for (const analysis::WeakPair& w : analysis::WeakestPairs(figures.of(mode)))
        pairs.push_back({w.left, w.right});
    return pairs;
}

std::string PairsText(std::span<const DigitPair> pairs) {
    std::string text;
    for (const DigitPair& p : pairs) {
        if (!text.empty()) text += ' ';
        text += static_cast<char>('0' + p.left);
        text += static_cast<char>('0' + p.right);
    }
    return text;
}

std::vector<FocusPairResult> FocusResults(std::span<const DigitPair> pairs,
                                          const analysis::RoundRecord& round,
                                          const analysis::PairFigures& before,
                                          const analysis::PairFigures& after) {
    const analysis::Mode mode = analysis::ModeOf(round.modeText);
    const analysis::PairFigures now = analysis::ComputePairs(std::span(&round, 1));
    const std::vector<DigitPair> weakest = WeakestOf(after, mode);
    std::vector<FocusPairResult> rows;
    for (const DigitPair& p : pairs) {
        FocusPairResult r;
        r.pair = p;
        r.round = now.of(mode).at(p.left, p.right);
        r.before = before.of(mode).at(p.left, p.right);
        r.stillWeak = std::find(weakest.begin(), weakest.end(), p) != weakest.end();
        using Verdict = FocusPairResult::Verdict;
        r.verdict = r.round.answers == 0                              ? Verdict::NotDrilled
                    : r.round.answers < analysis::kFewestAnswersRated ? Verdict::TooFew
                    : r.stillWeak                                     ? Verdict::StillWeak
                                                                      : Verdict::DroppedOut;
        rows.push_back(r);
    }
    return rows;
}

}  // namespace keta
