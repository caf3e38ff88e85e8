#include "log_rows.h"

#include <sqlite3.h>

namespace keta {
namespace {

class Insert {
public:
    Insert(sqlite3* h, const char* sql) : h_(h) {
        if (sqlite3_prepare_v2(h, sql, -1, &stmt_, nullptr) != SQLITE_OK) stmt_ = nullptr;
    }
    ~Insert() { sqlite3_finalize(stmt_); }
    Insert(const Insert&) = delete;
    Insert& operator=(const Insert&) = delete;

    Insert& Int(std::int64_t v) {
        if (stmt_ != nullptr) sqlite3_bind_int64(stmt_, ++column_, v);
        return *this;
    }
    Insert& Text(const std::string& v) {
        if (stmt_ != nullptr)
            sqlite3_bind_text(stmt_, ++column_, v.data(), static_cast<int>(v.size()),
                              SQLITE_TRANSIENT);
        return *this;
    }
    // Runs the statement with the values bound so far, then makes it ready for the next row.
    bool Run() {
        const bool done = stmt_ != nullptr && sqlite3_step(stmt_) == SQLITE_DONE;
        if (stmt_ != nullptr) {
            sqlite3_reset(stmt_);
            sqlite3_clear_bindings(stmt_);
        }
        column_ = 0;
        return done;
    }
    std::int64_t Key() const { return sqlite3_last_insert_rowid(h_); }
    int Changed() const { return sqlite3_changes(h_); }

private:
    sqlite3* h_;
    sqlite3_stmt* stmt_ = nullptr;
    int column_ = 0;
};

bool Transaction(sqlite3* h, std::string* error, const auto& body) {
    if (sqlite3_exec(h, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK && body() &&
        sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK)
        return true;
    if (error != nullptr) *error = sqlite3_errmsg(h);
    sqlite3_exec(h, "ROLLBACK", nullptr, nullptr, nullptr);
    return false;
}

bool InsertSave(sqlite3* h, std::int64_t roundId, const SaveTexts& save) {
    return Insert(h, kInsertSaveSql).Int(roundId).Text(save.date).Text(save.time).Run();
}

}  // namespace

bool WriteRoundRows(sqlite3* h, analysis::RoundRecord& round, const std::vector<SaveTexts>& saves,
                    std::string* error) {
    std::int64_t id = 0;
    const bool written = Transaction(h, error, [&] {
        Insert r(h, kInsertRoundSql);
        r.Text(round.startedAt).Int(round.timeLimit).Text(round.modeText).Int(round.answers);
        r.Int(round.correct).Int(round.wrong).Int(static_cast<int>(round.kind));
        if (!r.Run()) return false;
        id = r.Key();
        if (round.kind == analysis::RoundKind::Focus && !Insert(h, kInsertFocusRoundSql)
                                                             .Int(id)
                                                             .Int(round.focusPercent)
                                                             .Text(round.focusPairs)
                                                             .Run())
            return false;
        Insert a(h, kInsertAnswerSql);
        std::int64_t seq = 0;
        for (const analysis::AnswerRecord& e : round.events) {
            a.Int(id).Int(seq++).Int(e.ms).Int(e.box).Int(e.left).Int(e.right).Text(e.typed);
            a.Int(e.expected).Int(e.correct ? 1 : 0).Int(e.cleared ? 1 : 0);
            if (!a.Run()) return false;
        }
        for (const SaveTexts& s : saves) {
            if (!InsertSave(h, id, s)) return false;
        }
        return true;
    });
    if (written) round.id = id;
    return written;
}

bool WriteSaveRow(sqlite3* h, std::int64_t roundId, const SaveTexts& save, std::string* error) {
    return Transaction(h, error, [&] { return InsertSave(h, roundId, save); });
}

std::string SessionSettingsText(const SessionSettings& s) {
    return "line_seconds=" + std::to_string(s.lineSeconds) +
           ";first_lines=" + std::to_string(s.firstHalfLines) +
           ";second_lines=" + std::to_string(s.secondHalfLines) +
           ";rest_minutes=" + std::to_string(s.restMinutes) +
           ";mode=" + std::to_string(static_cast<int>(s.mode)) +
           ";show_marks=" + (s.showMarks ? "1" : "0") +
           ";show_time_left=" + (s.showTimeLeft ? "1" : "0");
}

const char* SessionStateText(SessionState state) {
    return state == SessionState::Finished  ? "finished"
           : state == SessionState::Stopped ? "stopped"
                                            : "running";
}

bool WriteSessionStartRows(sqlite3* h, const std::string& startedAt, const SessionSettings& s,
                           std::int64_t* id, std::string* error) {
    return Transaction(h, error, [&] {
        Insert q(h, kInsertSessionSql);
        q.Text(startedAt).Int(s.lineSeconds).Int(s.firstHalfLines).Int(s.secondHalfLines);
        q.Int(s.restMinutes).Int(static_cast<int>(s.mode)).Int(s.showMarks ? 1 : 0);
        q.Int(s.showTimeLeft ? 1 : 0);
        if (!q.Run()) return false;
        *id = q.Key();
        return Insert(h, kRememberSessionSettingsSql).Text(SessionSettingsText(s)).Run();
    });
}

bool WriteSessionLineRows(sqlite3* h, std::int64_t sessionId, const LineResult& line,
                          std::string* error) {
    return Transaction(h, error, [&] {
        Insert l(h, kInsertSessionLineSql);
        l.Int(sessionId).Int(line.half).Int(line.line).Int(line.difference ? 1 : 0);
        l.Int(line.Answers()).Int(line.Errors());
        if (!l.Run()) return false;
        if (l.Changed() != 1) return true;
        Insert a(h, kInsertSessionAnswerSql);
        int seq = 0;
        for (const LineAnswer& answer : line.answers) {
            a.Int(sessionId).Int(line.half).Int(line.line).Int(++seq).Int(answer.ms);
            a.Int(answer.box).Int(answer.left).Int(answer.right).Text(answer.typed);
            a.Int(answer.expected).Int(answer.correct ? 1 : 0);
            if (!a.Run()) return false;
        }
        return true;
    });
}

bool WriteSessionEndRow(sqlite3* h, std::int64_t sessionId, SessionState state,
                        std::string* error) {
    return Transaction(h, error, [&] {
        return Insert(h, kEndSessionSql).Text(SessionStateText(state)).Int(sessionId).Run();
    });
}

}  // namespace keta
