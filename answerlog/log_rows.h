#pragma once
// The rows a round leaves in the answer log: the statements both editions write them with, and
// the writing itself through SQLite's own handle for the browser edition, whose log has no
// second writer and no thread of its own.

#include <cstdint>
#include <string>
#include <vector>

#include "practice_session.h"
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

// A practice session's rows: the session with its settings (remembered for the next one too),
// each line with its answers as it completes, and how the session ended.
inline constexpr const char* kInsertSessionSql =
    "INSERT INTO sessions (started_at, line_seconds, first_lines, second_lines, rest_minutes,"
    " mode, show_marks, show_time_left, state) VALUES (?, ?, ?, ?, ?, ?, ?, ?, 'running')";
inline constexpr const char* kRememberSessionSettingsSql =
    "INSERT OR REPLACE INTO preferences (key, value) VALUES ('session_settings', ?)";
// A line already there was committed by a pass whose answer never came back.
inline constexpr const char* kInsertSessionLineSql =
    "INSERT OR IGNORE INTO session_lines (session_id, half, line, difference, answers, errors)"
    " VALUES (?, ?, ?, ?, ?, ?)";
inline constexpr const char* kInsertSessionAnswerSql =
    "INSERT INTO session_answers (session_id, half, line, seq, ms, box, left_digit, right_digit,"
    " typed, expected, correct) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
inline constexpr const char* kEndSessionSql = "UPDATE sessions SET state = ? WHERE id = ?";

// The settings as one line of "key=value" pairs, as the preference keeps them.
std::string SessionSettingsText(const SessionSettings& s);
// "finished", "stopped" or "running", as the sessions table keeps a state.
const char* SessionStateText(SessionState state);

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

// The session's row, in a transaction of its own; sets `id` to its key.
bool WriteSessionStartRows(sqlite3* h, const std::string& startedAt, const SessionSettings& s,
                           std::int64_t* id, std::string* error);
bool WriteSessionLineRows(sqlite3* h, std::int64_t sessionId, const LineResult& line,
                          std::string* error);
bool WriteSessionEndRow(sqlite3* h, std::int64_t sessionId, SessionState state, std::string* error);

}  // namespace keta
