// The reading side of the sessions in the answer log: every session with its lines and
// answers, through a read-only connection, each value checked against what a session can
// produce.

#include <sqlite3.h>

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <algorithm>
#include <iterator>
#include <limits>
#include <thread>
#include <unordered_map>

#include "calendar_source.h"
#include "log_bounds.h"
#include "log_connection.h"
#include "log_schema.h"
#include "session_read.h"
#include "session_store.h"
#include "sqlite_columns.h"

namespace keta {
namespace {

// Why a log cannot be read, in words; empty when it can (or holds no sessions yet).
QString Unreadable(const LogInspection& seen, const QString& path) {
    const QString name = QFileInfo(path).fileName();
    switch (seen.kind) {
        case LogInspection::Kind::Busy:
            return QStringLiteral("解答ログ %1 はほかのプログラムが使っています。").arg(name);
        case LogInspection::Kind::Corrupt:
            return QStringLiteral("解答ログ %1 が壊れています: %2").arg(name, seen.detail);
        case LogInspection::Kind::Failed:
            return QStringLiteral("解答ログ %1 を開けません: %2").arg(name, seen.detail);
        case LogInspection::Kind::Newer:
            return QStringLiteral("解答ログ %1 はこのプログラムより新しい版で作られています。")
                .arg(name);
        case LogInspection::Kind::Foreign:
            return QStringLiteral("%1 は、このプログラムが知っている解答ログではありません。")
                .arg(name);
        default:
            return {};
    }
}

}  // namespace

namespace {

// The sessions whose keys lie in [low, high], with their lines and answers, through a
// connection of this call's own in one read transaction: a line written meanwhile is wholly in
// or wholly out.
std::optional<std::vector<StoredSession>> LoadRange(const QString& logPath, std::int64_t low,
                                                    std::int64_t high, QString* why,
                                                    const CancelFlag* cancel) {
    const auto fail = [why](const QString& text) {
        if (why != nullptr) *why = text;
        return std::nullopt;
    };
    LogConnection connection(logPath, LogConnection::Access::ReadOnly);
    sqlite3* h = connection.Handle();
    if (h == nullptr) return fail(QStringLiteral("解答ログを開けませんでした。"));
    // Every page of a long log is read once: mapped, it is not copied into the page cache too.
    sqlite3_exec(h, "PRAGMA mmap_size = 268435456", nullptr, nullptr, nullptr);
    bool stopped = false;
    auto sessions = ReadLogSessions(
        h, low, high, [cancel] { return Cancelled(cancel); }, &stopped);
    if (!sessions && !stopped)
        return fail(QStringLiteral("解答ログのセッションを読めませんでした。"));
    return sessions;
}

// Below this many sessions the log is read in one go; above, its two halves at once.
constexpr std::int64_t kSessionsToSplit = 128;

}  // namespace

std::optional<std::vector<StoredSession>> LoadSessions(const QString& logPath, QString* why,
                                                       const CancelFlag* cancel) {
    const auto fail = [why](const QString& text) {
        if (why != nullptr) *why = text;
        return std::nullopt;
    };
    const LogInspection seen = InspectLog(logPath, LogConnection::kBusyTimeoutMs);
    if (const QString text = Unreadable(seen, logPath); !text.isEmpty()) return fail(text);
    // No file, an empty one, or a log from before sessions: none kept yet.
    if (seen.kind != LogInspection::Kind::Ours || seen.version < 2)
        return std::vector<StoredSession>{};

    constexpr std::int64_t kLowest = std::numeric_limits<std::int64_t>::min();
    constexpr std::int64_t kHighest = std::numeric_limits<std::int64_t>::max();
    // The key that halves the sessions: each session is read whole, from one commit, by one
    // of two connections; a long log's two halves are read at once, on two cores.
    std::int64_t middle = kLowest;
    {
        LogConnection connection(logPath, LogConnection::Access::ReadOnly);
        if (sqlite3* h = connection.Handle()) {
            SqliteStatement count(h, "SELECT count(*) FROM sessions");
            const std::int64_t n = count.Valid() && count.Step() ? count.Int(0) : 0;
            SqliteStatement at(h, "SELECT id FROM sessions ORDER BY id LIMIT 1 OFFSET ?1");
            if (n >= kSessionsToSplit && at.Valid()) {
                sqlite3_bind_int64(at.Handle(), 1, n / 2);
                if (at.Step()) middle = at.Int(0);
            }
        }
    }
    if (middle == kLowest) return LoadRange(logPath, kLowest, kHighest, why, cancel);
    std::optional<std::vector<StoredSession>> upper;
    QString upperWhy;
    std::thread other([&] { upper = LoadRange(logPath, middle, kHighest, &upperWhy, cancel); });
    std::optional<std::vector<StoredSession>> lower =
        LoadRange(logPath, kLowest, middle - 1, why, cancel);
    other.join();
    if (!lower) return std::nullopt;
    if (!upper) return fail(upperWhy);
    lower->insert(lower->end(), std::make_move_iterator(upper->begin()),
                  std::make_move_iterator(upper->end()));
    return lower;
}

std::optional<SessionSettings> LoadLastSessionSettings(const QString& logPath) {
    const LogInspection seen = InspectLog(logPath, LogConnection::kBusyTimeoutMs);
    if (seen.kind != LogInspection::Kind::Ours || seen.version < 2) return std::nullopt;
    LogConnection connection(logPath, LogConnection::Access::ReadOnly);
    sqlite3* h = connection.Handle();
    if (h == nullptr) return std::nullopt;
    SqliteStatement q(h,
                      "SELECT substr(value, 1, 4097) FROM preferences"
                      " WHERE key = 'session_settings'");
    if (!q.Valid() || !q.Step()) return std::nullopt;
    std::unordered_map<std::string, std::int64_t> values;
    for (const QString& pair : QString::fromStdString(q.Text(0)).split(QLatin1Char(';'))) {
        const qsizetype eq = pair.indexOf(QLatin1Char('='));
        bool ok = false;
        const qlonglong v = pair.mid(eq + 1).toLongLong(&ok);
        if (eq > 0 && ok) values[pair.left(eq).toStdString()] = v;
    }
    log_bounds::SessionRow row;
    const auto take = [&](const char* key, std::int64_t& into) {
        const auto it = values.find(key);
        if (it == values.end()) return false;
        into = it->second;
        return true;
    };
    if (!take("line_seconds", row.lineSeconds) || !take("first_lines", row.firstLines) ||
        !take("second_lines", row.secondLines) || !take("rest_minutes", row.restMinutes) ||
        !take("mode", row.mode) || !take("show_marks", row.showMarks) ||
        !take("show_time_left", row.showTimeLeft) || !log_bounds::SessionRowInBounds(row))
        return std::nullopt;
    SessionSettings s;
    s.lineSeconds = static_cast<int>(row.lineSeconds);
    s.firstHalfLines = static_cast<int>(row.firstLines);
    s.secondHalfLines = static_cast<int>(row.secondLines);
    s.restMinutes = static_cast<int>(row.restMinutes);
    s.mode = static_cast<SessionMode>(row.mode);
    s.showMarks = row.showMarks != 0;
    s.showTimeLeft = row.showTimeLeft != 0;
    return s;
}

QString LeftOutKey() { return QString::fromLatin1(kLeftOutSessionsKey); }

QString LeftOutText(const std::set<std::int64_t>& ids) {
    // Never a null string: that is bound as SQL NULL, which the preferences table refuses.
    const QString text = QString::fromStdString(LeftOutSessionsText(ids));
    return text.isNull() ? QStringLiteral("") : text;
}

std::set<std::int64_t> LoadLeftOutSessions(const QString& logPath) {
    return ParseLeftOutSessions(LoadPreference(logPath, LeftOutKey()).toStdString());
}

}  // namespace keta
