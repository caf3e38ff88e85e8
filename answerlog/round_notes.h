#pragma once
// The notes a round leaves while it is played: its start, every scored answer and clearing
// click with its time, and its counters at the close. Each edition's recorder feeds them from
// its own clocks; what a round record holds is decided here once.

#include <cstdint>
#include <optional>
#include <string>

#include "answer_observer.h"
#include "round_record.h"

namespace keta {

class RoundNotes {
public:
    // Events that fit before the vector of a round grows during play.
    static constexpr std::size_t kReservedEvents = 2048;

    RoundNotes();

    // Timed play began at the local wall-clock time `startedAt` ("yyyy-MM-ddTHH:mm:ss").
    void Start(std::string startedAt);
    // `ms` counts from the start of play on a monotonic clock.
    void Answer(std::int64_t ms, int box, int left, int right, const std::string& typed,
                int expected, bool correct);
    void Cleared(std::int64_t ms, int box);
    // The round, when one was being played; the notes are empty again afterwards.
    std::optional<analysis::RoundRecord> Close(const RoundSummary& summary);

    bool Playing() const { return playing_; }
    // The rounds that close from now on are of this kind (focus rounds with their share in
    // percent and their pairs as "78 96"); the drill's until set.
    void SetKind(analysis::RoundKind kind, int focusPercent = 0, std::string focusPairs = {});

private:
    bool playing_ = false;
    analysis::RoundRecord current_;
    analysis::RoundKind kind_ = analysis::RoundKind::Drill;
    int focusPercent_ = 0;
    std::string focusPairs_;
};

}  // namespace keta
