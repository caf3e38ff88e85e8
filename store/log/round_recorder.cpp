#include "round_recorder.h"

#include <utility>

namespace keta {

RoundRecorder::RoundRecorder(RoundSink& sink, std::function<QDateTime()> now)
    : sink_(&sink), now_(std::move(now)) {
    current_.events.reserve(kReservedEvents);
}

RoundRecorder::~RoundRecorder() = default;

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
    current_.kind = kind_;
    current_.focusPercent = focusPercent_;
    current_.focusPairs = focusPairs_;
    lastRound_ = sink_->TakeRound(std::move(current_));
    current_ = analysis::RoundRecord();
}

void RoundRecorder::SetKind(analysis::RoundKind kind, int focusPercent, std::string focusPairs) {
    kind_ = kind;
    focusPercent_ = focusPercent;
    focusPairs_ = std::move(focusPairs);
}

void RoundRecorder::ResultSaved(const QString& dateText, const QString& timeText) {
    if (lastRound_ == 0) return;  // a save before any logged round belongs to none
    sink_->TakeSave(lastRound_, {dateText, timeText});
}

}  // namespace keta
