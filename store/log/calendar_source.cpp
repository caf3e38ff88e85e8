#include "calendar_source.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include "answer_log.h"
#include "history_points.h"
#include "log_connection.h"

namespace keta {
namespace {

const QString kGoalKey = QStringLiteral("daily_goal_minutes");

// The local day of a "yyyy-MM-ddTHH:mm:ss" or "yyyy/MM/dd" text; an impossible date otherwise,
// which the figures leave out.
analysis::CivilDate DayOf(const QString& text) {
    if (text.size() < 10) return {0, 0, 0};
    bool y = false, m = false, d = false;
    analysis::CivilDate day{text.left(4).toInt(&y), text.mid(5, 2).toInt(&m),
                            text.mid(8, 2).toInt(&d)};
    if (!y || !m || !d) return {0, 0, 0};
    return day;
}

bool HasTable(const QSqlDatabase& db, const QString& name) {
    QSqlQuery q(db);
    q.prepare(
        QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ?"));
    q.addBindValue(name);
    return q.exec() && q.next() && q.value(0).toLongLong() > 0;
}

bool HasColumn(const QSqlDatabase& db, const QString& table, const QString& column) {
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT count(*) FROM pragma_table_info(?) WHERE name = ?"));
    q.addBindValue(table);
    q.addBindValue(column);
    return q.exec() && q.next() && q.value(0).toLongLong() > 0;
}

int GoalFrom(const QSqlDatabase& db) {
    if (!HasTable(db, QStringLiteral("preferences"))) return 0;
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT substr(value, 1, 32) FROM preferences WHERE key = ?"));
    q.addBindValue(kGoalKey);
    if (!q.exec() || !q.next()) return 0;
    bool ok = false;
    const int minutes = q.value(0).toString().toInt(&ok);
    return ok && minutes > 0 && minutes <= kMaxDailyGoalMinutes ? minutes : 0;
}

// Bounds beyond anything the drill writes: a hand-edited row cannot swamp a day.
constexpr qlonglong kMaxRoundSeconds = qlonglong{24} * 3600;
constexpr qlonglong kMaxLineSeconds = 3600;

bool ReadLog(const QSqlDatabase& db, CalendarSource& source) {
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("BEGIN"))) return false;
    bool ok = true;
    if (HasTable(db, QStringLiteral("rounds"))) {
        // A log from before focus rounds has no kind: every round in it was the drill's.
        const bool kinds = HasColumn(db, QStringLiteral("rounds"), QStringLiteral("kind"));
        ok = q.exec(kinds ? QStringLiteral("SELECT substr(started_at, 1, 32), time_limit,"
                                           " CAST(kind AS INTEGER) = 1 FROM rounds")
                          : QStringLiteral("SELECT substr(started_at, 1, 32), time_limit, 0"
                                           " FROM rounds"));
        while (ok && q.next()) {
            const qlonglong seconds = q.value(1).toLongLong();
            if (seconds < 0 || seconds > kMaxRoundSeconds) continue;
            source.items.push_back({DayOf(q.value(0).toString()), seconds,
                                    q.value(2).toLongLong() == 1
                                        ? analysis::PracticeSource::Focus
                                        : analysis::PracticeSource::Round});
        }
    }
    if (ok && HasTable(db, QStringLiteral("sessions")) &&
        HasTable(db, QStringLiteral("session_lines"))) {
        ok = q.exec(QStringLiteral(
            "SELECT substr(s.started_at, 1, 32), s.line_seconds,"
            " (SELECT count(*) FROM session_lines l WHERE l.session_id = s.id) FROM sessions s"));
        while (ok && q.next()) {
            const qlonglong lineSeconds = q.value(1).toLongLong();
            const qlonglong lines = q.value(2).toLongLong();
            if (lineSeconds < 0 || lineSeconds > kMaxLineSeconds || lines < 0 || lines > 1000)
                continue;
            source.items.push_back({DayOf(q.value(0).toString()), lineSeconds * lines,
                                    analysis::PracticeSource::Session});
        }
    }
    if (ok) source.goalMinutes = GoalFrom(db);
    q.finish();
    QSqlQuery(db).exec(QStringLiteral("COMMIT"));
    return ok;
}

}  // namespace

CalendarSource ReadCalendarSource(const QString& logPath, const QString& historyPath) {
    CalendarSource source;
    if (QFileInfo(logPath).isFile()) {
        LogConnection connection(logPath, LogConnection::Access::ReadOnly);
        if (!connection.IsOpen() || !ReadLog(connection.Database(), source)) {
            source.items.clear();
            source.goalMinutes = 0;
            source.problem = QStringLiteral("解答ログを読めませんでした。");
        }
    }
    const HistoryPointsRead history = ReadHistoryPoints(historyPath);
    if (history.status == HistoryPointsRead::Status::Read) {
        for (const analysis::HistoryPoint& point : history.points) {
            // The same result saved twice is one round of practice.
            if (point.repeatsPrevious || point.timeLimit <= 0) continue;
            source.items.push_back({DayOf(QString::fromStdString(point.date)), point.timeLimit,
                                    analysis::PracticeSource::History});
        }
    } else if (history.status != HistoryPointsRead::Status::Missing && source.problem.isEmpty()) {
        source.problem = QStringLiteral("履歴.txt を読めませんでした。");
    }
    return source;
}

std::vector<qint64> CalendarStamp(const QDate& day, const QString& logPath,
                                  const QString& historyPath) {
    std::vector<qint64> stamp{day.toJulianDay()};
    for (const QString& path : {logPath, logPath + QStringLiteral("-wal"), historyPath}) {
        const QFileInfo info(path);
        stamp.push_back(info.exists() ? info.size() : -1);
        stamp.push_back(info.exists() ? info.lastModified().toMSecsSinceEpoch() : -1);
    }
    return stamp;
}

int LoadDailyGoal(const QString& logPath) {
    if (!QFileInfo(logPath).isFile()) return 0;
    LogConnection connection(logPath, LogConnection::Access::ReadOnly);
    return connection.IsOpen() ? GoalFrom(connection.Database()) : 0;
}

QString LoadPreference(const QString& logPath, const QString& key) {
    if (!QFileInfo(logPath).isFile()) return {};
    LogConnection connection(logPath, LogConnection::Access::ReadOnly);
    if (!connection.IsOpen() || !HasTable(connection.Database(), QStringLiteral("preferences")))
        return {};
    QSqlQuery q(connection.Database());
    q.prepare(QStringLiteral("SELECT substr(value, 1, 200) FROM preferences WHERE key = ?"));
    q.addBindValue(key);
    return q.exec() && q.next() ? q.value(0).toString() : QString();
}

bool SaveDailyGoal(LogOwner& owner, int minutes, QString* why, QObject* context,
                   LogOwner::Reply done) {
    if (minutes < 0 || minutes > kMaxDailyGoalMinutes) {
        if (why != nullptr)
            *why = QStringLiteral("1日の目標は 0〜%1 分です。").arg(kMaxDailyGoalMinutes);
        return false;
    }
    owner.SetPreference(kGoalKey, QString::number(minutes), context, std::move(done));
    return true;
}

}  // namespace keta
