#pragma once
// The answer log: every round that reached timed play and every answer in it, kept in an
// SQLite database beside the two data files. The drill never depends on it: when the database
// cannot be used the user is told once and the log stays quiet for the rest of the run.

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "log_schema.h"
#include "message_boxes.h"
#include "practice_session.h"
#include "round_record.h"

namespace keta {

// One save of a round to the history file: the date and time texts of its line.
struct SaveStamp {
    QString date;  // "yyyy/MM/dd", item 1 of the line
    QString time;  // "HH:mm:ss", item 2
};

class AnswerLog {
public:
    // The file's name in the working folder, beside 設定.txt and 履歴.txt.
    static QString FileName();

    enum class Access {
        ReadWrite,  // the program's own log: created, migrated, set aside when corrupt
        ReadOnly,   // reading someone's log (an export): the file is never changed
    };

    // `path` is the database file; `boxes` (may be null) hears of the first failure of the run.
    // Nothing is opened before the first use. `busyTimeoutMs` is how long a write waits for
    // another instance that holds the write lock.
    explicit AnswerLog(QString path, MessageBoxes* boxes = nullptr, int busyTimeoutMs = 2000,
                       Access access = Access::ReadWrite);
    ~AnswerLog();
    AnswerLog(const AnswerLog&) = delete;
    AnswerLog& operator=(const AnswerLog&) = delete;

    // Opens the database when it is not open yet: WAL journal, foreign keys, the schema made
    // or migrated. A corrupt file is renamed to "<name>.corrupt-<stamp>" (with its -wal and
    // -shm) and a fresh log started; a database that is not this program's log is left as it
    // is and the log is off. False when the log cannot be used now.
    bool Open();
    // Opens the log only when its file is there: a look at start-up makes no file. True when
    // there is nothing to open or the log opened.
    bool OpenIfPresent();
    // False once opening failed for good; true before the first use and while a lock held by
    // another program keeps it from opening (tried again at the next use).
    bool IsAvailable() const { return available_; }
    // The last failure in words (Japanese), empty when there was none.
    QString LastError() const { return lastError_; }
    const QString& Path() const { return path_; }
    // The name the last damaged file was set aside under, empty when none was.
    const QString& SetAsideName() const { return setAsideName_; }

    enum class WriteResult {
        Written,
        Busy,    // another instance holds the write lock: worth trying again later
        Failed,  // the log is unusable or the disk refused the write
    };

    // Writes a round, its events and its saves in one transaction; sets round.id on success.
    WriteResult WriteRound(analysis::RoundRecord& round, const std::vector<SaveStamp>& saves = {});
    // Records one more save of a round already written.
    WriteResult AddSave(std::int64_t roundId, const SaveStamp& save);
    // A practice session's row (state "running"), its settings remembered as the last used;
    // sets *id on success.
    WriteResult WriteSessionStart(const std::string& startedAt, const SessionSettings& settings,
                                  std::int64_t* id);
    // One completed line with its answers; a line already there is left as it is.
    WriteResult WriteSessionLine(std::int64_t sessionId, const LineResult& line);
    WriteResult WriteSessionEnd(std::int64_t sessionId, SessionState state);
    // One value of the preferences table (the daily goal, ...).
    WriteResult WritePreference(const QString& key, const QString& value);

    // For a journal's replay: the key of a round or session already in the log as the write
    // would make it, and whether a save is there, so that a journal replayed again after a
    // crash in the middle writes nothing twice.
    std::optional<std::int64_t> FindRound(const analysis::RoundRecord& round);
    std::optional<std::int64_t> FindSession(const std::string& startedAt,
                                            const SessionSettings& settings);
    bool HasSave(std::int64_t roundId, const SaveStamp& save);

    // The round whose save matches a history line: its date and time texts, and the counters
    // as a cross-check (a line written by hand or by another instance may share the second).
    // The latest such round, with its events.
    std::optional<analysis::RoundRecord> FindRoundBySave(const QString& dateText,
                                                         const QString& timeText, int answers,
                                                         int correct, int wrong);
    // One round with its events, std::nullopt when there is no such round or the log is unusable.
    std::optional<analysis::RoundRecord> LoadRound(std::int64_t id);
    // Every round with its events, oldest first.
    std::vector<analysis::RoundRecord> LoadAllRounds();
    // Calls `visit` for every event, round by round, oldest first, with its round's columns
    // (without events) and the round's saves. Returns false when the log cannot be read.
    bool ForEachAnswer(
        const std::function<void(const analysis::RoundRecord&, const std::vector<SaveStamp>&,
                                 const analysis::AnswerRecord&)>& visit);
    // The saves of a round, oldest first.
    std::vector<SaveStamp> SavesOf(std::int64_t roundId);

    // The schema version this program writes into PRAGMA user_version.
    static constexpr int kSchemaVersion = kLogSchemaVersion;

private:
    enum class OpenResult { Ok, Corrupt, Busy, Failed };
    OpenResult OpenConnection();
    // One write transaction: the lock taken up front, the file under the path still the one
    // open, its version still this program's, `body` run, then the commit. A damaged file
    // is set aside and the write tried once more on a fresh log. `what` names the write in
    // the warnings ("この回の解答").
    WriteResult Transact(const QString& what,
                         const std::function<bool(QSqlDatabase&, QSqlError&)>& body);
    // True while the file at the path is the one the connection has open.
    bool SameFileAsOpened() const;
    // Closes a connection whose file was replaced under the path. SQLite deletes the journal
    // by name at the last close: a journal that is now another file's is left alone.
    void CloseReplaced();
    // The rounds' columns as the open log has them.
    QString RoundColumns() const;
    void CloseConnection();
    bool SetAsideCorruptFile();
    bool Usable();
    void Fail(const QString& text);
    void ReportOnce(const QString& text);
    void ReportBusy(const QString& what);
    // The log is off for the run; said once, whatever was said before.
    void ReportOff(const QString& text);

    QString path_;
    QString connection_;
    MessageBoxes* boxes_;
    int busyTimeoutMs_;
    Access access_;
    bool opened_ = false;
    bool available_ = true;
    bool reported_ = false;
    bool reportedOff_ = false;
    bool lockedAtOpen_ = false;
    int openedVersion_ = kSchemaVersion;  // the schema of the open file
    QString lastError_;
    QString setAsideName_;
    // The file opened, by device and inode: a file put in its place is noticed and opened.
    std::uint64_t openedDevice_ = 0, openedInode_ = 0;
    std::uint64_t walInode_ = 0;  // the -wal file this connection wrote, once it wrote
};

}  // namespace keta
