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

#include "log_bounds.h"
#include "log_connection.h"
#include "log_schema.h"
#include "session_store.h"
#include "sqlite_columns.h"

namespace keta {
namespace {

class Statement {
public:
    Statement(sqlite3* h, const char* sql) { sqlite3_prepare_v2(h, sql, -1, &stmt_, nullptr); }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    bool Valid() const { return stmt_ != nullptr; }
    // Binds the keys of the sessions to read: ?1 the lowest, ?2 the highest.
    Statement& Range(std::int64_t low, std::int64_t high) {
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

struct SessionReading {
    StoredSession* session;
    log_bounds::SessionLineChecker lines;
    std::vector<std::pair<std::int64_t, std::int64_t>> declared;  // answers, errors per line
    std::int64_t previousMs = 0;
    std::size_t lineOfPrevious = SIZE_MAX;
};

void MarkDamaged(StoredSession& s) {
    s.damaged = true;
    s.lines.clear();
    s.lines.shrink_to_fit();
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
    std::vector<StoredSession> sessions;
    LogConnection connection(logPath, LogConnection::Access::ReadOnly);
    sqlite3* h = connection.Handle();
    if (h == nullptr) return fail(QStringLiteral("解答ログを開けませんでした。"));
    // Every page of a long log is read once: mapped, it is not copied into the page cache too.
    sqlite3_exec(h, "PRAGMA mmap_size = 268435456", nullptr, nullptr, nullptr);
    sqlite3_exec(h, "BEGIN", nullptr, nullptr, nullptr);
    struct EndRead {
        sqlite3* h;
        ~EndRead() { sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr); }
    } endRead{h};
    const QString unreadable = QStringLiteral("解答ログのセッションを読めませんでした。");

    std::vector<SessionReading> reading;
    std::unordered_map<std::int64_t, std::size_t> index;
    {
        Statement q(h,
                    "SELECT id, substr(started_at, 1, 4097), line_seconds, first_lines,"
                    " second_lines, rest_minutes, mode, show_marks, show_time_left, state,"
                    " length(started_at) FROM sessions WHERE id BETWEEN ?1 AND ?2 ORDER BY id");
        if (!q.Valid()) return fail(unreadable);
        q.Range(low, high);
        while (q.Step()) {
            StoredSession s;
            s.id = q.Int(0);
            log_bounds::SessionRow row;
            row.lineSeconds = q.Int(2);
            row.firstLines = q.Int(3);
            row.secondLines = q.Int(4);
            row.restMinutes = q.Int(5);
            row.mode = q.Int(6);
            row.showMarks = q.Int(7);
            row.showTimeLeft = q.Int(8);
            row.startedChars = q.Int(10);
            const std::string state = q.Text(9);
            s.damaged = !log_bounds::SessionRowInBounds(row) ||
                        (state != "finished" && state != "stopped" && state != "running");
            if (!s.damaged) {
                s.startedAt = q.Text(1);
                s.settings.lineSeconds = static_cast<int>(row.lineSeconds);
                s.settings.firstHalfLines = static_cast<int>(row.firstLines);
                s.settings.secondHalfLines = static_cast<int>(row.secondLines);
                s.settings.restMinutes = static_cast<int>(row.restMinutes);
                s.settings.mode = static_cast<SessionMode>(row.mode);
                s.settings.showMarks = row.showMarks != 0;
                s.settings.showTimeLeft = row.showTimeLeft != 0;
                s.running = state == "running";
                s.state = state == "finished" ? SessionState::Finished : SessionState::Stopped;
            }
            index.emplace(s.id, sessions.size());
            sessions.push_back(std::move(s));
            reading.push_back({nullptr, log_bounds::SessionLineChecker(row), {}});
        }
        if (!q.Done()) return fail(unreadable);
    }
    for (std::size_t i = 0; i < sessions.size(); ++i) reading[i].session = &sessions[i];

    {
        Statement q(h,
                    "SELECT session_id, half, line, difference, answers, errors"
                    " FROM session_lines WHERE session_id BETWEEN ?1 AND ?2"
                    " ORDER BY session_id, half, line");
        if (!q.Valid()) return fail(unreadable);
        q.Range(low, high);
        while (q.Step()) {
            const auto it = index.find(q.Int(0));
            if (it == index.end()) continue;
            SessionReading& r = reading[it->second];
            if (r.session->damaged) continue;
            const log_bounds::SessionLineRow row{q.Int(1), q.Int(2), q.Int(3), q.Int(4), q.Int(5)};
            if (!r.lines.Accept(row)) {
                MarkDamaged(*r.session);
                continue;
            }
            LineResult line;
            line.half = static_cast<int>(row.half);
            line.line = static_cast<int>(row.line);
            line.difference = row.difference != 0;
            // The count a row claims is not trusted with memory: the answers read decide, and
            // a line that claims more than it holds marks its session damaged below.
            line.answers.reserve(static_cast<std::size_t>(std::min<std::int64_t>(row.answers, 64)));
            r.session->lines.push_back(std::move(line));
            r.declared.emplace_back(row.answers, row.errors);
        }
        if (!q.Done()) return fail(unreadable);
    }

    {
        Statement q(h,
                    "SELECT session_id, half, line, ms, box, left_digit, right_digit, typed,"
                    " expected, correct FROM session_answers WHERE session_id BETWEEN ?1 AND ?2"
                    " ORDER BY session_id, half, line, seq");
        if (!q.Valid()) return fail(unreadable);
        q.Range(low, high);
        std::int64_t lastId = 0;
        SessionReading* last = nullptr;
        std::uint32_t rows = 0;
        while (q.Step()) {
            if ((++rows & 1023u) == 0 && Cancelled(cancel)) return std::nullopt;
            // Each column is read once: this loop runs for every answer of every session.
            const std::int64_t id = q.Int(0);
            // Rows come session by session: one look-up per session, not per answer.
            if (last == nullptr || id != lastId) {
                const auto it = index.find(id);
                lastId = id;
                last = it == index.end() ? nullptr : &reading[it->second];
            }
            if (last == nullptr) continue;
            SessionReading& r = *last;
            StoredSession& s = *r.session;
            if (s.damaged) continue;
            // Lines are kept in order without gaps, so a line's place follows from its number.
            const std::int64_t half = q.Int(1), number = q.Int(2);
            if (!log_bounds::Within(half, 1, 2) || !log_bounds::Within(number, 1, 30)) {
                MarkDamaged(s);
                continue;
            }
            const std::int64_t place = (half == 2 ? s.settings.firstHalfLines : 0) + number - 1;
            if (place < 0 || place >= static_cast<std::int64_t>(s.lines.size()) ||
                s.lines[static_cast<std::size_t>(place)].half != half ||
                s.lines[static_cast<std::size_t>(place)].line != number) {
                MarkDamaged(s);  // an answer of a line that is not there
                continue;
            }
            const auto at = static_cast<std::size_t>(place);
            if (r.lineOfPrevious != at) r.previousMs = 0;
            const log_bounds::SessionAnswerRow row{q.Int(3), q.Int(4), q.Int(5),  q.Int(6),
                                                   q.Int(8), q.Int(9), q.Bytes(7)};
            LineResult& line = s.lines[at];
            if (!log_bounds::SessionAnswerInBounds(row, r.previousMs, r.lines.LineMs()) ||
                line.Answers() >= r.declared[at].first) {
                MarkDamaged(s);
                continue;
            }
            r.previousMs = row.ms;
            r.lineOfPrevious = at;
            LineAnswer& a = line.answers.emplace_back();
            a.ms = row.ms;
            a.box = static_cast<int>(row.box);
            a.left = static_cast<int>(row.left);
            a.right = static_cast<int>(row.right);
            a.typed = q.Text(7);
            a.expected = static_cast<int>(row.expected);
            a.correct = row.correct != 0;
        }
        if (!q.Done()) return fail(unreadable);
    }
    // Each line's counts must match its answers: a count without them would be a figure the
    // log cannot back.
    for (SessionReading& r : reading) {
        StoredSession& s = *r.session;
        if (s.damaged) continue;
        for (std::size_t i = 0; i < s.lines.size(); ++i) {
            if (s.lines[i].Answers() != r.declared[i].first ||
                s.lines[i].Errors() != r.declared[i].second) {
                MarkDamaged(s);
                break;
            }
        }
    }
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
            Statement count(h, "SELECT count(*) FROM sessions");
            const std::int64_t n = count.Valid() && count.Step() ? count.Int(0) : 0;
            Statement at(h, "SELECT id FROM sessions ORDER BY id LIMIT 1 OFFSET ?1");
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
    Statement q(h,
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

}  // namespace keta
