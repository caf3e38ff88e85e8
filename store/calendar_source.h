#pragma once
// What the practice calendar is drawn from: the rounds and sessions of the answer log, the
// saved results of the history file, and the daily goal kept in the log.

#include <QString>
#include <vector>

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

// The daily goal as the log keeps it (0 when none, or when the log cannot be read).
int LoadDailyGoal(const QString& logPath);

// Keeps `minutes` (0: off, up to kMaxDailyGoalMinutes) in the log's preferences, making the
// log when there is none yet. False, with the reason in Japanese in `why`, when it was not kept.
bool SaveDailyGoal(const QString& logPath, int minutes, QString* why);

}  // namespace keta
