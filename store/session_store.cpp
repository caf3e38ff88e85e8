// The writing side of the sessions in the answer log: a thread of its own with its own
// connection, one transaction per completed line, and whatever could not be written kept in
// memory for the next boundary.

#include "session_store.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <atomic>
#include <chrono>
#include <utility>

#include "answer_log.h"

namespace keta {
namespace {

QString StateText(SessionState state) {
    return state == SessionState::Finished  ? QStringLiteral("finished")
           : state == SessionState::Stopped ? QStringLiteral("stopped")
                                            : QStringLiteral("running");
}

// The settings as one line of "key=value" pairs, read back by LoadLastSessionSettings.
QString SettingsText(const SessionSettings& s) {
    return QStringLiteral(
               "line_seconds=%1;first_lines=%2;second_lines=%3;rest_minutes=%4;"
               "mode=%5;show_marks=%6;show_time_left=%7")
        .arg(s.lineSeconds)
        .arg(s.firstHalfLines)
        .arg(s.secondHalfLines)
        .arg(s.restMinutes)
        .arg(static_cast<int>(s.mode))
        .arg(s.showMarks ? 1 : 0)
        .arg(s.showTimeLeft ? 1 : 0);
}

}  // namespace

// What the thread takes from the shared state for one pass.
struct SessionRecorder::Pending {
    bool check = false;
    bool start = false;  // the session row is still to be written
    std::string startedAt;
    SessionSettings settings;
    std::vector<LineResult> lines;
    std::optional<SessionState> end;
    // Results of the pass.
    std::size_t linesWritten = 0;
    bool startWritten = false;
    bool endWritten = false;
};

SessionRecorder::SessionRecorder(QString logPath, std::function<QDateTime()> now, int busyTimeoutMs)
    : path_(std::move(logPath)), now_(std::move(now)), busyTimeoutMs_(busyTimeoutMs) {
    static std::atomic<unsigned> serial{0};
    connection_ = QStringLiteral("ketatobi-session-writer-%1").arg(++serial);
    thread_ = std::thread([this] { Run(); });
}

SessionRecorder::~SessionRecorder() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
        ++handed_;
    }
    wake_.notify_one();
    thread_.join();
}

bool SessionRecorder::CheckWritable(QString* why, int timeoutMs) {
    std::unique_lock lock(mutex_);
    const int answered = checkAnswered_;
    checkRequested_ = true;
    ++handed_;
    wake_.notify_one();
    const bool done = idle_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                     [&] { return checkAnswered_ != answered; });
    if (!done) {
        if (why != nullptr) {
            *why = QStringLiteral(
                "解答ログの準備が時間内に終わりませんでした（ほかのプログラムが"
                "使っているのかもしれません）。");
        }
        return false;
    }
    if (!writable_ && why != nullptr) *why = why_;
    return writable_;
}

void SessionRecorder::SessionStarted(const SessionSettings& settings, std::int64_t) {
    const std::string at = now_().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toStdString();
    {
        const std::lock_guard lock(mutex_);
        started_ = true;
        startedAt_ = at;
        settings_ = settings.Clamped();
        ++handed_;
    }
    wake_.notify_one();
}

void SessionRecorder::LineCompleted(const LineResult& line) {
    LineResult copy = line;
    {
        const std::lock_guard lock(mutex_);
        lines_.push_back(std::move(copy));
        ++handed_;
    }
    wake_.notify_one();
}

void SessionRecorder::SessionEnded(SessionState state) {
    {
        const std::lock_guard lock(mutex_);
        endState_ = state;
        ++handed_;
    }
    wake_.notify_one();
}

int SessionRecorder::UnwrittenLines(int timeoutMs) {
    using Steady = std::chrono::steady_clock;
    std::unique_lock lock(mutex_);
    const auto deadline = Steady::now() + std::chrono::milliseconds(timeoutMs);
    const auto outstanding = [this] {
        return !lines_.empty() || (started_ && sessionId_ == 0) || (endState_ && !endWritten_);
    };
    // Tries again while there is time: a lock held by another instance may go meanwhile.
    while (outstanding()) {
        ++handed_;
        const std::uint64_t asked = handed_;
        wake_.notify_one();
        if (!idle_.wait_until(lock, deadline, [&] { return seen_ >= asked && !working_; })) break;
        if (!outstanding() || Steady::now() >= deadline) break;
        // A pass that failed: a short pause before the next one.
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        lock.lock();
    }
    return static_cast<int>(lines_.size());
}

std::int64_t SessionRecorder::SessionId() const {
    const std::lock_guard lock(mutex_);
    return sessionId_;
}

void SessionRecorder::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return handed_ != seen_; });
        const std::uint64_t taken = handed_;
        const bool stop = stop_;
        Pending work;
        work.check = std::exchange(checkRequested_, false);
        work.start = started_ && sessionId_ == 0;
        work.startedAt = startedAt_;
        work.settings = settings_;
        work.lines.assign(lines_.begin(), lines_.end());
        if (endState_ && !endWritten_) work.end = endState_;
        working_ = true;
        lock.unlock();

        // A recorder that was never used leaves the folder as it found it.
        const bool any = work.check || work.start || !work.lines.empty() || work.end.has_value();
        const bool ok = !any || WriteSome(work);

        lock.lock();
        lines_.erase(lines_.begin(),
                     lines_.begin() + static_cast<std::ptrdiff_t>(work.linesWritten));
        if (work.endWritten) endWritten_ = true;
        if (work.check) {
            writable_ = ok;
            ++checkAnswered_;
        }
        seen_ = taken;
        working_ = false;
        idle_.notify_all();
        if (stop) break;
    }
    lock.unlock();
    if (QSqlDatabase::contains(connection_)) {
        {
            QSqlDatabase db = QSqlDatabase::database(connection_, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(connection_);
    }
}

// One pass on the recorder's thread: opens when needed, then writes what it can, in order,
// and stops at the first failure so that the lines stay in order. False when the log could
// not be used.
bool SessionRecorder::WriteSome(Pending& work) {
    const auto setWhy = [this](const QString& text) {
        const std::lock_guard lock(mutex_);
        why_ = text;
    };
    if (!QSqlDatabase::contains(connection_)) {
        // The log's own opening: the foreign-database check, the migration, a corrupt file
        // set aside. Then a connection of this thread's for the session's writes.
        {
            AnswerLog log(path_, nullptr, busyTimeoutMs_);
            if (!log.Open()) {
                setWhy(QStringLiteral("解答ログ %1 に書き込めません。%2")
                           .arg(QFileInfo(path_).fileName(), log.LastError()));
                return false;
            }
        }
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
        db.setDatabaseName(path_);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs_));
        if (!db.open() || !QSqlQuery(db).exec(QStringLiteral("PRAGMA foreign_keys = ON"))) {
            setWhy(QStringLiteral("解答ログ %1 を開けません: %2")
                       .arg(QFileInfo(path_).fileName(), db.lastError().text()));
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(connection_);
            return false;
        }
    }
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    const auto fail = [&](const QSqlError& e) {
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        setWhy(QStringLiteral("解答ログ %1 に書き込めません: %2")
                   .arg(QFileInfo(path_).fileName(), e.text()));
        return false;
    };
    if (work.check) {
        // A write that changes nothing proves the lock can be taken and the journal written.
        if (!q.exec(QStringLiteral("BEGIN IMMEDIATE")) ||
            !q.exec(QStringLiteral("INSERT OR REPLACE INTO preferences (key, value)"
                                   " SELECT key, value FROM preferences WHERE 0")) ||
            !q.exec(QStringLiteral("COMMIT")))
            return fail(q.lastError());
    }

    std::int64_t id = 0;
    if (work.start) {
        if (!q.exec(QStringLiteral("BEGIN IMMEDIATE"))) return fail(q.lastError());
        q.prepare(QStringLiteral(
            "INSERT INTO sessions (started_at, line_seconds, first_lines, second_lines,"
            " rest_minutes, mode, show_marks, show_time_left, state)"
            " VALUES (?, ?, ?, ?, ?, ?, ?, ?, 'running')"));
        const SessionSettings& s = work.settings;
        q.addBindValue(QString::fromStdString(work.startedAt));
        q.addBindValue(s.lineSeconds);
        q.addBindValue(s.firstHalfLines);
        q.addBindValue(s.secondHalfLines);
        q.addBindValue(s.restMinutes);
        q.addBindValue(static_cast<int>(s.mode));
        q.addBindValue(s.showMarks ? 1 : 0);
        q.addBindValue(s.showTimeLeft ? 1 : 0);
        if (!q.exec()) return fail(q.lastError());
        id = q.lastInsertId().toLongLong();
        q.prepare(QStringLiteral(
            "INSERT OR REPLACE INTO preferences (key, value) VALUES ('session_settings', ?)"));
        q.addBindValue(SettingsText(s));
        if (!q.exec() || !q.exec(QStringLiteral("COMMIT"))) return fail(q.lastError());
        const std::lock_guard lock(mutex_);
        sessionId_ = id;
    } else {
        const std::lock_guard lock(mutex_);
        id = sessionId_;
    }
    if (id == 0) return true;  // nothing started yet

    for (const LineResult& line : work.lines) {
        if (!q.exec(QStringLiteral("BEGIN IMMEDIATE"))) return fail(q.lastError());
        // A line already there was committed by a pass whose answer never came back.
        q.prepare(QStringLiteral(
            "INSERT OR IGNORE INTO session_lines (session_id, half, line, difference, answers,"
            " errors) VALUES (?, ?, ?, ?, ?, ?)"));
        q.addBindValue(qlonglong{id});
        q.addBindValue(line.half);
        q.addBindValue(line.line);
        q.addBindValue(line.difference ? 1 : 0);
        q.addBindValue(line.Answers());
        q.addBindValue(line.Errors());
        if (!q.exec()) return fail(q.lastError());
        if (q.numRowsAffected() == 1) {
            q.prepare(QStringLiteral(
                "INSERT INTO session_answers (session_id, half, line, seq, ms, box, left_digit,"
                " right_digit, typed, expected, correct) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                "?)"));
            int seq = 0;
            for (const LineAnswer& a : line.answers) {
                q.addBindValue(qlonglong{id});
                q.addBindValue(line.half);
                q.addBindValue(line.line);
                q.addBindValue(++seq);
                q.addBindValue(qlonglong{a.ms});
                q.addBindValue(a.box);
                q.addBindValue(a.left);
                q.addBindValue(a.right);
                q.addBindValue(QString::fromStdString(a.typed));
                q.addBindValue(a.expected);
                q.addBindValue(a.correct ? 1 : 0);
                if (!q.exec()) return fail(q.lastError());
            }
        }
        if (!q.exec(QStringLiteral("COMMIT"))) return fail(q.lastError());
        ++work.linesWritten;
    }

    if (work.end && work.linesWritten == work.lines.size()) {
        q.prepare(QStringLiteral("UPDATE sessions SET state = ? WHERE id = ?"));
        q.addBindValue(StateText(*work.end));
        q.addBindValue(qlonglong{id});
        if (!q.exec()) return fail(q.lastError());
        work.endWritten = true;
    }
    return true;
}

}  // namespace keta
