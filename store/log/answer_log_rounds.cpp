#include "answer_log_rounds.h"

#include <sqlite3.h>

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <optional>
#include <string>
#include <unordered_map>

#include "log_connection.h"
#include "log_read.h"

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
    switch (ReadLogRounds(h, only, visit, [cancel] { return Cancelled(cancel); })) {
        case LogReadOutcome::Done:
            return true;
        case LogReadOutcome::Unreadable:
            return fail(QStringLiteral("解答ログを読めませんでした。"));
        case LogReadOutcome::Incomplete:
            return fail(QStringLiteral("解答ログを読み切れませんでした。"));
        case LogReadOutcome::Stopped:
            break;
    }
    return false;
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
