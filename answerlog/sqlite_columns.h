#pragma once
// Column reading shared by the answer log's bulk readers, which step SQLite statements
// directly rather than through a QVariant per column.

#include <sqlite3.h>

#include <cstddef>
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
