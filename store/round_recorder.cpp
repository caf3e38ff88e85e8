#include "round_recorder.h"

#include <utility>

namespace keta {

RoundRecorder::RoundRecorder(AnswerLog& log, std::function<QDateTime()> now)
    : log_(log), now_(std::move(now)) {
    current_.events.reserve(kReservedEvents);
}

void RoundRecorder::PlayStarted() {
    current_ = analysis::RoundRecord();
    current_.events.reserve(kReservedEvents);  // the keystrokes must not allocate
    current_.startedAt = now_().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toStdString();
    sincePlay_.start();
    playing_ = true;
}

void RoundRecorder::AnswerScored(int box, int left, int right, const std::string& typed,
                                 int expected, bool correct) {
    if (!playing_) return;
    analysis::AnswerRecord& a = current_.events.emplace_back();
    a.ms = sincePlay_.elapsed();
    a.box = box;
    a.left = left;
    a.right = right;
    a.typed = typed;
    a.expected = expected;
    a.correct = correct;
}

void RoundRecorder::BoxClearedByClick(int box) {
    if (!playing_) return;
    analysis::AnswerRecord& a = current_.events.emplace_back();
    a.ms = sincePlay_.elapsed();
    a.box = box;
    a.cleared = true;
}

void RoundRecorder::RoundClosed(const RoundSummary& summary) {
    if (!playing_) return;
    playing_ = false;
    current_.answers = summary.answers;
    current_.correct = summary.correct;
    current_.wrong = summary.wrong;
    current_.timeLimit = summary.timeLimit;
    current_.modeText = summary.modeText;
    lastWrittenId_.reset();
    pending_.push_back({++closedRounds_, std::move(current_), {}});
    current_ = analysis::RoundRecord();
    if (pending_.size() > kMaxPending) pending_.pop_front();
    Flush();
}

void RoundRecorder::ResultSaved(const QString& dateText, const QString& timeText) {
    if (closedRounds_ == 0) return;  // a save before any logged round belongs to none
    if (!pending_.empty() && pending_.back().serial == closedRounds_) {
        pending_.back().saves.push_back({dateText, timeText});
    } else if (lastWrittenId_) {
        pendingSaves_.push_back({*lastWrittenId_, {dateText, timeText}});
        if (pendingSaves_.size() > kMaxPending) pendingSaves_.pop_front();
    } else {
        return;  // the round was given up: nothing to tie the save to
    }
    Flush();
}

void RoundRecorder::Flush() {
    while (!pending_.empty()) {
        Pending& p = pending_.front();
        const AnswerLog::WriteResult result = log_.WriteRound(p.round, p.saves);
        if (result == AnswerLog::WriteResult::Written) {
            if (p.serial == closedRounds_) lastWrittenId_ = p.round.id;
            pending_.pop_front();
            continue;
        }
        // A log that cannot be opened this run will not take them later either.
        if (!log_.IsAvailable()) pending_.clear();
        return;
    }
    while (!pendingSaves_.empty()) {
        const AnswerLog::WriteResult result =
            log_.AddSave(pendingSaves_.front().roundId, pendingSaves_.front().save);
        if (result == AnswerLog::WriteResult::Busy) return;
        // Written, or refused for good (its round was set aside with a damaged file).
        pendingSaves_.pop_front();
    }
}

}  // namespace keta
