#include "log_schema_steps.h"

#include <iterator>

namespace keta {
namespace {

// Each schema version's steps; step k brings user_version k to k + 1. Later versions append
// their ALTERs here, so that an old log is carried forward and never rebuilt.
// A version of fewer steps ends its row early; the rest of the row stays null.
const char* const kMigrations[][4] = {
    {
        "CREATE TABLE IF NOT EXISTS rounds ("
        " id INTEGER PRIMARY KEY,"
        " started_at TEXT NOT NULL,"
        " time_limit INTEGER NOT NULL,"
        " mode_text TEXT NOT NULL,"
        " answers INTEGER NOT NULL,"
        " correct INTEGER NOT NULL,"
        " wrong INTEGER NOT NULL)",
        // Kept in the order of the key, so reading every answer of every round needs no sort.
        "CREATE TABLE IF NOT EXISTS answers ("
        " round_id INTEGER NOT NULL REFERENCES rounds(id) ON DELETE CASCADE,"
        " seq INTEGER NOT NULL,"
        " ms INTEGER NOT NULL,"
        " box INTEGER NOT NULL,"
        " left_digit INTEGER NOT NULL,"
        " right_digit INTEGER NOT NULL,"
        " typed TEXT NOT NULL,"
        " expected INTEGER NOT NULL,"
        " correct INTEGER NOT NULL,"
        " cleared INTEGER NOT NULL,"
        " PRIMARY KEY (round_id, seq)) WITHOUT ROWID",
        "CREATE TABLE IF NOT EXISTS saves ("
        " id INTEGER PRIMARY KEY,"
        " round_id INTEGER NOT NULL REFERENCES rounds(id) ON DELETE CASCADE,"
        " date_text TEXT NOT NULL,"
        " time_text TEXT NOT NULL)",
        "CREATE INDEX IF NOT EXISTS saves_by_stamp ON saves (date_text, time_text)",
    },
    {
        // Practice sessions: the settings they ran with and how they ended ('running' until
        // then, so that a session cut off by a crash still shows its lines).
        "CREATE TABLE IF NOT EXISTS sessions ("
        " id INTEGER PRIMARY KEY,"
        " started_at TEXT NOT NULL,"
        " line_seconds INTEGER NOT NULL,"
        " first_lines INTEGER NOT NULL,"
        " second_lines INTEGER NOT NULL,"
        " rest_minutes INTEGER NOT NULL,"
        " mode INTEGER NOT NULL,"
        " show_marks INTEGER NOT NULL,"
        " show_time_left INTEGER NOT NULL,"
        " state TEXT NOT NULL)",
        "CREATE TABLE IF NOT EXISTS session_lines ("
        " session_id INTEGER NOT NULL REFERENCES sessions(id) ON DELETE CASCADE,"
        " half INTEGER NOT NULL,"
        " line INTEGER NOT NULL,"
        " difference INTEGER NOT NULL,"
        " answers INTEGER NOT NULL,"
        " errors INTEGER NOT NULL,"
        " PRIMARY KEY (session_id, half, line)) WITHOUT ROWID",
        "CREATE TABLE IF NOT EXISTS session_answers ("
        " session_id INTEGER NOT NULL,"
        " half INTEGER NOT NULL,"
        " line INTEGER NOT NULL,"
        " seq INTEGER NOT NULL,"
        " ms INTEGER NOT NULL,"
        " box INTEGER NOT NULL,"
        " left_digit INTEGER NOT NULL,"
        " right_digit INTEGER NOT NULL,"
        " typed TEXT NOT NULL,"
        " expected INTEGER NOT NULL,"
        " correct INTEGER NOT NULL,"
        " PRIMARY KEY (session_id, half, line, seq),"
        " FOREIGN KEY (session_id, half, line)"
        " REFERENCES session_lines(session_id, half, line) ON DELETE CASCADE) WITHOUT ROWID",
        // Small remembered values, such as the last session's settings.
        "CREATE TABLE IF NOT EXISTS preferences ("
        " key TEXT PRIMARY KEY,"
        " value TEXT NOT NULL) WITHOUT ROWID",
    },
    {
        // Which practice a round was: 0 the drill, 1 a focus round on chosen digit pairs. A
        // round logged before this step was the drill's.
        "ALTER TABLE rounds ADD COLUMN kind INTEGER NOT NULL DEFAULT 0",
        // A focus round's settings: its share of pairs in percent and the pairs, as
        // "78 96" (left digit, right digit).
        "CREATE TABLE IF NOT EXISTS focus_rounds ("
        " round_id INTEGER PRIMARY KEY REFERENCES rounds(id) ON DELETE CASCADE,"
        " percent INTEGER NOT NULL,"
        " pairs TEXT NOT NULL)",
    },
};
static_assert(std::size(kMigrations) == kLogSchemaVersion);

}  // namespace

std::span<const char* const> MigrationSteps(int version) {
    if (version < 0 || version >= static_cast<int>(std::size(kMigrations))) return {};
    const auto& steps = kMigrations[static_cast<std::size_t>(version)];
    std::size_t count = 0;
    while (count < std::size(steps) && steps[count] != nullptr) ++count;
    return {steps, count};
}

}  // namespace keta
