#pragma once
// Plain records of play, as the answer log keeps them and the analyses read them. Standard
// library only, so that the figures can be computed and tested without Qt.

#include <cstdint>
#include <string>
#include <vector>

namespace keta::analysis {

// One event in an answer box during timed play (and the closing answer after the time is up).
struct AnswerRecord {
    std::int64_t ms = 0;  // milliseconds since play began, from a monotonic clock
    int box = 0;          // 1..14
    int left = 0;         // digit left of the box, 0..9
    int right = 0;        // digit right of the box, 0..9
    std::string typed;    // the box's text as scored, UTF-8 (empty for a clearing click)
    int expected = 0;     // the right answer, 0..9
    bool correct = false;
    // A click that emptied the box: part of the rhythm, never an answer and never scored.
    bool cleared = false;
};

// The drill's rounds, and focus rounds whose rows lean towards chosen digit pairs.
enum class RoundKind { Drill = 0, Focus = 1 };

// One round that reached timed play.
struct RoundRecord {
    std::int64_t id = 0;    // the log's own key; 0 before it is stored
    std::string startedAt;  // local wall-clock start of play, "yyyy-MM-ddTHH:mm:ss"
    int timeLimit = 0;      // seconds, as in force at the close
    std::string modeText;   // what the mode combo showed at the close, UTF-8 ("＋", "－", ...)
    int answers = 0;        // scored answers (intMonsu at the close)
    int correct = 0;
    int wrong = 0;
    std::vector<AnswerRecord> events;  // in the order they happened
    // A value read back lies outside what the drill can produce: shown as damaged, and its
    // events are left out so that no figure is computed over them.
    bool damaged = false;
    // Which practice it was. A focus round carries its share of pairs (percent) and its
    // pairs as "78 96" (left digit, right digit).
    RoundKind kind = RoundKind::Drill;
    int focusPercent = 0;
    std::string focusPairs;
};

// One saved result of the history file, its items already read.
struct HistoryPoint {
    std::string date;  // "yyyy/mm/dd" as written
    std::string time;  // "hh:mm:ss" as written
    int answers = 0;
    int correct = 0;
    int wrong = 0;
    int timeLimit = 0;     // seconds, from item 8 ("60秒" gives 60); 0 when unreadable
    std::string modeText;  // item 9, UTF-8
    // The same result as a record before it, counted once: identical in every item to the
    // record just before it, or a later save of a round an earlier record already stands for
    // (told by the answer log).
    bool repeatsPrevious = false;
};

// The mode a text names, by the drill's own rule: exactly "－" (U+FF0D) is the difference,
// anything else the sum.
enum class Mode { Sum, Difference };
inline Mode ModeOf(const std::string& modeText) {
    return modeText == "\xEF\xBC\x8D" ? Mode::Difference : Mode::Sum;
}

}  // namespace keta::analysis
