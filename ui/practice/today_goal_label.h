#pragma once
// Today's minutes of practice against the daily goal ("今日 6 / 15 分"), for a corner of the
// main window's menu bar, so that the goal is seen without opening the calendar. Hidden while
// no goal is set. Read off the GUI thread, and again whenever the day or either file changes.

#include <QDate>
#include <QLabel>
#include <QString>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

class QTimer;

namespace keta {

class TodayGoalLabel : public QLabel {
    Q_OBJECT

public:
    // `today` gives the local date (a test fixes it).
    TodayGoalLabel(QString logPath, QString historyPath, QWidget* parent = nullptr,
                   std::function<QDate()> today = &QDate::currentDate);
    ~TodayGoalLabel() override;

    // Reads both files again (a reading under way is followed by one more).
    void Refresh();
    // Reads again when the day or either file changed since the last reading.
    void RefreshIfChanged();

    // The text for `seconds` practised today against a goal of `goalMinutes` (0: none, empty).
    static QString TextFor(std::int64_t seconds, int goalMinutes);

signals:
    void refreshed();

private:
    std::vector<qint64> Stamp() const;
    void Shown(const QString& text);

    QString logPath_;
    QString historyPath_;
    std::function<QDate()> todayOf_;
    std::vector<qint64> shownStamp_;
    QTimer* poll_ = nullptr;
    std::thread reader_;
    bool reading_ = false;
    bool readAgain_ = false;
};

}  // namespace keta
