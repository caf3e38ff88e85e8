#include "log_owner.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <chrono>
#include <cstdio>
#include <map>

#include "answer_log.h"
#include "log_journal.h"

namespace keta {
namespace {

const QString kTitle = QStringLiteral("解答ログ");

std::mutex& RegistryMutex() {
    static std::mutex m;
    return m;
}
std::map<QString, std::weak_ptr<LogOwner>>& Registry() {
    static std::map<QString, std::weak_ptr<LogOwner>> owners;
    return owners;
}

}  // namespace

QString LogTally::Text() const {
    QStringList parts;
    if (rounds > 0) parts << QStringLiteral("%1 回分の解答").arg(rounds);
    if (saves > 0) parts << QStringLiteral("保存の記録 %1 件").arg(saves);
    if (sessions > 0) parts << QStringLiteral("本番形式の練習 %1 回の始まり").arg(sessions);
    if (lines > 0) parts << QStringLiteral("本番形式の練習の %1 行").arg(lines);
    if (ends > 0) parts << QStringLiteral("練習の終わりの記録 %1 件").arg(ends);
    if (settings > 0) parts << QStringLiteral("設定 %1 件").arg(settings);
    return parts.join(QStringLiteral("と"));
}

std::shared_ptr<LogOwner> LogOwner::Of(const QString& path) {
    const QString key = QFileInfo(path).absoluteFilePath();
    const std::lock_guard lock(RegistryMutex());
    std::weak_ptr<LogOwner>& known = Registry()[key];
    if (std::shared_ptr<LogOwner> owner = known.lock()) return owner;
    auto owner = std::make_shared<LogOwner>(key);
    known = owner;
    return owner;
}

LogOwner::LogOwner(QString path) : LogOwner(std::move(path), Options{}) {}

LogOwner::LogOwner(QString path, Options options)
    : path_(std::move(path)), options_(options), journal_(std::make_unique<LogJournal>(path_)) {
    thread_ = std::thread([this] { Run(); });
}

LogOwner::~LogOwner() { Finish(); }

void LogOwner::Listen(QObject* context, MessageBoxes* boxes) {
    std::erase_if(listeners_, [](const auto& l) { return l.first.isNull(); });
    listeners_.emplace_back(context, boxes);
}

void LogOwner::OpenSoon() {
    {
        const std::lock_guard lock(mutex_);
        openRequested_ = true;
    }
    wake_.notify_one();
}

std::uint64_t LogOwner::Hand(Entry&& entry, bool wakeLater) {
    std::uint64_t ticket = 0;
    {
        const std::lock_guard lock(mutex_);
        if (entry.op.kind == LogOp::Kind::Round || entry.op.kind == LogOp::Kind::SessionStart) {
            entry.op.ticket = ticket = ++nextTicket_;
        }
        if (finished_) {
            // After the end of the run nothing is written any more: said, never dropped quietly.
            LogTally late;
            late.Add(entry.op);
            lostAtEnd_.Add(entry.op);
            std::fprintf(stderr, "ketatobi: %s\n",
                         QStringLiteral("終了の後に渡された%1は解答ログに書き込めません。")
                             .arg(late.Text())
                             .toLocal8Bit()
                             .constData());
            return ticket;
        }
        if (entry.op.kind == LogOp::Kind::Round) ++unwrittenRounds_;
        ++handed_;
        inbox_.push_back(std::move(entry));
    }
    if (!wakeLater) {
        wake_.notify_one();
    } else if (!wakeScheduled_) {
        // Woken once the close is over: a thread woken at once could take the processor from
        // the close on a busy machine. A round and its save go in one write.
        wakeScheduled_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                wakeScheduled_ = false;
                wake_.notify_one();
            },
            Qt::QueuedConnection);
    }
    return ticket;
}

LogOwner::Entry LogOwner::Told(LogOp::Kind kind, QObject* context, Reply reply) {
    Entry e;
    e.op.kind = kind;
    e.context = context;
    e.reply = std::move(reply);
    return e;
}

std::uint64_t LogOwner::TakeRound(analysis::RoundRecord&& round) {
    Entry e;
    e.op.kind = LogOp::Kind::Round;
    e.op.round = std::move(round);
    return Hand(std::move(e), true);
}

void LogOwner::TakeSave(std::uint64_t round, const SaveStamp& save) {
    Entry e;
    e.op.kind = LogOp::Kind::Save;
    e.op.ticket = round;
    e.op.saves = {save};
    Hand(std::move(e), true);
}

std::size_t LogOwner::PendingRounds() const {
    const std::lock_guard lock(mutex_);
    return unwrittenRounds_;
}

std::uint64_t LogOwner::StartSession(const std::string& startedAt, const SessionSettings& settings,
                                     QObject* context, Reply reply) {
    Entry e = Told(LogOp::Kind::SessionStart, context, std::move(reply));
    e.op.startedAt = startedAt;
    e.op.settings = settings.Clamped();
    return Hand(std::move(e), false);
}

void LogOwner::TakeLine(std::uint64_t session, const LineResult& line, QObject* context,
                        Reply reply) {
    Entry e = Told(LogOp::Kind::SessionLine, context, std::move(reply));
    e.op.ticket = session;
    e.op.line = line;
    Hand(std::move(e), false);
}

void LogOwner::EndSession(std::uint64_t session, SessionState state) {
    Entry e;
    e.op.kind = LogOp::Kind::SessionEnd;
    e.op.ticket = session;
    e.op.state = state;
    Hand(std::move(e), false);
}

void LogOwner::SetPreference(const QString& key, const QString& value, QObject* context,
                             Reply reply) {
    Entry e = Told(LogOp::Kind::Preference, context, std::move(reply));
    e.op.key = key;
    e.op.value = value;
    Hand(std::move(e), false);
}

bool LogOwner::WaitUntilTried(int timeoutMs) {
    wake_.notify_one();
    std::unique_lock lock(mutex_);
    return idle_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                          [this] { return (inbox_.empty() && !writing_) || finished_; });
}

bool LogOwner::WaitUntilIdle(int timeoutMs) {
    wake_.notify_one();
    std::unique_lock lock(mutex_);
    return idle_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] {
        return (inbox_.empty() && !working_ && !openRequested_ && keptOps_ == 0) || finished_;
    });
}

std::uint64_t LogOwner::Handed() const {
    const std::lock_guard lock(mutex_);
    return handed_;
}

bool LogOwner::IsOff() const {
    const std::lock_guard lock(mutex_);
    return off_;
}

LogTally LogOwner::Finish() {
    {
        const std::lock_guard lock(mutex_);
        if (finished_) return lostAtEnd_;
        stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
    // The journal is let go with the run: the next owner, in this program or the next, may
    // replay it.
    journal_.reset();
    {
        const std::lock_guard lock(mutex_);
        finished_ = true;
    }
    Deliver();
    const std::lock_guard lock(mutex_);
    return lostAtEnd_;
}

void LogOwner::Post(const QString& text, const QString& title) {
    {
        const std::lock_guard lock(outboxMutex_);
        outbox_.emplace_back(text, title);
    }
    // Queued: the box opens once the GUI thread is back in its event loop, after whatever it
    // was doing (the close of a round).
    QMetaObject::invokeMethod(
        this, [this] { Deliver(); }, Qt::QueuedConnection);
}

void LogOwner::Deliver() {
    for (;;) {
        std::pair<QString, QString> message;
        {
            const std::lock_guard lock(outboxMutex_);
            if (outbox_.empty()) return;
            message = std::move(outbox_.front());
            outbox_.pop_front();
        }
        MessageBoxes* boxes = nullptr;
        for (auto it = listeners_.rbegin(); it != listeners_.rend() && boxes == nullptr; ++it) {
            if (!it->first.isNull()) boxes = it->second;
        }
        if (boxes != nullptr) {
            boxes->ReportError(message.first, message.second);
        } else {
            std::fprintf(stderr, "ketatobi: %s\n", message.first.toLocal8Bit().constData());
        }
    }
}

void LogOwner::Tell(Entry& entry, LogFate fate, std::int64_t id) {
    if (!entry.reply) return;
    // Posted to the owner, which outlives its thread; whether the window that asked is still
    // there is looked at on the GUI thread, where it would be deleted.
    QMetaObject::invokeMethod(
        this,
        [context = entry.context, reply = entry.reply, fate, id] {
            if (!context.isNull()) reply(fate, id);
        },
        Qt::QueuedConnection);
}

void LogOwner::Settle(std::size_t rounds) {
    if (rounds == 0) return;
    const std::lock_guard lock(mutex_);
    unwrittenRounds_ -= std::min(rounds, unwrittenRounds_);
}

}  // namespace keta
