// The reading side of the answer log: rounds and their events back as records for the figures
// and the windows.

#include <sqlite3.h>

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>

#include "answer_log.h"
#include "log_bounds.h"
#include "log_connection.h"
#include "sqlite_columns.h"

namespace keta {
namespace {

// Integers through CAST, so that a text or a huge real in a column arrives as a bounded
// 64-bit value, and texts as a prefix with their full length beside it.
constexpr const char* kRoundColumnsBeforeKinds =
    "SELECT id, substr(started_at, 1, 4097), CAST(time_limit AS INTEGER),"
    " substr(mode_text, 1, 4097), CAST(answers AS INTEGER), CAST(correct AS INTEGER),"
    " CAST(wrong AS INTEGER), length(started_at), length(mode_text), 0, NULL, NULL FROM rounds";
constexpr const char* kRoundColumnsWithKinds =
    "SELECT id, substr(started_at, 1, 4097), CAST(time_limit AS INTEGER),"
    " substr(mode_text, 1, 4097), CAST(answers AS INTEGER), CAST(correct AS INTEGER),"
    " CAST(wrong AS INTEGER), length(started_at), length(mode_text), CAST(kind AS INTEGER),"
    " (SELECT CAST(percent AS INTEGER) FROM focus_rounds WHERE round_id = rounds.id),"
    " (SELECT substr(pairs, 1, 64) FROM focus_rounds WHERE round_id = rounds.id) FROM rounds";
// The version that gave rounds their kind; a log read as it is (an export) may predate it.
constexpr int kVersionWithKinds = 3;
constexpr const char* kAnswerColumns =
    "SELECT round_id, CAST(ms AS INTEGER), CAST(box AS INTEGER), CAST(left_digit AS INTEGER),"
    " CAST(right_digit AS INTEGER), substr(typed, 1, 4097), CAST(expected AS INTEGER),"
    " CAST(correct AS INTEGER), CAST(cleared AS INTEGER), length(typed) FROM answers";
// The same columns for SQLite's own reading, which converts and saturates by itself and gives
// a text's length without a copy.
constexpr const char* kAnswerColumnsRaw =
    "SELECT round_id, ms, box, left_digit, right_digit, typed, expected, correct, cleared"
    " FROM answers";

// A round row; flagged damaged when a value lies outside what the drill can produce.
analysis::RoundRecord RoundFrom(const QSqlQuery& q) {
    analysis::RoundRecord r;
    log_bounds::RoundRow row;
    r.id = q.value(0).toLongLong();
    row.timeLimit = q.value(2).toLongLong();
    row.answers = q.value(4).toLongLong();
    row.correct = q.value(5).toLongLong();
    row.wrong = q.value(6).toLongLong();
    row.startedChars = q.value(7).toLongLong();
    row.modeChars = q.value(8).toLongLong();
    if (!log_bounds::RoundRowInBounds(row)) {
        r.damaged = true;
        return r;
    }
    r.startedAt = q.value(1).toString().toStdString();
    r.timeLimit = static_cast<int>(row.timeLimit);
    r.modeText = q.value(3).toString().toStdString();
    r.answers = static_cast<int>(row.answers);
    r.correct = static_cast<int>(row.correct);
    r.wrong = static_cast<int>(row.wrong);
    // Any kind this program does not know reads as the drill's, so the round still counts.
    if (q.value(9).toLongLong() == static_cast<int>(analysis::RoundKind::Focus)) {
        r.kind = analysis::RoundKind::Focus;
        r.focusPercent = static_cast<int>(std::clamp<qlonglong>(q.value(10).toLongLong(), 0, 100));
        r.focusPairs = q.value(11).toString().toStdString();
    }
    return r;
}

// Columns 1..9 of the answers query above.
log_bounds::AnswerRow AnswerRowFrom(const QSqlQuery& q) {
    log_bounds::AnswerRow a;
    a.ms = q.value(1).toLongLong();
    a.box = q.value(2).toLongLong();
    a.left = q.value(3).toLongLong();
    a.right = q.value(4).toLongLong();
    a.expected = q.value(6).toLongLong();
    a.correct = q.value(7).toLongLong();
    a.cleared = q.value(8).toLongLong();
    a.typedBytes = q.value(9).toLongLong();
    return a;
}

// Calls `each(roundId, row, typed)` for every answer, in key order; `typed()` gives the
// text. Hundreds of thousands of rows are read for the figures, so the rows come straight
// from SQLite rather than through a QVariant per column; the Qt path stays as the fallback
// for a driver without its handle.
template <class Each>
bool ScanAnswers(const QSqlDatabase& db, Each&& each) {
    const QString order = QStringLiteral(" ORDER BY round_id, seq");
    if (sqlite3* h = SqliteHandle(db)) {
        sqlite3_stmt* stmt = nullptr;
        const QByteArray utf8 = (QString::fromLatin1(kAnswerColumnsRaw) + order).toUtf8();
        if (sqlite3_prepare_v2(h, utf8.constData(), -1, &stmt, nullptr) != SQLITE_OK) return false;
        int rc = SQLITE_ROW;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            each(static_cast<qlonglong>(sqlite3_column_int64(stmt, 0)), AnswerRowAt(stmt),
                 [stmt] { return ColumnText(stmt, kTypedColumn); });
        }
        sqlite3_finalize(stmt);
        return rc == SQLITE_DONE;
    }
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QString::fromLatin1(kAnswerColumns) + order)) return false;
    while (q.next()) {
        each(q.value(0).toLongLong(), AnswerRowFrom(q),
             [&q] { return q.value(5).toString().toStdString(); });
    }
    return !q.lastError().isValid();
}

}  // namespace

std::vector<SaveStamp> AnswerLog::SavesOf(std::int64_t roundId) {
    std::vector<SaveStamp> saves;
    if (!Usable()) return saves;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.setForwardOnly(true);
    q.prepare(
        QStringLiteral("SELECT date_text, time_text FROM saves WHERE round_id = ? ORDER BY id"));
    q.addBindValue(static_cast<qlonglong>(roundId));
    if (!q.exec()) return saves;
    while (q.next()) saves.push_back({q.value(0).toString(), q.value(1).toString()});
    return saves;
}

QString AnswerLog::RoundColumns() const {
    return QString::fromLatin1(openedVersion_ >= kVersionWithKinds ? kRoundColumnsWithKinds
                                                                   : kRoundColumnsBeforeKinds);
}

std::optional<analysis::RoundRecord> AnswerLog::LoadRound(std::int64_t id) {
    if (!Usable()) return std::nullopt;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(RoundColumns() + QStringLiteral(" WHERE id = ?"));
    q.addBindValue(static_cast<qlonglong>(id));
    if (!q.exec() || !q.next()) return std::nullopt;
    analysis::RoundRecord round = RoundFrom(q);
    q.finish();
    if (round.damaged) return round;
    q.prepare(QString::fromLatin1(kAnswerColumns) +
              QStringLiteral(" WHERE round_id = ? ORDER BY seq"));
    q.addBindValue(static_cast<qlonglong>(id));
    if (!q.exec()) return std::nullopt;
    log_bounds::RoundReader reader(round);
    while (q.next() && !round.damaged)
        reader.Add(AnswerRowFrom(q), [&q] { return q.value(5).toString().toStdString(); });
    return round;
}

std::optional<analysis::RoundRecord> AnswerLog::FindRoundBySave(const QString& dateText,
                                                                const QString& timeText,
                                                                int answers, int correct,
                                                                int wrong) {
    if (!Usable()) return std::nullopt;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(
        "SELECT r.id FROM saves s JOIN rounds r ON r.id = s.round_id"
        " WHERE s.date_text = ? AND s.time_text = ? AND r.answers = ? AND r.correct = ?"
        " AND r.wrong = ? ORDER BY r.id DESC LIMIT 1"));
    q.addBindValue(dateText);
    q.addBindValue(timeText);
    q.addBindValue(answers);
    q.addBindValue(correct);
    q.addBindValue(wrong);
    if (!q.exec() || !q.next()) return std::nullopt;
    const std::int64_t id = q.value(0).toLongLong();
    q.finish();
    return LoadRound(id);
}

std::vector<analysis::RoundRecord> AnswerLog::LoadAllRounds() {
    std::vector<analysis::RoundRecord> rounds;
    if (!Usable()) return rounds;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    // One read transaction: a round another instance writes meanwhile is wholly in or out.
    if (!q.exec(QStringLiteral("BEGIN"))) return rounds;
    struct EndRead {
        QSqlDatabase db;
        ~EndRead() { QSqlQuery(db).exec(QStringLiteral("COMMIT")); }
    } endRead{db};
    if (!q.exec(RoundColumns() + QStringLiteral(" ORDER BY id"))) return rounds;
    std::unordered_map<qlonglong, std::size_t> index;
    while (q.next()) {
        index.emplace(q.value(0).toLongLong(), rounds.size());
        rounds.push_back(RoundFrom(q));
    }
    q.finish();
    qlonglong current = -1;
    std::optional<log_bounds::RoundReader> reader;
    const bool read =
        ScanAnswers(db, [&](qlonglong id, const log_bounds::AnswerRow& a, const auto& typed) {
            if (id != current) {
                const auto it = index.find(id);
                reader.reset();
                if (it != index.end()) reader.emplace(rounds[it->second]);
                current = id;
            }
            if (reader) reader->Add(a, typed);
        });
    if (!read) return {};
    return rounds;
}

bool AnswerLog::ForEachAnswer(
    const std::function<void(const analysis::RoundRecord&, const std::vector<SaveStamp>&,
                             const analysis::AnswerRecord&)>& visit) {
    if (!Usable()) return false;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    // One read transaction, so that a round written meanwhile by another instance is either
    // wholly in or wholly out.
    if (!q.exec(QStringLiteral("BEGIN"))) return false;
    std::map<qlonglong, std::pair<analysis::RoundRecord, std::vector<SaveStamp>>> rounds;
    bool ok = q.exec(RoundColumns());
    while (ok && q.next()) rounds[q.value(0).toLongLong()].first = RoundFrom(q);
    ok = ok &&
         q.exec(QStringLiteral("SELECT round_id, date_text, time_text FROM saves ORDER BY id"));
    while (ok && q.next()) {
        const auto it = rounds.find(q.value(0).toLongLong());
        if (it != rounds.end())
            it->second.second.push_back({q.value(1).toString(), q.value(2).toString()});
    }
    q.finish();
    // A round's answers are held until its last one is read: a damaged round gives none.
    decltype(rounds)::iterator current = rounds.end();
    std::optional<log_bounds::RoundReader> reader;
    const auto visitCurrent = [&] {
        if (current == rounds.end()) return;
        analysis::RoundRecord& round = current->second.first;
        for (const analysis::AnswerRecord& a : round.events)
            visit(round, current->second.second, a);
        round.events.clear();
        round.events.shrink_to_fit();
    };
    ok =
        ok && ScanAnswers(db, [&](qlonglong id, const log_bounds::AnswerRow& a, const auto& typed) {
            if (current == rounds.end() || current->first != id) {
                visitCurrent();
                current = rounds.find(id);
                reader.reset();
                if (current != rounds.end()) reader.emplace(current->second.first);
            }
            if (reader) reader->Add(a, typed);
        });
    if (ok) visitCurrent();
    if (!ok) lastError_ = QStringLiteral("解答ログを読み切れませんでした。");
    q.finish();
    QSqlQuery(db).exec(QStringLiteral("COMMIT"));
    return ok;
}

}  // namespace keta
