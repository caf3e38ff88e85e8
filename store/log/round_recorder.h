#pragma once
// Takes the drill's reports of timed play down in memory and hands each round over at its
// close; nothing touches the disk while a round is played. The rounds go to the log's owner,
// which writes on a thread of its own, so that the close never waits for the disk.

#include <QDateTime>
#include <QElapsedTimer>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "answer_log.h"
#include "answer_observer.h"
#include "round_notes.h"
#include "round_record.h"
#include "round_sink.h"

namespace keta {

class RoundRecorder : public AnswerObserver {
public:
    // Hands the rounds to `sink`; `now` gives the local wall-clock time for a round's start.
    explicit RoundRecorder(RoundSink& sink,
                           std::function<QDateTime()> now = &QDateTime::currentDateTime);
    ~RoundRecorder() override;

    void PlayStarted() override;
    void AnswerScored(int box, int left, int right, const std::string& typed, int expected,
                      bool correct) override;
    void BoxClearedByClick(int box) override;
    void RoundClosed(const RoundSummary& summary) override;

    // The history file got a line with these date and time texts: it holds the counters of
    // the round closed last, so the save is recorded for that round.
    void ResultSaved(const QString& dateText, const QString& timeText);

    // The rounds that close from now on are of this kind (focus rounds with their share in
    // percent and their pairs as "78 96"); the drill's until set.
    void SetKind(analysis::RoundKind kind, int focusPercent = 0, std::string focusPairs = {}) {
        notes_.SetKind(kind, focusPercent, std::move(focusPairs));
    }

    // Rounds closed but not yet in the log (another program held it locked, or the disk
    // refused them); kept and tried again.
    std::size_t PendingRounds() const { return sink_->PendingRounds(); }

private:
    RoundSink* sink_;
    std::function<QDateTime()> now_;
    QElapsedTimer sincePlay_;
    RoundNotes notes_;
    std::uint64_t lastRound_ = 0;  // the ticket of the round closed last; 0 before any
};

}  // namespace keta
