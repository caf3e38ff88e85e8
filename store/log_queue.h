#pragma once
// The rounds closed but not yet in the answer log, and their saves. Written in order at each
// chance; kept through a lock held by another program; never dropped without telling the user.

#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "answer_log.h"
#include "message_boxes.h"
#include "round_record.h"

namespace keta {

// Where the recorder hands each closed round and each save of the round closed last.
class RoundSink {
public:
    virtual ~RoundSink() = default;
    // `serial` numbers the closed rounds of the run from 1.
    virtual void TakeRound(std::uint64_t serial, analysis::RoundRecord&& round) = 0;
    virtual void TakeSave(std::uint64_t serial, const SaveStamp& save) = 0;
    // Rounds handed over and neither written nor given up yet.
    virtual std::size_t PendingRounds() const = 0;
};

class LogQueue : public RoundSink {
public:
    // `boxes` (may be null) hears of rounds that could not be kept.
    LogQueue(AnswerLog& log, MessageBoxes* boxes);

    // Each hand-over writes at once, on the caller's thread.
    void TakeRound(std::uint64_t serial, analysis::RoundRecord&& round) override;
    void TakeSave(std::uint64_t serial, const SaveStamp& save) override;
    std::size_t PendingRounds() const override { return rounds_.size(); }

    // The parts of a hand-over, for a caller that takes several before one write.
    void AddRound(std::uint64_t serial, analysis::RoundRecord&& round);
    void AddSave(std::uint64_t serial, const SaveStamp& save);
    // Writes what it can, then gives up the oldest rounds beyond kMaxPending, saying so.
    void Flush();
    // At the end of the run: tells the user of the rounds still unwritten; returns their count.
    std::size_t ReportUnwrittenAtExit();

    // Rounds kept for a later try at most.
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
    void Report(std::size_t rounds, std::size_t saves, bool atExit);

    AnswerLog& log_;
    MessageBoxes* boxes_;
    std::deque<Pending> rounds_;                 // oldest first
    std::deque<PendingSave> saves_;              // saves of rounds already written
    std::uint64_t lastSerial_ = 0;               // the round closed last
    std::optional<std::int64_t> lastWrittenId_;  // its key, once written
};

}  // namespace keta
