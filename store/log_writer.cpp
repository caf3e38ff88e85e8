#include "log_writer.h"

#include <QMetaObject>
#include <chrono>

#include "answer_log.h"

namespace keta {

// The writer's side of the message boxes: each warning goes to the owner's thread.
class LogWriter::Relay : public MessageBoxes {
public:
    explicit Relay(LogWriter& owner) : owner_(owner) {}
    Answer AskOkCancelWarning(const QString& text, const QString& title) override {
        owner_.Post(text, title);
        return Answer::Cancel;
    }
    void InformOk(const QString& text, const QString& title) override { owner_.Post(text, title); }
    void ReportError(const QString& text, const QString& title) override {
        owner_.Post(text, title);
    }

private:
    LogWriter& owner_;
};

LogWriter::LogWriter(QString path, MessageBoxes& boxes, int busyTimeoutMs)
    : path_(std::move(path)), boxes_(boxes), busyTimeoutMs_(busyTimeoutMs) {
    thread_ = std::thread([this] { Run(); });
}

LogWriter::~LogWriter() { Finish(); }

void LogWriter::OpenSoon() {
    {
        const std::lock_guard lock(mutex_);
        openRequested_ = true;
    }
    wake_.notify_one();
}

void LogWriter::TakeRound(std::uint64_t serial, analysis::RoundRecord&& round) {
    {
        const std::lock_guard lock(mutex_);
        inbox_.push_back({serial, std::move(round), {}});
        ++inboxRounds_;
    }
    WakeSoon();
    // What the opening found is told now that a round is at stake, after this close.
    if (!roundTaken_) {
        roundTaken_ = true;
        QMetaObject::invokeMethod(
            this, [this] { DeliverMessages(); }, Qt::QueuedConnection);
    }
}

void LogWriter::TakeSave(std::uint64_t serial, const SaveStamp& save) {
    {
        const std::lock_guard lock(mutex_);
        inbox_.push_back({serial, std::nullopt, save});
    }
    WakeSoon();
}

std::size_t LogWriter::PendingRounds() const {
    const std::lock_guard lock(mutex_);
    return inboxRounds_ + queuedRounds_;
}

void LogWriter::WakeSoon() {
    // Woken once the close is over: a thread woken at once could take the processor from the
    // close on a busy machine. The round and its save go in one write.
    if (wakeScheduled_) return;
    wakeScheduled_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            wakeScheduled_ = false;
            wake_.notify_one();
        },
        Qt::QueuedConnection);
}

bool LogWriter::WaitUntilIdle(int timeoutMs) {
    wake_.notify_one();
    std::unique_lock lock(mutex_);
    return idle_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] {
        return (inbox_.empty() && !openRequested_ && !working_) || finished_;
    });
}

bool LogWriter::WaitUntilWritten(int timeoutMs) {
    wake_.notify_one();
    std::unique_lock lock(mutex_);
    return idle_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                          [this] { return (inbox_.empty() && !writing_) || finished_; });
}

std::size_t LogWriter::Finish() {
    {
        const std::lock_guard lock(mutex_);
        if (finished_) return unwritten_;
        stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
    {
        const std::lock_guard lock(mutex_);
        finished_ = true;
    }
    // A run without a round lost nothing: a log that could not be opened goes unmentioned.
    DeliverMessages();
    return unwritten_;
}

void LogWriter::Post(const QString& text, const QString& title) {
    {
        const std::lock_guard lock(outboxMutex_);
        outbox_.emplace_back(text, title);
    }
    // Queued: the box opens once the owner's thread is back in its event loop, after the
    // close it was running.
    QMetaObject::invokeMethod(
        this, [this] { DeliverMessages(); }, Qt::QueuedConnection);
}

void LogWriter::DeliverMessages() {
    if (!roundTaken_) return;
    for (;;) {
        std::pair<QString, QString> message;
        {
            const std::lock_guard lock(outboxMutex_);
            if (outbox_.empty()) return;
            message = std::move(outbox_.front());
            outbox_.pop_front();
        }
        boxes_.ReportError(message.first, message.second);
    }
}

void LogWriter::Run() {
    // The connection is made, used and closed on this thread only.
    Relay relay(*this);
    AnswerLog log(path_, &relay, busyTimeoutMs_);
    LogQueue queue(log, &relay);
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || openRequested_ || !inbox_.empty(); });
        std::deque<Item> items;
        items.swap(inbox_);
        const std::size_t rounds = std::exchange(inboxRounds_, 0);
        const bool open = std::exchange(openRequested_, false);
        const bool stop = stop_;
        queuedRounds_ += rounds;
        working_ = true;
        writing_ = !items.empty();
        lock.unlock();

        for (Item& item : items) {
            if (item.round) {
                queue.AddRound(item.serial, std::move(*item.round));
            } else {
                queue.AddSave(item.serial, item.save);
            }
        }
        if (!items.empty() || stop) {
            queue.Flush();
        } else if (open) {
            (void)log.Open();
        }
        std::size_t unwritten = 0;
        if (stop) unwritten = queue.ReportUnwrittenAtExit();

        lock.lock();
        queuedRounds_ = queue.PendingRounds();
        working_ = false;
        writing_ = false;
        idle_.notify_all();
        if (stop) {
            unwritten_ = unwritten;
            return;
        }
    }
}

}  // namespace keta
