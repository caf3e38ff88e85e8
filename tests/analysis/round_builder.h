#pragma once
// Builds RoundRecords for the tests: one line per event.

#include <cstdint>
#include <initializer_list>
#include <string>

#include "round_record.h"

namespace keta::analysis::test {

inline const std::string kSum = "\xEF\xBC\x8B";         // ＋
inline const std::string kDifference = "\xEF\xBC\x8D";  // －

struct Ev {
    std::int64_t ms;
    char kind;  // 'o' right, 'x' wrong, 'c' a clearing click
    int left = 1;
    int right = 2;
};

inline RoundRecord MakeRound(int timeLimit, std::initializer_list<Ev> events,
                             const std::string& mode = kSum) {
    RoundRecord round;
    round.timeLimit = timeLimit;
    round.modeText = mode;
    for (const Ev& e : events) {
        AnswerRecord a;
        a.ms = e.ms;
        a.left = e.left;
        a.right = e.right;
        a.cleared = e.kind == 'c';
        a.correct = e.kind == 'o';
        a.typed = a.cleared ? "" : "0";
        round.events.push_back(a);
    }
    return round;
}

// `count` answers, all right, one every `stepMs` starting at `firstMs`.
inline RoundRecord EvenRound(int timeLimit, int count, std::int64_t firstMs, std::int64_t stepMs) {
    RoundRecord round = MakeRound(timeLimit, {});
    for (int i = 0; i < count; ++i) {
        AnswerRecord a;
        a.ms = firstMs + stepMs * i;
        a.correct = true;
        a.typed = "0";
        round.events.push_back(a);
    }
    return round;
}

}  // namespace keta::analysis::test
