#pragma once
// The rows a round leaves in the answer log: the statements both editions write them with, and
// the writing itself through SQLite's own handle for the browser edition, whose log has no
// second writer and no thread of its own.

#include <cstdint>
#include <string>
#include <vector>

#include "round_record.h"

struct sqlite3;

namespace keta {

// A round's own columns, in the order the round is written and looked for.
inline constexpr const char* kInsertRoundSql =
    "INSERT INTO rounds (started_at, time_limit, mode_text, answers, correct, wrong, kind)"
    " VALUES (?, ?, ?, ?, ?, ?, ?)";
inline constexpr const char* kInsertFocusRoundSql =
    "INSERT INTO focus_rounds (round_id, percent, pairs) VALUES (?, ?, ?)";
inline constexpr const char* kInsertAnswerSql =
    "INSERT INTO answers (round_id, seq, ms, box, left_digit, right_digit, typed, expected,"
    " correct, cleared) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
inline constexpr const char* kInsertSaveSql =
    "INSERT INTO saves (round_id, date_text, time_text) VALUES (?, ?, ?)";

// A save of a round into the history file, by the texts of its line ("yyyy/MM/dd", "HH:mm:ss").
struct SaveTexts {
    std::string date;
    std::string time;
};

// Writes `round` with its answers and saves in one transaction and sets its key. False, with
// SQLite's words in `error`, leaves the log as it was.
bool WriteRoundRows(sqlite3* h, analysis::RoundRecord& round, const std::vector<SaveTexts>& saves,
                    std::string* error);

// Records one more save of the round `roundId`, in a transaction of its own.
bool WriteSaveRow(sqlite3* h, std::int64_t roundId, const SaveTexts& save, std::string* error);

}  // namespace keta
