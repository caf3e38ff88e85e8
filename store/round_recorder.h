#pragma once
// Takes the drill's reports of timed play down in memory and hands each round over at its
// close; nothing touches the disk while a round is played. The window hands them to a writer
// on a thread of its own, so that the close never waits for the disk.

#include <QDateTime>
#include <QElapsedTimer>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "answer_log.h"
#include "answer_observer.h"
#include "log_queue.h"
#include "round_record.h"

namespace keta {

class RoundRecorder : public AnswerObserver {
public:
    // `now` gives the local wall-clock time for a round's start. Writes to `log` at each
    // close, on the caller's thread.
    explicit RoundRecorder(AnswerLog& log,
                           std::function<QDateTime()> now = &QDateTime::currentDateTime);
    // Hands the rounds to `sink`.
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
    void SetKind(analysis::RoundKind kind, int focusPercent = 0, std::string focusPairs = {});

    // Rounds closed but not yet in the log (another program held it locked, or the disk
    // refused them); tried again at the next close or save.
    std::size_t PendingRounds() const { return sink_->PendingRounds(); }

    // Events that fit before the vector of a round grows during play.
    static constexpr std::size_t kReservedEvents = 2048;
    // Rounds kept for a later try at most; beyond that the oldest go, and the user is told.
    static constexpr std::size_t kMaxPending = LogQueue::kMaxPending;

private:
    std::unique_ptr<LogQueue> ownQueue_;
    RoundSink* sink_;
    std::function<QDateTime()> now_;
    QElapsedTimer sincePlay_;
    bool playing_ = false;
    analysis::RoundRecord current_;
    analysis::RoundKind kind_ = analysis::RoundKind::Drill;
    int focusPercent_ = 0;
    std::string focusPairs_;
    std::uint64_t closedRounds_ = 0;  // serial of the round closed last
};

}  // namespace keta
