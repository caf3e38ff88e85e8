#pragma once
// A light list of the answer log's rounds, for stepping from one round to the next: keys and
// stamps only, no answers. Reads through a read-only connection of its own, so it never takes
// a lock the drill's writes wait for and never changes the file.

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "answer_log.h"
#include "cancel.h"
#include "round_record.h"

namespace keta {

struct LoggedRound {
    std::int64_t id = 0;
    QString startedAt;  // "yyyy-MM-ddTHH:mm:ss", the start of play
    // The first save of the round; saved is false for a round that was never saved.
    SaveStamp firstSave;
    bool saved = false;
};

// Every round of the log at `logPath`, oldest first (by key). nullopt, with the reason in
// words in `error`, when the file is missing or cannot be read.
std::optional<std::vector<LoggedRound>> ListLoggedRounds(const QString& logPath,
                                                         QString* error = nullptr);

// The focus rounds of the log at `logPath` as saved results would read ("yyyy/MM/dd" and
// "HH:mm:ss" from their start), oldest first; none from a log that predates focus rounds.
// nullopt when the log cannot be read.
std::optional<std::vector<analysis::HistoryPoint>> LoadFocusRoundPoints(const QString& logPath);

// Every round of the log at `logPath` with its answers, oldest first, handed to `visit` one
// at a time so that a long log is never held whole. The same bounds as the log's own reading
// apply: a round with a value the drill cannot produce comes flagged damaged, without events.
// The typed texts are left empty (the figures over the whole log do not use them). False,
// with the reason in words in `error`, when the log cannot be read.
// A set `cancel` ends the read early (false, no error).
bool ForEachLoggedRound(const QString& logPath,
                        const std::function<void(const analysis::RoundRecord&)>& visit,
                        QString* error = nullptr, const CancelFlag* cancel = nullptr);

// One round of the log by its key, read the same way (nullopt when there is no such round or
// the log cannot be read). Opens no more than a read-only connection for the call: no check
// of the whole file, so that opening a round stays quick on a long log.
std::optional<analysis::RoundRecord> LoadLoggedRound(const QString& logPath, std::int64_t id,
                                                     QString* error = nullptr);

// The key of the round a history line was saved from: its save's date and time texts, with the
// counters as a cross-check (a line written by hand or by another instance may share the
// second). The latest such round; nullopt when there is none.
std::optional<std::int64_t> FindLoggedRoundBySave(const QString& logPath, const SaveStamp& save,
                                                  int answers, int correct, int wrong);

}  // namespace keta
