// The reading side of the answer log: rounds and their events back as records for the figures
// and the windows.

#include <sqlite3.h>

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <map>
#include <unordered_map>
#include <utility>

#include "answer_log.h"

namespace keta {
namespace {

analysis::RoundRecord RoundFrom(const QSqlQuery& q) {
    analysis::RoundRecord r;
    r.id = q.value(0).toLongLong();
    r.startedAt = q.value(1).toString().toStdString();
    r.timeLimit = q.value(2).toInt();
    r.modeText = q.value(3).toString().toStdString();
    r.answers = q.value(4).toInt();
    r.correct = q.value(5).toInt();
    r.wrong = q.value(6).toInt();
    return r;
}

// Columns 1..8 of the answers query below.
analysis::AnswerRecord AnswerFrom(const QSqlQuery& q) {
    analysis::AnswerRecord a;
    a.ms = q.value(1).toLongLong();
    a.box = q.value(2).toInt();
    a.left = q.value(3).toInt();
    a.right = q.value(4).toInt();
    a.typed = q.value(5).toString().toStdString();
    a.expected = q.value(6).toInt();
    a.correct = q.value(7).toInt() != 0;
    a.cleared = q.value(8).toInt() != 0;
    return a;
}

constexpr const char* kRoundColumns =
    "SELECT id, started_at, time_limit, mode_text, answers, correct, wrong FROM rounds";
constexpr const char* kAnswerColumns =
    "SELECT round_id, ms, box, left_digit, right_digit, typed, expected, correct, cleared "
    "FROM answers";

// Calls `each(roundId, answer)` for every answer, in key order. Hundreds of thousands of rows
// are read for the figures, so the rows come straight from SQLite rather than through a
// QVariant per column; the Qt path stays as the fallback for a driver without its handle.
template <class Each>
bool ScanAnswers(const QSqlDatabase& db, Each&& each) {
    const QString sql =
        QString::fromLatin1(kAnswerColumns) + QStringLiteral(" ORDER BY round_id, seq");
    const QVariant handle = db.driver()->handle();
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0) {
        sqlite3* h = *static_cast<sqlite3* const*>(handle.constData());
        sqlite3_stmt* stmt = nullptr;
        const QByteArray utf8 = sql.toUtf8();
        if (h == nullptr ||
            sqlite3_prepare_v2(h, utf8.constData(), -1, &stmt, nullptr) != SQLITE_OK)
            return false;
        int rc = SQLITE_ROW;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            analysis::AnswerRecord a;
            a.ms = sqlite3_column_int64(stmt, 1);
            a.box = sqlite3_column_int(stmt, 2);
            a.left = sqlite3_column_int(stmt, 3);
            a.right = sqlite3_column_int(stmt, 4);
            const auto* typed = sqlite3_column_text(stmt, 5);
            a.typed.assign(typed == nullptr ? "" : reinterpret_cast<const char*>(typed),
                           static_cast<std::size_t>(sqlite3_column_bytes(stmt, 5)));
            a.expected = sqlite3_column_int(stmt, 6);
            a.correct = sqlite3_column_int(stmt, 7) != 0;
            a.cleared = sqlite3_column_int(stmt, 8) != 0;
            each(static_cast<qlonglong>(sqlite3_column_int64(stmt, 0)), std::move(a));
        }
        sqlite3_finalize(stmt);
        return rc == SQLITE_DONE;
    }
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(sql)) return false;
    while (q.next()) each(q.value(0).toLongLong(), AnswerFrom(q));
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

std::optional<analysis::RoundRecord> AnswerLog::LoadRound(std::int64_t id) {
    if (!Usable()) return std::nullopt;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QString::fromLatin1(kRoundColumns) + QStringLiteral(" WHERE id = ?"));
    q.addBindValue(static_cast<qlonglong>(id));
    if (!q.exec() || !q.next()) return std::nullopt;
    analysis::RoundRecord round = RoundFrom(q);
    q.finish();
    q.prepare(QString::fromLatin1(kAnswerColumns) +
              QStringLiteral(" WHERE round_id = ? ORDER BY seq"));
    q.addBindValue(static_cast<qlonglong>(id));
    if (!q.exec()) return std::nullopt;
    while (q.next()) round.events.push_back(AnswerFrom(q));
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
    if (!q.exec(QString::fromLatin1(kRoundColumns) + QStringLiteral(" ORDER BY id"))) return rounds;
    std::unordered_map<qlonglong, std::size_t> index;
    while (q.next()) {
        index.emplace(q.value(0).toLongLong(), rounds.size());
        rounds.push_back(RoundFrom(q));
        rounds.back().events.reserve(static_cast<std::size_t>(rounds.back().answers) + 16);
    }
    q.finish();
    qlonglong current = -1;
    analysis::RoundRecord* round = nullptr;
    const bool read = ScanAnswers(db, [&](qlonglong id, analysis::AnswerRecord&& a) {
        if (id != current) {
            const auto it = index.find(id);
            round = it == index.end() ? nullptr : &rounds[it->second];
            current = id;
        }
        if (round != nullptr) round->events.push_back(std::move(a));
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
    bool ok = q.exec(QString::fromLatin1(kRoundColumns));
    while (ok && q.next()) rounds[q.value(0).toLongLong()].first = RoundFrom(q);
    ok = ok &&
         q.exec(QStringLiteral("SELECT round_id, date_text, time_text FROM saves ORDER BY id"));
    while (ok && q.next()) {
        const auto it = rounds.find(q.value(0).toLongLong());
        if (it != rounds.end())
            it->second.second.push_back({q.value(1).toString(), q.value(2).toString()});
    }
    q.finish();
    ok = ok && ScanAnswers(db, [&](qlonglong id, analysis::AnswerRecord&& a) {
             const auto it = rounds.find(id);
             if (it != rounds.end()) visit(it->second.first, it->second.second, a);
         });
    if (!ok) lastError_ = QStringLiteral("解答ログを読み切れませんでした。");
    q.finish();
    QSqlQuery(db).exec(QStringLiteral("COMMIT"));
    return ok;
}

}  // namespace keta
