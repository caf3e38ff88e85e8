#pragma once
// The practice calendar: minutes of timed practice per day over the last 53 weeks, the runs of
// days with practice, today's total and the daily goal, which is set and kept here.

#include <QDate>
#include <QString>
#include <QWidget>
#include <functional>

class QLabel;
class QPushButton;
class QSpinBox;

namespace keta {

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
    // Keeps the spin box's goal in the log and shows it; false (said in the window) on failure.
    bool SaveGoal();

    CalendarHeatMap* HeatMap() const { return map_; }
    FigureLabel* Today() const { return today_; }
    FigureLabel* CurrentRun() const { return currentRun_; }
    FigureLabel* LongestRun() const { return longestRun_; }
    FigureLabel* Goal() const { return goal_; }
    QSpinBox* GoalBox() const { return goalBox_; }
    QPushButton* SaveButton() const { return save_; }
    QLabel* Note() const { return note_; }

private:
    QString logPath_;
    QString historyPath_;
    std::function<QDate()> todayOf_;
    CalendarHeatMap* map_ = nullptr;
    FigureLabel* today_ = nullptr;
    FigureLabel* currentRun_ = nullptr;
    FigureLabel* longestRun_ = nullptr;
    FigureLabel* goal_ = nullptr;
    QSpinBox* goalBox_ = nullptr;
    QPushButton* save_ = nullptr;
    QLabel* note_ = nullptr;
};

}  // namespace keta
