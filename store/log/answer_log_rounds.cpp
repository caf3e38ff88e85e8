#include "answer_log_rounds.h"

#include <sqlite3.h>

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>

#include "log_bounds.h"
#include "log_connection.h"
#include "sqlite_columns.h"

namespace keta {

std::optional<std::vector<LoggedRound>> ListLoggedRounds(const QString& logPath, QString* error) {
    const auto fail = [error](const QString& why) {
        if (error != nullptr) *error = why;
        return std::nullopt;
    };
    if (!QFileInfo(logPath).isFile()) {
        return fail(QStringLiteral("解答ログがまだありません。1回遊ぶとできます。"));
    }
    std::vector<LoggedRound> rounds;
    {
        LogConnection connection(logPath, LogConnection::Access::ReadOnly);
        if (!connection.IsOpen()) return fail(QStringLiteral("解答ログを開けませんでした。"));
        QSqlQuery q(connection.Database());
        q.setForwardOnly(true);
        // One read transaction: a round written meanwhile is in both lists or in neither.
        if (!q.exec(QStringLiteral("BEGIN")))
            return fail(QStringLiteral("解答ログを読めませんでした。"));
        bool ok = q.exec(QStringLiteral("SELECT id, started_at FROM rounds ORDER BY id"));
        std::unordered_map<qlonglong, std::size_t> index;
        while (ok && q.next()) {
            LoggedRound round;
            round.id = q.value(0).toLongLong();
            round.startedAt = q.value(1).toString();
            index.emplace(round.id, rounds.size());
            rounds.push_back(round);
        }
        // Two scans in key order instead of a lookup per round: saves has no index by round.
        ok = ok &&
             q.exec(QStringLiteral("SELECT round_id, date_text, time_text FROM saves ORDER BY id"));
        while (ok && q.next()) {
            const auto it = index.find(q.value(0).toLongLong());
            if (it == index.end()) continue;
            LoggedRound& round = rounds[it->second];
            if (round.saved) continue;
            round.saved = true;
            round.firstSave = {q.value(1).toString(), q.value(2).toString()};
        }
        q.finish();
        QSqlQuery(connection.Database()).exec(QStringLiteral("COMMIT"));
        if (!ok) return fail(QStringLiteral("解答ログを読めませんでした。"));
    }
    return rounds;
}

std::optional<std::vector<analysis::HistoryPoint>> LoadFocusRoundPoints(const QString& logPath) {
    std::vector<analysis::HistoryPoint> points;
    if (!QFileInfo(logPath).isFile()) return points;
    LogConnection connection(logPath, LogConnection::Access::ReadOnly);
    if (!connection.IsOpen()) return std::nullopt;
    QSqlQuery q(connection.Database());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT count(*) FROM pragma_table_info('rounds')"
                               " WHERE name = 'kind'")) ||
        !q.next())
        return std::nullopt;
    if (q.value(0).toInt() == 0) return points;  // before focus rounds
    if (!q.exec(QStringLiteral("SELECT substr(started_at, 1, 32), CAST(time_limit AS INTEGER),"
                               " substr(mode_text, 1, 64), CAST(answers AS INTEGER),"
                               " CAST(correct AS INTEGER), CAST(wrong AS INTEGER) FROM rounds"
                               " WHERE kind = 1 ORDER BY id")))
        return std::nullopt;
    while (q.next()) {
        // "yyyy-MM-ddTHH:mm:ss"; anything else is left for the figures to count as unreadable.
        const QString started = q.value(0).toString();
        analysis::HistoryPoint p;
        p.date = started.left(10).replace(QLatin1Char('-'), QLatin1Char('/')).toStdString();
        p.time = started.mid(11, 8).toStdString();
        p.timeLimit = static_cast<int>(std::clamp<qlonglong>(q.value(1).toLongLong(), -1, 32767));
        p.modeText = q.value(2).toString().toStdString();
        p.answers = static_cast<int>(std::clamp<qlonglong>(q.value(3).toLongLong(), -1, 1 << 20));
        p.correct = static_cast<int>(std::clamp<qlonglong>(q.value(4).toLongLong(), -1, 1 << 20));
        p.wrong = static_cast<int>(std::clamp<qlonglong>(q.value(5).toLongLong(), -1, 1 << 20));
        points.push_back(std::move(p));
    }
    return points;
}

namespace {

// Every round (or only the round `only`) with its answers, handed to `visit` one at a time.
bool ReadRounds(const QString& logPath, std::optional<std::int64_t> only,
                const std::function<void(const analysis::RoundRecord&)>& visit, QString* error,
                const CancelFlag* cancel = nullptr) {
    const auto fail = [error](const QString& why) {
        if (error != nullptr) *error = why;
        return false;
    };
    if (!QFileInfo(logPath).isFile()) {
        return fail(QStringLiteral("解答ログがまだありません。1回遊ぶとできます。"));
    }
    LogConnection connection(logPath, LogConnection::Access::ReadOnly);
    if (!connection.IsOpen()) return fail(QStringLiteral("解答ログを開けませんでした。"));
    sqlite3* h = connection.Handle();
    if (h == nullptr) return fail(QStringLiteral("解答ログを読めませんでした。"));
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
    if (!readable) return fail(QStringLiteral("解答ログを読めませんでした。"));
    if (!made) return true;

    std::map<std::int64_t, analysis::RoundRecord> rounds;  // by key, without their answers
    stmt = prepare(
        "SELECT id, time_limit, substr(mode_text, 1, 4097), answers, correct, wrong,"
        " length(started_at), length(mode_text), substr(started_at, 1, 4097) FROM rounds",
        "id");
    if (stmt == nullptr) return fail(QStringLiteral("解答ログを読めませんでした。"));
    int rc = SQLITE_ROW;
    std::uint32_t rows = 0;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        if ((++rows & 1023u) == 0 && Cancelled(cancel)) {
            sqlite3_finalize(stmt);
            return false;
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
    if (rc != SQLITE_DONE) return fail(QStringLiteral("解答ログを読み切れませんでした。"));

    // The answers in key order, so that each round's come together; a round is handed over
    // once the next round's first answer (or the end) shows that it is complete.
    stmt = prepare(std::string("SELECT ") + kAnswerColumnList + " FROM answers", "round_id",
                   " ORDER BY round_id, seq");
    if (stmt == nullptr) return fail(QStringLiteral("解答ログを読めませんでした。"));
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
        if ((++rows & 1023u) == 0 && Cancelled(cancel)) {
            sqlite3_finalize(stmt);
            return false;
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
    if (rc != SQLITE_DONE) return fail(QStringLiteral("解答ログを読み切れませんでした。"));
    handOverUpTo(std::numeric_limits<std::int64_t>::max());
    if (next != rounds.end()) {  // the round with the largest key
        visit(next->second);
    }
    return true;
}

}  // namespace

bool ForEachLoggedRound(const QString& logPath,
                        const std::function<void(const analysis::RoundRecord&)>& visit,
                        QString* error, const CancelFlag* cancel) {
    return ReadRounds(logPath, std::nullopt, visit, error, cancel);
}

std::optional<analysis::RoundRecord> LoadLoggedRound(const QString& logPath, std::int64_t id,
                                                     QString* error) {
    std::optional<analysis::RoundRecord> found;
    const bool read = ReadRounds(
        logPath, id, [&found](const analysis::RoundRecord& round) { found = round; }, error);
    if (read && !found && error != nullptr)
        *error = QStringLiteral("その回は解答ログにありません。");
    return read ? found : std::nullopt;
}

std::optional<std::int64_t> FindLoggedRoundBySave(const QString& logPath, const SaveStamp& save,
                                                  int answers, int correct, int wrong) {
    if (!QFileInfo(logPath).isFile()) return std::nullopt;
    LogConnection connection(logPath, LogConnection::Access::ReadOnly);
    if (!connection.IsOpen()) return std::nullopt;
    QSqlQuery q(connection.Database());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(
        "SELECT r.id FROM saves s JOIN rounds r ON r.id = s.round_id"
        " WHERE s.date_text = ? AND s.time_text = ? AND r.answers = ? AND r.correct = ?"
        " AND r.wrong = ? ORDER BY r.id DESC LIMIT 1"));
    q.addBindValue(save.date);
    q.addBindValue(save.time);
    q.addBindValue(answers);
    q.addBindValue(correct);
    q.addBindValue(wrong);
    if (!q.exec() || !q.next()) return std::nullopt;
    return q.value(0).toLongLong();
}

}  // namespace keta
