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

// The log's own warnings, from the owner's thread to the GUI thread.
class LogOwner::Relay : public MessageBoxes {
public:
    explicit Relay(LogOwner& owner) : owner_(owner) {}
    Answer AskOkCancelWarning(const QString& text, const QString& title) override {
        owner_.Post(text, title);
        return Answer::Cancel;
    }
    void InformOk(const QString& text, const QString& title) override { owner_.Post(text, title); }
    void ReportError(const QString& text, const QString& title) override {
        owner_.Post(text, title);
    }

private:
    LogOwner& owner_;
};

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

std::uint64_t LogOwner::StartSession(const std::string& startedAt,
                                     const SessionSettings& settings, QObject* context,
                                     Reply reply) {
    Entry e;
    e.op.kind = LogOp::Kind::SessionStart;
    e.op.startedAt = startedAt;
    e.op.settings = settings.Clamped();
    e.context = context;
    e.reply = std::move(reply);
    return Hand(std::move(e), false);
}

void LogOwner::TakeLine(std::uint64_t session, const LineResult& line, QObject* context,
                        Reply reply) {
    Entry e;
    e.op.kind = LogOp::Kind::SessionLine;
    e.op.ticket = session;
    e.op.line = line;
    e.context = context;
    e.reply = std::move(reply);
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
    Entry e;
    e.op.kind = LogOp::Kind::Preference;
    e.op.key = key;
    e.op.value = value;
    e.context = context;
    e.reply = std::move(reply);
    Hand(std::move(e), false);
}

bool LogOwner::WaitUntilTried(int timeoutMs) {
    wake_.notify_one();
    std::unique_lock lock(mutex_);
    return idle_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                          [this] { return (inbox_.empty() && !working_) || finished_; });
}

bool LogOwner::WaitUntilIdle(int timeoutMs) {
    wake_.notify_one();
    std::unique_lock lock(mutex_);
    return idle_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] {
        return (inbox_.empty() && !working_ && !openRequested_ && keptOps_ == 0) || finished_;
    });
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
    QMetaObject::invokeMethod(this, [this] { Deliver(); }, Qt::QueuedConnection);
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
    QObject* target = entry.context.isNull() ? nullptr : entry.context.data();
    if (target == nullptr) return;
    QMetaObject::invokeMethod(
        target, [reply = entry.reply, fate, id] { reply(fate, id); }, Qt::QueuedConnection);
}

void LogOwner::Settle(std::size_t rounds) {
    if (rounds == 0) return;
    const std::lock_guard lock(mutex_);
    unwrittenRounds_ -= std::min(rounds, unwrittenRounds_);
}

void LogOwner::Take(std::deque<Entry>& taken) {
    for (Entry& e : taken) {
        // A save of a round still held goes in the round's own write.
        if (e.op.kind == LogOp::Kind::Save) {
            auto round = std::find_if(held_.rbegin(), held_.rend(), [&](const Entry& h) {
                return h.op.kind == LogOp::Kind::Round && h.op.ticket == e.op.ticket;
            });
            if (round != held_.rend()) {
                round->op.saves.push_back(e.op.saves.front());
                continue;
            }
        }
        heldAnswers_ += e.op.Answers();
        held_.push_back(std::move(e));
    }
    taken.clear();
}

LogFate LogOwner::WriteOne(AnswerLog& log, LogOp& op,
                           std::unordered_map<std::uint64_t, std::int64_t>& ids,
                           std::int64_t* id) {
    std::int64_t target = op.targetId;
    if (op.kind == LogOp::Kind::Save || op.kind == LogOp::Kind::SessionLine ||
        op.kind == LogOp::Kind::SessionEnd) {
        if (target == 0) {
            const auto found = ids.find(op.ticket);
            // What it belongs to was lost, and the person told so then.
            if (found == ids.end()) return LogFate::Lost;
            target = found->second;
        }
    }
    AnswerLog::WriteResult result = AnswerLog::WriteResult::Failed;
    switch (op.kind) {
        case LogOp::Kind::Round:
            result = log.WriteRound(op.round, op.saves);
            *id = op.round.id;
            break;
        case LogOp::Kind::Save:
            result = log.AddSave(target, op.saves.front());
            *id = target;
            break;
        case LogOp::Kind::SessionStart:
            result = log.WriteSessionStart(op.startedAt, op.settings, id);
            break;
        case LogOp::Kind::SessionLine:
            result = log.WriteSessionLine(target, op.line);
            *id = target;
            break;
        case LogOp::Kind::SessionEnd:
            result = log.WriteSessionEnd(target, op.state);
            *id = target;
            break;
        case LogOp::Kind::Preference:
            result = log.WritePreference(op.key, op.value);
            break;
    }
    if (result == AnswerLog::WriteResult::Written) {
        if (op.kind == LogOp::Kind::Round || op.kind == LogOp::Kind::SessionStart)
            ids[op.ticket] = *id;
        return LogFate::Written;
    }
    return log.IsAvailable() ? LogFate::Held : LogFate::Lost;
}

LogOwner::Pass LogOwner::WriteHeld(AnswerLog& log) {
    while (!held_.empty()) {
        Entry& e = held_.front();
        std::int64_t id = 0;
        const LogFate fate = WriteOne(log, e.op, ids_, &id);
        if (fate == LogFate::Held) {
            for (Entry& h : held_) {
                if (!h.heldTold) {
                    h.heldTold = true;
                    Tell(h, LogFate::Held, 0);
                }
            }
            return Pass::Held;
        }
        if (fate == LogFate::Lost) {
            if (!log.IsAvailable()) return Pass::Held;  // the whole lot goes, told as one
            lostTally_.Add(e.op);
        }
        Tell(e, fate, id);
        heldAnswers_ -= std::min(heldAnswers_, e.op.Answers());
        if (e.op.kind == LogOp::Kind::Round) Settle(1);
        held_.pop_front();
    }
    return Pass::Done;
}

LogOwner::Pass LogOwner::ReplayOrphans(AnswerLog& log) {
    for (const QString& file : LogJournal::Orphans(path_)) {
        const int fd = LogJournal::Claim(file);
        if (fd < 0) continue;
        std::optional<std::vector<LogOp>> ops = LogJournal::Read(file);
        if (!ops) {
            LogJournal::Release(fd);
            continue;  // not one of ours: left as it is
        }
        // The tickets of that run, mapped to keys of this log.
        std::unordered_map<std::uint64_t, std::int64_t> ids;
        for (LogOp& op : *ops) {
            std::int64_t id = 0;
            const LogFate fate = WriteOne(log, op, ids, &id);
            if (fate == LogFate::Held || !log.IsAvailable()) {
                LogJournal::Release(fd);
                return Pass::Held;  // the file stays, and is replayed whole next time
            }
        }
        QFile::remove(file);
        LogJournal::Release(fd);
    }
    orphansDone_ = true;
    return Pass::Done;
}

LogOwner::Pass LogOwner::ReplayOwnJournal(AnswerLog& log) {
    if (journalOps_ == 0) return Pass::Done;
    std::optional<std::vector<LogOp>> ops = LogJournal::Read(journal_->File());
    if (!ops) return Pass::Held;
    const std::size_t done = ops->size() - std::min(ops->size(), journalOps_);
    for (std::size_t k = done; k < ops->size(); ++k) {
        LogOp& op = (*ops)[k];
        std::int64_t id = 0;
        const LogFate fate = WriteOne(log, op, ids_, &id);
        if (fate == LogFate::Held || !log.IsAvailable()) return Pass::Held;
        if (op.kind == LogOp::Kind::Round) Settle(1);
        --journalOps_;
    }
    journal_->Remove();
    return Pass::Done;
}

void LogOwner::Spill(bool all) {
    std::size_t count = 0;
    std::size_t answers = heldAnswers_;
    while (count < held_.size() && (all || answers > options_.memoryAnswers)) {
        answers -= std::min(answers, held_[count].op.Answers());
        ++count;
    }
    if (count == 0) return;
    std::vector<LogOp> ops;
    ops.reserve(count);
    for (std::size_t k = 0; k < count; ++k) {
        LogOp op = held_[k].op;
        // A row already in the log is named by its key: the ticket means nothing next run.
        if (op.kind != LogOp::Kind::Round && op.kind != LogOp::Kind::SessionStart &&
            op.targetId == 0) {
            const auto found = ids_.find(op.ticket);
            if (found != ids_.end()) op.targetId = found->second;
        }
        ops.push_back(std::move(op));
    }
    QString why;
    if (!journal_->Append(ops, &why)) {
        if (all) LoseHeld(QStringLiteral("（%1 にも書けませんでした: %2）")
                              .arg(QFileInfo(path_).fileName() + QLatin1String(LogJournal::kSuffix) +
                                       QStringLiteral("…"),
                                   why));
        return;  // kept in memory meanwhile
    }
    journalOps_ += count;
    for (std::size_t k = 0; k < count; ++k) {
        Entry& e = held_.front();
        if (!e.heldTold) Tell(e, LogFate::Held, 0);
        heldAnswers_ -= std::min(heldAnswers_, e.op.Answers());
        held_.pop_front();
    }
}

void LogOwner::LoseHeld(const QString& why, bool offNow) {
    LogTally lost;
    for (Entry& e : held_) {
        lost.Add(e.op);
        Tell(e, LogFate::Lost, 0);
        if (e.op.kind == LogOp::Kind::Round) Settle(1);
    }
    held_.clear();
    heldAnswers_ = 0;
    if (lost.Empty()) {
        offTold_ = offTold_ || offNow;  // the log's own warning said it is off for the run
        return;
    }
    lostTally_.rounds += lost.rounds;
    lostTally_.saves += lost.saves;
    lostTally_.lines += lost.lines;
    lostTally_.sessions += lost.sessions;
    lostTally_.ends += lost.ends;
    lostTally_.settings += lost.settings;
    // Once the person has heard that the log is off for the run, later rounds go unsaid.
    if (offTold_) return;
    offTold_ = offNow;
    const QString text =
        QStringLiteral("%1を解答ログに残せませんでした%2。").arg(lost.Text(), why);
    {
        // Said in the same box as the reason, when that box has not opened yet.
        const std::lock_guard lock(outboxMutex_);
        if (!outbox_.empty() && outbox_.back().second == kTitle) {
            outbox_.back().first += QStringLiteral("\n\n") + text;
            return;
        }
    }
    Post(text + QStringLiteral("履歴.txt への保存はこれまでどおりです。"), kTitle);
}

void LogOwner::TellKept() {
    const std::optional<std::vector<LogOp>> ops = LogJournal::Read(journal_->File());
    LogTally kept;
    if (ops) {
        for (std::size_t k = ops->size() - std::min(ops->size(), journalOps_); k < ops->size(); ++k)
            kept.Add((*ops)[k]);
    }
    Post(QStringLiteral("%1 に書き込めないまま終了するため、%2を %3 に預けました。次に起動した"
                        "ときに解答ログへ書き込みます。")
             .arg(QFileInfo(path_).fileName(), kept.Text(), QFileInfo(journal_->File()).fileName()),
         kTitle);
}

void LogOwner::Run() {
    Relay relay(*this);
    AnswerLog log(path_, &relay, options_.busyTimeoutMs);
    std::unique_lock lock(mutex_);
    bool retry = false;
    for (;;) {
        const auto ready = [this] { return stop_ || openRequested_ || !inbox_.empty(); };
        if (retry) {
            wake_.wait_for(lock, std::chrono::milliseconds(options_.retryMs), ready);
        } else {
            wake_.wait(lock, ready);
        }
        std::deque<Entry> taken;
        taken.swap(inbox_);
        const bool open = std::exchange(openRequested_, false);
        const bool stop = stop_;
        working_ = true;
        lock.unlock();

        Take(taken);
        const bool writes = !held_.empty() || journalOps_ > 0 ||
                            (!orphansDone_ && (open || retry || stop) &&
                             !LogJournal::Orphans(path_).empty());
        Pass pass = Pass::Done;
        if (!writes) {
            // Nothing to write: a log that is there is checked, none is made.
            if (open && log.OpenIfPresent() && !orphansDone_) orphansDone_ = true;
        } else {
            if (!orphansDone_) pass = ReplayOrphans(log);
            if (pass == Pass::Done) pass = ReplayOwnJournal(log);
            if (pass == Pass::Done) pass = WriteHeld(log);
        }
        const bool off = !log.IsAvailable();
        if (off) LoseHeld(QString(), true);
        Spill(stop);
        // Held writes are tried again by themselves; a log off for the run takes nothing more.
        retry = !off && (pass == Pass::Held || journalOps_ > 0);
        if (stop && journalOps_ > 0) TellKept();
        lock.lock();
        off_ = off;
        keptOps_ = held_.size() + journalOps_;
        working_ = false;
        idle_.notify_all();
        if (stop) {
            lostAtEnd_ = lostTally_;
            return;
        }
    }
}

}  // namespace keta
