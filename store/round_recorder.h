#pragma once
// Takes the drill's reports of timed play down in memory and hands each round to the answer
// log at its close, in one write; nothing touches the disk while a round is played.

#include <QDateTime>
#include <QElapsedTimer>
#include <QString>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "answer_log.h"
#include "answer_observer.h"
#include "round_record.h"

namespace keta {

class RoundRecorder : public AnswerObserver {
public:
    // `now` gives the local wall-clock time for a round's start.
    explicit RoundRecorder(AnswerLog& log,
                           std::function<QDateTime()> now = &QDateTime::currentDateTime);

    void PlayStarted() override;
    void AnswerScored(int box, int left, int right, const std::string& typed, int expected,
                      bool correct) override;
    void BoxClearedByClick(int box) override;
    void RoundClosed(const RoundSummary& summary) override;

    // The history file got a line with these date and time texts: it holds the counters of
    // the round closed last, so the save is recorded for that round.
    void ResultSaved(const QString& dateText, const QString& timeText);

    // Rounds closed but not yet in the log (another instance held it locked, or the disk
    // refused them); tried again at the next close or save.
    std::size_t PendingRounds() const { return pending_.size(); }

    // Events that fit before the vector of a round grows during play.
    static constexpr std::size_t kReservedEvents = 2048;
    // Rounds kept for a later try at most; the oldest go first beyond that.
    static constexpr std::size_t kMaxPending = 32;

private:
    struct Pending {
        std::uint64_t serial = 0;
        analysis::RoundRecord round;
        std::vector<SaveStamp> saves;
    };
    struct PendingSave {
        std::int64_t roundId = 0;
        SaveStamp save;
    };

    void Flush();

    AnswerLog& log_;
    std::function<QDateTime()> now_;
    QElapsedTimer sincePlay_;
    bool playing_ = false;
    analysis::RoundRecord current_;
    std::uint64_t closedRounds_ = 0;             // serial of the round closed last
    std::optional<std::int64_t> lastWrittenId_;  // its key once written
    std::deque<Pending> pending_;                // oldest first
    std::deque<PendingSave> pendingSaves_;       // saves of rounds already written
};

}  // namespace keta
