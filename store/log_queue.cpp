#include "log_queue.h"

#include <QFileInfo>
#include <utility>

namespace keta {

LogQueue::LogQueue(AnswerLog& log, MessageBoxes* boxes) : log_(log), boxes_(boxes) {}

void LogQueue::TakeRound(std::uint64_t serial, analysis::RoundRecord&& round) {
    AddRound(serial, std::move(round));
    Flush();
}

void LogQueue::TakeSave(std::uint64_t serial, const SaveStamp& save) {
    AddSave(serial, save);
    Flush();
}

void LogQueue::AddRound(std::uint64_t serial, analysis::RoundRecord&& round) {
    lastSerial_ = serial;
    lastWrittenId_.reset();
    rounds_.push_back({serial, std::move(round), {}});
}

void LogQueue::AddSave(std::uint64_t serial, const SaveStamp& save) {
    if (!rounds_.empty() && rounds_.back().serial == serial) {
        rounds_.back().saves.push_back(save);
    } else if (serial == lastSerial_ && lastWrittenId_) {
        saves_.push_back({*lastWrittenId_, save});
    }
    // Otherwise its round was given up, and the user was told then.
}

void LogQueue::Flush() {
    while (!rounds_.empty()) {
        Pending& p = rounds_.front();
        if (log_.WriteRound(p.round, p.saves) != AnswerLog::WriteResult::Written) break;
        if (p.serial == lastSerial_) lastWrittenId_ = p.round.id;
        rounds_.pop_front();
    }
    // A log that is off for the run takes nothing later either; its own warning said so.
    if (!log_.IsAvailable()) {
        rounds_.clear();
        saves_.clear();
        return;
    }
    while (rounds_.empty() && !saves_.empty()) {
        const AnswerLog::WriteResult result =
            log_.AddSave(saves_.front().roundId, saves_.front().save);
        if (result == AnswerLog::WriteResult::Busy) break;
        // Written, or refused for good (its round was set aside with a damaged file).
        saves_.pop_front();
    }
    std::size_t droppedRounds = 0, droppedSaves = 0;
    for (; rounds_.size() > kMaxPending; ++droppedRounds) rounds_.pop_front();
    for (; saves_.size() > kMaxPending; ++droppedSaves) saves_.pop_front();
    if (droppedRounds + droppedSaves > 0) Report(droppedRounds, droppedSaves, false);
}

std::size_t LogQueue::ReportUnwrittenAtExit() {
    const std::size_t rounds = rounds_.size();
    if (rounds + saves_.size() > 0) Report(rounds, saves_.size(), true);
    rounds_.clear();
    saves_.clear();
    return rounds;
}

void LogQueue::Report(std::size_t rounds, std::size_t saves, bool atExit) {
    if (boxes_ == nullptr) return;
    QString what;
    if (rounds > 0) what = QStringLiteral("%1 回分の解答").arg(rounds);
    if (saves > 0) {
        if (!what.isEmpty()) what += QStringLiteral("と");
        what += QStringLiteral("保存の記録 %1 件").arg(saves);
    }
    const QString name = QFileInfo(log_.Path()).fileName();
    const QString why = atExit ? QStringLiteral("%1 に書き込めないまま終了するため").arg(name)
                               : QStringLiteral("%1 に書き込めない状態が続いたため").arg(name);
    boxes_->ReportError(why + QStringLiteral("、%1を解答ログに残せませんでした。履歴.txt への"
                                             "保存はこれまでどおりです。")
                                  .arg(what),
                        QStringLiteral("解答ログ"));
}

}  // namespace keta
