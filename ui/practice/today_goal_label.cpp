#include "today_goal_label.h"

#include <QFileInfo>
#include <QTimer>

#include "calendar_source.h"
#include "practice_calendar.h"

namespace keta {

TodayGoalLabel::TodayGoalLabel(QString logPath, QString historyPath, QWidget* parent,
                               std::function<QDate()> today)
    : QLabel(parent),
      logPath_(std::move(logPath)),
      historyPath_(std::move(historyPath)),
      todayOf_(std::move(today)),
      poll_(new QTimer(this)) {
    setObjectName(QStringLiteral("todayGoal"));
    setAccessibleName(QStringLiteral("今日の練習と目標"));
    setContentsMargins(8, 0, 8, 0);
    hide();
    // A round closed, a goal saved in the calendar or midnight passed: a look at the files'
    // sizes and times every few seconds notices each, and only then are they read.
    poll_->setInterval(5000);
    connect(poll_, &QTimer::timeout, this, &TodayGoalLabel::RefreshIfChanged);
    poll_->start();
}

TodayGoalLabel::~TodayGoalLabel() {
    if (reader_.joinable()) reader_.join();
}

QString TodayGoalLabel::TextFor(std::int64_t seconds, int goalMinutes) {
    if (goalMinutes <= 0) return {};
    const std::int64_t minutes = analysis::WholeMinutes(seconds);
    return QStringLiteral("今日 %1 / %2 分%3")
        .arg(minutes)
        .arg(goalMinutes)
        .arg(minutes >= goalMinutes ? QStringLiteral(" 達成") : QString());
}

std::vector<qint64> TodayGoalLabel::Stamp() const {
    return CalendarStamp(todayOf_(), logPath_, historyPath_);
}

void TodayGoalLabel::RefreshIfChanged() {
    if (Stamp() != shownStamp_) Refresh();
}

void TodayGoalLabel::Refresh() {
    if (reading_) {
        readAgain_ = true;
        return;
    }
    if (reader_.joinable()) reader_.join();
    reading_ = true;
    // Taken before the reading, so that a change during it shows at the next look.
    shownStamp_ = Stamp();
    const QDate date = todayOf_();
    reader_ = std::thread([this, date, log = logPath_, history = historyPath_] {
        QString text;
        // Without a goal the rounds are not worth reading.
        if (QFileInfo::exists(log) && LoadDailyGoal(log) > 0) {
            const CalendarSource source = ReadCalendarSource(log, history);
            const analysis::PracticeCalendar cal = analysis::ComputePracticeCalendar(
                source.items, {date.year(), date.month(), date.day()}, source.goalMinutes);
            text = TextFor(cal.todaySeconds, cal.goalMinutes);
        }
        QMetaObject::invokeMethod(
            this, [this, text] { Shown(text); }, Qt::QueuedConnection);
    });
}

void TodayGoalLabel::Shown(const QString& text) {
    if (reader_.joinable()) reader_.join();
    reading_ = false;
    setText(text);
    setVisible(!text.isEmpty());
    if (readAgain_) {
        readAgain_ = false;
        Refresh();
        return;
    }
    emit refreshed();
}

}  // namespace keta
