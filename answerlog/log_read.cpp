#include "log_read.h"

#include <sqlite3.h>

#include <limits>
#include <map>
#include <optional>
#include <string>

#include "log_bounds.h"
#include "sqlite_columns.h"

namespace keta {

LogReadOutcome ReadLogRounds(sqlite3* h, std::optional<std::int64_t> only,
                             const std::function<void(const analysis::RoundRecord&)>& visit,
                             const std::function<bool()>& stop) {
    const auto prepare = [h, only](std::string sql, const char* key, const char* order = "") {
        if (only) sql += std::string(" WHERE ") + key + " = ?1";
        sql += order;
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(h, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) return stmt;
        if (only) sqlite3_bind_int64(stmt, 1, *only);
        return stmt;
    };
    // One read transaction: a round written meanwhile is wholly in or wholly out.
    sqlite3_exec(h, "BEGIN", nullptr, nullptr, nullptr);
    struct EndRead {
        sqlite3* h;
        ~EndRead() { sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr); }
    } endRead{h};

    // A log the drill has only just made has no tables yet: nothing played, nothing to read.
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(h,
                       "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = "
                       "'rounds'",
                       -1, &stmt, nullptr);
    const bool made =
        stmt != nullptr && sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_int64(stmt, 0) > 0;
    const bool readable = stmt != nullptr;
    sqlite3_finalize(stmt);
    if (!readable) return LogReadOutcome::Unreadable;
    if (!made) return LogReadOutcome::Done;

    std::map<std::int64_t, analysis::RoundRecord> rounds;  // by key, without their answers
    stmt = prepare(
        "SELECT id, time_limit, substr(mode_text, 1, 4097), answers, correct, wrong,"
        " length(started_at), length(mode_text), substr(started_at, 1, 4097) FROM rounds",
        "id");
    if (stmt == nullptr) return LogReadOutcome::Unreadable;
    int rc = SQLITE_ROW;
    std::uint32_t rows = 0;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        if ((++rows & 1023u) == 0 && stop && stop()) {
            sqlite3_finalize(stmt);
            return LogReadOutcome::Stopped;
        }
        log_bounds::RoundRow row;
        row.timeLimit = sqlite3_column_int64(stmt, 1);
        row.answers = sqlite3_column_int64(stmt, 3);
        row.correct = sqlite3_column_int64(stmt, 4);
        row.wrong = sqlite3_column_int64(stmt, 5);
        row.startedChars = sqlite3_column_int64(stmt, 6);
        row.modeChars = sqlite3_column_int64(stmt, 7);
        analysis::RoundRecord& round = rounds[sqlite3_column_int64(stmt, 0)];
        round.id = sqlite3_column_int64(stmt, 0);
        if (!log_bounds::RoundRowInBounds(row)) {
            round.damaged = true;
            continue;
        }
        round.timeLimit = static_cast<int>(row.timeLimit);
        round.modeText = ColumnText(stmt, 2);
        round.startedAt = ColumnText(stmt, 8);
        round.answers = static_cast<int>(row.answers);
        round.correct = static_cast<int>(row.correct);
        round.wrong = static_cast<int>(row.wrong);
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE) return LogReadOutcome::Incomplete;

    // The answers in key order, so that each round's come together; a round is handed over
    // once the next round's first answer (or the end) shows that it is complete.
    stmt = prepare(std::string("SELECT ") + kAnswerColumnList + " FROM answers", "round_id",
                   " ORDER BY round_id, seq");
    if (stmt == nullptr) return LogReadOutcome::Unreadable;
    auto next = rounds.begin();  // the first round not handed over yet
    analysis::RoundRecord* current = nullptr;
    std::optional<log_bounds::RoundReader> reader;
    const auto handOverUpTo = [&](std::int64_t id) {  // every round with a key below `id`
        while (next != rounds.end() && next->first < id) {
            visit(next->second);
            next->second.events = {};
            ++next;
        }
    };
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        if ((++rows & 1023u) == 0 && stop && stop()) {
            sqlite3_finalize(stmt);
            return LogReadOutcome::Stopped;
        }
        const std::int64_t id = sqlite3_column_int64(stmt, 0);
        if (current == nullptr || current->id != id) {
            handOverUpTo(id);
            current = nullptr;
            if (next == rounds.end() || next->first != id) continue;  // answers of no round
            current = &next->second;
            reader.emplace(*current);
        }
        // The figures read no typed texts: they are left out of these records.
        if (current != nullptr) reader->Add(AnswerRowAt(stmt), [] { return std::string(); });
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE) return LogReadOutcome::Incomplete;
    handOverUpTo(std::numeric_limits<std::int64_t>::max());
    if (next != rounds.end()) {  // the round with the largest key
        visit(next->second);
    }
    return LogReadOutcome::Done;
}

}  // namespace keta
