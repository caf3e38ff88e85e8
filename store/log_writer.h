#pragma once
// The answer log on a thread of its own: opened, checked, migrated and written there, so that
// the close of a round only hands the round over. Its warnings come back to the thread that
// made the writer and open there, after whatever that thread was doing.

#include <QObject>
#include <QString>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "log_queue.h"
#include "message_boxes.h"

namespace keta {

class LogWriter : public QObject, public RoundSink {
public:
    // `boxes` shows the warnings, on this thread. `busyTimeoutMs` is how long the writer waits
    // for a lock held by another program before it keeps the rounds for the next close.
    LogWriter(QString path, MessageBoxes& boxes, int busyTimeoutMs = 2000);
    ~LogWriter() override;
    LogWriter(const LogWriter&) = delete;
    LogWriter& operator=(const LogWriter&) = delete;

    // Opens and checks the log in the background, ahead of the first close. Its warnings wait
    // for the first round handed over: until then nothing is lost, and no box covers the
    // window the user has just opened.
    void OpenSoon();
    void TakeRound(std::uint64_t serial, analysis::RoundRecord&& round) override;
    void TakeSave(std::uint64_t serial, const SaveStamp& save) override;
    std::size_t PendingRounds() const override;

    // Wakes the writer and returns true once everything handed over has been dealt with,
    // within `timeoutMs`.
    bool WaitUntilIdle(int timeoutMs);
    // Like WaitUntilIdle, but only for the rounds and saves handed over: an open and check of
    // the log with nothing to write is not waited for. For readers of the log, which must see
    // a round closed a moment ago but need not wait for the check of a long log.
    bool WaitUntilWritten(int timeoutMs);
    // The end of the run: a last try, then the user hears of the rounds still unwritten.
    // Returns their count. Called again, it only returns it.
    std::size_t Finish();
    // Shows the warnings the writer has sent and this thread not yet shown, once a round was
    // handed over.
    void DeliverMessages();

private:
    struct Item {
        std::uint64_t serial = 0;
        std::optional<analysis::RoundRecord> round;  // a save when empty
        SaveStamp save;
    };
    class Relay;
    void Run();
    void WakeSoon();
    void Post(const QString& text, const QString& title);

    QString path_;
    MessageBoxes& boxes_;
    int busyTimeoutMs_;

    mutable std::mutex mutex_;  // guards what follows, up to the thread
    std::condition_variable wake_, idle_;
    std::deque<Item> inbox_;
    std::size_t inboxRounds_ = 0;
    std::size_t queuedRounds_ = 0;  // in the writer's queue, unwritten
    bool openRequested_ = false;
    bool working_ = false;
    bool writing_ = false;  // working_ on items handed over, not only on the open
    bool stop_ = false;
    std::size_t unwritten_ = 0;
    bool finished_ = false;
    std::thread thread_;

    bool roundTaken_ = false;     // this thread's: a round was handed over
    bool wakeScheduled_ = false;  // this thread's: the writer is woken at the next event

    std::mutex outboxMutex_;
    std::deque<std::pair<QString, QString>> outbox_;  // text, title
};

}  // namespace keta
