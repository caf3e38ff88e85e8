// The owner's own thread: what it takes from the windows, writes in order, keeps through a
// lock or a full disk, spills to the journal and replays from journals of earlier runs.

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <chrono>

#include "answer_log.h"
#include "log_journal.h"
#include "log_owner.h"

namespace keta {
namespace {

const QString kTitle = QStringLiteral("解答ログ");

}  // namespace

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
                           std::unordered_map<std::uint64_t, std::int64_t>& ids, std::int64_t* id,
                           bool replay) {
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
    // A journal may be replayed again after a crash in the middle of its replay: what is
    // already there is taken as written.
    if (replay) {
        std::optional<std::int64_t> there;
        if (op.kind == LogOp::Kind::Round) there = log.FindRound(op.round);
        if (op.kind == LogOp::Kind::SessionStart)
            there = log.FindSession(op.startedAt, op.settings);
        if (op.kind == LogOp::Kind::Save && log.HasSave(target, op.saves.front())) there = target;
        if (there) {
            *id = *there;
            if (op.kind != LogOp::Kind::Save) ids[op.ticket] = *there;
            return LogFate::Written;
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
            const LogFate fate = WriteOne(log, op, ids, &id, true);
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
        const LogFate fate = WriteOne(log, op, ids_, &id, true);
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
        if (all)
            LoseHeld(QStringLiteral("（%1 にも書けませんでした: %2）")
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
    lostTally_ += lost;
    // Once the person has heard that the log is off for the run, later losses are counted and
    // said once, at the end of the run, rather than in a box at every round or line.
    if (offTold_) {
        untold_ += lost;
        return;
    }
    offTold_ = offNow;
    const QString text = QStringLiteral("%1を解答ログに残せませんでした%2。").arg(lost.Text(), why);
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
        writing_ = !taken.empty();
        lock.unlock();

        Take(taken);
        const bool writes =
            !held_.empty() || journalOps_ > 0 ||
            (!orphansDone_ && (open || retry || stop) && !LogJournal::Orphans(path_).empty());
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
        if (stop && !untold_.Empty()) {
            Post(
                QStringLiteral("解答ログを使えなかったため、ほかに%1も解答ログに残せませんでした。")
                    .arg(untold_.Text()),
                kTitle);
        }
        lock.lock();
        off_ = off;
        keptOps_ = held_.size() + journalOps_;
        working_ = false;
        writing_ = false;
        idle_.notify_all();
        if (stop) {
            lostAtEnd_ = lostTally_;
            return;
        }
    }
}

}  // namespace keta
