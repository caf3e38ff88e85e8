#include "round_recorder.h"

#include <utility>

namespace keta {

RoundRecorder::RoundRecorder(RoundSink& sink, std::function<QDateTime()> now)
    : sink_(&sink), now_(std::move(now)) {}

RoundRecorder::~RoundRecorder() = default;

void RoundRecorder::PlayStarted() {
    notes_.Start(now_().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toStdString());
    sincePlay_.start();
}

void RoundRecorder::AnswerScored(int box, int left, int right, const std::string& typed,
                                 int expected, bool correct) {
    if (notes_.Playing())
        notes_.Answer(sincePlay_.elapsed(), box, left, right, typed, expected, correct);
}

void RoundRecorder::BoxClearedByClick(int box) {
    if (notes_.Playing()) notes_.Cleared(sincePlay_.elapsed(), box);
}

void RoundRecorder::RoundClosed(const RoundSummary& summary) {
    if (auto round = notes_.Close(summary)) lastRound_ = sink_->TakeRound(std::move(*round));
}

void RoundRecorder::ResultSaved(const QString& dateText, const QString& timeText) {
    if (lastRound_ == 0) return;  // a save before any logged round belongs to none
    sink_->TakeSave(lastRound_, {dateText, timeText});
}

}  // namespace keta
