#pragma once
// What the practice calendar is drawn from: the rounds and sessions of the answer log, the
// saved results of the history file, and the daily goal kept in the log.

#include <QDate>
#include <QObject>
#include <QString>
#include <functional>
#include <vector>

#include "log_owner.h"
#include "practice_calendar.h"

namespace keta {

struct CalendarSource {
    std::vector<analysis::PracticeItem> items;
    int goalMinutes = 0;  // 0: no goal
    QString problem;      // in Japanese, when the log or the history could not be read
};

inline constexpr int kMaxDailyGoalMinutes = 24 * 60;

// Reads both files without changing either (the log through a read-only connection). A
// missing log means no rounds and no goal; a missing history file means no older days.
CalendarSource ReadCalendarSource(const QString& logPath, const QString& historyPath);

// What the calendar's figures are read from, to tell whether they must be read again: the day,
// and the size and time of the log, of its -wal file (which holds the newest rounds until a
// checkpoint) and of the history file.
std::vector<qint64> CalendarStamp(const QDate& day, const QString& logPath,
                                  const QString& historyPath);

// The daily goal as the log keeps it (0 when none, or when the log cannot be read).
int LoadDailyGoal(const QString& logPath);

// One value of the log's preferences, read without changing the log (empty when there is none
// or the log cannot be read); at most 200 characters of it.
QString LoadPreference(const QString& logPath, const QString& key);

// Hands `minutes` (0: off, up to kMaxDailyGoalMinutes) to the log's owner for its preferences
// (the log is made when there is none yet); `done` hears on `context`'s thread what became of
// it. False, with the reason in Japanese in `why`, when the value is refused: nothing is handed.
bool SaveDailyGoal(LogOwner& owner, int minutes, QString* why, QObject* context = nullptr,
                   LogOwner::Reply done = {});

}  // namespace keta
