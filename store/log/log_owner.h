#pragma once
// The one owner of the answer log in this program: every write to the log (drill and focus
// rounds, saves, session lines and ends, remembered settings, the daily goal) is handed to it
// and done on its thread through its one connection, in the order handed over. The windows
// never wait for the disk. What cannot be written yet is kept: in memory up to a day of
// practice, beyond that and at the end of the run in a journal beside the log that the next
// owner replays. Whatever is neither written nor kept is told, with its count.

#include <QObject>
#include <QPointer>
#include <QString>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "log_ops.h"
#include "message_boxes.h"
#include "round_sink.h"

namespace keta {

class AnswerLog;
class LogJournal;

// What became of one write.
enum class LogFate {
    Written,  // in the log; the id is its row's key where it has one
    Held,     // not yet: kept, and written as soon as the log takes it
    Lost,     // neither written nor kept; the person was told
};

class LogOwner : public QObject, public RoundSink {
public:
    struct Options {
        int busyTimeoutMs = 2000;  // how long one write waits for another program's lock
        int retryMs = 3000;        // how soon held writes are tried again
        // Answers kept in memory at most (about a day of practice); older writes beyond it
        // go to the journal.
        std::size_t memoryAnswers = 200000;
    };
    // Told on the GUI thread what became of a write: its fate and the key of its row.
    using Reply = std::function<void(LogFate, std::int64_t)>;

    // The owner of the log at `path` for this process, made at the first call and shared by
    // every window until the last lets go.
    static std::shared_ptr<LogOwner> Of(const QString& path);

    explicit LogOwner(QString path);
    LogOwner(QString path, Options options);
    ~LogOwner() override;  // Finish()
    LogOwner(const LogOwner&) = delete;
    LogOwner& operator=(const LogOwner&) = delete;

    const QString& Path() const { return path_; }
    // Warnings go to the newest listener whose `context` is still alive.
    void Listen(QObject* context, MessageBoxes* boxes);
    // Checks a log that is there (and writes what earlier runs left in journals), making no
    // file when there is none.
    void OpenSoon();

    // RoundSink: a closed round, and a save of it, by its ticket.
    std::uint64_t TakeRound(analysis::RoundRecord&& round) override;
    void TakeSave(std::uint64_t round, const SaveStamp& save) override;
    std::size_t PendingRounds() const override;

    // A session's row; its lines and end name the ticket returned.
    std::uint64_t StartSession(const std::string& startedAt, const SessionSettings& settings,
                               QObject* context = nullptr, Reply reply = {});
    void TakeLine(std::uint64_t session, const LineResult& line, QObject* context = nullptr,
                  Reply reply = {});
    void EndSession(std::uint64_t session, SessionState state);
    void SetPreference(const QString& key, const QString& value, QObject* context = nullptr,
                       Reply reply = {});

    // Waits (at most `timeoutMs`) until every write handed over was tried: for readers, who
    // must see a round closed a moment ago, without waiting for the first check of a long log.
    // True when that happened in time.
    bool WaitUntilTried(int timeoutMs);
    // Waits until nothing is held, kept or being done (a write, the check of the file).
    bool WaitUntilIdle(int timeoutMs);
    // The end of the run: a last try, the rest into the journal, the person told of anything
    // neither written nor kept. Returns what was lost. Called again, it returns the same.
    LogTally Finish();
    // The log cannot be used in this run (another program's, a newer version's ...).
    bool IsOff() const;
    // How many writes were handed over so far: a reader that saw the same count before and
    // after, and an owner with nothing left to try, missed none of this program's writes.
    std::uint64_t Handed() const;

private:
    struct Entry {
        LogOp op;
        QPointer<QObject> context;
        Reply reply;
        bool heldTold = false;
    };
    class Relay;
    enum class Pass { Done, Held };

    // An entry of `kind` whose fate is told to `reply` on `context`'s thread.
    static Entry Told(LogOp::Kind kind, QObject* context, Reply reply);
    std::uint64_t Hand(Entry&& entry, bool wakeLater);
    void Run();
    void Take(std::deque<Entry>& taken);
    Pass WriteHeld(AnswerLog& log);
    Pass ReplayOrphans(AnswerLog& log);
    Pass ReplayOwnJournal(AnswerLog& log);
    // Writes one op, its target found through `ids`; the row's key in *id. `replay`: from a
    // journal, where what is already in the log counts as written.
    LogFate WriteOne(AnswerLog& log, LogOp& op,
                     std::unordered_map<std::uint64_t, std::int64_t>& ids, std::int64_t* id,
                     bool replay = false);
    void Spill(bool all);
    // Gives up everything held in memory and says how much; `offNow`: the log is off for the
    // run, and later losses go unsaid.
    void LoseHeld(const QString& why, bool offNow = false);
    // Tells, at the end of the run, what waits in the journal for the next.
    void TellKept();
    void Tell(Entry& entry, LogFate fate, std::int64_t id);
    void Post(const QString& text, const QString& title);
    void Deliver();
    void Settle(std::size_t rounds);

    QString path_;
    Options options_;

    mutable std::mutex mutex_;  // guards what follows, up to the thread
    std::condition_variable wake_, idle_;
    std::deque<Entry> inbox_;
    std::size_t unwrittenRounds_ = 0;  // handed over, neither written nor lost
    std::size_t keptOps_ = 0;          // held in memory or the journal after the last pass
    bool openRequested_ = false;
    bool working_ = false;
    // Working on writes just handed over: what readers wait for, not the first check of a long
    // log nor another try of writes held through a lock.
    bool writing_ = false;
    bool stop_ = false;
    bool finished_ = false;
    bool off_ = false;
    std::uint64_t nextTicket_ = 0;
    std::uint64_t handed_ = 0;
    LogTally lostAtEnd_;
    std::thread thread_;
    bool wakeScheduled_ = false;  // GUI thread's

    // The thread's own.
    std::deque<Entry> held_;
    std::size_t heldAnswers_ = 0;
    std::unordered_map<std::uint64_t, std::int64_t> ids_;  // ticket → key of its row
    std::unique_ptr<LogJournal> journal_;
    std::size_t journalOps_ = 0;  // in this run's journal, not yet in the log
    bool orphansDone_ = false;    // journals of earlier runs replayed since the last open
    LogTally lostTally_;          // told as lost, for Finish's count
    bool offTold_ = false;        // the person heard that the log is off for the run
    LogTally untold_;             // lost since then, said at the end of the run

    std::mutex outboxMutex_;
    std::deque<std::pair<QString, QString>> outbox_;  // text, title
    std::vector<std::pair<QPointer<QObject>, MessageBoxes*>> listeners_;
};

}  // namespace keta
