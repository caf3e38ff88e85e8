#include "round_notes.h"

#include <utility>

namespace keta {

RoundNotes::RoundNotes() { current_.events.reserve(kReservedEvents); }

void RoundNotes::Start(std::string startedAt) {
    current_ = analysis::RoundRecord();
    current_.events.reserve(kReservedEvents);  // the keystrokes must not allocate
    current_.startedAt = std::move(startedAt);
    playing_ = true;
}

void RoundNotes::Answer(std::int64_t ms, int box, int left, int right, const std::string& typed,
                        int expected, bool correct) {
    if (!playing_) return;
    analysis::AnswerRecord& a = current_.events.emplace_back();
    a.ms = ms;
    a.box = box;
    a.left = left;
    a.right = right;
    a.typed = typed;
    a.expected = expected;
    a.correct = correct;
}

void RoundNotes::Cleared(std::int64_t ms, int box) {
    if (!playing_) return;
    analysis::AnswerRecord& a = current_.events.emplace_back();
    a.ms = ms;
    a.box = box;
    a.cleared = true;
}

std::optional<analysis::RoundRecord> RoundNotes::Close(const RoundSummary& summary) {
    if (!playing_) return std::nullopt;
    playing_ = false;
    current_.answers = summary.answers;
    current_.correct = summary.correct;
    current_.wrong = summary.wrong;
    current_.timeLimit = summary.timeLimit;
    current_.modeText = summary.modeText;
    current_.kind = kind_;
    current_.focusPercent = focusPercent_;
    current_.focusPairs = focusPairs_;
    std::optional<analysis::RoundRecord> round(std::move(current_));
    current_ = analysis::RoundRecord();
    return round;
}

void RoundNotes::SetKind(analysis::RoundKind kind, int focusPercent, std::string focusPairs) {
    kind_ = kind;
    focusPercent_ = focusPercent;
    focusPairs_ = std::move(focusPairs);
}

}  // namespace keta
