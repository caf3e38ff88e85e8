#pragma once
// What windows hand to the answer log's owner: one write each, in the order handed over, with
// what it belongs to named by a ticket until the row it belongs to has its key.

#include <QString>
#include <cstdint>
#include <string>
#include <vector>

#include "answer_log.h"
#include "practice_session.h"
#include "round_record.h"

namespace keta {

struct LogOp {
    enum class Kind : std::uint8_t {
        Round = 1,     // a drill or focus round with its answers and its saves so far
        Save,          // one more save of a round
        SessionStart,  // a practice session's row, its settings remembered
        SessionLine,   // one completed line of a session
        SessionEnd,    // the session's final state
        Preference,    // one value of the preferences (the daily goal, ...)
    };
    Kind kind = Kind::Round;
    // Round and SessionStart: their own ticket; Save, SessionLine and SessionEnd: the ticket
    // of the round or session they belong to.
    std::uint64_t ticket = 0;
    // Save, SessionLine and SessionEnd: the key of the row they belong to, once written.
    std::int64_t targetId = 0;

    analysis::RoundRecord round;
    std::vector<SaveStamp> saves;                 // Round: its saves; Save: the one save
    std::string startedAt;                        // SessionStart
    SessionSettings settings;                     // SessionStart
    LineResult line;                              // SessionLine
    SessionState state = SessionState::Finished;  // SessionEnd
    QString key, value;                           // Preference

    // Answers the op holds: its weight while it is kept in memory.
    std::size_t Answers() const {
        return kind == Kind::Round         ? round.events.size()
               : kind == Kind::SessionLine ? line.answers.size()
                                           : 0;
    }
};

// Counts of writes, by what the person would call them.
struct LogTally {
    std::size_t rounds = 0, saves = 0, lines = 0, sessions = 0, ends = 0, settings = 0;

    void Add(const LogOp& op) {
        switch (op.kind) {
            case LogOp::Kind::Round:
                ++rounds;
                saves += op.saves.size();
                break;
            case LogOp::Kind::Save:
                ++saves;
                break;
            case LogOp::Kind::SessionLine:
                ++lines;
                break;
            case LogOp::Kind::SessionStart:
                ++sessions;
                break;
            case LogOp::Kind::SessionEnd:
                ++ends;
                break;
            case LogOp::Kind::Preference:
                ++settings;
                break;
        }
    }
    LogTally& operator+=(const LogTally& more) {
        rounds += more.rounds;
        saves += more.saves;
        lines += more.lines;
        sessions += more.sessions;
        ends += more.ends;
        settings += more.settings;
        return *this;
    }
    bool Empty() const { return rounds + saves + lines + sessions + ends + settings == 0; }
    // "3 回分の解答と練習の 2 行" and so on, in Japanese.
    QString Text() const;
};

}  // namespace keta
