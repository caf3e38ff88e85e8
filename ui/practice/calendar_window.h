#pragma once
// The practice calendar: minutes of timed practice per day over the last 53 weeks, the runs of
// days with practice, today's total and the daily goal, which is set and kept here.

#include <QDate>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class QLabel;
class QPushButton;
class QSpinBox;

namespace keta {

class LogOwner;

class CalendarHeatMap;
class FigureLabel;

class CalendarWindow : public QWidget {
    Q_OBJECT

public:
    // `today` gives the local date (a test fixes it).
    CalendarWindow(QString logPath, QString historyPath, QWidget* parent = nullptr,
                   std::function<QDate()> today = &QDate::currentDate);

    // Reads both files again and redraws.
    void Reload();
    // Reloads when the day or either file has changed since the last reading (checked when
    // the window is activated, and the day twice a minute): a window left open while rounds
    // are played, or over midnight, does not go on showing a stale today.
    void ReloadIfChanged();
    // Hands the spin box's goal to the log and shows it once written; false (said in the
    // window) when the value is refused.
    bool SaveGoal();

    CalendarHeatMap* HeatMap() const { return map_; }
    FigureLabel* Today() const { return today_; }
    FigureLabel* CurrentRun() const { return currentRun_; }
    FigureLabel* LongestRun() const { return longestRun_; }
    FigureLabel* Goal() const { return goal_; }
    QSpinBox* GoalBox() const { return goalBox_; }
    QPushButton* SaveButton() const { return save_; }
    QLabel* Note() const { return note_; }

protected:
    void changeEvent(QEvent* event) override;

private:
    // What the shown figures were read from: the day and each file's size and time.
    std::vector<qint64> Stamp() const;

    QString logPath_;
    QString historyPath_;
    std::shared_ptr<LogOwner> owner_;
    std::function<QDate()> todayOf_;
    CalendarHeatMap* map_ = nullptr;
    FigureLabel* today_ = nullptr;
    FigureLabel* currentRun_ = nullptr;
    FigureLabel* longestRun_ = nullptr;
    FigureLabel* goal_ = nullptr;
    QSpinBox* goalBox_ = nullptr;
    QPushButton* save_ = nullptr;
    QLabel* note_ = nullptr;
    std::vector<qint64> shownStamp_;
    int loadedGoal_ = 0;
};

}  // namespace keta
