#pragma once
// Column reading shared by the answer log's bulk readers, which step SQLite statements
// directly rather than through a QVariant per column.

#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "log_bounds.h"

namespace keta {

// A text column as UTF-8 bytes; empty for NULL.
inline std::string ColumnText(sqlite3_stmt* stmt, int column) {
    const auto* text = sqlite3_column_text(stmt, column);
    return text == nullptr
               ? std::string()
               : std::string(reinterpret_cast<const char*>(text),
                             static_cast<std::size_t>(sqlite3_column_bytes(stmt, column)));
}

// A prepared statement for the bulk readers, finalized whatever the way out.
class SqliteStatement {
public:
    SqliteStatement(sqlite3* h, const char* sql) {
        sqlite3_prepare_v2(h, sql, -1, &stmt_, nullptr);
    }
    ~SqliteStatement() { sqlite3_finalize(stmt_); }
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;
    bool Valid() const { return stmt_ != nullptr; }
    // Binds the keys of the sessions to read: ?1 the lowest, ?2 the highest.
    SqliteStatement& Range(std::int64_t low, std::int64_t high) {
        sqlite3_bind_int64(stmt_, 1, low);
        sqlite3_bind_int64(stmt_, 2, high);
        return *this;
    }
    bool Step() { return (rc_ = sqlite3_step(stmt_)) == SQLITE_ROW; }
    bool Done() const { return rc_ == SQLITE_DONE; }
    std::int64_t Int(int column) const { return sqlite3_column_int64(stmt_, column); }
    std::string Text(int column) const { return ColumnText(stmt_, column); }
    std::int64_t Bytes(int column) const { return sqlite3_column_bytes(stmt_, column); }
    sqlite3_stmt* Handle() const { return stmt_; }

private:
    sqlite3_stmt* stmt_ = nullptr;
    int rc_ = SQLITE_OK;
};

// The first column of the first row of `sql` (its one parameter, if any, bound to `bound`);
// nullopt when there is no handle, no row, a NULL, or the statement fails.
inline std::optional<std::int64_t> QueryNumber(sqlite3* h, const char* sql,
                                               std::int64_t bound = 0) {
    sqlite3_stmt* stmt = nullptr;
    if (h == nullptr || sqlite3_prepare_v2(h, sql, -1, &stmt, nullptr) != SQLITE_OK)
        return std::nullopt;
    if (sqlite3_bind_parameter_count(stmt) > 0) sqlite3_bind_int64(stmt, 1, bound);
    std::optional<std::int64_t> value;
    if (sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_type(stmt, 0) != SQLITE_NULL)
        value = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    return value;
}

// Whether the log has its tables yet: one the drill has only just made has none.
inline bool HasRoundsTable(sqlite3* h) {
    return QueryNumber(h,
                       "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = "
                       "'rounds'")
               .value_or(0) > 0;
}

// The answers' columns in the order AnswerRowAt reads them, the round's key first (the
// Qt fallback in answer_log_queries.cpp selects the same order).
inline constexpr const char* kAnswerColumnList =
    "round_id, ms, box, left_digit, right_digit, typed, expected, correct, cleared";
inline constexpr int kTypedColumn = 5;

// The current row of a statement that selects kAnswerColumnList, as numbers to be bounded.
inline log_bounds::AnswerRow AnswerRowAt(sqlite3_stmt* stmt) {
    log_bounds::AnswerRow row;
    row.ms = sqlite3_column_int64(stmt, 1);
    row.box = sqlite3_column_int64(stmt, 2);
    row.left = sqlite3_column_int64(stmt, 3);
    row.right = sqlite3_column_int64(stmt, 4);
    row.expected = sqlite3_column_int64(stmt, 6);
    row.correct = sqlite3_column_int64(stmt, 7);
    row.cleared = sqlite3_column_int64(stmt, 8);
    row.typedBytes = sqlite3_column_bytes(stmt, kTypedColumn);
    return row;
}

}  // namespace keta
