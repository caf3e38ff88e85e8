// The writing side of the answer log: each write is one transaction that takes the lock up
// front, checks that the file is still the one opened and still of this program's version,
// and sets a damaged file aside before trying once more.

#include <sqlite3.h>
#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include "answer_log.h"
#include "log_connection.h"
#include "log_rows.h"

namespace keta {
namespace {

// SQLite's primary result codes, as Qt reports them in QSqlError::nativeErrorCode().
enum SqliteCode { kBusy = 5, kLocked = 6, kCorrupt = 11, kNotADatabase = 26 };

int CodeOf(const QSqlError& error) {
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok ? (code & 0xFF) : -1;
}
bool IsBusy(const QSqlError& e) { return CodeOf(e) == kBusy || CodeOf(e) == kLocked; }
bool IsCorrupt(const QSqlError& e) { return CodeOf(e) == kCorrupt || CodeOf(e) == kNotADatabase; }

QString Utf8(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

std::uint64_t InodeOf(const QString& file) {
    struct stat st {};
    return ::stat(QFile::encodeName(file).constData(), &st) == 0 ? st.st_ino : 0;
}

// A round's own columns, in the order the round is written and looked for: started_at,
// time_limit, mode_text, answers, correct, wrong, kind.
void BindRoundColumns(QSqlQuery& q, const analysis::RoundRecord& round) {
    q.addBindValue(Utf8(round.startedAt));
    q.addBindValue(round.timeLimit);
    q.addBindValue(Utf8(round.modeText));
    q.addBindValue(round.answers);
    q.addBindValue(round.correct);
    q.addBindValue(round.wrong);
    q.addBindValue(static_cast<int>(round.kind));
}

// Runs a prepared statement; false leaves its error for the transaction.
bool Exec(QSqlQuery& q, QSqlError& error) {
    if (q.exec()) return true;
    error = q.lastError();
    return false;
}

}  // namespace

AnswerLog::WriteResult AnswerLog::Transact(
    const QString& what, const std::function<bool(QSqlDatabase&, QSqlError&)>& body) {
    if (access_ != Access::ReadWrite) return WriteResult::Failed;
    // Another program may have put a file in the log's place (a restore, a set-aside by a
    // second instance): the rows go to the file under the path, never to one renamed away.
    if (opened_ && !SameFileAsOpened()) CloseReplaced();
    if (!Usable()) {
        if (!lockedAtOpen_) return WriteResult::Failed;
        ReportBusy(what);
        return WriteResult::Busy;
    }
    QSqlError error;
    bool newer = false;
    const auto attempt = [&]() -> bool {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        QSqlQuery q(db);
        // The write lock up front: the busy timeout waits for another instance here, before
        // anything is written.
        if (!q.exec(QStringLiteral("BEGIN IMMEDIATE")) ||
            !q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) {
            error = q.lastError();
            return false;
        }
        // A newer program may have migrated the file since it was opened: rows of the old
        // shape would not fit it.
        if (q.value(0).toInt() > kSchemaVersion) {
            newer = true;
            return false;
        }
        q.finish();
        const bool written = body(db, error);
        if (written && q.exec(QStringLiteral("COMMIT"))) {
            walInode_ = InodeOf(path_ + QStringLiteral("-wal"));
            return true;
        }
        if (written) error = q.lastError();
        return false;
    };
    for (int tries = 0; tries < 2; ++tries) {
        if (attempt()) return WriteResult::Written;
        QSqlQuery(QSqlDatabase::database(connection_, false)).exec(QStringLiteral("ROLLBACK"));
        if (newer) {
            CloseConnection();
            ReportOff(QStringLiteral("%1 はこのプログラムより新しい版に書き換えられました。"
                                     "ファイルには手を付けません。\n解答ログは記録しませんが、"
                                     "練習と履歴.txt への保存はこれまでどおり続けられます。")
                          .arg(QFileInfo(path_).fileName()));
            return WriteResult::Failed;
        }
        if (!IsCorrupt(error) || tries > 0) break;
        // Damage found while writing: keep the file aside and write afresh.
        if (!SetAsideCorruptFile() || OpenConnection() != OpenResult::Ok) {
            CloseConnection();
            ReportOff(lastError_);
            return WriteResult::Failed;
        }
    }
    if (IsBusy(error)) {
        ReportBusy(what);
        return WriteResult::Busy;
    }
    Fail(QStringLiteral("%1 に%2を書き込めませんでした（%3）。ディスクの空きや書き込み権限を"
                        "確かめてください。書き込めるようになりしだい書き込みます。練習と"
                        "履歴.txt への保存はこれまでどおり続けられます。")
             .arg(QFileInfo(path_).fileName(), what, error.text()));
    return WriteResult::Failed;
}

void AnswerLog::CloseReplaced() {
    const QString walName = path_ + QStringLiteral("-wal");
    const bool ownWal = walInode_ != 0 && InodeOf(walName) == walInode_;
    if (sqlite3* h = SqliteHandle(QSqlDatabase::database(connection_, false))) {
        if (ownWal) {
            // The file was moved away without its journal: SQLite would leave the journal under
            // the old name for the file now there to replay. Its rounds go into the moved file
            // first, and the emptied journal is removed below.
            sqlite3_wal_checkpoint_v2(h, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
        }
        // Never checkpointed into, nor deleted by name at the close: a journal under that name
        // that is not this connection's belongs to the log that is there now.
        sqlite3_db_config(h, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    }
    CloseConnection();
    if (ownWal && InodeOf(walName) == walInode_ && QFileInfo(walName).size() == 0)
        QFile::remove(walName);
    walInode_ = 0;
}

AnswerLog::WriteResult AnswerLog::WriteRound(analysis::RoundRecord& round,
                                             const std::vector<SaveStamp>& saves) {
    qlonglong id = 0;
    const WriteResult result =
        Transact(QStringLiteral("この回の解答"), [&](QSqlDatabase& db, QSqlError& error) {
            QSqlQuery q(db);
            q.prepare(QLatin1String(kInsertRoundSql));
            BindRoundColumns(q, round);
            if (!Exec(q, error)) return false;
            id = q.lastInsertId().toLongLong();
            if (round.kind == analysis::RoundKind::Focus) {
                q.prepare(QLatin1String(kInsertFocusRoundSql));
                q.addBindValue(id);
                q.addBindValue(round.focusPercent);
                q.addBindValue(Utf8(round.focusPairs));
                if (!Exec(q, error)) return false;
            }
            QSqlQuery a(db);
            a.prepare(QLatin1String(kInsertAnswerSql));
            int seq = 0;
            for (const analysis::AnswerRecord& e : round.events) {
                a.bindValue(0, id);
                a.bindValue(1, seq++);
                a.bindValue(2, static_cast<qlonglong>(e.ms));
                a.bindValue(3, e.box);
                a.bindValue(4, e.left);
                a.bindValue(5, e.right);
                a.bindValue(6, Utf8(e.typed));
                a.bindValue(7, e.expected);
                a.bindValue(8, e.correct ? 1 : 0);
                a.bindValue(9, e.cleared ? 1 : 0);
                if (!Exec(a, error)) return false;
            }
            for (const SaveStamp& s : saves) {
                q.prepare(QLatin1String(kInsertSaveSql));
                q.addBindValue(id);
                q.addBindValue(s.date);
                q.addBindValue(s.time);
                if (!Exec(q, error)) return false;
            }
            return true;
        });
    if (result == WriteResult::Written) round.id = id;
    return result;
}

AnswerLog::WriteResult AnswerLog::AddSave(std::int64_t roundId, const SaveStamp& save) {
    return Transact(QStringLiteral("保存の記録"), [&](QSqlDatabase& db, QSqlError& error) {
        QSqlQuery q(db);
        q.prepare(QLatin1String(kInsertSaveSql));
        q.addBindValue(static_cast<qlonglong>(roundId));
        q.addBindValue(save.date);
        q.addBindValue(save.time);
        return Exec(q, error);
    });
}

AnswerLog::WriteResult AnswerLog::WriteSessionStart(const std::string& startedAt,
                                                    const SessionSettings& s, std::int64_t* id) {
    qlonglong made = 0;
    const WriteResult result =
        Transact(QStringLiteral("練習の記録"), [&](QSqlDatabase& db, QSqlError& error) {
            QSqlQuery q(db);
            q.prepare(QLatin1String(kInsertSessionSql));
            q.addBindValue(Utf8(startedAt));
            q.addBindValue(s.lineSeconds);
            q.addBindValue(s.firstHalfLines);
            q.addBindValue(s.secondHalfLines);
            q.addBindValue(s.restMinutes);
            q.addBindValue(static_cast<int>(s.mode));
            q.addBindValue(s.showMarks ? 1 : 0);
            q.addBindValue(s.showTimeLeft ? 1 : 0);
            if (!Exec(q, error)) return false;
            made = q.lastInsertId().toLongLong();
            q.prepare(QLatin1String(kRememberSessionSettingsSql));
            q.addBindValue(Utf8(SessionSettingsText(s)));
            return Exec(q, error);
        });
    if (result == WriteResult::Written && id != nullptr) *id = made;
    return result;
}

AnswerLog::WriteResult AnswerLog::WriteSessionLine(std::int64_t sessionId, const LineResult& line) {
    return Transact(QStringLiteral("練習の行"), [&](QSqlDatabase& db, QSqlError& error) {
        QSqlQuery q(db);
        q.prepare(QLatin1String(kInsertSessionLineSql));
        q.addBindValue(qlonglong{sessionId});
        q.addBindValue(line.half);
        q.addBindValue(line.line);
        q.addBindValue(line.difference ? 1 : 0);
        q.addBindValue(line.Answers());
        q.addBindValue(line.Errors());
        if (!Exec(q, error)) return false;
        if (q.numRowsAffected() != 1) return true;
        q.prepare(QLatin1String(kInsertSessionAnswerSql));
        int seq = 0;
        for (const LineAnswer& a : line.answers) {
            q.addBindValue(qlonglong{sessionId});
            q.addBindValue(line.half);
            q.addBindValue(line.line);
            q.addBindValue(++seq);
            q.addBindValue(qlonglong{a.ms});
            q.addBindValue(a.box);
            q.addBindValue(a.left);
            q.addBindValue(a.right);
            q.addBindValue(Utf8(a.typed));
            q.addBindValue(a.expected);
            q.addBindValue(a.correct ? 1 : 0);
            if (!Exec(q, error)) return false;
        }
        return true;
    });
}

AnswerLog::WriteResult AnswerLog::WriteSessionEnd(std::int64_t sessionId, SessionState state) {
    return Transact(QStringLiteral("練習の終わり"), [&](QSqlDatabase& db, QSqlError& error) {
        QSqlQuery q(db);
        q.prepare(QLatin1String(kEndSessionSql));
        q.addBindValue(QLatin1String(SessionStateText(state)));
        q.addBindValue(qlonglong{sessionId});
        return Exec(q, error);
    });
}

AnswerLog::WriteResult AnswerLog::WritePreference(const QString& key, const QString& value) {
    return Transact(QStringLiteral("設定"), [&](QSqlDatabase& db, QSqlError& error) {
        QSqlQuery q(db);
        q.prepare(QStringLiteral("INSERT OR REPLACE INTO preferences (key, value) VALUES (?, ?)"));
        q.addBindValue(key);
        q.addBindValue(value);
        return Exec(q, error);
    });
}

std::optional<std::int64_t> AnswerLog::FindRound(const analysis::RoundRecord& round) {
    if (!Usable()) return std::nullopt;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    // The same start, counts and kind, and as many answers: two rounds of one second with the
    // same counts and answers are one round written twice.
    q.prepare(QStringLiteral(
        "SELECT id FROM rounds r WHERE started_at = ? AND time_limit = ? AND mode_text = ?"
        " AND answers = ? AND correct = ? AND wrong = ? AND kind = ?"
        " AND (SELECT count(*) FROM answers a WHERE a.round_id = r.id) = ? LIMIT 1"));
    BindRoundColumns(q, round);
    q.addBindValue(static_cast<qlonglong>(round.events.size()));
    if (!q.exec() || !q.next()) return std::nullopt;
    return q.value(0).toLongLong();
}

std::optional<std::int64_t> AnswerLog::FindSession(const std::string& startedAt,
                                                   const SessionSettings& s) {
    if (!Usable()) return std::nullopt;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.prepare(QStringLiteral(
        "SELECT id FROM sessions WHERE started_at = ? AND line_seconds = ? AND first_lines = ?"
        " AND second_lines = ? AND rest_minutes = ? AND mode = ? LIMIT 1"));
    q.addBindValue(Utf8(startedAt));
    q.addBindValue(s.lineSeconds);
    q.addBindValue(s.firstHalfLines);
    q.addBindValue(s.secondHalfLines);
    q.addBindValue(s.restMinutes);
    q.addBindValue(static_cast<int>(s.mode));
    if (!q.exec() || !q.next()) return std::nullopt;
    return q.value(0).toLongLong();
}

bool AnswerLog::HasSave(std::int64_t roundId, const SaveStamp& save) {
    if (!Usable()) return false;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.prepare(QStringLiteral(
        "SELECT 1 FROM saves WHERE round_id = ? AND date_text = ? AND time_text = ? LIMIT 1"));
    q.addBindValue(static_cast<qlonglong>(roundId));
    q.addBindValue(save.date);
    q.addBindValue(save.time);
    return q.exec() && q.next();
}

}  // namespace keta
