#pragma once
// What a round read back from the answer log may hold: the values the drill can produce and
// nothing else. The log is a file anyone can edit; a round outside these bounds is kept out of
// every figure (a limit of two billion seconds would otherwise ask for billions of bins).

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "round_record.h"

namespace keta::log_bounds {

// The drill takes any limit from 1 to 32 767 seconds from its settings file, not only the
// list's 10 to 180, and a counter stops at the 16-bit maximum.
inline constexpr std::int64_t kMinTimeLimit = 1;
inline constexpr std::int64_t kMaxTimeLimit = 32767;
inline constexpr std::int64_t kMaxCount = 32767;
// The closing answer comes at the first keystroke after the time is up, however late; a day
// covers a round left open overnight.
inline constexpr std::int64_t kCloseGraceMs = std::int64_t{24} * 3600 * 1000;
// Longer texts are read no further than this (the SQL takes a prefix one longer).
inline constexpr std::int64_t kMaxTextChars = 4096;

inline bool Within(std::int64_t v, std::int64_t low, std::int64_t high) {
    return v >= low && v <= high;
}

// The columns of a round row, as 64-bit values so that nothing wraps before the check.
struct RoundRow {
    std::int64_t timeLimit = 0, answers = 0, correct = 0, wrong = 0;
    std::int64_t startedChars = 0, modeChars = 0;
};

inline bool RoundRowInBounds(const RoundRow& r) {
    return Within(r.timeLimit, kMinTimeLimit, kMaxTimeLimit) && Within(r.answers, 0, kMaxCount) &&
           Within(r.correct, 0, r.answers) && Within(r.wrong, 0, r.answers) &&
           r.correct + r.wrong == r.answers && Within(r.startedChars, 0, kMaxTextChars) &&
           Within(r.modeChars, 0, kMaxTextChars);
}

// One answer row, as read.
struct AnswerRow {
    std::int64_t ms = 0, box = 0, left = 0, right = 0, expected = 0, correct = 0, cleared = 0;
    std::int64_t typedBytes = 0;
};

// Checks a round's events one by one, in their order.
class EventChecker {
public:
    explicit EventChecker(const analysis::RoundRecord& round)
        : lastMs_(std::int64_t{round.timeLimit} * 1000 + kCloseGraceMs),
          scoredLeft_(round.answers),
          eventsLeft_(std::int64_t{round.answers} * 2 + 16) {}

    bool Accept(const AnswerRow& a) {
        const bool ok = Within(a.ms, previousMs_, lastMs_) && Within(a.box, 1, 14) &&
                        Within(a.left, 0, 9) && Within(a.right, 0, 9) && Within(a.expected, 0, 9) &&
                        Within(a.correct, 0, 1) && Within(a.cleared, 0, 1) &&
                        Within(a.typedBytes, 0, kMaxTextChars) && --eventsLeft_ >= 0 &&
                        (a.cleared != 0 || --scoredLeft_ >= 0);
        previousMs_ = a.ms;
        return ok;
    }

private:
    std::int64_t previousMs_ = 0;  // the times never go back: they come from a monotonic clock
    std::int64_t lastMs_;
    std::int64_t scoredLeft_;  // every scored answer was counted
    std::int64_t eventsLeft_;  // a click empties a box an answer filled
};

// A session row: the settings a session can be configured with, and one of its states.
struct SessionRow {
    std::int64_t lineSeconds = 0, firstLines = 0, secondLines = 0, restMinutes = 0, mode = 0;
    std::int64_t showMarks = 0, showTimeLeft = 0, startedChars = 0;
};

inline bool SessionRowInBounds(const SessionRow& s) {
    return Within(s.lineSeconds, 10, 120) && Within(s.firstLines, 1, 30) &&
           Within(s.secondLines, 0, 30) && Within(s.restMinutes, 0, 10) && Within(s.mode, 0, 2) &&
           Within(s.showMarks, 0, 1) && Within(s.showTimeLeft, 0, 1) &&
           Within(s.startedChars, 0, kMaxTextChars);
}

// A line row of a session whose settings are in bounds. Lines come in key order, each after
// the one before it, with no gaps: a missing line would shift the curve.
struct SessionLineRow {
    std::int64_t half = 0, line = 0, difference = 0, answers = 0, errors = 0;
};

class SessionLineChecker {
public:
    explicit SessionLineChecker(const SessionRow& s)
        : lineMs_(SessionRowInBounds(s) ? s.lineSeconds * 1000 : 0),
          first_(s.firstLines),
          second_(s.secondLines) {}

    bool Accept(const SessionLineRow& l) {
        const bool next = (l.half == half_ && l.line == line_ + 1) ||
                          (l.half == 2 && half_ == 1 && line_ == first_ && l.line == 1);
        const std::int64_t lines = l.half == 1 ? first_ : second_;
        const bool ok = next && Within(l.half, 1, 2) && Within(l.line, 1, lines) &&
                        Within(l.difference, 0, 1) && Within(l.answers, 0, kMaxCount) &&
                        Within(l.errors, 0, l.answers);
        half_ = l.half;
        line_ = l.line;
        return ok;
    }
    std::int64_t LineMs() const { return lineMs_; }

private:
    std::int64_t lineMs_, first_, second_;
    std::int64_t half_ = 1, line_ = 0;
};

// A session answer row. A scored answer was typed within its line.
struct SessionAnswerRow {
    std::int64_t ms = 0, box = 0, left = 0, right = 0, expected = 0, correct = 0, typedBytes = 0;
};

inline bool SessionAnswerInBounds(const SessionAnswerRow& a, std::int64_t previousMs,
                                  std::int64_t lineMs) {
    return Within(a.ms, previousMs, lineMs) && Within(a.box, 1, 14) && Within(a.left, 0, 9) &&
           Within(a.right, 0, 9) && Within(a.expected, 0, 9) && Within(a.correct, 0, 1) &&
           Within(a.typedBytes, 1, kMaxTextChars);
}

// An answer row already accepted by an EventChecker, as a record.
inline analysis::AnswerRecord AnswerFrom(const AnswerRow& row, std::string typed = {}) {
    analysis::AnswerRecord a;
    a.ms = row.ms;
    a.box = static_cast<int>(row.box);
    a.left = static_cast<int>(row.left);
    a.right = static_cast<int>(row.right);
    a.typed = std::move(typed);
    a.expected = static_cast<int>(row.expected);
    a.correct = row.correct != 0;
    a.cleared = row.cleared != 0;
    return a;
}

inline void MarkDamaged(analysis::RoundRecord& round) {
    round.damaged = true;
    round.events.clear();
    round.events.shrink_to_fit();
}

// A round's events as they are read: each checked, and none kept once one is out of bounds.
struct RoundReader {
    analysis::RoundRecord* round;
    EventChecker checker;
    explicit RoundReader(analysis::RoundRecord& r) : round(&r), checker(r) {}
    // `typed` is called only for an event that is kept.
    template <class Typed>
    void Add(const AnswerRow& row, Typed&& typed) {
        if (round->damaged) return;
        if (!checker.Accept(row)) {
            MarkDamaged(*round);
            return;
        }
        round->events.push_back(AnswerFrom(row, typed()));
    }
};

}  // namespace keta::log_bounds
